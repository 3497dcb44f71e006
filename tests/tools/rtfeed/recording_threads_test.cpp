// The recording thread: whole CR LF lines from split segments, connection numbers, EOF, disconnect.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "rtfeed/rt_feed.h"
#include "support/slow_factor.h"
#include "tools/rtfeed/test_sockets.h"

namespace zeph::rtfeed {
namespace {

using namespace std::chrono_literals;
using test::kLivenessBound;
using test::readSome;
using test::TestTcpServer;
using test::writeBytes;

const std::string kPosition = "Qs121=5000;-10000;1.570796;35000000;450000;0.907571;0.078540";

class RtFeedRecordingThreads : public ::testing::Test {
protected:
    SocketFd connectFeed() {
        EXPECT_TRUE(feed.connect(kLivenessBound));
        SocketFd peer = server.accept(kLivenessBound);
        EXPECT_TRUE(peer.valid());
        return peer;
    }

    static RtFeedOptions onPort(std::uint16_t port) {
        RtFeedOptions options;
        options.tcpPort = port;
        return options;
    }

    TestTcpServer server;
    RtFeed feed{onPort(server.port())};
};

TEST_F(RtFeedRecordingThreads, SplitSegmentsMakeWholeLines) {
    std::vector<std::string> observed;
    feed.setLineObserver([&](const ReceivedLine& line) { observed.push_back(line.text); });
    const SocketFd peer = connectFeed();
    const char* segments[] = {"Qs12", "3=2000\r\nQs121=5000;-10000;",
                              "1.570796;35000000;450000;0.907571;0.078540\r", "\nline\nwith LF\r\n",
                              "exit\r\n"};
    for (const char* segment : segments) {
        writeBytes(peer, segment);
        std::this_thread::sleep_for(20ms); // separate segments on the wire
    }
    ASSERT_TRUE(feed.waitForLine("exit", kLivenessBound));

    const std::vector<ReceivedLine> lines = feed.lines();
    const std::vector<std::string> expected = {"Qs123=2000", kPosition, "line\nwith LF", "exit"};
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        EXPECT_EQ(lines[k].text, expected[k]) << "line " << k;
        EXPECT_EQ(lines[k].connection, 1) << "line " << k;
        EXPECT_EQ(lines[k].index, k);
        if (k > 0) {
            EXPECT_GE(lines[k].at, lines[k - 1].at) << "line " << k;
        }
    }
    feed.disconnect(); // the observer's vector is read only after the thread has ended
    EXPECT_EQ(observed, expected);
    const auto position = feed.latestPosition();
    ASSERT_TRUE(position.has_value());
    EXPECT_NEAR(position->latitude, 52.0, 3e-5);
    EXPECT_NEAR(position->longitude, 4.5, 3e-5);
}

TEST_F(RtFeedRecordingThreads, WaitForLineFindsLinesFromAPlaceOn) {
    const SocketFd peer = connectFeed();
    writeBytes(peer, kPosition + "\r\nQs123=1\r\n");
    const auto first = feed.waitForLine("Qs121", kLivenessBound);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->index, 0u);
    EXPECT_EQ(feed.waitForLine("Qs121", 100ms, first->index + 1), std::nullopt) << "only one so far";
    writeBytes(peer, "Qs121=0;0;0;0;0;0.1;0.1\r\n");
    const auto second = feed.waitForLine("Qs121", kLivenessBound, first->index + 1);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->index, 2u);
    EXPECT_NEAR(feed.latestPosition()->latitude, 5.729578, 1e-5) << "the latest position counts";
}

TEST_F(RtFeedRecordingThreads, TheProgramsEndIsSeenAndAReconnectionCountsOn) {
    SocketFd peer = connectFeed();
    writeBytes(peer, "exit\r\nunfinished");
    peer.reset();
    ASSERT_TRUE(feed.waitForEof(kLivenessBound));
    EXPECT_FALSE(feed.connected());
    ASSERT_EQ(feed.lines().size(), 1u) << "an unfinished line is not kept";

    peer = connectFeed();
    EXPECT_FALSE(feed.eofSeen()) << "a new connection";
    writeBytes(peer, "Qs999=version\r\n");
    EXPECT_EQ(readSome(peer, kLivenessBound), R"({"level":2,"version":"9.0.1"})") << "answered again";
    const auto line = feed.waitForLine("Qs999", kLivenessBound);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->connection, 2);
}

TEST_F(RtFeedRecordingThreads, DisconnectEndsTheConnectionFromTheStandInsSide) {
    const SocketFd peer = connectFeed();
    writeBytes(peer, "Qs123=2000\r\n");
    ASSERT_TRUE(feed.waitForLine("Qs123", kLivenessBound));
    feed.disconnect();
    EXPECT_FALSE(feed.connected());
    EXPECT_FALSE(feed.eofSeen());
    EXPECT_EQ(readSome(peer, kLivenessBound), "") << "the program sees the end of the stream";
    EXPECT_EQ(feed.lines().size(), 1u) << "the record stays";
    feed.disconnect(); // twice is harmless
}

TEST_F(RtFeedRecordingThreads, ReadingTheRecordWhileLinesArrive) {
    const SocketFd peer = connectFeed();
    constexpr int kLines = 2000;
    std::thread writer([&] {
        for (int k = 0; k < kLines; ++k) {
            writeBytes(peer, "Qs121=" + std::to_string(k) + ";0;0;0;0;0.1;0.1\r\n");
        }
        writeBytes(peer, "exit\r\n");
    });
    std::size_t seen = 0;
    while (!feed.waitForLine("exit", 1ms)) {
        const std::size_t now = feed.lines().size();
        EXPECT_GE(now, seen);
        seen = now;
        (void)feed.latestPosition();
    }
    writer.join();
    const std::vector<ReceivedLine> lines = feed.lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines + 1));
    for (int k = 0; k < kLines; k += 499) {
        EXPECT_TRUE(lines[k].text.starts_with("Qs121=" + std::to_string(k) + ";")) << k;
    }
    EXPECT_NEAR(feed.latestPosition()->pitch, (kLines - 1) / 100000.0, 1e-12);
}

} // namespace
} // namespace zeph::rtfeed
