#include <cstdio>
#include <exception>

#include "app/entry_point.h"
#include "app/window/close_signals.h"
#include "core/log.h"
#include "platform/single_instance.h"
#include "update/curl_handle.h"

int main(int argc, char** argv) {
    // Before any thread starts, so that every thread inherits the mask and only the watcher takes them.
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
