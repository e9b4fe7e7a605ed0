// The floor under any export: writing a file of a given size from memory the
// way the export does (a temporary beside the target, blocks of about a
// megabyte, write-back started early, synced, renamed into place), with no
// converting at all.
//
//   safe_write BYTES TARGET     prints the seconds it took
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/atomicfile.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: safe_write BYTES TARGET\n");
    return 2;
  }
  const auto bytes = static_cast<std::size_t>(std::strtoull(argv[1], nullptr, 10));
  // A block of lines of an export's length, made before the clock starts, and
  // written again and again: the export too writes from a few blocks it
  // fills in turn. (Writing from fresh memory each time would time the
  // kernel's first reads of each page as well, which on a virtual machine
  // cost more than the copy.)
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  const std::string_view line = "W W0000001  51.123409   -1.234513    122.6 2024/03/01 13:00:02 I\r\n";
  std::string block;
  block.reserve(kBlock);
  while (block.size() + line.size() <= kBlock) block.append(line);

  const auto start = std::chrono::steady_clock::now();
  zevi::AtomicFile file;
  int error = file.Open(argv[2]);
  for (std::size_t at = 0; error == 0 && at < bytes; at += block.size()) {
    error = file.Write(std::string_view(block).substr(0, std::min(block.size(), bytes - at)));
  }
  if (error == 0) error = file.Commit();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (error != 0) {
    std::fprintf(stderr, "safe_write: %s: error %d\n", argv[2], error);
    return 1;
  }
  std::printf("%.4f\n", took.count());
  return 0;
}
