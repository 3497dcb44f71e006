#include "platform/elevation.h"

#include <atomic>
#include <unistd.h>

namespace zeph {

namespace {
// -1 the real answer, 0 or 1 the answer of a test.
std::atomic<int> elevationForTests{-1};
} // namespace

bool isElevated() {
    const int forced = elevationForTests.load();
    return forced < 0 ? ::geteuid() == 0 : forced == 1;
}

void setElevationForTests(std::optional<bool> value) {
    elevationForTests.store(value ? (*value ? 1 : 0) : -1);
}

} // namespace zeph
