#include "source/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace zevi {
namespace {

using enum SourceEncoding;

// What a decode gives, in one line, so a failing case shows everything.
std::string Describe(const DecodedSource& decoded, std::string_view bytes) {
  return std::string(EncodingName(decoded.used)) + (decoded.converted ? " converted" : " as is") +
         " skip=" + std::to_string(decoded.skip) + " text=[" + std::string(decoded.Text(bytes)) +
         "] unmappable=" + std::to_string(decoded.unmappable) +
         (decoded.unmappable ? " first=" + std::to_string(decoded.firstUnmappable) : "");
}

struct DecodeRow {
  std::string bytes;
  SourceEncoding requested;
  std::string expected;  // as Describe writes it
  const char* reason;
};

void CheckRows(const std::vector<DecodeRow>& rows) {
  for (const DecodeRow& row : rows) {
    DecodedSource decoded = DecodeSource(row.bytes, row.requested);
    EXPECT_EQ(Describe(decoded, row.bytes), row.expected) << row.reason;
  }
}

std::string Utf16Le(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string Utf16Be(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

const std::string kLongAscii(100, 'x');  // longer than one block of the ASCII scan

TEST(DecodeSource, DetectsTheEncoding) {
  CheckRows({
      {"", Automatic, "Windows-1252 as is skip=0 text=[] unmappable=0", "empty file"},
      {"W1,52.1,-1.5\r\n", Automatic, "Windows-1252 as is skip=0 text=[W1,52.1,-1.5\r\n] unmappable=0",
       "pure ASCII is not converted"},
      {"Caf\xE9 du Lac", Automatic, "Windows-1252 as is skip=0 text=[Caf\xE9 du Lac] unmappable=0",
       "Windows-1252 accent is no UTF-8"},
      {"Caf\xC3\xA9 du Lac", Automatic, "UTF-8 converted skip=0 text=[Caf\xE9 du Lac] unmappable=0",
       "UTF-8 without BOM"},
      {"\xEF\xBB\xBFW1,52.1", Automatic, "UTF-8 as is skip=3 text=[W1,52.1] unmappable=0",
       "BOM on pure ASCII is only skipped"},
      {"\xEF\xBB\xBFZ\xC3\xBCrich H\xC3\xBCtte", Automatic,
       "UTF-8 converted skip=0 text=[Z\xFCrich H\xFCtte] unmappable=0", "BOM and accents"},
      {"\xEF\xBB\xBF" "Caf\xE9", Automatic, "UTF-8 converted skip=0 text=[Caf?] unmappable=1 first=3",
       "a UTF-8 BOM decides even over bytes that are not UTF-8"},
      {"Caf\xC3\xA9 Caf\xE9", Automatic, "Windows-1252 as is skip=0 text=[Caf\xC3\xA9 Caf\xE9] unmappable=0",
       "one bad sequence after good ones makes it Windows-1252"},
      {"Caf\xC3\xA9" + kLongAscii + "\xE9", Automatic,
       "Windows-1252 as is skip=0 text=[Caf\xC3\xA9" + kLongAscii + "\xE9] unmappable=0",
       "bad sequence far behind the first"},
      {kLongAscii + "\xC3\xA9", Automatic, "UTF-8 converted skip=0 text=[" + kLongAscii + "\xE9] unmappable=0",
       "first multi-byte sequence beyond the first block"},
      {"\xFF\xFE" + Utf16Le(u"Caf\u00E9"), Automatic, "UTF-16 converted skip=0 text=[Caf\xE9] unmappable=0",
       "UTF-16 LE BOM"},
      {"\xFE\xFF" + Utf16Be(u"Caf\u00E9"), Automatic, "UTF-16 converted skip=0 text=[Caf\xE9] unmappable=0",
       "UTF-16 BE BOM"},
      {Utf16Le(u"AB"), Automatic, "Windows-1252 as is skip=0 text=[" + Utf16Le(u"AB") + "] unmappable=0",
       "UTF-16 without BOM is not guessed"},
      {"\xFF\xFE", Automatic, "UTF-16 converted skip=0 text=[] unmappable=0", "BOM alone"},
  });
}

TEST(DecodeSource, MapsUtf8ToWindows1252) {
  CheckRows({
      {"\xE2\x82\xAC \xC5\xA0 \xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D \xE2\x80\x93\xE2\x80\x94"
       " \xE2\x80\xA6 \xE2\x84\xA2 \xC5\xB8 \xC6\x92 \xCB\x86 \xC5\xBE",
       Automatic,
       "UTF-8 converted skip=0 text=[\x80 \x8A \x91\x92\x93\x94 \x96\x97 \x85 \x99 \x9F \x83 \x88 \x9E] "
       "unmappable=0",
       "characters of 0x80..0x9F"},
      {"\xC2\xA0\xC2\xA9\xC3\x80\xC3\xBF", Automatic, "UTF-8 converted skip=0 text=[\xA0\xA9\xC0\xFF] unmappable=0",
       "Latin-1 range"},
      {"A\xE6\x9D\xB1" "B\xF0\x9F\x98\x80" "C", Automatic, "UTF-8 converted skip=0 text=[A?B?C] unmappable=2 first=1",
       "three- and four-byte characters outside Windows-1252"},
      {"abcdefghij\xD0\x96", Automatic, "UTF-8 converted skip=0 text=[abcdefghij?] unmappable=1 first=10",
       "offset counted after an eight-byte run"},
      {"\xC2\x80\xC2\x81\xC5\x93", Automatic, "UTF-8 converted skip=0 text=[?\x81\x9C] unmappable=1 first=0",
       "U+0080 has no form, U+0081 keeps its byte"},
      {"\xE2\x80\x95", Automatic, "UTF-8 converted skip=0 text=[?] unmappable=1 first=0",
       "a neighbour of the dashes"},
  });
}

TEST(DecodeSource, MalformedUtf8IsOneQuestionMarkPerRun) {
  CheckRows({
      {"a\xC3(b", Utf8, "UTF-8 converted skip=0 text=[a?(b] unmappable=1 first=1", "lead without continuation"},
      {"a\xE2\x82", Utf8, "UTF-8 converted skip=0 text=[a?] unmappable=1 first=1", "cut off at the end"},
      {"\xE2\x82" "A", Utf8, "UTF-8 converted skip=0 text=[?A] unmappable=1 first=0", "cut off before ASCII"},
      {"\x80\xBF", Utf8, "UTF-8 converted skip=0 text=[??] unmappable=2 first=0", "stray continuations"},
      {"\xC0\xAF", Utf8, "UTF-8 converted skip=0 text=[??] unmappable=2 first=0", "overlong slash"},
      {"\xE0\x80\xAF", Utf8, "UTF-8 converted skip=0 text=[???] unmappable=3 first=0", "overlong three bytes"},
      {"\xED\xA0\x80", Utf8, "UTF-8 converted skip=0 text=[???] unmappable=3 first=0", "encoded surrogate"},
      {"\xF4\x90\x80\x80", Utf8, "UTF-8 converted skip=0 text=[????] unmappable=4 first=0", "beyond U+10FFFF"},
      {"\xF5\xFF", Utf8, "UTF-8 converted skip=0 text=[??] unmappable=2 first=0", "bytes that never lead"},
  });
}

TEST(DecodeSource, ForcedEncodingsAreUsedAsGiven) {
  CheckRows({
      {"Caf\xE9", Utf8, "UTF-8 converted skip=0 text=[Caf?] unmappable=1 first=3", "Windows-1252 read as UTF-8"},
      {"abc", Utf8, "UTF-8 as is skip=0 text=[abc] unmappable=0", "ASCII needs no conversion"},
      {"\xEF\xBB\xBF" "abc", Utf8, "UTF-8 as is skip=3 text=[abc] unmappable=0", "BOM dropped"},
      {"Caf\xC3\xA9", Windows1252, "Windows-1252 as is skip=0 text=[Caf\xC3\xA9] unmappable=0",
       "UTF-8 read as Windows-1252"},
      {"\xEF\xBB\xBF" "a", Windows1252, "Windows-1252 as is skip=0 text=[\xEF\xBB\xBF" "a] unmappable=0",
       "forced Windows-1252 keeps a BOM"},
      {Utf16Le(u"A\u20AC"), Utf16, "UTF-16 converted skip=0 text=[A\x80] unmappable=0", "no BOM: little-endian"},
      {Utf16Be(u"AB\u00E9"), Utf16, "UTF-16 converted skip=0 text=[AB\xE9] unmappable=0",
       "no BOM, zeros at even offsets: big-endian"},
      {Utf16Le(u"\u6771\u4EAC"), Utf16, "UTF-16 converted skip=0 text=[??] unmappable=2 first=0",
       "no zeros either way: little-endian"},
      {"\xFE\xFF" + Utf16Be(u"\u0100A"), Utf16, "UTF-16 converted skip=0 text=[?A] unmappable=1 first=0",
       "BOM gives the order"},
      {"\xFF\xFE" "x", Utf8, "UTF-8 converted skip=0 text=[??x] unmappable=2 first=0",
       "UTF-16 read as UTF-8"},
      {"", Utf16, "UTF-16 converted skip=0 text=[] unmappable=0", "empty"},
  });
}

TEST(DecodeSource, Utf16SurrogatesAndOddLengths) {
  CheckRows({
      {"\xFF\xFE" + Utf16Le(u"a\U0001F600b"), Automatic, "UTF-16 converted skip=0 text=[a?b] unmappable=1 first=1",
       "a pair is one character"},
      {"\xFE\xFF" + Utf16Be(u"\U0001F600\U0001F600"), Automatic,
       "UTF-16 converted skip=0 text=[??] unmappable=2 first=0", "two pairs big-endian"},
      {"\xFF\xFE" + Utf16Le(u"\xD83D" u"A"), Automatic, "UTF-16 converted skip=0 text=[?A] unmappable=1 first=0",
       "high surrogate alone"},
      {"\xFF\xFE" + Utf16Le(u"A\xDE00"), Automatic, "UTF-16 converted skip=0 text=[A?] unmappable=1 first=1",
       "low surrogate alone"},
      {"\xFF\xFE" + Utf16Le(u"A\xD83D"), Automatic, "UTF-16 converted skip=0 text=[A?] unmappable=1 first=1",
       "high surrogate at the end"},
      {"\xFF\xFE" + Utf16Le(u"AB") + "C", Automatic, "UTF-16 converted skip=0 text=[AB?] unmappable=1 first=2",
       "odd byte count"},
      {"\xFF\xFE" + Utf16Le(u"\u20AC\u0160\u2018\u2019\u201C\u201D\u2013\u2014\u2026"), Automatic,
       "UTF-16 converted skip=0 text=[\x80\x8A\x91\x92\x93\x94\x96\x97\x85] unmappable=0", "0x80..0x9F"},
      {"\xFF\xFE" + Utf16Le(u"a\r\nb"), Automatic, "UTF-16 converted skip=0 text=[a\r\nb] unmappable=0",
       "line ends survive"},
  });
}

TEST(Cp1252, EveryByteSurvivesARoundTrip) {
  for (int byte = 0; byte < 256; ++byte) {
    auto back = UnicodeToCp1252(Cp1252ToUnicode(static_cast<unsigned char>(byte)));
    ASSERT_TRUE(back.has_value()) << byte;
    EXPECT_EQ(static_cast<unsigned char>(*back), byte);
  }
}

TEST(Cp1252ToUtf8, EveryCharacterReadsBackAndUndefinedBytesAreWrittenOut) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    const std::string utf8 = Cp1252ToUtf8(one);
    const char16_t character = Cp1252ToUnicode(static_cast<unsigned char>(byte));
    if (byte >= 0x80 && character < 0xA0) {
      EXPECT_EQ(utf8.size(), 4u) << byte;  // \x81: never a C1 control on a terminal
      EXPECT_EQ(utf8.substr(0, 2), "\\x") << byte;
      continue;
    }
    EXPECT_TRUE(IsUtf8(utf8)) << byte;
    EXPECT_EQ(DecodeSource(utf8, SourceEncoding::Utf8).Text(utf8), one) << byte;
  }
  EXPECT_EQ(Cp1252ToUtf8("K\xF6ln \x80 5\x9D"), "K\xC3\xB6ln \xE2\x82\xAC 5\\x9D");
  EXPECT_EQ(Cp1252ToUtf8(""), "");
}

TEST(IsUtf8, PathsAndAsciiAreUtf8AndCellsOfTheCodePageAreNot) {
  EXPECT_TRUE(IsUtf8(""));
  EXPECT_TRUE(IsUtf8("/home/z/Z\xC3\xBCrich/walk.ini"));
  EXPECT_FALSE(IsUtf8("Z\xFCrich"));
  EXPECT_FALSE(IsUtf8("\xC3"));  // cut short
}

TEST(EncodingNames, ReadAndWritten) {
  const struct {
    std::string_view text;
    std::optional<SourceEncoding> expected;
  } rows[] = {
      {"Automatic", Automatic}, {"auto", Automatic},     {"AUTO", Automatic},
      {"UTF-8", Utf8},          {"utf-8", Utf8},         {"utf8", Utf8},
      {"UTF-16", Utf16},        {"utf16", Utf16},        {"Windows-1252", Windows1252},
      {"windows-1252", Windows1252}, {"cp1252", Windows1252}, {"Cp1252", Windows1252},
      {"", std::nullopt},       {"latin1", std::nullopt}, {"utf-32", std::nullopt},
      {"utf 8", std::nullopt},  {" UTF-8", std::nullopt}, {"UTF-8 ", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(ParseEncodingName(row.text), row.expected) << row.text;

  EXPECT_EQ(EncodingName(Automatic), "Automatic");
  EXPECT_EQ(EncodingName(Utf8), "UTF-8");
  EXPECT_EQ(EncodingName(Utf16), "UTF-16");
  EXPECT_EQ(EncodingName(Windows1252), "Windows-1252");
}

TEST(UnmappableMessage, CountAndPlace) {
  EXPECT_EQ(UnmappableMessage(4, 12, "B"),
            "4 characters have no Windows-1252 form and are written as '?' (first: record 12, column B)");
  EXPECT_EQ(UnmappableMessage(1, 12, "B"),
            "1 character has no Windows-1252 form and is written as '?' (record 12, column B)");
  EXPECT_EQ(UnmappableMessage(2, 3, ""),
            "2 characters have no Windows-1252 form and are written as '?' (first: record 3)");
}

}  // namespace
}  // namespace zevi
