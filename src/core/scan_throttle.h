#pragma once
#include <atomic>

namespace zeph {

// Scan workers of the livery scan and the add-on airport scan share these. The start-up sets maxScanTasks
// (the hardware thread count) and runningScanTasks (0) before any scan starts.
extern std::atomic<int> runningScanTasks;
extern std::atomic<int> maxScanTasks;

// Returns once fewer than maxScanTasks workers run, looking again every 10 microseconds of steady-clock
// time. A limit below 1 counts as 1, so an unknown hardware thread count cannot stop the scan for good.
// The limit is soft: one starter thread calls this and then starts one task. False, at once, when the run
// stops meanwhile: tasks that hang in the file system may hold every place, and the close must not wait.
bool gf_waitForTaskSlot();

// One place in runningScanTasks. The starter makes it right before starting a task (which counts the task
// at once, so the starter's next wait sees it) and moves it into the task; the task's copy gives the place
// back on every way out, exceptions included. Hand it to the task as a by-value parameter or move it into
// a local at the task's start: std::async keeps its callable, captures included, until the future goes.
class ScanTaskGuard {
public:
    ScanTaskGuard();
    ~ScanTaskGuard();
    ScanTaskGuard(ScanTaskGuard&& other) noexcept;
    ScanTaskGuard(const ScanTaskGuard&) = delete;
    ScanTaskGuard& operator=(const ScanTaskGuard&) = delete;
    ScanTaskGuard& operator=(ScanTaskGuard&&) = delete;

private:
    bool holds_ = true;
};

} // namespace zeph
