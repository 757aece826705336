#include "util/parallel.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>

namespace {

// One helper thread, started on first use and kept for the program's life:
// a page's work is a handful of channel-sized tasks, so a second worker
// (this machine's second core) is all there is to gain.
class Helper {
 public:
  Helper() : thread_([this] { Loop(); }) {}
  ~Helper() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  // Start hands the helper a job; Wait takes it back when the helper has not
  // begun it (the calling thread has done the work by then), else blocks
  // until the helper has finished it. Taking it back also keeps a forked
  // child, which has no helper thread, from waiting for ever.
  void Start(std::function<void()> job) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = std::move(job);
      busy_ = true;
    }
    wake_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (job_) {
      job_ = nullptr;
      busy_ = false;
      return;
    }
    done_.wait(lock, [this] { return !busy_; });
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || (busy_ && job_); });
      if (quit_) return;
      std::function<void()> job = std::move(job_);
      job_ = nullptr;
      lock.unlock();
      job();
      lock.lock();
      busy_ = false;
      done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::function<void()> job_;
  bool busy_ = false, quit_ = false;
  std::thread thread_;
};

std::mutex& CallMutex() {
  static std::mutex m;  // one parallel loop at a time uses the helper
  return m;
}

}  // namespace

int WorkerThreads() {
  static const int threads = [] {
    const char* env = std::getenv("ZORVAN_THREADS");
    if (env && std::atoi(env) == 1) return 1;
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
  }();
  return threads;
}

void ParallelFor(int count, const std::function<void(int)>& body) {
  std::atomic<int> next{0};
  std::exception_ptr failure[2];
  auto work = [&](std::exception_ptr& failed) {
    for (int i; (i = next.fetch_add(1)) < count;) {
      try {
        body(i);
      } catch (...) {
        if (!failed) failed = std::current_exception();
      }
    }
  };
  std::unique_lock<std::mutex> call(CallMutex(), std::try_to_lock);
  if (count <= 1 || WorkerThreads() < 2 || !call.owns_lock()) {
    // One core, or a nested or concurrent loop: the calling thread alone.
    work(failure[0]);
  } else {
    static Helper helper;
    helper.Start([&] { work(failure[1]); });
    work(failure[0]);
    helper.Wait();
  }
  for (auto& f : failure)
    if (f) std::rethrow_exception(f);
}

void ParallelForBlocks(int count, int grain, const std::function<void(int, int)>& body) {
  if (count <= 0) return;
  grain = grain < 1 ? 1 : grain;
  const int pieces = (count - 1) / grain + 1;
  ParallelFor(pieces, [&](int piece) {
    const int begin = piece * grain;
    body(begin, count - begin < grain ? count : begin + grain);
  });
}
