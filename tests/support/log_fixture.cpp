#include "support/log_fixture.h"

#include <algorithm>

#include "core/log.h"

namespace zeph::test {

void LogFixture::SetUp() {
    programDir_ = std::make_unique<ProgramDir>();
    gf_openLog();
}

void LogFixture::TearDown() {
    closeLogForTests();
    programDir_.reset();
}

std::vector<std::string> readLogIn(const std::filesystem::path& folder, bool withBanner) {
    {
        LogBlock block;
        if (block.isOpen()) {
            block.stream().flush();
        }
    }
    auto lines = readFileLines(folder / "Log.txt");
    if (!withBanner && !lines.empty()) {
        lines.erase(lines.begin());
    }
    return lines;
}

std::vector<std::string> LogFixture::readWholeLog() const { return readLogIn(dir(), true); }

std::vector<std::string> LogFixture::readLog() const { return readLogIn(dir()); }

bool LogFixture::logHas(const std::string& line) const {
    const auto lines = readLog();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace zeph::test
