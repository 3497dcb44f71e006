#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/slow_factor.h"
#include "support/temp_dir.h"

namespace zeph::test {

// The lines of folder/Log.txt after flushing the open log; the banner line is left out unless withBanner.
std::vector<std::string> readLogIn(const std::filesystem::path& folder, bool withBanner = false);

// A test in its own program folder with Log.txt open; readLog() gives its lines.
class LogFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Log.txt's lines without the banner.
    std::vector<std::string> readLog() const;
    // Whether Log.txt holds this line.
    bool logHas(const std::string& line) const;
    // Log.txt's lines including the banner.
    std::vector<std::string> readWholeLog() const;

    const std::filesystem::path& dir() const { return programDir_->path(); }

private:
    std::unique_ptr<ProgramDir> programDir_;
};

} // namespace zeph::test
