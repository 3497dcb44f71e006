#include "realtraffic/qnh.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/startup_thread.h"
#include "app/window/ui.h"
#include "app/window/ui_headless.h"
#include "rtfeed/rt_feed.h"
#include "state/main_window_state.h"
#include "support/log_fixture.h"
#include "support/slow_factor.h"
#include "support/window_fixture.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;

// Feed options that send both kinds of datagram to port.
rtfeed::RtFeedOptions sendingTo(std::uint16_t port) {
    rtfeed::RtFeedOptions options;
    options.trafficPort = port;
    options.qnhPort = port;
    return options;
}

std::intptr_t plainWindowProc(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                              std::intptr_t lParam) {
    return ui().defWindowProc(window, msg, wParam, lParam);
}

// The QNH Reader's handler with a headless main window, so that its repaints are recorded.
class QnhDatagrams : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        ASSERT_TRUE(ui().registerClass("QnhTest", plainWindowProc, appIconId));
        mainWindowState.mainWindow = ui().createMainWindow("QnhTest", "QNH", 0, 0, 880, 476);
        ASSERT_NE(mainWindowState.mainWindow.load(), nullptr);
        qnhReader.lastQnh.store(0);
        currentQnh.store(1013);
    }
    void TearDown() override {
        currentQnh.store(1013);
        qnhReader.lastQnh.store(0);
        LogFixture::TearDown();
    }

    // Hands one datagram to the reader; the log lines it wrote and whether it repainted the top panel.
    struct Handled {
        std::vector<std::string> lines;
        std::size_t repaints = 0;
    };
    Handled hand(std::string_view datagram) {
        const std::size_t logBefore = readLog().size();
        loop_.headless().clearRecords();
        qnhReader.onDatagram(datagram);
        const auto log = readLog();
        const auto areas = loop_.headless().invalidations();
        return {{log.begin() + static_cast<std::ptrdiff_t>(logBefore), log.end()},
                static_cast<std::size_t>(std::count(areas.begin(), areas.end(), topPanelArea))};
    }

private:
    test::HeadlessWindowLoop loop_;
};

TEST_F(QnhDatagrams, TakesTheQnhOrLogsWhyNot) {
    struct Case {
        const char* datagram;
        std::optional<std::int32_t> qnh; // nothing: the QNH stays
        const char* lineStart = "";
        const char* lineEnd = "";
    };
    const Case cases[] = {
        {R"({"QNH":1013})", 1013},
        {R"({"QNH":1013.4})", 1013},
        {R"({"QNH":"1013"})", 1013},
        {R"({"QNH":"1013.25"})", 1013},
        {R"({"QNH":2992})", 1013},
        {R"({"QNH":3100})", 1050},
        {R"({"QNH":29.92})", 900},
        {R"({"QNH":850})", 900},
        {R"({"QNH":-5})", 900},
        {R"({"QNH":1101})", 900},
        {R"({"QNH":1150.6})", 900},
        {R"({"QNH":2660})", 901},
        {R"({"QNH":4294968309})", 1100},
        {"{}", std::nullopt, "no QNH {}"},
        {R"({"QNH":null})", std::nullopt, R"(no QNH {"QNH":null})"},
        {R"({"QNH":true})", std::nullopt, R"(no QNH {"QNH":true})"},
        {R"({"QNH":"abc"})", std::nullopt, R"(==> QNH string parse error: abc in {"QNH":"abc"})"},
        {"not json", std::nullopt, "Exception [json.exception.parse_error", ", in not json"},
        {"[1,2]", std::nullopt, "Exception [json.exception.type_error", ", in [1,2]"},
        {R"({"QNH":9223372036854775807})", std::nullopt, "Exception ", R"(, in {"QNH":9223372036854775807})"},
        {R"({"QNH":18446744073709551615})", std::nullopt, "Exception ",
         R"(, in {"QNH":18446744073709551615})"},
        {R"({"QNH":3e9})", std::nullopt, "Exception ", R"(, in {"QNH":3e9})"},
        {"{\"QNH\":\n1013", std::nullopt, "Exception ", R"(, in {"QNH":\x0a1013)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.datagram);
        currentQnh.store(1000);
        qnhReader.lastQnh.store(0);
        mainWindowState.qnh.store(0);

        const Handled handled = hand(c.datagram);

        if (c.qnh) {
            EXPECT_EQ(currentQnh.load(), *c.qnh);
            EXPECT_EQ(mainWindowState.qnh.load(), *c.qnh);
            EXPECT_EQ(handled.repaints, 1U);
            EXPECT_TRUE(handled.lines.empty());
        } else {
            EXPECT_EQ(currentQnh.load(), 1000);
            EXPECT_EQ(mainWindowState.qnh.load(), 0);
            EXPECT_EQ(handled.repaints, 0U);
            ASSERT_EQ(handled.lines.size(), 1U);
            const std::string& line = handled.lines.front();
            EXPECT_TRUE(line.starts_with(c.lineStart) && line.ends_with(c.lineEnd)) << line;
        }
    }
}

TEST_F(QnhDatagrams, RepeatsChangeNothingExcept1013) {
    struct Step {
        const char* name;
        const char* datagram;
        std::int32_t stateBefore;
        std::size_t repaints;
        std::int32_t stateAfter;
    };
    const Step steps[] = {
        {"1008", R"({"QNH":1008})", 1, 1, 1},
        {"1008 again", R"({"QNH":1008})", 1, 0, 1},
        {"1013", R"({"QNH":1013})", 1, 1, 1},
        {"1013 again", R"({"QNH":1013})", 1, 1, 1},
        {"1009 while silent", R"({"QNH":1009})", 2, 1, 1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        mainWindowState.qnhReaderState.store(s.stateBefore);
        EXPECT_EQ(hand(s.datagram).repaints, s.repaints);
        EXPECT_EQ(mainWindowState.qnhReaderState.load(), s.stateAfter);
    }
    EXPECT_EQ(currentQnh.load(), 1009);
}

class QnhReaderThreads : public test::LogFixture {
protected:
    void TearDown() override {
        stopReader();
        realTrafficOnThisPc.store(false);
        gf_resetReaders();
        currentQnh.store(1013);
        LogFixture::TearDown();
    }

    // The QNH Reader's thread on a free port; true once its socket is bound.
    bool startReader() {
        thread_ = std::jthread(lf_qnhReaderThread, std::uint16_t{0});
        return waitFor([] { return qnhReader.boundPort() != 0; });
    }
    void stopReader() {
        if (thread_.joinable()) {
            qnhReader.stopFlag.store(true);
            thread_.join();
        }
    }
    static bool waitFor(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

private:
    std::jthread thread_;
};

TEST_F(QnhReaderThreads, AFloodOfBadDatagramsWritesAtMostTwentyLines) {
    realTrafficOnThisPc.store(true);
    gf_resetReaders();
    currentQnh.store(1013);
    ASSERT_TRUE(startReader());
    rtfeed::RtFeed feed(sendingTo(qnhReader.boundPort()));
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(feed.sendQnh("not json"));
    }
    ASSERT_TRUE(feed.sendQnh(R"({"QNH":1001})"));
    waitFor([] { return currentQnh.load() == 1001; });
    stopReader();

    EXPECT_EQ(currentQnh.load(), 1001) << "a good datagram after the flood is still taken";
    const auto log = readLog();
    const auto errors = std::count_if(log.begin(), log.end(), [](const std::string& line) {
        return line.starts_with("Exception ") && line.ends_with(", in not json");
    });
    EXPECT_EQ(errors, 20);
    EXPECT_EQ(std::count(log.begin(), log.end(), "QNH Reader: 5 error lines not logged"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "QNH Reader has stopped"), 1);
}

// RealTraffic on another PC repeats its weather datagram unchanged until the METAR changes.
TEST_F(QnhReaderThreads, TheSameWeatherIsTakenAgainAfterARestart) {
    realTrafficOnThisPc.store(false);
    for (const char* run : {"first run", "the run after a restart"}) {
        SCOPED_TRACE(run);
        // What the restart does to the readers and the QNH.
        gf_resetReaders();
        currentQnh.store(1013);
        ASSERT_TRUE(startReader());
        rtfeed::RtFeed feed(sendingTo(qnhReader.boundPort()));
        ASSERT_TRUE(feed.sendQnh(R"({"QNH":1020})"));
        EXPECT_TRUE(waitFor([] { return currentQnh.load() == 1020; })) << "QNH " << currentQnh.load();
        stopReader();
    }
}

} // namespace
} // namespace zeph
