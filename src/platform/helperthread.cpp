#include "platform/helperthread.h"

#include <pthread.h>
#include <sched.h>

#include <system_error>
#include <utility>

namespace zevi {

struct HelperThread::Started {
  std::function<void()> work;
  cpu_set_t allowed;  // as the starter may run
  bool placed = false;
  pthread_t thread{};
};

namespace {

void* RunHelper(void* data) {
  auto* started = static_cast<HelperThread::Started*>(data);
  // Only the start was placed: pinned, the helper could not leave a processor
  // that another program took.
  if (started->placed) sched_setaffinity(0, sizeof started->allowed, &started->allowed);
  [started]() noexcept { started->work(); }();
  return nullptr;
}

}  // namespace

HelperThread::HelperThread(std::function<void()> work) : started_(std::make_unique<Started>()) {
  started_->work = std::move(work);
  pthread_attr_t attributes;
  if (int error = pthread_attr_init(&attributes)) throw std::system_error(error, std::generic_category());
  CPU_ZERO(&started_->allowed);
  if (sched_getaffinity(0, sizeof started_->allowed, &started_->allowed) == 0) {
    cpu_set_t others = started_->allowed;
    if (const int own = sched_getcpu(); own >= 0 && own < CPU_SETSIZE) CPU_CLR(own, &others);
    started_->placed = CPU_COUNT(&others) > 0 && CPU_COUNT(&others) < CPU_COUNT(&started_->allowed) &&
                       pthread_attr_setaffinity_np(&attributes, sizeof others, &others) == 0;
  }
  int error = pthread_create(&started_->thread, &attributes, RunHelper, started_.get());
  if (error != 0 && started_->placed) {
    // A processor set the system will not start a thread on: start it anywhere.
    started_->placed = false;
    pthread_attr_destroy(&attributes);
    pthread_attr_init(&attributes);
    error = pthread_create(&started_->thread, &attributes, RunHelper, started_.get());
  }
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    started_.reset();
    throw std::system_error(error, std::generic_category(), "thread");
  }
}

HelperThread::HelperThread() = default;

HelperThread::HelperThread(HelperThread&& other) noexcept : started_(std::move(other.started_)) {}

HelperThread& HelperThread::operator=(HelperThread&& other) noexcept {
  if (this != &other) {
    Join();
    started_ = std::move(other.started_);
  }
  return *this;
}

HelperThread::~HelperThread() { Join(); }

void HelperThread::Join() {
  if (!started_) return;
  pthread_join(started_->thread, nullptr);
  started_.reset();
}

}  // namespace zevi
