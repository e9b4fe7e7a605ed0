#include "platform/mappedfile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <utility>

namespace zevi {

namespace {

// The handler may run on any thread at any moment: it only reads this table,
// through atomics, and a slot is filled before its pages can be touched and
// emptied after they are unmapped.
struct MappedRange {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<bool> lostPages{false};
  std::atomic<bool> used{false};
};

constexpr int kSlots = 64;
MappedRange gRanges[kSlots];
struct sigaction gPreviousBus;
std::once_flag gHandlerInstalled;

std::uintptr_t PageSize() {
  static const auto size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (MappedRange& range : gRanges) {
    const std::uintptr_t begin = range.begin.load(std::memory_order_acquire);
    const std::uintptr_t end = range.end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= end) continue;
    // The pages past the file's new end become zero pages, once: the read
    // that faulted then goes on, and the run learns of it through Changed().
    const std::uintptr_t page = address & ~(PageSize() - 1);
    void* replaced = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (replaced == MAP_FAILED) break;
    range.lostPages.store(true, std::memory_order_release);
    return;
  }
  // Not one of ours: as the program would have fared without this handler.
  if (gPreviousBus.sa_flags & SA_SIGINFO) {
    if (gPreviousBus.sa_sigaction != nullptr) {
      gPreviousBus.sa_sigaction(signal, info, context);
      return;
    }
  } else if (gPreviousBus.sa_handler != SIG_DFL && gPreviousBus.sa_handler != SIG_IGN) {
    gPreviousBus.sa_handler(signal);
    return;
  }
  ::signal(SIGBUS, SIG_DFL);  // the faulting read runs again and ends the program
}

void InstallHandler() {
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &gPreviousBus);
}

int TakeSlot(std::uintptr_t begin, std::uintptr_t end) {
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (!gRanges[i].used.compare_exchange_strong(expected, true)) continue;
    gRanges[i].lostPages.store(false);
    gRanges[i].end.store(end, std::memory_order_release);
    gRanges[i].begin.store(begin, std::memory_order_release);
    return i;
  }
  return -1;
}

void FreeSlot(int slot) {
  gRanges[slot].begin.store(0, std::memory_order_release);
  gRanges[slot].end.store(0, std::memory_order_release);
  gRanges[slot].used.store(false, std::memory_order_release);
}

}  // namespace

MappedFile::MappedFile(MappedFile&& other) noexcept { *this = std::move(other); }

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this == &other) return *this;
  Unmap();
  data_ = std::exchange(other.data_, nullptr);
  size_ = std::exchange(other.size_, 0);
  fd_ = std::exchange(other.fd_, -1);
  slot_ = std::exchange(other.slot_, -1);
  fileSize_ = other.fileSize_;
  modifiedSeconds_ = other.modifiedSeconds_;
  modifiedNanoseconds_ = other.modifiedNanoseconds_;
  return *this;
}

MappedFile::~MappedFile() { Unmap(); }

bool MappedFile::Map(int fd) {
  Unmap();
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  if (!S_ISREG(status.st_mode) || status.st_size <= 0) {
    errno = EINVAL;
    return false;
  }
  std::call_once(gHandlerInstalled, InstallHandler);
  const auto size = static_cast<std::size_t>(status.st_size);
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapped == MAP_FAILED) return false;
  const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t end = begin + ((size + PageSize() - 1) & ~(PageSize() - 1));
  const int slot = TakeSlot(begin, end);
  const int watch = slot < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (watch < 0) {
    if (slot >= 0) FreeSlot(slot);
    ::munmap(mapped, size);
    errno = EMFILE;
    return false;
  }
  data_ = static_cast<const char*>(mapped);
  size_ = size;
  fd_ = watch;
  slot_ = slot;
  fileSize_ = status.st_size;
  modifiedSeconds_ = status.st_mtim.tv_sec;
  modifiedNanoseconds_ = status.st_mtim.tv_nsec;
  return true;
}

bool MappedFile::Changed() const {
  if (data_ == nullptr) return false;
  if (gRanges[slot_].lostPages.load(std::memory_order_acquire)) return true;
  struct stat status {};
  if (::fstat(fd_, &status) != 0) return true;
  return status.st_size != fileSize_ || status.st_mtim.tv_sec != modifiedSeconds_ ||
         status.st_mtim.tv_nsec != modifiedNanoseconds_;
}

namespace {

// The whole pages inside [from, to) of a mapping at `data`.
std::pair<char*, std::size_t> InnerPages(const char* data, std::size_t from, std::size_t to) {
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + from + PageSize() - 1) & ~(PageSize() - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + to) & ~(PageSize() - 1);
  if (end <= begin) return {nullptr, 0};
  return {reinterpret_cast<char*>(begin), end - begin};
}

}  // namespace

void MappedFile::Release(std::size_t from, std::size_t to) const {
  if (data_ == nullptr) return;
  const auto [pages, bytes] = InnerPages(data_, from, std::min(to, size_));
  // Pages of a private mapping that were never written are the file's own:
  // dropping them loses nothing.
  if (bytes > 0) ::madvise(pages, bytes, MADV_DONTNEED);
}

std::size_t MappedFile::Copy(char* into, std::size_t from, std::size_t to) const {
  std::size_t done = 0;
  while (fd_ >= 0 && from + done < to) {
    const ssize_t got = ::pread(fd_, into + done, to - from - done, static_cast<off_t>(from + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void MappedFile::Unmap() {
  if (data_ == nullptr) return;
  ::munmap(const_cast<char*>(data_), size_);
  FreeSlot(slot_);
  ::close(fd_);
  data_ = nullptr;
  size_ = 0;
  fd_ = -1;
  slot_ = -1;
}

}  // namespace zevi
