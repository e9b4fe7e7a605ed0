#include "export/writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/helperthread.h"
#include "platform/memory.h"
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

ExportOutput::ExportOutput(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void ExportOutput::Open(const std::string& path) {
  used_ = 0;
  if (int error = file_.Open(path)) throw EWriteError(error);
}

void ExportOutput::MakeRoom(std::size_t size) {
  if (used_ > 0 && used_ + size > capacity_) Flush();
}

void ExportOutput::Append(std::string_view text) {
  const std::size_t needed = used_ + text.size();
  if (needed > buffer_.Size()) {
    // The header's few lines take a small buffer; lines beyond it, the whole
    // (a split export writes its blocks past the buffer). A line longer than
    // the buffer grows it.
    buffer_.Resize(needed <= kFirstBuffer && buffer_.Size() == 0 ? kFirstBuffer : std::max(needed, capacity_));
  }
  std::memcpy(buffer_.Data() + used_, text.data(), text.size());
  used_ += text.size();
}

void ExportOutput::WriteLine(std::string_view text) {
  MakeRoom(text.size() + 2);
  Append(text);
  Append(kLineEnd);
}

void ExportOutput::WriteText(std::string_view text) {
  if (text.size() >= capacity_) {
    // A block as large as the buffer goes out as it is, not through a copy.
    Flush();
    if (int error = file_.Write(text)) throw EWriteError(error);
    return;
  }
  MakeRoom(text.size());
  Append(text);
}

void ExportOutput::Flush() {
  if (used_ == 0) return;
  if (int error = file_.Write(std::string_view(buffer_.Data(), used_))) throw EWriteError(error);
  used_ = 0;
}

void ExportOutput::Commit() {
  Flush();
  if (int error = file_.Commit()) throw EWriteError(error);
}

void ExportOutput::Discard() {
  used_ = 0;
  file_.Discard();
}

namespace {

constexpr const char* kRecordQuestionEnd =
    "\r\n\r\nABORT = Abort export?\r\nIGNORE = Ignore record\r\nALL = Ignore All";


// Rows of one block of a split export. Large enough that starting a thread
// per block costs nothing worth measuring, small enough to keep both cores
// busy to the end and the blocks in memory small.
constexpr int kBlockRows = 1 << 14;
// Blocks read ahead of the one being written, at most.
constexpr int kRingBlocks = 4;

// A run of rows read into their lines, on whichever thread. A cache line of
// its own: two threads fill neighbouring blocks at once.
struct alignas(64) Block {
  int first = 0;
  int last = 0;
  int recordsBefore = 0;  // records in the export's rows before `first`
  ByteBuffer text;        // the lines, with their line ends, up to `used`
  std::size_t used = 0;
  int records = 0;        // records read into `text`
  int stop = 0;           // the first row not in `text`: last + 1 when all are
};

// Reads the block's rows until one fails; what the failure was does not
// matter here, as that row is read again on the writer's own road.
void ReadBlock(const SourceTable& table, RecordReader& reader, Block& block) {
  // Counted in locals, stored once.
  std::size_t used = 0;
  int records = 0;
  int r = block.first;
  reader.ResumeAt(block.first, block.recordsBefore);
  reader.HoldRows(block.first, block.last);
  for (; r <= block.last; ++r) {
    if (reader.Classify(r) != RecordReader::RowKind::Record) continue;
    try {
      used = reader.ReadLineInto(r, block.text, used);
    } catch (...) {
      break;
    }
    ++records;
  }
  block.used = used;
  block.records = records;
  block.stop = r;
  reader.DropRows();
  if (r > block.last) table.DoneWithRows(block.first, block.last);
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
  std::size_t lineSize_ = 0;  // the heading's: most lines are as long

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
  const std::string heading = BuildHeadingLine(reader_.Layout(), setup);
  out_.WriteLine(heading);
  lineSize_ = heading.size() + 2;
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

  const int blocks = static_cast<int>((std::int64_t{last} - first) / kBlockRows + 1);
  // Blocks are read by whichever thread is free, into a ring of buffers, and
  // this thread writes them in order: the writing, which only this thread
  // does, does not hold the helper back.
  std::vector<Block> ring(kRingBlocks);
  // Sized once rather than grown line by line (a longer block still grows),
  // by the thread that first reads into it.
  const std::size_t blockSize = kBlockRows * (lineSize_ + lineSize_ / 8);
  std::mutex mutex;
  std::condition_variable changed;
  int claimed = 0;     // blocks handed out
  int written = 0;     // blocks written
  bool stop = false;   // a block failed, or this thread is done
  std::vector<int> ready(kRingBlocks, -1);  // the block each buffer holds, once read

  auto setUp = [&](int index, Block& block) {
    block.first = first + index * kBlockRows;
    block.last = static_cast<int>(std::min<std::int64_t>(std::int64_t{block.first} + kBlockRows - 1, last));
    block.recordsBefore = table.CountRecords(first, block.first - 1);
  };
  // Takes the next block when its buffer is free; -1 when there is none to take.
  auto claim = [&](std::unique_lock<std::mutex>&) -> int {
    if (stop || claimed >= blocks || claimed >= written + kRingBlocks) return -1;
    return claimed++;
  };
  auto read = [&](RecordReader& reader, int index) {
    Block& block = ring[static_cast<std::size_t>(index % kRingBlocks)];
    if (block.text.Size() < blockSize) {
      block.text.Resize(blockSize);
      PrepareForWriting(block.text.Data(), blockSize);
    }
    setUp(index, block);
    ReadBlock(table, reader, block);
  };

  HelperThread other([&] {
    std::unique_lock lock(mutex);
    for (;;) {
      int index;
      changed.wait(lock, [&] { return stop || claimed >= blocks || claimed < written + kRingBlocks; });
      if ((index = claim(lock)) < 0) {
        if (stop || claimed >= blocks) return;
        continue;
      }
      lock.unlock();
      read(helper, index);
      lock.lock();
      ready[static_cast<std::size_t>(index % kRingBlocks)] = index;
      changed.notify_all();
    }
  });

  // However this thread leaves (a failed write throws), the helper is told
  // to stop before it is waited for.
  struct StopHelper {
    std::mutex& mutex;
    std::condition_variable& changed;
    bool& stop;
    ~StopHelper() {
      std::lock_guard guard(mutex);
      stop = true;
      changed.notify_all();
    }
  } stopHelper{mutex, changed, stop};

  const Block* failed = nullptr;
  std::unique_lock lock(mutex);
  while (written < blocks) {
    const std::size_t slot = static_cast<std::size_t>(written % kRingBlocks);
    if (ready[slot] == written) {
      lock.unlock();
      const Block& block = ring[slot];
      WriteBlock(block, first, total);
      lock.lock();
      if (block.stop <= block.last) {
        failed = &block;
        break;
      }
      ready[slot] = -1;
      ++written;
      changed.notify_all();
      continue;
    }
    if (const int index = claim(lock); index >= 0) {
      lock.unlock();
      read(reader_, index);
      lock.lock();
      ready[static_cast<std::size_t>(index % kRingBlocks)] = index;
      continue;
    }
    changed.wait(lock, [&] { return ready[slot] == written || (claimed < blocks && claimed < written + kRingBlocks); });
  }
  stop = true;
  changed.notify_all();
  lock.unlock();
  other.Join();

  if (failed) {
    reader_.ResumeAt(failed->stop, failed->recordsBefore + failed->records);
    return failed->stop;
  }
  reader_.ResumeAt(last + 1, table.CountRecords(first, last));
  return last + 1;
}

void RecordWriter::WriteBlock(const Block& block, int first, std::int64_t total) {
  for (int r = block.first; r < block.stop; ++r) ShowProgress(r, first, total);
  out_.WriteText(std::string_view(block.text.Data(), block.used));
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
