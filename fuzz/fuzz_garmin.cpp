// GarminHexField on any cell: four fields of fixed widths, or a failure.
#include "fuzz_support.h"
#include "values/coordinates.h"

using namespace zevi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const char mark = in.Pick({'.', ','});
  if (auto field = fuzz::Attempt([&] { return GarminHexField(in.Rest(), mark); })) {
    // Latitude and longitude stay within +-180 degrees, so only a huge
    // altitude makes the text longer than 10 + 1 + 11 + 1 + 6 + 1 + 8.
    ZEVI_FUZZ_CHECK(field->size() >= 38);
  }
  return 0;
}
