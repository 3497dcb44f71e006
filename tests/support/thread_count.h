#pragma once

namespace zeph::test {

// The process's threads as the kernel lists them (with a thread sanitizer's helper thread started first).
int threadCount();

// The thread count once it has come down to `expected`, or what it is after the liveness bound. A thread
// that was joined can stay listed for a moment after the join returns, so a count taken right after a join
// is polled rather than read once.
int settledThreadCount(int expected);

} // namespace zeph::test
