// The stand-in's side of the TCP conversation: connecting, and each way of answering the version question.
#include <thread>

#include <gtest/gtest.h>

#include "rtfeed/rt_feed.h"
#include "support/slow_factor.h"
#include "tools/rtfeed/test_sockets.h"

namespace zeph::rtfeed {
namespace {

using namespace std::chrono_literals;
using test::kLivenessBound;
using test::readBytes;
using test::readSome;
using test::TestTcpServer;
using test::writeBytes;

const std::string kQuestion = "Qs999=version\r\n";

RtFeedOptions replying(ReplyMode mode, std::string version = "", std::string customReply = "") {
    RtFeedOptions options;
    options.reply = mode;
    options.version = std::move(version);
    options.customReply = std::move(customReply);
    return options;
}

RtFeedOptions onPort(std::uint16_t port) {
    RtFeedOptions options;
    options.tcpPort = port;
    return options;
}

struct Conversation {
    TestTcpServer server;
    std::unique_ptr<RtFeed> feed;
    SocketFd peer; // the program's end

    explicit Conversation(RtFeedOptions options) {
        options.tcpPort = server.port();
        feed = std::make_unique<RtFeed>(std::move(options));
        EXPECT_TRUE(feed->connect(kLivenessBound));
        peer = server.accept(kLivenessBound);
        EXPECT_TRUE(peer.valid());
    }
};

TEST(RtFeedReplies, EachModeAnswersTheQuestionInOneWrite) {
    const struct {
        ReplyMode mode;
        std::string version;
        std::string reply;
    } cases[] = {
        {ReplyMode::Professional, "", R"({"level":2,"version":"9.0.1"})"},
        {ReplyMode::Professional, "9.1 \"beta\"", R"({"level":2,"version":"9.1 \"beta\""})"},
        {ReplyMode::Standard, "", R"({"version":"8.0"})"},
        {ReplyMode::Standard, "8.2", R"({"version":"8.2"})"},
        {ReplyMode::Standard, "8.2 \xE9",
         R"({"version":"8.2 \u00e9"})"}, // not UTF-8: each byte its own character
        {ReplyMode::Standard, "8.2 \xC3\xA9", "{\"version\":\"8.2 \xC3\xA9\"}"},
        {ReplyMode::Array, "", "[1,2]"},
        {ReplyMode::Number, "", "42"},
        {ReplyMode::Garbage, "", "hello"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        Conversation talk(replying(c.mode, c.version));
        EXPECT_EQ(replyText(talk.feed->options()), c.reply);
        writeBytes(talk.peer, kQuestion);
        EXPECT_EQ(readSome(talk.peer, kLivenessBound), c.reply);
        EXPECT_EQ(readSome(talk.peer, 100ms), std::nullopt) << "nothing after the reply";
        EXPECT_TRUE(talk.feed->connected());
    }
}

TEST(RtFeedReplies, CustomRepliesGoOutAsGiven) {
    const std::string big(20000, '[');
    Conversation talk(replying(ReplyMode::Custom, "", big));
    writeBytes(talk.peer, kQuestion);
    EXPECT_EQ(readBytes(talk.peer, big.size(), kLivenessBound), big);
}

TEST(RtFeedReplies, SplitSendsTheProfessionalReplyInTwoWrites) {
    Conversation talk(replying(ReplyMode::Split));
    writeBytes(talk.peer, kQuestion);
    const std::string whole = R"({"level":2,"version":"9.0.1"})";
    const auto first = readSome(talk.peer, kLivenessBound);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, whole.substr(0, whole.size() / 2)) << "the first write is half the reply";
    EXPECT_EQ(*first + readBytes(talk.peer, whole.size() - first->size(), kLivenessBound), whole);
}

TEST(RtFeedReplies, CloseWithoutAnswerClosesTheConnection) {
    Conversation talk(replying(ReplyMode::CloseWithoutAnswer));
    writeBytes(talk.peer, kQuestion);
    EXPECT_EQ(readSome(talk.peer, kLivenessBound), "") << "end of stream, no reply";
    ASSERT_TRUE(talk.feed->waitForLine("Qs999=version", kLivenessBound));
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    while (talk.feed->connected() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(talk.feed->connected());
    EXPECT_FALSE(talk.feed->eofSeen()) << "the stand-in closed, not the program";
}

TEST(RtFeedReplies, NeverAnswerStaysConnectedAndSilent) {
    Conversation talk(replying(ReplyMode::NeverAnswer));
    writeBytes(talk.peer, kQuestion);
    ASSERT_TRUE(talk.feed->waitForLine("Qs999=version", kLivenessBound));
    EXPECT_EQ(readSome(talk.peer, 300ms), std::nullopt);
    EXPECT_TRUE(talk.feed->connected());
}

TEST(RtFeedReplies, OnlyTheWholeQuestionIsAnswered) {
    Conversation talk(replying(ReplyMode::Professional));
    for (const char* notTheQuestion : {"Qs999=version2\r\n", "qs999=version\r\n", "Qs999=version\n\r\n"}) {
        writeBytes(talk.peer, notTheQuestion);
    }
    writeBytes(talk.peer, "exit\r\n");
    ASSERT_TRUE(talk.feed->waitForLine("exit", kLivenessBound));
    EXPECT_EQ(readSome(talk.peer, 100ms), std::nullopt);
    EXPECT_EQ(talk.feed->lines().size(), 4u);
}

TEST(RtFeedReplies, ConnectRetriesUntilTheServerListens) {
    const std::uint16_t port = test::freeTcpPort();
    RtFeed feed(onPort(port));
    bool connected = false;
    std::thread client([&] { connected = feed.connect(kLivenessBound * 2); });
    std::this_thread::sleep_for(500ms);
    TestTcpServer server(port);
    client.join();
    EXPECT_TRUE(connected);
    EXPECT_TRUE(server.accept(kLivenessBound).valid());
    EXPECT_TRUE(feed.connect(10ms)) << "an open connection counts as connected";
}

TEST(RtFeedReplies, ConnectGivesUpAfterItsTimeout) {
    RtFeed feed(onPort(test::freeTcpPort()));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(feed.connect(300ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kLivenessBound);
    EXPECT_FALSE(feed.connected());
}

} // namespace
} // namespace zeph::rtfeed
