#include "export/writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/loader.h"
#include "values/coordinates.h"
#include "values/datetime.h"
#include "values/gridvalues.h"
#include "values/numbers.h"

namespace zevi {

std::string WriteErrorText(int error) {
  return error == ENOSPC ? "Disk full" : "I/O error " + std::to_string(error);
}

ExportOutput::ExportOutput(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {
  buffer_.reserve(capacity_);
}

ExportOutput::~ExportOutput() { CloseQuietly(); }

bool ExportOutput::Open(const std::string& path) {
  CloseQuietly();
  buffer_.clear();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd_ >= 0;
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
  if (fd_ < 0) throw EWriteError(WriteErrorText(EBADF));
  std::size_t done = 0;
  while (done < buffer_.size()) {
    ssize_t written = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      int error = written < 0 ? errno : EIO;
      buffer_.erase(0, done);
      throw EWriteError(WriteErrorText(error));
    }
    done += static_cast<std::size_t>(written);
  }
  buffer_.clear();
}

bool ExportOutput::Close() {
  bool written = true;
  try {
    Flush();
  } catch (const EWriteError&) {
    written = false;
  }
  if (fd_ >= 0 && ::close(fd_) != 0) written = false;
  fd_ = -1;
  buffer_.clear();
  return written;
}

void ExportOutput::CloseQuietly() {
  if (fd_ >= 0) Close();
  buffer_.clear();
}

namespace {

constexpr const char* kRecordQuestionEnd =
    "\r\n\r\nABORT = Abort export?\r\nIGNORE = Ignore record\r\nALL = Ignore All";

// The longest cell of a column over the rows of the range, at least the minimum.
int FieldWidth(const SourceTable& table, int column, int first, int last) {
  int width = kMinFieldWidth;
  if (column == kNoColumn) return width;
  int end = std::min(last, table.LastRow());
  for (int r = first; r <= end; ++r) {
    width = std::max(width, static_cast<int>(table.Cell(column, r).size()));
  }
  return width;
}

// The state of one export, from its header to its route block.
class RecordWriter {
 public:
  RecordWriter(AppState& state, UserInterface& ui, ExportOutput& out, const ExportFlags& flags)
      : state_(state),
        ui_(ui),
        out_(out),
        setup_{state.settings, state.kinds, state.grid, state.datum, flags,
               state.settings.decimalSeparator},
        values_{state.settings, state.kinds, state.grid, state.locale, *state.clock,
                state.settings.decimalSeparator} {}

  WriteResult Run(int first, int last);

 private:
  void Prepare(int first, int last);
  void BuildLine(int r);
  void AppendField(char letter, int r);
  char TrackStartFlag(int r);
  std::string_view Cell(Slot slot) const { return CellOf(row_, state_.kinds[slot]); }
  // False when the user chose Abort.
  bool RecordFailed(int r, const char* message);
  void WriteRouteBlock();

  AppState& state_;
  UserInterface& ui_;
  ExportOutput& out_;
  ExportSetup setup_;
  ValueContext values_;
  const ConversionSettings& settings_ = state_.settings;
  const KindColumn& kinds_ = state_.kinds;

  std::string layout_;
  bool layoutHasTime_ = false;
  int first_ = 1;
  int idCounter_ = 1;
  bool newTrackPending_ = true;
  bool ignoreAll_ = false;
  std::string lastTrackValue_;
  WriteResult result_ = WriteResult::Clean;

  // Reused for every record.
  RowCells row_;
  std::string line_;
  std::string timeText_;
  DayCarry carry_;
  char currentLetter_ = 0;

  std::string routeFirst_;
  std::string routeLast_;
  std::string routeLines_;
};

void RecordWriter::Prepare(int first, int last) {
  RebuildKindColumns(state_.settings.columns, state_.columnCount, state_.kinds);
  if (settings_.mode == 'T') {
    lastTrackValue_ = kNewTrackMarker;
  } else {
    setup_.idWidth = FieldWidth(state_.table, kinds_[Slot::ID], first, last);
    setup_.symbolWidth = FieldWidth(state_.table, kinds_[Slot::Symbol], first, last);
    state_.settings.wptIdPrefix = state_.edits.idPrefix;
    idCounter_ = 1;
  }
  for (const std::string& line : BuildHeaderLines(setup_)) out_.WriteLine(line);
  layout_ = BuildFieldLayout(settings_.mode, setup_);
  layoutHasTime_ = layout_.find('T') != std::string::npos;
  out_.WriteLine(BuildHeadingLine(layout_, setup_));
}

WriteResult RecordWriter::Run(int first, int last) {
  // Rows below 1 are the heading row or do not exist.
  first_ = std::max(first, 1);
  Prepare(first_, last);

  const SourceTable& table = state_.table;
  const std::int64_t total = std::int64_t{last} - first_ + 1;
  row_.reserve(kMaxColumnCount);
  for (int r = first_; r <= last; ++r) {
    if (total >= kProgressRows && (r - first_) % kProgressRows == 0) {
      ui_.Progress("Exporting", r - first_, total);
    }
    if (r > table.LastRow()) {
      ui_.ShowMessage("Less than " + std::to_string(last) + " records in source date");
      return result_;
    }
    if (!table.Marker(r)) {
      newTrackPending_ = true;
      continue;
    }
    bool aborted = false;
    try {
      GetRowCells(table, r, row_);
      BuildLine(r);
      currentLetter_ = 0;
      out_.WriteLine(line_);
      if (settings_.mode == 'R') {
        std::string_view entry = RouteEntry(line_, setup_.idWidth);
        if (routeLines_.empty()) routeFirst_ = entry;
        routeLast_ = entry;
        routeLines_.append(entry).append(kLineEnd);
      }
    } catch (const std::runtime_error& failure) {
      aborted = !RecordFailed(r, failure.what());
    }
    newTrackPending_ = false;
    if (aborted) break;
  }
  if (settings_.mode == 'R' && !routeLines_.empty()) WriteRouteBlock();
  return result_;
}

void RecordWriter::BuildLine(int r) {
  line_.assign(1, settings_.mode == 'T' ? 'T' : 'W');
  carry_ = {};
  if (layoutHasTime_) {
    currentLetter_ = 'T';
    timeText_ = TimeField(row_, values_, carry_);
  }
  for (char letter : layout_) {
    currentLetter_ = letter;
    line_ += ' ';
    AppendField(letter, r);
  }
}

void RecordWriter::AppendField(char letter, int r) {
  const GridState& grid = state_.grid;
  const char mark = setup_.decimalMark;
  const ExportFlags& flags = setup_.flags;
  switch (letter) {
    case 'I':
      if (kinds_.Has(Slot::ID)) {
        AppendPadRight(line_, Cell(Slot::ID), setup_.idWidth);
      } else {
        AppendPadRight(line_, GeneratedId(settings_.wptIdPrefix, idCounter_++), setup_.idWidth);
      }
      break;
    case 'K':
      AppendPadRight(line_, flags.useDefaultLatLong ? "N00.000000" : LatitudeField(row_, values_), 10);
      break;
    case 'L':
      AppendPadRight(line_, flags.useDefaultLatLong ? "E000.000000" : LongitudeField(row_, values_),
                     11);
      break;
    case 'X': line_ += GarminHexField(Cell(Slot::Grid), mark); break;
    case 'G': line_ += GridGroupField(Cell(Slot::Grid), setup_); break;
    case 'Z': line_ += ZoneField(row_, values_, state_.settings.defaultZone, ui_); break;
    case 'E':
      if (flags.useDefaultEastNorth) {
        line_ += "500000";
      } else {
        line_ += GridValueField(Cell(Slot::Easting), grid.eastingDigits, settings_.scaleFactor,
                                settings_.alignment);
      }
      break;
    case 'N':
      if (flags.useDefaultEastNorth) {
        line_ += "0000000";
      } else {
        line_ += GridValueField(Cell(Slot::Northing), grid.northingDigits, settings_.scaleFactor,
                                settings_.alignment);
      }
      break;
    case 'H': {
      double factor = setup_.CodeOf(Slot::Altitude) == "HD" ? 0.1 : 1.0;
      AppendPadLeft(line_, FormatFloat(ReadNumber(Cell(Slot::Altitude), mark) * factor, 8, 1, mark),
                    8);
      break;
    }
    case 'A':
      AppendPadLeft(line_, FormatFloat(ReadNumber(Cell(Slot::Aux), mark), 8, 1, mark), 8);
      break;
    case 'D': AppendPadRight(line_, DateField(row_, values_, carry_), 10); break;
    case 'T': AppendPadRight(line_, timeText_, 8); break;
    case 'S': AppendPadRight(line_, Cell(Slot::Symbol), setup_.symbolWidth); break;
    case 'M': line_ += settings_.textOption; break;
    case 'Q': line_ += TrackStartFlag(r); break;
    case 'C': AppendCommentField(line_, row_, kinds_); break;
    default: break;
  }
}

char RecordWriter::TrackStartFlag(int r) {
  if (newTrackPending_) return '1';
  if (kinds_.Has(Slot::TrackStart)) return TrimText(Cell(Slot::TrackStart)) == "0" ? '0' : '1';
  if (settings_.trackStart > 0) {
    std::string_view value = TrimText(CellOf(row_, settings_.trackStart));
    if (value.empty() || value == lastTrackValue_) return '0';
    lastTrackValue_ = value;
    return '1';
  }
  return r == first_ ? '1' : '0';
}

bool RecordWriter::RecordFailed(int r, const char* message) {
  ++state_.missingRecords;
  bool goOn = true;
  if (!ignoreAll_) {
    result_ = WriteResult::SomeMissing;
    ui_.ShowFailingCell(FailingFieldColumn(currentLetter_, kinds_), r);
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
  if (settings_.trackStart > 0) lastTrackValue_ = kFailedRecordMarker + std::to_string(r);
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
