#pragma once
// The core keeps text as Windows-1252 bytes; Qt keeps it as Unicode. Every
// text crosses here, and nowhere else, with the core's table of the code
// page (source/encoding.h), the one the loader converts sources with.
#include <QString>
#include <string>
#include <string_view>

namespace zevi {

QString FromCp1252(std::string_view text);
// Characters Windows-1252 cannot hold become '?'.
std::string ToCp1252(const QString& text);

// Paths are the file system's bytes, not Windows-1252.
QString FromPath(const std::string& path);
std::string ToPath(const QString& path);

// Message texts use CR LF line ends, which Qt would draw, and may hold any
// byte of a cell: control bytes are written out, never cut at. A path in a
// message shows as the file system names it.
QString MessageText(std::string_view text);

}  // namespace zevi
