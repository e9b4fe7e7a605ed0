#pragma once
// The record writer: one output file for one export, from the header to the
// route block, with the per-record failure dialog.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "export/format.h"
#include "export/recordreader.h"

namespace zevi {

struct AppState;
class UserInterface;

// A write that did not reach the file: "Disk full", "I/O error 5".
class EWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
std::string WriteErrorText(int error);

// A large buffered output to a file. Whole lines go in; a line that cannot be
// written throws and leaves nothing of itself behind, while earlier lines
// that did not reach the file yet stay pending for the next attempt, so a
// lost line is never taken for a written one.
class ExportOutput {
 public:
  static constexpr std::size_t kDefaultCapacity = std::size_t{1} << 20;

  explicit ExportOutput(std::size_t capacity = kDefaultCapacity);
  ~ExportOutput();
  ExportOutput(const ExportOutput&) = delete;
  ExportOutput& operator=(const ExportOutput&) = delete;

  // Creates the file, or truncates it when it exists. False when it cannot.
  bool Open(const std::string& path);
  // The text and CR LF. Throws EWriteError.
  void WriteLine(std::string_view text);
  // Text that already holds its line ends. Throws EWriteError.
  void WriteText(std::string_view text);
  // Throws EWriteError while anything is pending.
  void Flush();
  // Flushes and closes; false when anything was left unwritten.
  bool Close();
  // Writes what it still can and closes, for the way out after a failure.
  void CloseQuietly();

 private:
  void MakeRoom(std::size_t size);

  int fd_ = -1;
  std::size_t capacity_;
  std::string buffer_;
};

// What the writer returns; the numbers are the ones the summary knows.
enum class WriteResult { Clean = 0, SomeMissing = 1, Aborted = 2 };

inline constexpr int kProgressRows = 1 << 16;

// Writes the whole file for the records first..last into `out`. Counts failed
// records into state.missingRecords (the caller zeroes it). May change the
// settings' WptIDPrefix (from the ID prefix box) and DefaultZone (a zone
// letter given during the run). A failure outside a record (the route block)
// throws.
WriteResult WriteRecords(AppState& state, UserInterface& ui, ExportOutput& out, int first,
                         int last, const ExportFlags& flags);

}  // namespace zevi
