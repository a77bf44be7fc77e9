#include "block_threads.hpp"

#include "output.hpp"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

int worker_count(int requested) {
  if (requested > 0) return requested;
#if !defined(__EMSCRIPTEN__)  // WebAssembly has no affinity
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0)
    return std::max(1, CPU_COUNT(&allowed));
#endif
  return std::max(1, int(std::thread::hardware_concurrency()));
}

namespace {

// The state the workers and the writer share, every field under `mutex`.
// Blocks are claimed in increasing order, so block b may take slot b % slots
// once `written` exceeds b - slots.
struct schedule {
  std::mutex mutex;
  std::condition_variable room;   // a worker may claim the next block, or stop
  std::condition_variable ready;  // the block the writer waits for is computed
  std::vector<bool> computed;     // per slot
  int blocks;
  int claimed = 0;
  int written = 0;
  bool stop = false;
  std::exception_ptr failure;  // the first exception of a compute call

  schedule(int blocks, int slots) : computed(slots), blocks(blocks) {}
  int slots() const { return int(computed.size()); }

  void work(const std::function<void(int)>& compute) {
    for (;;) {
      int b;
      {
        std::unique_lock lock(mutex);
        room.wait(lock, [&] { return stop || claimed == blocks || claimed < written + slots(); });
        if (stop || claimed == blocks) return;
        b = claimed++;
      }
      try {
        compute(b);
      } catch (...) {
        std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
        stop = true;
        room.notify_all();
        ready.notify_one();
        return;
      }
      {
        std::lock_guard lock(mutex);
        computed[b % slots()] = true;
      }
      ready.notify_one();
    }
  }
};

// Stops and joins the workers on every way out of run_blocks.
struct crew {
  schedule& shared;
  std::vector<std::thread> threads;

  void stop_and_join() {
    {
      std::lock_guard lock(shared.mutex);
      shared.stop = true;
    }
    shared.room.notify_all();
    for (std::thread& t : threads)
      if (t.joinable()) t.join();
  }
  ~crew() { stop_and_join(); }
};

}  // namespace

void run_blocks(int blocks, int workers, int slots, const std::function<void(int)>& compute,
                const std::function<void(int)>& write) {
  schedule shared(blocks, slots);
  crew team{shared, {}};
  team.threads.reserve(workers);
  try {
    // A terminating signal taken by a worker would end the process at once,
    // perhaps while this thread is mid-line; the workers never take one, so
    // it reaches this thread, which holds it while it writes a line.
    const signals_held for_the_workers;
    for (int k = 0; k < workers; ++k) team.threads.emplace_back([&] { shared.work(compute); });
  } catch (const std::system_error&) {
    // Fewer threads than asked for compute the same blocks, only slower.
  }
  if (team.threads.empty()) {
    for (int b = 0; b < blocks; ++b) {
      compute(b);
      write(b);
    }
    return;
  }

  for (int b = 0; b < blocks; ++b) {
    {
      std::unique_lock lock(shared.mutex);
      shared.ready.wait(lock, [&] { return shared.computed[b % slots] || shared.failure; });
      if (shared.failure) break;
    }
    write(b);  // the slot stays this thread's until it is marked free
    {
      std::lock_guard lock(shared.mutex);
      shared.computed[b % slots] = false;
      ++shared.written;
    }
    shared.room.notify_one();
  }
  if (shared.failure) {
    team.stop_and_join();
    std::rethrow_exception(shared.failure);
  }
}
