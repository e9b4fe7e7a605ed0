// The number readers and writers: StrToFloat, ReadNumber, StrToInt and its
// optional twin, and the formats of what they read.
#include <cmath>

#include "fuzz_support.h"
#include "values/numbers.h"

using namespace zevi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const char mark = in.Pick({'.', ','});
  const int width = in.Byte() % 24;
  const int decimals = in.Byte() % 12;
  const std::string_view text = in.Rest();

  if (auto value = fuzz::Attempt([&] { return StrToFloat(text, mark); })) {
    std::string written = FormatFloat(*value, width, decimals, mark);
    ZEVI_FUZZ_CHECK(written.size() >= static_cast<std::size_t>(width));
    // A finite number written with all its digits reads back as itself.
    if (std::isfinite(*value) && std::fabs(*value) < 1e15) {
      double back = StrToFloat(FormatFloat(*value, 0, 17, mark), mark);
      ZEVI_FUZZ_CHECK(std::fabs(back - *value) <= 1e-9 * std::max(1.0, std::fabs(*value)));
    }
  }
  if (auto value = fuzz::Attempt([&] { return ReadNumber(text, mark); }))
    FormatFloat(*value, width, decimals, mark);

  auto whole = fuzz::Attempt([&] { return StrToInt(text); });
  std::optional<std::int64_t> tried = TryStrToInt(text);
  ZEVI_FUZZ_CHECK(whole == tried);
  if (whole) {
    std::string written = FormatInt(*whole, width, decimals);
    ZEVI_FUZZ_CHECK(written.size() >= static_cast<std::size_t>(width));
    ZEVI_FUZZ_CHECK(StrToInt(written.substr(written.find_first_not_of(' '))) == *whole);
  }
  return 0;
}
