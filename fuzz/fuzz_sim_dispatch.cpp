// Arbitrary bytes as one simulator message into the dispatch procedure. The link's state starts afresh for
// every input, with one pending creation and one new object so that the matching paths are reached; a
// refused simulator (UserErrorException) is what the client thread would catch.
#include <cstddef>
#include <cstdint>

#include "core/errors.h"
#include "sim/dispatch.h"
#include "sim/sim_link.h"
#include "state/exit_reason.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zeph::resetExitReasonForRestart();
    zeph::gf_resetSimLink();
    zeph::pendingCreations.push_back({7, 4221004, "DLH4AB", 0x10000, 150});
    zeph::newObjectIds.push_back(150);
    try {
        zeph::lf_dispatchProc(data, static_cast<std::uint32_t>(size), nullptr);
    } catch (const zeph::UserErrorException&) {
    }
    return 0;
}
