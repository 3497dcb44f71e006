#include "state/seam_trace.h"

#include <mutex>
#include <utility>

namespace zeph {

namespace {

std::mutex traceMutex;
std::vector<std::string> calls;

} // namespace

SeamScript& seamScript() {
    static SeamScript script;
    return script;
}

void noteSeamCall(std::string call) {
    const std::string name = call.substr(0, call.find(' '));
    {
        const std::lock_guard lock(traceMutex);
        calls.push_back(std::move(call));
    }
    if (seamScript().onCall) {
        seamScript().onCall(name);
    }
}

std::vector<std::string> takeSeamCalls() {
    const std::lock_guard lock(traceMutex);
    return std::exchange(calls, {});
}

void resetSeamTrace() {
    {
        const std::lock_guard lock(traceMutex);
        calls.clear();
    }
    seamScript() = SeamScript{};
}

} // namespace zeph
