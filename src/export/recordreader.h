#pragma once
// The records of one export read into their lines, field by field in layout
// order: the record writer writes the lines, the preview takes the positions
// out of them. Both get the same IDs, track starts and failures because both
// read through this one reader.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/format.h"
#include "platform/memory.h"
#include "source/table.h"
#include "values/context.h"
#include "values/datetime.h"

namespace zevi {

struct AppState;
class UserInterface;

// Track-change values no cell holds: the one a run starts with, and the one a
// failed record leaves (followed by its number), so the next value that
// follows either starts a track.
inline constexpr const char* kNewTrackMarker = "*g&rb$g%";
inline constexpr const char* kFailedRecordMarker = "%$^\xA3";

// An altitude field is 8 characters; one that needs more fails its record.
inline constexpr std::size_t kAltitudeWidth = 8;
inline constexpr const char* kAltitudeTooLarge = "Altitude too large";

// A copy of the settings as an export starting now would take them: the
// record boxes and the default zone box taken over, the kind index rebuilt
// into `kinds`. The state stays as it is.
ConversionSettings SettingsAsExportTakesThem(const AppState& state, KindColumn& kinds);

// "Less than 500 records in source date": the range runs past the table.
std::string RangePastTableText(int last);

// Where a zone field may ask for a latitude-band letter, and the default zone
// that keeps the answer.
struct ZoneQuestion {
  std::string& defaultZone;
  UserInterface& ui;
};

// Cache-line aligned: a split export runs two readers at once, each writing
// its own members for every record.
class alignas(64) RecordReader {
 public:
  // Without `zone` nothing is ever asked and zone fields stay empty.
  RecordReader(const AppState& state, const ConversionSettings& settings, const KindColumn& kinds,
               const ExportFlags& flags, ZoneQuestion* zone = nullptr);
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // For the records first..last: the ID and symbol widths of waypoints, the
  // layout, the track and ID counters back at their start.
  void Start(int first, int last);
  // For the same records as `other` after its Start: its widths and layout
  // taken over rather than found again. For a reader on another thread.
  void StartAs(const RecordReader& other);
  // True when a record's line depends on nothing but its row and the counts
  // ResumeAt takes: no field asks the user or follows the track column's
  // values from record to record. Records can then be read on several
  // threads, each run of them after a ResumeAt.
  bool ReadsRecordsApart() const;
  // As if the rows first..r-1 had been read, `records` of them records and
  // none failed.
  void ResumeAt(int r, int records);
  const ExportSetup& Setup() const { return setup_; }
  const std::string& Layout() const { return layout_; }

  enum class RowKind { PastTable, EmptyLine, Record };
  // What row r is; an empty line makes the next record start a track.
  RowKind Classify(int r);

  // Record r's line without its line end, valid until the next read. A value
  // reader's failure leaves the line unfinished and propagates.
  std::string_view ReadLine(int r);
  // The same, with CR LF, written into `buffer` from `at` (grown as needed,
  // never shrunk); returns where the line ends. A failure leaves the bytes
  // from `at` on undefined.
  std::size_t ReadLineInto(int r, ByteBuffer& buffer, std::size_t at);
  // Field `index` of the layout in the last line ReadLine read; an ID
  // without the blanks that pad it.
  std::string_view Field(std::size_t index) const;

  // Rows first..last are read next: their text is copied out of a mapped
  // file at once (RowTextCopy) and read from there until DropRows.
  void HoldRows(int first, int last);
  void DropRows() { held_.Clear(); }

  // Record r did not make it into the file (its values, or writing its line).
  void RecordFailed(int r);
  // The data column to show for the last failure.
  int FailingColumn() const;

 private:
  void BuildLine(int r);
  // How each field of the layout is written: most fields of most rows by a
  // short road, any field by WriteField.
  enum class Road : std::uint8_t { Any, IdCell, PlainAxis, MinutesAxis, GridDigits, PlainAltitude, DateCell, Time, TextOption };
  struct FieldRoad {
    char letter;
    Road road;
    int column;     // the cell it is written from
    int width;      // of the field, on the roads that know it
    int below;      // the degrees a plain coordinate stays under
    std::size_t room;  // the most the road writes, a little past the field included
    int sign;       // the settings' sign of a coordinate
  };
  void PlanRoads();
  void WriteField(char letter, int r);
  char TrackStartFlag(int r);
  // The line is built in place: room is made, then characters are stored.
  char* Room(std::size_t size) {
    if (base_ + size_ + size > text_->Size()) Grow(size);
    return text_->Data() + base_ + size_;
  }
  void Grow(std::size_t size);
  void Put(char c) { *Room(1) = c; ++size_; }
  void Put(std::string_view text);
  // Left-aligned in `width` characters, cut to the first `width`.
  void PutPadRight(std::string_view text, int width);
  // FormatFloat's text with the export's cut: to the first `width`
  // characters, or with `keepEnd` to the last.
  void PutNumber(double value, int width, int decimals, bool keepEnd);
  // "%8.1f", or the record fails with kAltitudeTooLarge.
  void PutAltitude(double value);
  std::string_view Cell(Slot slot) const { return CellOf(row_, kinds_[slot]); }

  const AppState& state_;
  const ConversionSettings& settings_;
  const KindColumn& kinds_;
  ZoneQuestion* zone_;
  ExportSetup setup_;
  ValueContext values_;

  std::string layout_;
  std::vector<FieldRoad> roads_;
  bool layoutHasTime_ = false;
  double altitudeFactor_ = 1.0;
  int first_ = 1;
  int idCounter_ = 1;
  bool newTrackPending_ = true;
  std::string lastTrackValue_;
  char currentLetter_ = 0;

  // Reused for every record. The line is built at base_ in *text_: line_,
  // or the caller's buffer.
  static constexpr std::size_t kLineRoom = 256;
  ByteBuffer line_;
  ByteBuffer* text_ = &line_;
  std::size_t base_ = 0;
  std::size_t size_ = 0;  // the line's characters so far
  RowCells row_;
  RowTextCopy held_;
  DayCarry carry_;
  std::string timeText_;
  std::string_view time_;  // the record's time field: its cell, or timeText_
  std::string generatedId_;
  std::string comment_;
  std::size_t idTextEnd_ = 0;  // where the ID ends before its padding
  struct Span {
    std::uint32_t begin = 0, end = 0;
  };
  std::vector<Span> spans_;
};

}  // namespace zevi
