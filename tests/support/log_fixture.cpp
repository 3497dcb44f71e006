#include "support/log_fixture.h"

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

std::vector<std::string> LogFixture::readWholeLog() const {
    {
        LogBlock block;
        if (block.isOpen()) {
            block.stream().flush();
        }
    }
    return readFileLines(dir() / "Log.txt");
}

std::vector<std::string> LogFixture::readLog() const {
    auto lines = readWholeLog();
    if (!lines.empty()) {
        lines.erase(lines.begin());
    }
    return lines;
}

} // namespace zeph::test
