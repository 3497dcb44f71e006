#include "support/thread_count.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/slow_factor.h"

namespace zeph::test {

int threadCount() {
    // A thread sanitizer starts a helper thread of its own with the process's first thread: start one here,
    // so that a count taken before a test's first thread already holds it.
    // A joined thread can stay listed for a moment: wait until the helper is gone, or the first count of a
    // process would hold it and a later one not.
    static const bool helperStarted = [] {
        pid_t helper = 0;
        std::thread([&helper] { helper = ::gettid(); }).join();
        const std::filesystem::path listed = "/proc/self/task/" + std::to_string(helper);
        const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
        while (std::filesystem::exists(listed) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }();
    (void)helperStarted;
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

int settledThreadCount(int expected) {
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    int count = threadCount();
    while (count > expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        count = threadCount();
    }
    return count;
}

} // namespace zeph::test
