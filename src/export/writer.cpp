#include "export/writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

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

// The state of one export, from its header to its route block.
class RecordWriter {
 public:
  RecordWriter(AppState& state, UserInterface& ui, ExportOutput& out, const ExportFlags& flags)
      : state_(state),
        ui_(ui),
        out_(out),
        zone_{state.settings.defaultZone, ui},
        reader_(state, state.settings, state.kinds, flags, &zone_) {}

  WriteResult Run(int first, int last);

 private:
  void Prepare(int first, int last);
  // False when the user chose Abort.
  bool RecordFailed(int r, const std::string& message);
  void WriteRouteBlock();

  AppState& state_;
  UserInterface& ui_;
  ExportOutput& out_;
  ZoneQuestion zone_;
  RecordReader reader_;
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
  for (int r = first; r <= last; ++r) {
    if (total >= kProgressRows && (r - first) % kProgressRows == 0) {
      ui_.Progress("Exporting", r - first, total);
    }
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
                         int last, const ExportFlags& flags) {
  DefaultZoneFollower zoneFollower(state);
  RecordWriter writer(state, ui, out, flags);
  return writer.Run(first, last);
}

}  // namespace zevi
