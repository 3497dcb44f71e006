#include "core/status_sink.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/log_fixture.h"

namespace zeph {
namespace {

class StatusSinkTest : public test::LogFixture {};

struct Recorder : StatusSink {
    std::vector<std::pair<std::string, bool>> calls;
    void setStatus(std::string_view text, bool log) override { calls.emplace_back(text, log); }
};

TEST_F(StatusSinkTest, WithoutASinkOnlyLoggedTextsReachTheLog) {
    reportStatus("x", true);
    reportStatus("y", false);
    auto lines = readLog();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "==> x");
}

TEST_F(StatusSinkTest, AnInstalledSinkGetsEveryCallInOrder) {
    Recorder recorder;
    setStatusSink(&recorder);
    reportStatus("x", true);
    reportStatus("x", false);
    setStatusSink(nullptr);
    reportStatus("after", true);
    const std::vector<std::pair<std::string, bool>> expected = {{"x", true}, {"x", false}};
    EXPECT_EQ(recorder.calls, expected);
    auto lines = readLog();
    ASSERT_EQ(lines.size(), 1u) << "the sink, not the log, took the first two";
    EXPECT_EQ(lines[0], "==> after");
}

} // namespace
} // namespace zeph
