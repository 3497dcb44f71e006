#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zeph::test {

// Liveness bounds in tests are scaled by this: sanitizer builds run slower.
#ifdef CORVANE_SLOW_BUILD
inline constexpr double kSlowFactor = 2.5;
#else
inline constexpr double kSlowFactor = 1.0;
#endif

// A test in its own program folder with Log.txt open; readLog() gives its lines.
class LogFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Log.txt's lines without the banner.
    std::vector<std::string> readLog() const;
    // Log.txt's lines including the banner.
    std::vector<std::string> readWholeLog() const;

    const std::filesystem::path& dir() const { return programDir_->path(); }

private:
    std::unique_ptr<ProgramDir> programDir_;
};

} // namespace zeph::test
