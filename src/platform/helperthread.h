#pragma once
// A thread that takes half of a job, started on another processor than the
// thread that starts it, where the process may run on more than one.
//
// Some systems (virtual machines that keep their processors few and busy)
// put a new thread on its starter's processor and let the other one sleep:
// the two halves then share one processor for the first few milliseconds,
// or the helper starts milliseconds late, which is much of a job of a tenth
// of a second. Once started, the helper may run anywhere, as any thread.
#include <functional>
#include <memory>

namespace zevi {

class HelperThread {
 public:
  HelperThread();
  // Starts `work`. Throws std::system_error when no thread can be started.
  // Work that throws ends the program, as it does on a std::thread.
  explicit HelperThread(std::function<void()> work);
  HelperThread(HelperThread&& other) noexcept;
  HelperThread& operator=(HelperThread&& other) noexcept;  // joins its own first
  ~HelperThread();                                          // joins

  bool Joinable() const { return started_ != nullptr; }
  void Join();

  struct Started;

 private:
  std::unique_ptr<Started> started_;
};

}  // namespace zevi
