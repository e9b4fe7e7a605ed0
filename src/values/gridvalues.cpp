#include "values/gridvalues.h"

#include <algorithm>
#include <array>

#include "settings/userinterface.h"
#include "source/loader.h"
#include "values/failures.h"
#include "values/numbers.h"

namespace zevi {

namespace {

// Zeros are cut from this supply, so one step never adds more than ten.
constexpr std::string_view kZeroSupply = "0000000000";
constexpr int kMinShift = -128;
constexpr int kMaxShift = 127;
constexpr int kMaxScaleZeros = 9;

constexpr const char* kZoneCaption = "Which Hemisphere? Need a Zone letter";
constexpr const char* kZonePrompt = "Enter C-M for southern or N-X for northern hemisphere";
constexpr const char* kZoneProposal = "T";
constexpr std::size_t kDefaultZoneLength = 5;

std::string_view Zeros(int count) {
  return kZeroSupply.substr(0, static_cast<std::size_t>(std::clamp(count, 0, 10)));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with at most one decimal mark, after an optional sign: anything else
// would end up in the output as a mangled coordinate.
bool IsGridNumber(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  int marks = 0;
  int digits = 0;
  for (char c : text) {
    if (IsDigit(c)) ++digits;
    else if (c == '.' || c == ',') ++marks;
    else return false;
  }
  return digits > 0 && marks <= 1;
}

std::string_view FirstOf(std::string_view text, int count) {
  return text.substr(0, static_cast<std::size_t>(std::clamp<int>(count, 0, static_cast<int>(text.size()))));
}

// The first entry of the grid box is latitude/longitude; the export asks the same.
bool IsLatLongGrid(const GridState& grid) { return grid.selected <= 0; }

char SecondOfCode(const ConversionSettings& settings, int column) {
  if (column <= kNoColumn || column >= kMaxColumnCount) return ' ';
  const ColumnCode& code = settings.columns.entries[column].code;
  return code.size() >= 2 ? code[1] : ' ';
}

// The words a sample shows for one axis of a latitude/longitude layout.
struct SampleAxis {
  Slot main, minutes, seconds, gridSlot;
  const char* gridWord;      // the grid column that stands in for a missing main column
  const char* minutesWords;  // "DD MM"
  const char* byNotation[4];  // D, M, N, S
};

constexpr SampleAxis kSampleAxes[] = {
    {Slot::Latitude, Slot::LatitudeMinutes, Slot::LatitudeSeconds, Slot::Easting, "Easting", "DD MM",
     {"DD.ddddd", "DD MM.mmmm", "DDMM.mmmm", "DD MM SS.ss"}},
    {Slot::Longitude, Slot::LongitudeMinutes, Slot::LongitudeSeconds, Slot::Northing, "Northing", "DDD MM",
     {"DDD.ddddd", "DDD MM.mmmm", "DDDMM.mmmm", "DDD MM SS.ss"}},
};

std::string SampleOfAxis(const ConversionSettings& settings, const KindColumn& kinds, const SampleAxis& axis) {
  if (!kinds.Has(axis.main)) return kinds.Has(axis.gridSlot) ? axis.gridWord : "?????";
  if (kinds.Has(axis.minutes)) {
    return std::string(axis.minutesWords) + (kinds.Has(axis.seconds) ? " SS" : "");
  }
  constexpr std::string_view kNotations = "DMNS";
  std::size_t at = kNotations.find(SecondOfCode(settings, kinds[axis.main]));
  return at == std::string_view::npos ? "????" : axis.byNotation[at];
}

struct AlignmentSample {
  int cut;                 // digits the alignment supplies itself
  const char* easting;
  const char* northing;
  const char* supplied;    // the zeros the alignment adds, as shown
};

constexpr AlignmentSample kAlignmentSamples[] = {
    {0, "01234567", "03456789", ""},
    {1, "0123456", "0345678", "0"},
    {2, "012345", "034567", "00"},
    {3, "01234", "03456", "000"},
};
constexpr AlignmentSample kLeftAlignedSample{0, "12340000", "34560000", ""};

}  // namespace

std::string GridValueField(std::string_view text, int digits, int shift, int alignment) {
  std::string_view trimmed = TrimText(text);
  if (trimmed.empty()) return std::string(Zeros(digits));

  std::string value(trimmed);
  if (shift < 0) {
    std::size_t after = static_cast<std::size_t>(-shift);
    value.insert(value.size() > after ? value.size() - after : 0, 1, '.');
  } else if (shift > 0) {
    value += Zeros(shift);
  }
  // Shown after the shift, which is what made "12.34" into "12.3.4".
  if (!IsGridNumber(value)) throw EConvertError("'" + value + "' is not a valid floating point value");

  bool leftAligned = alignment < 0 || alignment > 3;
  if (leftAligned) {
    if (value.find('.') != std::string::npos) return value;
    value += Zeros(digits - static_cast<int>(value.size()));
    return value;
  }

  char sign = 0;
  if (value.front() == '+' || value.front() == '-') {
    sign = value.front();
    value.erase(0, 1);
  }
  std::size_t mark = value.find('.');
  if (mark == std::string::npos) mark = value.find(',');
  int whole = static_cast<int>(mark == std::string::npos ? value.size() : mark);

  int factor = std::clamp(alignment, 0, 3);
  if (factor > 0) {
    value += Zeros(factor);
    if (mark != std::string::npos) {
      char markChar = value[mark];
      value.erase(mark, 1);
      value.insert(mark + static_cast<std::size_t>(factor), 1, markChar);
    }
    whole += factor;
  }

  std::size_t drop = 0;
  for (; whole > digits; --whole, ++drop) {
    if (value[drop] != '0') throw EInvalidLine("Coordinate too large");
  }
  value.erase(0, drop);
  if (whole < digits) value.insert(0, Zeros(digits - whole));
  if (sign) value.insert(value.begin(), sign);
  return value;
}

bool ZoneFieldMayAsk(const GridState& grid, std::string_view defaultZone) {
  return grid.name == "UTM" && defaultZone.size() != 3;
}

std::string ZoneField(const RowCells& row, const ValueContext& context, std::string& defaultZone,
                      UserInterface& ui) {
  const KindColumn& kinds = context.kinds;
  const GridState& grid = context.grid;
  std::string zone = !kinds.Has(Slot::Zone) && grid.zoneWidth != 0
                         ? defaultZone
                         : std::string(CellOf(row, kinds[Slot::Zone]));
  if (grid.name == "UTM") {
    if (zone.size() == 1) zone.insert(0, 1, '0');
    if (zone.size() == 2) {
      if (!ZoneFieldMayAsk(grid, defaultZone)) {
        zone += defaultZone[2];
      } else {
        std::string answer = ui.InputBox(kZoneCaption, kZonePrompt, kZoneProposal);
        char band = answer.empty() ? kZoneProposal[0] : answer.front();
        zone += band;
        defaultZone += band;
        if (defaultZone.size() > kDefaultZoneLength) defaultZone.resize(kDefaultZoneLength);
      }
    }
  }
  zone.resize(static_cast<std::size_t>(std::max(grid.zoneWidth, 0)), ' ');
  return zone;
}

std::string FormatSample(const ConversionSettings& settings, const KindColumn& kinds, const GridState& grid) {
  if (!IsLatLongGrid(grid)) {
    const AlignmentSample& sample = settings.alignment >= 0 && settings.alignment <= 3
                                        ? kAlignmentSamples[settings.alignment]
                                        : kLeftAlignedSample;
    std::string text(FirstOf(sample.easting, grid.eastingDigits - sample.cut));
    text += sample.supplied;
    text += "   ";
    text += FirstOf(sample.northing, grid.northingDigits - sample.cut);
    text += sample.supplied;
    text += "   ";
    text += FirstOf("ZNE", grid.zoneWidth);
    return text;
  }
  if (kinds.Has(Slot::Grid)) {
    return SecondOfCode(settings, kinds[Slot::Grid]) == 'X' ? "GARMIN 01234567 89ABCDEF" : "";
  }
  return SampleOfAxis(settings, kinds, kSampleAxes[0]) + " " + SampleOfAxis(settings, kinds, kSampleAxes[1]);
}

std::string ScaleLabel(int shift) {
  char marker = shift < 0 ? '/' : shift == 0 ? '=' : 'X';
  int zeros = std::min(shift < 0 ? -shift : shift, kMaxScaleZeros);
  std::string label = "Scale ";
  label += marker;
  label += '1';
  label.append(static_cast<std::size_t>(zeros), '0');
  return label;
}

std::optional<int> ParseScaleAnswer(std::string_view answer) {
  auto number = TryStrToInt(answer);
  if (!number) return std::nullopt;
  if (*number < kMinShift || *number > kMaxShift) throw ERangeError();
  return static_cast<int>(*number);
}

int StepScale(int shift, int delta) {
  constexpr int kSpan = kMaxShift - kMinShift + 1;
  int offset = ((shift - kMinShift + delta) % kSpan + kSpan) % kSpan;
  return kMinShift + offset;
}

}  // namespace zevi
