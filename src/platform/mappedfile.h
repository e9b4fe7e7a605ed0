#pragma once
// A regular file mapped read-only into memory, for a batch run that reads a
// large source once: no copy, and no fresh pages to clear.
//
// A file truncated while mapped would raise SIGBUS on the next read of a page
// it no longer has. Here that never ends the program: the lost pages read as
// zero bytes and the mapping reports itself changed, so that nothing built
// from it is put in place as if it were whole.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zevi {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // Maps the open regular file `fd` (a duplicate is kept to watch it). False
  // with errno set when it cannot be mapped (too many mappings at once
  // included): the caller reads the file instead.
  bool Map(int fd);
  std::string_view View() const { return data_ == nullptr ? std::string_view{} : std::string_view(data_, size_); }
  // True when the file lost pages while mapped, or its size or modification
  // time are no longer those it had when it was mapped.
  bool Changed() const;
  // The mapped pages in [from, to) are no longer needed here: they leave this
  // process (the system keeps them cached) and come back if read again.
  void Release(std::size_t from, std::size_t to) const;
  // Reads the file's bytes [from, to) into `into` without touching the
  // mapping: the bytes read, fewer when the file is no longer that long.
  std::size_t Copy(char* into, std::size_t from, std::size_t to) const;

 private:
  void Unmap();

  const char* data_ = nullptr;
  std::size_t size_ = 0;
  int fd_ = -1;
  int slot_ = -1;  // in the table the SIGBUS handler looks at
  std::int64_t fileSize_ = 0;
  std::int64_t modifiedSeconds_ = 0;
  std::int64_t modifiedNanoseconds_ = 0;
};

}  // namespace zevi
