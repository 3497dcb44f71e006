#include <csignal>
#include <cstdio>
#include <exception>

#include <sys/syscall.h>
#include <unistd.h>

#include "app/entry_point.h"
#include "app/window/close_signals.h"
#include "core/log.h"
#include "platform/single_instance.h"
#include "update/curl_handle.h"

namespace {

// SIGTERM and SIGINT are blocked before the libraries' and the program-wide objects' initialisers run, so a
// close asked for at launch waits, pending, for the watcher that turns it into the close button instead of
// ending the process with the signal. Every thread started later inherits the mask. The raw call: a
// sanitizer's interceptor may not be set up this early.
void blockCloseSignalsAtLoad(int /*argc*/, char** /*argv*/, char** /*envp*/) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    ::syscall(SYS_rt_sigprocmask, SIG_BLOCK, &set, nullptr, _NSIG / 8);
}

// Only an executable's pre-initialisers run before those of the libraries it loads.
[[gnu::used, gnu::section(".preinit_array")]] void (*blockAtLoad)(int, char**,
                                                                  char**) = blockCloseSignalsAtLoad;

} // namespace

int main(int argc, char** argv) {
    // Blocked here too, before any thread starts, so that main does not rely on the loader alone.
    zeph::blockCloseSignals();
    if (!zeph::acquireSingleInstance("Local\\$Corvane_P3D$")) {
        return -1; // another instance runs; its log stays as it is
    }
    try {
        zeph::gf_openLog();
    } catch (const std::exception& error) {
        // Without a log there is nowhere else to say it.
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    // libcurl's global set-up is not thread-safe everywhere: it comes before any thread starts.
    const zeph::CurlGlobal curl;
    return zeph::lf_runApplication(argc, argv);
}
