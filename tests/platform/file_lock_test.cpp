// The file's lock: one holder at a time, a bounded wait, and the lock free again the moment its
// holder lets go. The holders here are threads, as a Windows mutex is the thread's.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/file_lock.h"
#include "tests/support/scratch_directory.h"

namespace qelo::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(FileLockTest, OneHolderAtATimeAndTheWaitIsBounded) {
  test::ScratchDirectory scratch;
  const std::u16string path = test::PathText(scratch.File("qeloweather.ini"));
  std::promise<void> taken, release;
  std::thread holder([&] {
    const FileLock lock = TakeFileLock(path, 1s);
    EXPECT_TRUE(lock.Valid());
    taken.set_value();
    release.get_future().wait();
    std::this_thread::sleep_for(200ms);
  });
  taken.get_future().wait();

  auto shortWait = std::async(std::launch::async, [&] { return TakeFileLock(path, 50ms).Valid(); });
  EXPECT_FALSE(shortWait.get());
  release.set_value();
  const auto start = Clock::now();
  auto longWait = std::async(std::launch::async, [&] { return TakeFileLock(path, 10s).Valid(); });
  EXPECT_TRUE(longWait.get());
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, 150ms);
  EXPECT_LT(waited, 2s);
  holder.join();
}

}  // namespace
}  // namespace qelo::platform
