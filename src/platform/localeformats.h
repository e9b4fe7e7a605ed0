#pragma once
// How the C library's locale descriptions become the converter's locale values.
#include <string_view>

#include "platform/locale.h"

namespace zevi {

// `radix` as RADIXCHAR gives it, `dateFormat` and `timeFormat` as D_FMT and
// T_FMT give them (strftime patterns). A date pattern that is not day, month
// and year numbers joined by one separator keeps the defaults:
//   (",", "%d.%m.%Y", "%H:%M:%S") -> ',', '.', "dd.mm.yyyy", ':'
//   (".", "%Y-%m-%d", "%T")       -> '.', '-', "yyyy-mm-dd", ':'
//   (".", "%d %b %Y", "%H.%M")    -> '.', '/', "dd/mm/yyyy", '.'
LocaleValues LocaleValuesFrom(std::string_view radix, std::string_view dateFormat,
                              std::string_view timeFormat);

}  // namespace zevi
