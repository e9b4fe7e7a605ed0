#include "cp1252.h"

#include <QFile>

#include "settings/visibletext.h"
#include "source/encoding.h"

namespace zevi {

QString FromCp1252(std::string_view text) {
  QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* out = result.data();
  for (char c : text) *out++ = QChar(Cp1252ToUnicode(static_cast<unsigned char>(c)));
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
    result.push_back(UnicodeToCp1252(c.unicode()).value_or('?'));
  }
  return result;
}

QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString MessageText(std::string_view text) {
  std::string visible = VisibleText(text);
  // A message holds cells (Windows-1252) and paths (the file system's bytes):
  // one that reads as UTF-8 is a path's, or plain ASCII either way.
  return IsUtf8(visible) ? FromPath(visible) : FromCp1252(visible);
}

}  // namespace zevi
