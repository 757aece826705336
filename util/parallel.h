#pragma once
// Work split over the machine's cores for loops whose iterations are
// independent (channels of a page): each index runs exactly once, on the
// calling thread or on one helper thread, and the call returns when all have
// finished. Results do not depend on which thread ran an index, so the output
// is the same as a plain loop's.
#include <functional>

/// Threads ParallelFor uses: 1 when the machine has one core or
/// ZORVAN_THREADS=1 is set, else 2.
int WorkerThreads();

/// Runs body(i) for i = 0 … count − 1. An exception thrown by a body is
/// rethrown here after every started index has finished.
void ParallelFor(int count, const std::function<void(int)>& body);

/// Runs body(begin, end) over consecutive pieces of 0 … count − 1, each of at
/// most grain indices (at least 1): for loops of many small iterations (the
/// bands of a page), whose pieces then cost one call each.
void ParallelForBlocks(int count, int grain, const std::function<void(int, int)>& body);
