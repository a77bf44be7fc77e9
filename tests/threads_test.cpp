// The worker threads of a threaded build: every block written in order on the
// calling thread, work bounded by the ring, and no worker left computing when
// a failure reaches the caller.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bench.hpp"
#include "block_threads.hpp"

class RunBlocks : public testing::TestWithParam<int> {};

TEST_P(RunBlocks, WritesEveryBlockInOrderOnTheCallingThread) {
  const int workers = GetParam(), slots = 4 * workers, blocks = 300;
  std::vector<int> ring(slots, -1), order;
  std::atomic<int> written = 0, too_far_ahead = 0;
  const auto caller = std::this_thread::get_id();
  run_blocks(
      blocks, workers, slots,
      [&](int b) {
        too_far_ahead += b - written >= slots;
        std::this_thread::sleep_for(std::chrono::microseconds(b * 7919 % 500));  // uneven
        ring[b % slots] = b;
      },
      [&](int b) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        if (b % 60 == 0)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));  // fills the ring
        order.push_back(ring[b % slots]);
        written = b + 1;
      });
  ASSERT_EQ(order.size(), size_t(blocks));
  for (int b = 0; b < blocks; ++b) EXPECT_EQ(order[b], b);
  EXPECT_EQ(too_far_ahead, 0);
}

TEST_P(RunBlocks, AFailureStopsTheWorkersBeforeItReachesTheCaller) {
  for (const bool in_compute : {true, false}) {
    std::atomic<int> started = 0, finished = 0;
    int written = 0;
    const auto fail_at_37 = [&](bool here, int b) {
      if (here && b == 37) throw std::runtime_error("block 37");
    };
    EXPECT_THROW(run_blocks(
                     200, GetParam(), 4 * GetParam(),
                     [&](int b) {
                       ++started;
                       std::this_thread::sleep_for(std::chrono::milliseconds(1));
                       ++finished;
                       fail_at_37(in_compute, b);
                     },
                     [&](int b) {
                       EXPECT_EQ(b, written++);
                       fail_at_37(!in_compute, b);
                     }),
                 std::runtime_error);
    EXPECT_EQ(finished, started) << "a worker was still computing";
    EXPECT_LE(written, 38);
  }
}

// A SIGTERM sent while the caller writes a line under the hold must wait for
// the line: no worker may take it, as the default action would end the
// process from there at once. A handler stands in for that action.
std::atomic<bool> line_done = false, signalled_mid_line = false, signalled = false;

TEST_P(RunBlocks, ATerminatingSignalWaitsForTheLineBeingWritten) {
  line_done = signalled_mid_line = signalled = false;
  struct sigaction handler = {}, previous = {};
  handler.sa_handler = [](int) {
    signalled_mid_line = signalled_mid_line || !line_done;
    signalled = true;
  };
  ::sigaction(SIGTERM, &handler, &previous);
  run_blocks(
      3, GetParam(), 4, [](int) {},
      [](int b) {
        if (b != 1) return;
        const signals_held whole_line;
        ::kill(::getpid(), SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        line_done = true;
      });
  ::sigaction(SIGTERM, &previous, nullptr);
  EXPECT_TRUE(signalled);
  EXPECT_FALSE(signalled_mid_line);
}

INSTANTIATE_TEST_SUITE_P(Workers, RunBlocks, testing::Values(1, 2, 5));
