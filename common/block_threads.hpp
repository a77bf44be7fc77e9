// Blocks of screen points computed on worker threads and written, in order,
// by the calling thread alone, so the output is that of a single-threaded
// run.
#pragma once

#include <functional>

// The workers to start for the requested count: that many, or for 0 one per
// core this process may run on (its CPU affinity), at least 1.
int worker_count(int requested);

// Calls compute(b) for every block b < blocks on `workers` threads, and
// write(b) on the calling thread in increasing b, as soon as block b and all
// before it are computed. compute(b) starts only after write(b - slots) has
// returned, so a ring of `slots` results indexed by b % slots holds them all.
// If compute or write throws, the workers stop and are joined, and the
// exception reaches the caller; no worker outlives the call. Without any
// worker (the system refusing threads) the blocks run one by one here.
void run_blocks(int blocks, int workers, int slots, const std::function<void(int)>& compute,
                const std::function<void(int)>& write);
