// How messages reach a client when the stand-in plays a faulty simulator.
#include <gtest/gtest.h>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

TEST_F(StandinTest, SplitWritesKeepEveryByte) {
    RawClient reference = setUpClient();
    standin().stepFrames(2);
    const std::string expected = reference.readBytes(64);
    ASSERT_EQ(expected.size(), 64U);
    reference.close();

    restart({});
    RawClient client = setUpClient();
    standin().splitWrites(7, 5);
    const std::uint64_t writesBefore = standin().connections().back().writes;
    standin().stepFrames(2);
    EXPECT_EQ(sc::toHex(client.readBytes(64)), sc::toHex(expected));
    EXPECT_GE(standin().connections().back().writes - writesBefore, 10U) << "64 bytes in pieces of 7";
}

TEST_F(StandinTest, SeveralMessagesPerWrite) {
    RawClient client = setUpClient();
    standin().messagesPerWrite(3);
    const std::uint64_t writesBefore = standin().connections().back().writes;
    standin().stepFrames(3);
    EXPECT_EQ(standin().connections().back().writes - writesBefore, 1U);
    for (int k = 0; k < 3; ++k) {
        expectMessage(client, 7);
    }
}

TEST_F(StandinTest, ScriptedBytesArriveAsScripted) {
    struct Case {
        const char* name;
        std::function<void()> action;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"zero padding between messages",
         [&] {
             standin().zeroPadding(4);
             standin().setSimRunning(true);
             standin().zeroPadding(0);
         },
         sc::fromHex("18000000 23000000 04000000 ffffffff c9000000 01000000 00000000")},
        {"declared size 41,089", [&] { standin().sendDeclaredSize(41089); },
         sc::fromHex("81a00000 23000000 00000000")},
        {"size 2", [&] { standin().sendDeclaredSize(2); }, sc::fromHex("02000000")},
        {"8 bytes", [&] { standin().sendDeclaredSize(8); }, sc::fromHex("08000000 23000000")},
        {"injected bytes", [&] { standin().injectMessage(sc::fromHex("0c000000 23000000 03000000")); },
         sc::fromHex("0c000000 23000000 03000000")},
        {"injected exception", [&] { standin().injectException(22, 9, 1); },
         sc::fromHex("18000000 23000000 01000000 16000000 09000000 01000000")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart({});
        RawClient client = openClient();
        send(client, sc::subscribe(client.nextSendId(), 201, "Sim"));
        expectMessage(client, 4);
        waitHandled();
        c.action();
        EXPECT_EQ(sc::toHex(client.readBytes(c.expected.size())), sc::toHex(c.expected));
        EXPECT_TRUE(client.quietFor(std::chrono::milliseconds(30)));
    }
}

TEST_F(StandinTest, QuitThenEndOfStreamAndDropWithoutQuit) {
    RawClient quitting = openClient();
    RawClient dropped = openClient();
    standin().sendQuit(1);
    const std::string quit = expectMessage(quitting, 3);
    EXPECT_EQ(quit.size(), 12U);
    EXPECT_TRUE(quitting.readEof());
    EXPECT_TRUE(dropped.quietFor(std::chrono::milliseconds(30))) << "only connection 1 was told";
    standin().dropConnection(2);
    EXPECT_TRUE(dropped.readEof()) << "EOF with no quit message before it";
}

} // namespace
} // namespace zeph::test
