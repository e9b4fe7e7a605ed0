#include "export/writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/loader.h"
#include "values/failures.h"

namespace zevi {

EWriteError::EWriteError(int error) : std::runtime_error(std::strerror(error)), error_(error) {}

std::string WriteFailureText(const std::string& target, int error) {
  const std::string name = target == kStandardOutputName ? "standard output" : target;
  return std::string("Error writing file") + kLineEnd + name + ": " + std::strerror(error);
}

ExportOutput::ExportOutput(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {
  buffer_.reserve(capacity_);
}

void ExportOutput::Open(const std::string& path) {
  buffer_.clear();
  if (int error = file_.Open(path)) throw EWriteError(error);
}

void ExportOutput::MakeRoom(std::size_t size) {
  if (!buffer_.empty() && buffer_.size() + size > capacity_) Flush();
}

void ExportOutput::WriteLine(std::string_view text) {
  MakeRoom(text.size() + 2);
  buffer_.append(text).append(kLineEnd);
}

void ExportOutput::WriteText(std::string_view text) {
  if (text.size() >= capacity_) {
    // A block as large as the buffer goes out as it is, not through a copy.
    Flush();
    if (int error = file_.Write(text)) throw EWriteError(error);
    return;
  }
  MakeRoom(text.size());
  buffer_.append(text);
}

void ExportOutput::Flush() {
  if (buffer_.empty()) return;
  if (int error = file_.Write(buffer_)) throw EWriteError(error);
  buffer_.clear();
}

void ExportOutput::Commit() {
  Flush();
  if (int error = file_.Commit()) throw EWriteError(error);
}

void ExportOutput::Discard() {
  buffer_.clear();
  file_.Discard();
}

namespace {

constexpr const char* kRecordQuestionEnd =
    "\r\n\r\nABORT = Abort export?\r\nIGNORE = Ignore record\r\nALL = Ignore All";

constexpr std::string_view kCrLf = "\r\n";

// Rows of one block of a split export. Large enough that starting a thread
// per block costs nothing worth measuring, small enough to keep both cores
// busy to the end and the blocks in memory small.
constexpr int kBlockRows = 1 << 14;

// A run of rows read into their lines, on whichever thread.
struct Block {
  int first = 0;
  int last = 0;
  int recordsBefore = 0;  // records in the export's rows before `first`
  std::string text;       // the lines, with their line ends
  int records = 0;        // records read into `text`
  int stop = 0;           // the first row not in `text`: last + 1 when all are
};

int CountRecords(const SourceTable& table, int first, int last) {
  int records = 0;
  for (int r = first; r <= last; ++r) records += table.Marker(r) ? 1 : 0;
  return records;
}

// Reads the block's rows until one fails; what the failure was does not
// matter here, as that row is read again on the writer's own road.
void ReadBlock(RecordReader& reader, Block& block) {
  block.text.clear();
  block.records = 0;
  block.stop = block.first;
  reader.ResumeAt(block.first, block.recordsBefore);
  for (int r = block.first; r <= block.last; ++r, block.stop = r) {
    if (reader.Classify(r) != RecordReader::RowKind::Record) continue;
    try {
      block.text.append(reader.ReadLine(r)).append(kCrLf);
    } catch (...) {
      return;
    }
    ++block.records;
  }
}

// The state of one export, from its header to its route block.
class RecordWriter {
 public:
  RecordWriter(AppState& state, UserInterface& ui, ExportOutput& out, const ExportFlags& flags,
               int threads)
      : state_(state),
        ui_(ui),
        out_(out),
        zone_{state.settings.defaultZone, ui},
        reader_(state, state.settings, state.kinds, flags, &zone_),
        threads_(threads) {}

  WriteResult Run(int first, int last);

 private:
  void Prepare(int first, int last);
  // Reads rows first..last in blocks on two threads and writes them in order,
  // up to the first row that fails. Returns the row to go on with, one at a
  // time, the reader set as if it had read all rows before it.
  int RunSplit(int first, int last, std::int64_t total);
  // Writes what the block holds, with the progress its rows would have shown.
  void WriteBlock(const Block& block, int first, std::int64_t total);
  void ShowProgress(int r, int first, std::int64_t total);
  // False when the user chose Abort.
  bool RecordFailed(int r, const std::string& message);
  void WriteRouteBlock();

  AppState& state_;
  UserInterface& ui_;
  ExportOutput& out_;
  ZoneQuestion zone_;
  RecordReader reader_;
  int threads_;
  const ConversionSettings& settings_ = state_.settings;

  bool ignoreAll_ = false;
  WriteResult result_ = WriteResult::Clean;

  std::string routeFirst_;
  std::string routeLast_;
  std::string routeLines_;
};

void RecordWriter::Prepare(int first, int last) {
  RebuildKindColumns(state_.settings.columns, state_.columnCount, state_.kinds);
  if (settings_.mode != 'T') state_.settings.wptIdPrefix = state_.edits.idPrefix;
  reader_.Start(first, last);
  const ExportSetup& setup = reader_.Setup();
  for (const std::string& line : BuildHeaderLines(setup)) out_.WriteLine(line);
  out_.WriteLine(BuildHeadingLine(reader_.Layout(), setup));
}

WriteResult RecordWriter::Run(int first, int last) {
  // Rows below 1 are the heading row or do not exist.
  first = std::max(first, 1);
  Prepare(first, last);

  const std::int64_t total = std::int64_t{last} - first + 1;
  int r = first;
  if (threads_ > 1 && settings_.mode != 'R' && reader_.ReadsRecordsApart()) {
    r = RunSplit(first, std::min(last, state_.table.LastRow()), total);
  }
  for (; r <= last; ++r) {
    ShowProgress(r, first, total);
    RecordReader::RowKind kind = reader_.Classify(r);
    if (kind == RecordReader::RowKind::PastTable) {
      ui_.ShowMessage(RangePastTableText(last));
      return result_;
    }
    if (kind == RecordReader::RowKind::EmptyLine) continue;
    try {
      std::string_view line = reader_.ReadLine(r);
      out_.WriteLine(line);
      if (settings_.mode == 'R') {
        std::string_view entry = RouteEntry(line, reader_.Setup().idWidth);
        if (routeLines_.empty()) routeFirst_ = entry;
        routeLast_ = entry;
        routeLines_.append(entry).append(kLineEnd);
      }
    } catch (const EWriteError&) {
      throw;  // the file is lost, not the record
    } catch (const EValueFailure& failure) {
      if (!RecordFailed(r, failure.Text())) break;
    } catch (const std::runtime_error& failure) {
      if (!RecordFailed(r, failure.what())) break;
    }
  }
  if (settings_.mode == 'R' && !routeLines_.empty()) WriteRouteBlock();
  return result_;
}

void RecordWriter::ShowProgress(int r, int first, std::int64_t total) {
  if (total >= kProgressRows && (r - first) % kProgressRows == 0) {
    ui_.Progress("Exporting", r - first, total);
  }
}

int RecordWriter::RunSplit(int first, int last, std::int64_t total) {
  if (std::int64_t{last} - first + 1 < 2 * kBlockRows || std::thread::hardware_concurrency() < 2) {
    return first;
  }
  const SourceTable& table = state_.table;
  // Zone fields of a split export never ask (ReadsRecordsApart): the user is
  // never asked from the helper's thread, and its default zone stays as it is.
  std::string helperZone = settings_.defaultZone;
  ZoneQuestion helperQuestion{helperZone, ui_};
  RecordReader helper(state_, settings_, state_.kinds, reader_.Setup().flags, &helperQuestion);
  helper.StartAs(reader_);
  // This thread reads the even blocks and writes every block; the helper
  // reads the odd ones meanwhile.
  Block mine;
  Block theirs;
  int records = 0;
  for (int r = first; r <= last;) {
    mine.first = r;
    mine.last = static_cast<int>(std::min<std::int64_t>(std::int64_t{r} + kBlockRows - 1, last));
    mine.recordsBefore = records;
    theirs.first = mine.last + 1;
    theirs.last = static_cast<int>(std::min<std::int64_t>(std::int64_t{theirs.first} + kBlockRows - 1, last));
    theirs.recordsBefore = records + CountRecords(table, mine.first, mine.last);
    {
      std::jthread other;
      if (theirs.first <= last) other = std::jthread([&] { ReadBlock(helper, theirs); });
      ReadBlock(reader_, mine);
      WriteBlock(mine, first, total);
    }
    const Block* failed = mine.stop <= mine.last ? &mine : nullptr;
    if (!failed && theirs.first <= last) {
      WriteBlock(theirs, first, total);
      if (theirs.stop <= theirs.last) failed = &theirs;
    }
    if (failed) {
      reader_.ResumeAt(failed->stop, failed->recordsBefore + failed->records);
      return failed->stop;
    }
    records = theirs.first <= last ? theirs.recordsBefore + theirs.records : mine.recordsBefore + mine.records;
    r = std::max(mine.last, theirs.last) + 1;
  }
  reader_.ResumeAt(last + 1, records);
  return last + 1;
}

void RecordWriter::WriteBlock(const Block& block, int first, std::int64_t total) {
  for (int r = block.first; r < block.stop; ++r) ShowProgress(r, first, total);
  out_.WriteText(block.text);
}

bool RecordWriter::RecordFailed(int r, const std::string& message) {
  ++state_.missingRecords;
  bool goOn = true;
  if (!ignoreAll_) {
    result_ = WriteResult::SomeMissing;
    ui_.ShowFailingCell(reader_.FailingColumn(), r);
    Button answer = ui_.Ask(MessageKind::Confirmation,
                            "Error in record " + std::to_string(r) + kLineEnd + message +
                                kRecordQuestionEnd,
                            {Button::Abort, Button::Ignore, Button::All}, kHelpExport);
    if (answer == Button::Abort) {
      result_ = WriteResult::Aborted;
      goOn = false;
    } else if (answer == Button::All) {
      ignoreAll_ = true;
    }
  }
  reader_.RecordFailed(r);
  return goOn;
}

void RecordWriter::WriteRouteBlock() {
  out_.WriteLine("");
  out_.WriteLine(RouteHeadLine(routeFirst_, routeLast_));
  out_.WriteText(routeLines_);
}

// A zone letter given during the run shows in the default zone box, on every
// way out of the writer.
class DefaultZoneFollower {
 public:
  explicit DefaultZoneFollower(AppState& state)
      : state_(state), before_(state.settings.defaultZone) {}
  ~DefaultZoneFollower() {
    if (state_.settings.defaultZone == before_) return;
    state_.edits.defaultZone = state_.settings.defaultZone;
    state_.settingsChanged = true;
  }
  DefaultZoneFollower(const DefaultZoneFollower&) = delete;
  DefaultZoneFollower& operator=(const DefaultZoneFollower&) = delete;

 private:
  AppState& state_;
  std::string before_;
};

}  // namespace

WriteResult WriteRecords(AppState& state, UserInterface& ui, ExportOutput& out, int first,
                         int last, const ExportFlags& flags, int threads) {
  DefaultZoneFollower zoneFollower(state);
  RecordWriter writer(state, ui, out, flags, threads);
  return writer.Run(first, last);
}

}  // namespace zevi
