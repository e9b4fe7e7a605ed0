#include "values/gridvalues.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "export/format.h"
#include "support/scripted_ui.h"
#include "value_rig.h"

namespace zevi {
namespace {

using testing::FailureOf;
using testing::ScriptedUi;
using testing::ValueRig;

constexpr int kRight = 0, kX10 = 1, kX100 = 2, kX1000 = 3, kLeft = 9;

TEST(GridValues, EveryAlignmentAndShift) {
  const struct {
    const char* text;
    int digits, shift, alignment;
    const char* expected;  // or the failure
    const char* reason;
  } cases[] = {
      {"12345", 6, 0, kRight, "012345", "a leading zero supplied"},
      {"0123456", 6, 0, kRight, "123456", "an excess leading zero dropped"},
      {"1234567", 6, 0, kRight, "EInvalidLine: Coordinate too large", "an excess digit that is not zero"},
      {"", 6, 0, kRight, "000000", "empty"},
      {"   ", 6, 0, kX1000, "000000", "blanks only"},
      {" 12345 ", 6, 0, kRight, "012345", "blanks trimmed"},
      {"-12345", 6, 0, kRight, "-012345", "the sign stays in front"},
      {"+12345", 6, 0, kRight, "+012345", "plus sign too"},
      {"12345.6", 6, 0, kRight, "012345.6", "decimals kept"},
      {"12345,6", 6, 0, kRight, "012345,6", "with their own mark"},
      {"12345", 6, 0, kX10, "123450", "x 10"},
      {"1234.5", 6, 0, kX10, "012345.0", "x 10 moves the mark"},
      {"1234,5", 6, 0, kX10, "012345,0", "x 10 moves a comma"},
      {"1234.5", 6, 0, kX100, "123450.0", "x 100"},
      {"0.5", 6, 0, kX100, "000050.0", "x 100 of a fraction"},
      {"123", 6, 0, kX1000, "123000", "x 1000"},
      {"1234", 6, 0, kX1000, "EInvalidLine: Coordinate too large", "x 1000 too large"},
      {"-57", 7, 0, kX1000, "-0057000", "x 1000 with a sign"},
      {"5712", 7, 0, kLeft, "5712000", "left aligned fills on the right"},
      {"5712.3", 7, 0, kLeft, "5712.3", "left aligned with a point stays"},
      {"57123456", 7, 0, kLeft, "57123456", "left aligned never cuts"},
      {"5712", 7, 0, 5, "5712000", "an alignment above 3 is left aligned"},
      {"1234567", 6, -2, kRight, "012345.67", "shift left"},
      {"5", 6, -2, kRight, "000000.5", "shift left of a short text puts the point in front"},
      {"12345", 6, 1, kRight, "123450", "shift right"},
      {"571", 7, 2, kLeft, "5710000", "shift, then left aligned"},
      {"1", 13, 12, kRight, "0010000000000", "at most ten zeros per step: the shift gives ten"},
      {"1", 13, 0, kRight, "00000000001", "at most ten zeros per step: so does the right alignment"},
      {"1", 13, 0, kLeft, "10000000000", "at most ten zeros per step: and the left alignment"},
      {"12a45", 6, 0, kRight, "EConvertError: '12a45' is not a valid floating point value",
       "text that is no number is not written"},
      {"12.34", 6, -1, kRight, "EConvertError: '12.3.4' is not a valid floating point value",
       "a shift into a text that has a point"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    std::string result;
    std::string failure = FailureOf([&] { result = GridValueField(c.text, c.digits, c.shift, c.alignment); });
    EXPECT_EQ(failure.empty() ? result : failure, c.expected) << "'" << c.text << "'";
  }
}

struct ZoneRig : ValueRig {
  std::string defaultZone;
  ScriptedUi ui;

  ZoneRig(const char* gridName, int zoneWidth, const char* zone) : defaultZone(zone) {
    grid.name = gridName;
    grid.zoneWidth = zoneWidth;
  }
  std::string Zone(std::string_view cell) {
    RowCells row{std::string_view{}, cell};
    return ZoneField(row, Context(), defaultZone, ui);
  }
};

const char* kQuestion =
    "Which Hemisphere? Need a Zone letter|Enter C-M for southern or N-X for northern hemisphere";

TEST(GridValues, ZonesOfAZoneColumn) {
  const struct {
    const char* grid;
    int width;
    const char* defaultZone;
    const char* cell;
    const char* expected;
    const char* reason;
  } cases[] = {
      {"UTM", 3, "30U", "5", "05U", "one digit: a zero in front, the band of the default zone"},
      {"UTM", 3, "30U", "32", "32U", "two characters take the band"},
      {"UTM", 3, "30U", "32T", "32T", "a complete zone stays"},
      {"UTM", 3, "30U", "", "   ", "an empty cell stays blank"},
      {"UTM", 3, "30U", "32TX", "32T", "cut to the zone width"},
      {"OSGB", 2, "30", "5", "5 ", "other grids are only aligned"},
      {"OSGB", 2, "30", "TQ7", "TQ", "and cut"},
      {"", 0, "30U", "32T", "", "a grid without zones writes no zone"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ZoneRig rig(c.grid, c.width, c.defaultZone);
    rig.Assign(1, "Z_", Slot::Zone);
    EXPECT_FALSE(ZoneFieldMayAsk(rig.grid, rig.defaultZone));
    EXPECT_EQ(rig.Zone(c.cell), c.expected);
    EXPECT_EQ(rig.defaultZone, c.defaultZone);
    EXPECT_TRUE(rig.ui.inputPrompts.empty());
  }
}

TEST(GridValues, DefaultZoneWithoutAZoneColumn) {
  ZoneRig rig("OSGB", 3, "TQ");
  EXPECT_EQ(rig.Zone("ignored"), "TQ ");
  ZoneRig utm("UTM", 3, "30U");
  EXPECT_EQ(utm.Zone(""), "30U");
}

TEST(GridValues, TheBandQuestionIsAskedUntilTheDefaultZoneHasOne) {
  ZoneRig rig("UTM", 3, "30");
  rig.Assign(1, "Z_", Slot::Zone);
  rig.ui.inputAnswers = {"U"};
  EXPECT_TRUE(ZoneFieldMayAsk(rig.grid, rig.defaultZone));
  EXPECT_EQ(rig.Zone("5"), "05U");
  EXPECT_EQ(rig.defaultZone, "30U");
  EXPECT_FALSE(ZoneFieldMayAsk(rig.grid, rig.defaultZone));
  EXPECT_EQ(rig.Zone("7"), "07U");
  ASSERT_EQ(rig.ui.inputPrompts, std::vector<std::string>{kQuestion});
}

TEST(GridValues, BandAnswers) {
  const struct {
    const char* defaultZone;
    std::vector<std::string> answers;  // none: the proposal comes back
    const char* expected;
    const char* defaultAfter;
    const char* reason;
  } cases[] = {
      {"30", {}, "05T", "30T", "the proposal T"},
      {"30", {""}, "05T", "30T", "an empty answer is T"},
      {"30", {"south"}, "05s", "30s", "the first character, unchecked"},
      {"3012", {"X"}, "05X", "3012X", "the default zone grows to five characters"},
      {"30123", {"X"}, "05X", "30123", "and no further"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ZoneRig rig("UTM", 3, c.defaultZone);
    rig.Assign(1, "Z_", Slot::Zone);
    rig.ui.inputAnswers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(rig.Zone("5"), c.expected);
    EXPECT_EQ(rig.defaultZone, c.defaultAfter);
    EXPECT_EQ(rig.ui.inputPrompts.size(), 1u);
  }
  // Without a zone column the default zone itself is completed.
  ZoneRig rig("UTM", 3, "30");
  rig.ui.inputAnswers = {"V"};
  EXPECT_EQ(rig.Zone(""), "30V");
  EXPECT_EQ(rig.defaultZone, "30V");
}

TEST(GridValues, FormatSampleOfAGrid) {
  const struct {
    int alignment;
    const char* expected;
  } cases[] = {
      {kRight, "012345   0345678   ZNE"},
      {kX10, "012340   0345670   ZNE"},
      {kX100, "012300   0345600   ZNE"},
      {kX1000, "012000   0345000   ZNE"},
      {kLeft, "123400   3456000   ZNE"},
  };
  for (const auto& c : cases) {
    ValueRig rig;
    rig.grid.name = "UTM";
    rig.grid.selected = 1;
    rig.grid.eastingDigits = 6;
    rig.grid.northingDigits = 7;
    rig.grid.zoneWidth = 3;
    rig.settings.alignment = c.alignment;
    EXPECT_EQ(FormatSample(rig.settings, rig.kinds, rig.grid), c.expected) << c.alignment;
  }
  ValueRig rig;
  rig.grid.name = "OSGB";
  rig.grid.selected = 3;
  rig.grid.eastingDigits = 5;
  rig.grid.northingDigits = 5;
  rig.grid.zoneWidth = 2;
  EXPECT_EQ(FormatSample(rig.settings, rig.kinds, rig.grid), "01234   03456   ZN");
}

TEST(GridValues, FormatSampleOfLatitudeAndLongitude) {
  using P = std::pair<const char*, Slot>;
  const struct {
    std::vector<P> codes;
    const char* expected;
  } cases[] = {
      {{P{"KD", Slot::Latitude}, P{"LD", Slot::Longitude}}, "DD.ddddd DDD.ddddd"},
      {{P{"KM", Slot::Latitude}, P{"LN", Slot::Longitude}}, "DD MM.mmmm DDDMM.mmmm"},
      {{P{"KN", Slot::Latitude}, P{"LS", Slot::Longitude}}, "DDMM.mmmm DDD MM SS.ss"},
      {{P{"KD", Slot::Latitude}, P{"Km", Slot::LatitudeMinutes}, P{"LD", Slot::Longitude},
        P{"Lm", Slot::LongitudeMinutes}, P{"Ls", Slot::LongitudeSeconds}},
       "DD MM DDD MM SS"},
      {{P{"KQ", Slot::Latitude}}, "???? ?????"},
      {{P{"E_", Slot::Easting}, P{"N_", Slot::Northing}}, "Easting Northing"},
      {{}, "????? ?????"},
      {{P{"OX", Slot::Grid}, P{"KD", Slot::Latitude}}, "GARMIN 01234567 89ABCDEF"},
      {{P{"OG", Slot::Grid}}, ""},
  };
  for (const auto& c : cases) {
    ValueRig rig;
    for (std::size_t i = 0; i < c.codes.size(); ++i) rig.Assign(static_cast<int>(i) + 1, c.codes[i].first, c.codes[i].second);
    EXPECT_EQ(FormatSample(rig.settings, rig.kinds, rig.grid), c.expected);
  }
}

TEST(GridValues, ScaleLabelAnswerAndSpin) {
  EXPECT_EQ(ScaleLabel(0), "Scale =1");
  EXPECT_EQ(ScaleLabel(2), "Scale X100");
  EXPECT_EQ(ScaleLabel(-3), "Scale /1000");
  EXPECT_EQ(ScaleLabel(12), "Scale X1000000000");
  EXPECT_EQ(ScaleLabel(-128), "Scale /1000000000");

  EXPECT_EQ(ParseScaleAnswer("5"), 5);
  EXPECT_EQ(ParseScaleAnswer("-128"), -128);
  EXPECT_EQ(ParseScaleAnswer("127"), 127);
  EXPECT_EQ(ParseScaleAnswer("abc"), std::nullopt);
  EXPECT_EQ(ParseScaleAnswer(""), std::nullopt);
  EXPECT_EQ(ParseScaleAnswer("1.5"), std::nullopt);
  EXPECT_EQ(FailureOf([] { ParseScaleAnswer("128"); }), "ERangeError: Range check error");
  EXPECT_EQ(FailureOf([] { ParseScaleAnswer("-129"); }), "ERangeError: Range check error");

  EXPECT_EQ(StepScale(0, 1), 1);
  EXPECT_EQ(StepScale(127, 1), -128);
  EXPECT_EQ(StepScale(-128, -1), 127);
}


// The export's short road for eastings and northings writes what the reader
// writes, for every cell it takes, and takes the usual ones.
TEST(GridValues, DigitCellsWriteWhatTheReaderWrites) {
  std::mt19937 random(20261209);
  const std::string bytes = "0123456789 -+.,a";
  std::vector<std::string> cells = {"", "0", "413584", "5674698", "0413584", "12345678", "-1", "1.5", " 12"};
  for (int i = 0; i < 100000; ++i) {
    std::string cell;
    for (std::size_t length = random() % 9; cell.size() < length;) {
      cell += random() % 6 ? static_cast<char>('0' + random() % 10) : bytes[random() % bytes.size()];
    }
    cells.push_back(cell);
  }
  std::size_t taken = 0;
  for (const int digits : {6, 7}) {
    for (const std::string& cell : cells) {
      char fast[kFloatTextRoom];
      const std::size_t length = WriteGridDigitsCell(fast, cell, digits);
      if (length == 0) continue;
      ++taken;
      std::string read;
      const std::string failure = FailureOf([&] { read = GridValueField(cell, digits, 0, kAlignRight); });
      ASSERT_EQ(std::string(fast, length), failure.empty() ? read : failure) << "'" << cell << "' in " << digits;
    }
  }
  EXPECT_GT(taken, 50000u) << "cells the short road took";
}

}  // namespace
}  // namespace zevi
