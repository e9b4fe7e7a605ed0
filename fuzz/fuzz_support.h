#pragma once
// What every fuzz target shares: a reader of the fuzzer's bytes, a scratch
// file for readers that take a path, and the failures a reader may raise.
// The user is the tests' scripted one: none of the fuzzed readers asks a
// question, so a question is a finding too.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "support/scripted_ui.h"
#include "values/failures.h"

namespace zevi::fuzz {

// Takes choices off the front of the input; what is left is the text to read.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : text_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t Byte() {
    if (text_.empty()) return 0;
    auto byte = static_cast<std::uint8_t>(text_.front());
    text_.remove_prefix(1);
    return byte;
  }
  bool Flag() { return Byte() & 1; }
  char Pick(std::initializer_list<char> choices) {
    return choices.begin()[Byte() % choices.size()];
  }
  // The next piece up to a newline (not included), or the rest.
  std::string_view Piece() {
    std::size_t end = text_.find('\n');
    std::string_view piece = text_.substr(0, end);
    text_.remove_prefix(end == std::string_view::npos ? text_.size() : end + 1);
    return piece;
  }
  std::string_view Rest() const { return text_; }

 private:
  std::string_view text_;
};

// A folder of this process for the files a reader takes by path; it goes
// when the fuzzer ends normally.
class ScratchFolder {
 public:
  ScratchFolder() : path_("/tmp/zevi-fuzz-" + std::to_string(getpid()) + "/") {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

inline std::string ScratchPath(const std::string& name) {
  static const ScratchFolder folder;
  return folder.Path() + name;
}

// Rewritten for every input.
inline std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
  std::string path = ScratchPath(name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
  std::fclose(file);
  return path;
}

// Runs a reader: nothing when it failed the way a reader may fail (the
// record writer shows those and goes on). Any other exception escapes and is
// a finding.
template <typename Read>
auto Attempt(Read read) -> std::optional<decltype(read())> {
  try {
    return read();
  } catch (const EInvalidLine&) {
  } catch (const EConvertError&) {
  } catch (const ERangeError&) {
  }
  return std::nullopt;
}

// A broken invariant: libFuzzer reports the input that led here.
#define ZEVI_FUZZ_CHECK(condition)                                         \
  do {                                                                     \
    if (!(condition)) {                                                    \
      std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                        \
    }                                                                      \
  } while (0)

}  // namespace zevi::fuzz
