#include "platform/elevation.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace zeph {
namespace {

TEST(Elevation, FollowsTheEffectiveUid) { EXPECT_EQ(isElevated(), ::geteuid() == 0); }

// Only the effective uid counts: a root process that has dropped it to another user is not elevated,
// although its real uid is still 0.
TEST(Elevation, RootWithADroppedEffectiveUidIsNotElevated) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::seteuid(65534) != 0) {
            ::_exit(2);
        }
        ::_exit(isElevated() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: still elevated, 2: seteuid failed";
}

} // namespace
} // namespace zeph
