#include "cp1252.h"

#include <QFile>
#include <array>

namespace zevi {
namespace {

// 0x80..0x9F; 0 marks the five bytes Windows-1252 leaves undefined, which
// pass through as the C1 control of the same number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t UnicodeOf(unsigned char byte) {
  if (byte < 0x80 || byte > 0x9F) return byte;
  char16_t mapped = kHighControls[byte - 0x80];
  return mapped != 0 ? mapped : byte;
}

char ByteOf(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    char16_t mapped = kHighControls[i];
    if (mapped == unit || (mapped == 0 && unit == 0x80 + i)) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

QString FromCp1252(std::string_view text) {
  QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* out = result.data();
  for (char c : text) *out++ = QChar(UnicodeOf(static_cast<unsigned char>(c)));
  return result;
}

std::string ToCp1252(const QString& text) {
  std::string result;
  result.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      ++i;  // one character outside the plane, one '?'
      result.push_back('?');
      continue;
    }
    result.push_back(ByteOf(c.unicode()));
  }
  return result;
}

QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString MessageText(std::string_view text) {
  QString result = FromCp1252(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  result.replace(QChar('\r'), QChar('\n'));
  return result;
}

}  // namespace zevi
