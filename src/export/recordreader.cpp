#include "export/recordreader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "settings/state.h"
#include "source/bytewords.h"
#include "source/loader.h"
#include "source/range.h"
#include "values/coordinates.h"
#include "values/failures.h"
#include "values/gridvalues.h"
#include "values/numbers.h"

namespace zevi {

namespace {

// `text` left-aligned in `width` characters at `at`, cut to the first `width`:
// blanks first, a word at a time over the field and up to 8 bytes past it.
// Returns how many characters of the text were kept.
std::size_t PadRightAt(char* at, std::string_view text, std::size_t width) {
  const std::size_t kept = std::min(text.size(), width);
  FillBlanks(at, width);
  CopyShort(at, text.data(), kept);
  return kept;
}

// A record box that holds a whole number replaces the number; otherwise the
// number stays as it was.
void TakeRecordNumber(const std::string& boxText, std::int32_t& number) {
  if (const std::optional<std::int32_t> value = RecordNumberOf(boxText)) number = *value;
}

// The longest cell of a column over the rows of the range, at least the minimum.
int FieldWidth(const SourceTable& table, int column, int first, int last) {
  if (column == kNoColumn) return kMinFieldWidth;
  return std::max(kMinFieldWidth, static_cast<int>(std::min<std::size_t>(table.LongestCell(column, first, last),
                                                                           std::numeric_limits<int>::max())));
}

// Without an ID column the IDs are generated, one per record of the range:
// the width covers the last of them, so that no two are cut to one.
int GeneratedIdWidth(const SourceTable& table, std::string_view prefix, int first, int last) {
  const int records = table.CountRecords(first, last);
  if (records == 0) return kMinFieldWidth;
  return std::max(kMinFieldWidth, static_cast<int>(GeneratedId(prefix, records).size()));
}

}  // namespace

ConversionSettings SettingsAsExportTakesThem(const AppState& state, KindColumn& kinds) {
  ConversionSettings settings = state.settings;
  TakeRecordNumber(state.edits.firstRecord, settings.firstRecord);
  TakeRecordNumber(state.edits.lastRecord, settings.lastRecord);
  settings.defaultZone = state.edits.defaultZone.substr(0, 5);
  RebuildKindColumns(settings.columns, state.columnCount, kinds);
  return settings;
}

std::string RangePastTableText(int last) {
  return "Less than " + std::to_string(last) + " records in source date";
}

RecordReader::RecordReader(const AppState& state, const ConversionSettings& settings,
                           const KindColumn& kinds, const ExportFlags& flags, ZoneQuestion* zone)
    : state_(state),
      settings_(settings),
      kinds_(kinds),
      zone_(zone),
      setup_{settings, kinds, state.grid, state.datum, flags, settings.decimalSeparator},
      values_{settings, kinds, state.grid, state.locale, *state.clock, settings.decimalSeparator} {}

void RecordReader::Start(int first, int last) {
  first_ = first;
  newTrackPending_ = true;
  currentLetter_ = 0;
  if (settings_.mode == 'T') {
    lastTrackValue_ = kNewTrackMarker;
  } else {
    setup_.idWidth = kinds_.Has(Slot::ID)
                         ? FieldWidth(state_.table, kinds_[Slot::ID], first, last)
                         : GeneratedIdWidth(state_.table, state_.edits.idPrefix, first, last);
    setup_.symbolWidth = FieldWidth(state_.table, kinds_[Slot::Symbol], first, last);
    idCounter_ = 1;
  }
  layout_ = BuildFieldLayout(settings_.mode, setup_);
  layoutHasTime_ = layout_.find('T') != std::string::npos;
  altitudeFactor_ = setup_.CodeOf(Slot::Altitude) == "HD" ? 0.1 : 1.0;
  PlanRoads();
}

void RecordReader::PlanRoads() {
  const ExportFlags& flags = setup_.flags;
  roads_.clear();
  for (const char letter : layout_) {
    FieldRoad field{letter, Road::Any, kNoColumn, 0, 0, 0, 1};
    // Named rather than placed: the room is set below, by road.
    auto plan = [&](Road road, int column, int width, int below = 0, int sign = 1) {
      field.road = road;
      field.column = column;
      field.width = width;
      field.below = below;
      field.sign = sign;
    };
    switch (letter) {
      case 'I':
        if (kinds_.Has(Slot::ID)) plan(Road::IdCell, kinds_[Slot::ID], setup_.idWidth);
        break;
      case 'K':
        if (!flags.useDefaultLatLong && AxisIsPlainDegrees(values_, true)) {
          plan(Road::PlainAxis, kinds_[Slot::Latitude], 10, 90);
        } else if (!flags.useDefaultLatLong && AxisIsPlainMinutes(values_, true)) {
          plan(Road::MinutesAxis, kinds_[Slot::Latitude], 10, 90, settings_.latitudeSign);
        }
        break;
      case 'L':
        if (!flags.useDefaultLatLong && AxisIsPlainDegrees(values_, false)) {
          plan(Road::PlainAxis, kinds_[Slot::Longitude], 11, 180);
        } else if (!flags.useDefaultLatLong && AxisIsPlainMinutes(values_, false)) {
          plan(Road::MinutesAxis, kinds_[Slot::Longitude], 11, 180, settings_.longitudeSign);
        }
        break;
      case 'E':
      case 'N': {
        const Slot slot = letter == 'E' ? Slot::Easting : Slot::Northing;
        if (!flags.useDefaultEastNorth && kinds_.Has(slot) && settings_.scaleFactor == 0 &&
            settings_.alignment == kAlignRight) {
          plan(Road::GridDigits, kinds_[slot], letter == 'E' ? state_.grid.eastingDigits : state_.grid.northingDigits);
        }
        break;
      }
      case 'H':
        if (altitudeFactor_ == 1.0) plan(Road::PlainAltitude, kinds_[Slot::Altitude], kAltitudeWidth);
        break;
      case 'D':
        if (DateIsItsCell(kinds_)) plan(Road::DateCell, kinds_[Slot::Date], 10);
        break;
      case 'T': field.road = Road::Time; break;
      case 'M': field.road = Road::TextOption; break;
      default: break;
    }
    switch (field.road) {
      case Road::IdCell: field.room = static_cast<std::size_t>(std::max(field.width, 0)) + 8; break;
      case Road::PlainAxis:
      case Road::MinutesAxis:
      case Road::GridDigits:
      case Road::PlainAltitude: field.room = kFloatTextRoom; break;
      case Road::DateCell: field.room = 10; break;
      case Road::Time: field.room = 16; break;
      case Road::TextOption: field.room = 1; break;
      case Road::Any: break;
    }
    roads_.push_back(field);
  }
  // Room to spare past the spans, written for every field: the readers of a
  // split export are made one after the other, and their spans must not share
  // a cache line.
  spans_.reserve(layout_.size() + 16);
  spans_.assign(layout_.size(), Span{});
  row_.reserve(kMaxColumnCount);
}

void RecordReader::StartAs(const RecordReader& other) {
  first_ = other.first_;
  newTrackPending_ = other.newTrackPending_;
  currentLetter_ = 0;
  lastTrackValue_ = other.lastTrackValue_;
  setup_.idWidth = other.setup_.idWidth;
  setup_.symbolWidth = other.setup_.symbolWidth;
  idCounter_ = other.idCounter_;
  layout_ = other.layout_;
  layoutHasTime_ = other.layoutHasTime_;
  altitudeFactor_ = other.altitudeFactor_;
  PlanRoads();
}

bool RecordReader::ReadsRecordsApart() const {
  const bool asks = zone_ != nullptr && layout_.find('Z') != std::string::npos &&
                    ZoneFieldMayAsk(state_.grid, zone_->defaultZone);
  const bool followsTrack = layout_.find('Q') != std::string::npos && settings_.trackStart > 0;
  return !asks && !followsTrack;
}

void RecordReader::ResumeAt(int r, int records) {
  idCounter_ = 1 + records;
  newTrackPending_ = r <= first_ || !state_.table.Marker(r - 1);
  currentLetter_ = 0;
}

RecordReader::RowKind RecordReader::Classify(int r) {
  if (r > state_.table.LastRow()) return RowKind::PastTable;
  if (state_.table.Marker(r)) return RowKind::Record;
  newTrackPending_ = true;
  return RowKind::EmptyLine;
}

std::string_view RecordReader::ReadLine(int r) {
  text_ = &line_;
  base_ = 0;
  BuildLine(r);
  return std::string_view(line_.Data(), size_);
}

std::size_t RecordReader::ReadLineInto(int r, ByteBuffer& buffer, std::size_t at) {
  text_ = &buffer;
  base_ = at;
  BuildLine(r);
  char* end = Room(2);
  end[0] = '\r';
  end[1] = '\n';
  // The buffer is the caller's, and may go: nothing here points into it.
  text_ = &line_;
  base_ = 0;
  return at + size_ + 2;
}

void RecordReader::HoldRows(int first, int last) { held_.Take(state_.table, first, last); }

void RecordReader::BuildLine(int r) {
  GetRowCells(state_.table, r, row_, &held_);
  size_ = 0;
  Put(settings_.mode == 'T' ? 'T' : 'W');
  carry_ = {};
  if (layoutHasTime_) {
    // The time is read first: it may carry days into the date.
    currentLetter_ = 'T';
    time_ = PlainTimeField(row_, values_);
    if (time_.empty()) {
      timeText_ = TimeField(row_, values_, carry_);
      time_ = timeText_;
    }
  }
  // The short roads write through locals: a character stored through a
  // pointer could be any member, which the compiler would then read again.
  const char mark = setup_.decimalMark;
  std::size_t size = size_;
  char* line = text_->Data() + base_;
  std::size_t room = text_->Size() - base_;
  auto cell = [this](int column) { return CellOf(row_, column); };
  for (std::size_t i = 0; i < roads_.size(); ++i) {
    const FieldRoad& field = roads_[i];
    currentLetter_ = field.letter;
    if (size + 1 + field.room > room) {
      size_ = size;
      Room(1 + field.room);
      line = text_->Data() + base_;
      room = text_->Size() - base_;
    }
    line[size++] = ' ';
    const std::size_t begin = size;
    std::size_t end = 0;  // where an ID ends before its padding
    bool done = true;
    switch (field.road) {
      case Road::IdCell: {
        const auto width = static_cast<std::size_t>(std::max(field.width, 0));
        end = size + PadRightAt(line + size, cell(field.column), width);
        size += width;
        break;
      }
      case Road::PlainAxis:
      case Road::PlainAltitude: {
        const std::size_t length =
            WritePlainDecimalCell(line + size, cell(field.column), field.width, field.road == Road::PlainAxis ? 6 : 1,
                                  mark, field.below);
        size += length;
        done = length > 0;
        break;
      }
      case Road::MinutesAxis: {
        const std::size_t length =
            WriteMinutesCell(line + size, cell(field.column), field.width, mark, field.below, field.sign);
        size += length;
        done = length > 0;
        break;
      }
      case Road::GridDigits: {
        const std::size_t length = WriteGridDigitsCell(line + size, cell(field.column), field.width);
        size += length;
        done = length > 0;
        break;
      }
      case Road::DateCell:
        done = WriteDateCell(line + size, cell(field.column), settings_.dateFormat, values_.locale.dateSeparator);
        if (done) size += 10;
        break;
      case Road::Time:
        PadRightAt(line + size, time_, 8);
        size += 8;
        break;
      case Road::TextOption: line[size++] = settings_.textOption; break;
      case Road::Any: done = false; break;
    }
    if (!done) {
      size_ = size;
      idTextEnd_ = 0;
      WriteField(field.letter, r);
      size = size_;
      end = idTextEnd_;
      line = text_->Data() + base_;
      room = text_->Size() - base_;
    }
    spans_[i] = {static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(field.letter == 'I' ? end : size)};
  }
  size_ = size;
  currentLetter_ = 0;
  newTrackPending_ = false;
}

void RecordReader::WriteField(char letter, int r) {
  const GridState& grid = state_.grid;
  const char mark = setup_.decimalMark;
  const ExportFlags& flags = setup_.flags;
  switch (letter) {
    case 'I': {
      std::string_view id = Cell(Slot::ID);
      if (!kinds_.Has(Slot::ID)) {
        generatedId_ = GeneratedId(state_.edits.idPrefix, idCounter_++);
        id = generatedId_;
      }
      idTextEnd_ = size_ + std::min(id.size(), static_cast<std::size_t>(setup_.idWidth));
      PutPadRight(id, setup_.idWidth);
      break;
    }
    case 'K':
    case 'L': {
      const bool latitude = letter == 'K';
      if (flags.useDefaultLatLong) {
        Put(latitude ? "N00.000000" : "E000.000000");
      } else {
        PutNumber(latitude ? LatitudeValue(row_, values_) : LongitudeValue(row_, values_),
                  latitude ? 10 : 11, 6, false);
      }
      break;
    }
    case 'X': Put(GarminHexField(Cell(Slot::Grid), mark)); break;
    case 'G': Put(GridGroupField(Cell(Slot::Grid), setup_)); break;
    case 'Z':
      if (zone_) Put(ZoneField(row_, values_, zone_->defaultZone, zone_->ui));
      break;
    case 'E':
    case 'N': {
      const bool easting = letter == 'E';
      if (flags.useDefaultEastNorth) {
        Put(easting ? "500000" : "0000000");
      } else {
        Put(GridValueField(Cell(easting ? Slot::Easting : Slot::Northing),
                           easting ? grid.eastingDigits : grid.northingDigits, settings_.scaleFactor,
                           settings_.alignment));
      }
      break;
    }
    case 'H':
      PutAltitude(ReadNumber(Cell(Slot::Altitude), mark) * altitudeFactor_);
      break;
    case 'A': PutNumber(ReadNumber(Cell(Slot::Aux), mark), 8, 1, true); break;
    case 'D': PutPadRight(DateField(row_, values_, carry_), 10); break;
    case 'T': PutPadRight(time_, 8); break;
    case 'S': PutPadRight(Cell(Slot::Symbol), setup_.symbolWidth); break;
    case 'M': Put(settings_.textOption); break;
    case 'Q': Put(TrackStartFlag(r)); break;
    case 'C':
      comment_.clear();
      AppendCommentField(comment_, row_, kinds_);
      Put(comment_);
      break;
    default: break;
  }
}

void RecordReader::Grow(std::size_t size) {
  text_->Resize(std::max(2 * text_->Size(), base_ + size_ + size + kLineRoom));
}

void RecordReader::Put(std::string_view text) {
  if (text.empty()) return;
  CopyShort(Room(text.size()), text.data(), text.size());
  size_ += text.size();
}

void RecordReader::PutPadRight(std::string_view text, int width) {
  const std::size_t w = static_cast<std::size_t>(std::max(width, 0));
  PadRightAt(Room(w + 8), text, w);
  size_ += w;
}

void RecordReader::PutNumber(double value, int width, int decimals, bool keepEnd) {
  const std::size_t w = static_cast<std::size_t>(std::max(width, 0));
  char* at = Room(kFloatTextRoom);
  std::size_t length = WriteFloatText(at, value, width, decimals, setup_.decimalMark);
  if (length == 0) {
    std::string text = FormatFloat(value, width, decimals, setup_.decimalMark);
    std::string_view kept = text;
    if (kept.size() > w) kept = keepEnd ? kept.substr(kept.size() - w) : kept.substr(0, w);
    Put(kept);
    return;
  }
  if (length > w) {
    if (keepEnd) std::memmove(at, at + (length - w), w);
    length = w;
  }
  size_ += length;
}

void RecordReader::PutAltitude(double value) {
  // Cut to its last characters, -1234567 would read 234567.0: refused instead.
  char* at = Room(kFloatTextRoom);
  std::size_t length = WriteFloatText(at, value, kAltitudeWidth, 1, setup_.decimalMark);
  if (length == 0) {
    std::string text = FormatFloat(value, kAltitudeWidth, 1, setup_.decimalMark);
    if (text.size() > kAltitudeWidth) throw EInvalidLine(kAltitudeTooLarge);
    Put(text);
    return;
  }
  if (length > kAltitudeWidth) throw EInvalidLine(kAltitudeTooLarge);
  size_ += length;
}

std::string_view RecordReader::Field(std::size_t index) const {
  if (index >= spans_.size()) return {};
  const Span& span = spans_[index];
  return std::string_view(text_->Data() + base_ + span.begin, span.end - span.begin);
}

char RecordReader::TrackStartFlag(int r) {
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

void RecordReader::RecordFailed(int r) {
  if (settings_.trackStart > 0) lastTrackValue_ = kFailedRecordMarker + std::to_string(r);
  newTrackPending_ = false;
}

int RecordReader::FailingColumn() const { return FailingFieldColumn(currentLetter_, kinds_); }

}  // namespace zevi
