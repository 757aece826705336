// The channel loop split over two threads: every index once, the same result
// as a plain loop, exceptions carried back, nested loops and forked children safe.
#include "util/parallel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(ParallelFor, RunsEveryIndexOnceWhateverTheCount) {
  for (int count : {0, 1, 2, 3, 6, 100}) {
    std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
    for (int repeat = 0; repeat < 20; ++repeat) ParallelFor(count, [&](int i) { runs[static_cast<size_t>(i)]++; });
    for (auto& r : runs) EXPECT_EQ(r.load(), 20) << count;
  }
}

TEST(ParallelFor, UsesASecondThreadWhenThereIsOne) {
  if (WorkerThreads() < 2) GTEST_SKIP() << "one core";
  std::atomic<int> inside{0}, overlapped{0};
  ParallelFor(2, [&](int) {
    if (++inside == 2) overlapped = 1;
    for (int spin = 0; spin < 2000 && !overlapped; ++spin) std::this_thread::sleep_for(std::chrono::microseconds(100));
    --inside;
  });
  EXPECT_EQ(overlapped.load(), 1);
}

TEST(ParallelFor, CarriesAnExceptionBackAndStaysUsable) {
  std::atomic<int> ran{0};
  EXPECT_THROW(ParallelFor(6,
                           [&](int i) {
                             ++ran;
                             if (i == 3) throw std::runtime_error("channel 3");
                           }),
               std::runtime_error);
  EXPECT_EQ(ran.load(), 6);
  int sum = 0;
  std::mutex m;
  ParallelFor(4, [&](int i) {
    std::lock_guard<std::mutex> lock(m);
    sum += i;
  });
  EXPECT_EQ(sum, 6);
}

TEST(ParallelFor, ANestedLoopRunsOnItsCallersThread) {
  std::atomic<int> inner{0};
  ParallelFor(3, [&](int) { ParallelFor(4, [&](int) { ++inner; }); });
  EXPECT_EQ(inner.load(), 12);
}

TEST(ParallelForBlocks, CoversEveryIndexOnceInPiecesOfTheGrain) {
  for (int count : {0, 1, 5, 32, 33, 1000})
    for (int grain : {-1, 0, 1, 7, 32, 5000}) {
      std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
      std::atomic<int> tooLong{0};
      ParallelForBlocks(count, grain, [&](int begin, int end) {
        if (end - begin > std::max(grain, 1) || end <= begin) ++tooLong;
        for (int i = begin; i < end; ++i) runs[static_cast<size_t>(i)]++;
      });
      EXPECT_EQ(tooLong.load(), 0) << count << " " << grain;
      for (auto& r : runs) EXPECT_EQ(r.load(), 1) << count << " " << grain;
    }
}

// A child forked after the helper thread started has no helper: its loops
// must still finish (the test that reads a page under a memory limit forks).
TEST(ParallelFor, FinishesInAForkedChild) {
  ParallelFor(4, [](int) {});  // the helper is running now
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(20);  // a hang ends the child with SIGALRM
    std::atomic<int> sum{0};
    for (int repeat = 0; repeat < 3; ++repeat) ParallelFor(6, [&](int i) { sum += i; });
    _exit(sum == 45 ? 0 : 3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
