#pragma once
// The record writer: one output file for one export, from the header to the
// route block, with the per-record failure dialog.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "export/format.h"
#include "export/recordreader.h"
#include "platform/atomicfile.h"
#include "platform/memory.h"

namespace zevi {

struct AppState;
class UserInterface;

// A write that did not reach the file; it ends the export. The error is the
// system's (errno), for "Error writing file" and its reason.
class EWriteError : public std::runtime_error {
 public:
  explicit EWriteError(int error);
  int Error() const { return error_; }

 private:
  int error_;
};

// "Error writing file", then on a line of its own the target and the system's reason:
// "Error writing file\r\n/data/walk.gps: No space left on device".
std::string WriteFailureText(const std::string& target, int error);

// A large buffered output for one export. The file on disk changes only at
// Commit, all at once (platform/atomicfile.h); until then the old target stays.
class ExportOutput {
 public:
  static constexpr std::size_t kDefaultCapacity = std::size_t{1} << 20;

  explicit ExportOutput(std::size_t capacity = kDefaultCapacity);
  ExportOutput(const ExportOutput&) = delete;
  ExportOutput& operator=(const ExportOutput&) = delete;

  // Starts the new content of the target ("-": standard output). Throws EWriteError.
  void Open(const std::string& path);
  // The text and CR LF. Throws EWriteError.
  void WriteLine(std::string_view text);
  // Text that already holds its line ends. Throws EWriteError.
  void WriteText(std::string_view text);
  // Throws EWriteError while anything is pending.
  void Flush();
  // Writes what is pending and puts the file in place. Throws EWriteError,
  // and the target is then as it was.
  void Commit();
  // Drops everything: the target stays as it was.
  void Discard();

 private:
  void MakeRoom(std::size_t size);
  void Append(std::string_view text);
  static constexpr std::size_t kFirstBuffer = std::size_t{1} << 14;

  AtomicFile file_;
  std::size_t capacity_;
  ByteBuffer buffer_;  // in large pages: a megabyte of small ones costs milliseconds to fill
  std::size_t used_ = 0;
};

// What the writer returns; the numbers are the ones the summary knows.
enum class WriteResult { Clean = 0, SomeMissing = 1, Aborted = 2 };

inline constexpr int kProgressRows = 1 << 16;
// Records are read on this many threads where their lines allow it; the
// file, the messages and the questions are the same with any number.
inline constexpr int kExportThreads = 2;

// Writes the whole file for the records first..last into `out`. Counts failed
// records into state.missingRecords (the caller zeroes it). May change the
// settings' WptIDPrefix (from the ID prefix box) and DefaultZone (a zone
// letter given during the run). A write that fails throws EWriteError and
// ends the export: the file is lost, not one record. A failure outside a
// record (the route block) throws too.
WriteResult WriteRecords(AppState& state, UserInterface& ui, ExportOutput& out, int first,
                         int last, const ExportFlags& flags, int threads = kExportThreads);

}  // namespace zevi
