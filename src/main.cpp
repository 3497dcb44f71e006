#include <cstdio>
#include <exception>

#include "app/entry_point.h"
#include "app/window/close_signals.h"
#include "core/log.h"
#include "platform/single_instance.h"
#include "update/curl_handle.h"

namespace {

// SIGTERM and SIGINT are blocked before the libraries' and the program-wide objects' initialisers run (only
// an executable's pre-initialisers come before those), so a close asked for at launch waits, pending, for the
// watcher that turns it into the close button instead of ending the process with the signal.
void blockCloseSignalsAtLoad(int /*argc*/, char** /*argv*/, char** /*envp*/) { zeph::blockCloseSignals(); }
[[gnu::used, gnu::section(".preinit_array")]] void (*blockAtLoad)(int, char**,
                                                                  char**) = blockCloseSignalsAtLoad;

} // namespace

int main(int argc, char** argv) {
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
