#pragma once
// Message texts as a person sees them, in a dialog or on a terminal line.
#include <string>
#include <string_view>

namespace zevi {

// CR LF, a lone CR and a lone LF become LF; every other control byte, tab
// included, is written out (NUL as \0, the rest as \x1B and so on), so a
// message is never cut at a NUL nor turned into terminal commands.
//   "a\0b" -> "a\\0b";  "x\r\ny" -> "x\ny";  "\x1B[2J" -> "\\x1B[2J"
std::string VisibleText(std::string_view text);

}  // namespace zevi
