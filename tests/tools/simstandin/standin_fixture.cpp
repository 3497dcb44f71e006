#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {

void StandinTest::SetUp() { restart({}); }

void StandinTest::TearDown() { standin_.reset(); }

void StandinTest::restart(standin::StandinOptions options) {
    standin_.reset();
    sent_ = 0;
    options.tcp4 = "127.0.0.1:0";
    options.unixPath = (dir_ / "sc.sock").string();
    standin_ = std::make_unique<standin::SimStandin>(options);
    standin_->start();
}

RawClient StandinTest::connectTcp4() {
    RawClient client = RawClient::tcp4(*standin_->tcp4Port());
    EXPECT_TRUE(client.connected());
    return client;
}

RawClient StandinTest::openClient() {
    RawClient client = connectTcp4();
    send(client, sc::open(client.nextSendId()));
    expectMessage(client, 2);
    return client;
}

RawClient StandinTest::setUpClient() {
    RawClient client = openClient();
    const std::uint32_t first = client.nextSendId();
    const std::vector<std::string> setup = sc::programSetup(first);
    for (std::size_t k = 1; k < setup.size(); ++k) {
        client.nextSendId();
    }
    for (const std::string& p : setup) {
        send(client, p);
    }
    const std::string sim = expectMessage(client, 4); // the "Sim" state right after its subscription
    EXPECT_EQ(sc::u32At(sim, 16), 201U);
    waitHandled();
    return client;
}

void StandinTest::send(RawClient& client, const std::string& packet) {
    client.send(packet);
    ++sent_;
}

void StandinTest::waitHandled() {
    const bool done = standin_->waitFor(
        [&] {
            std::uint64_t handled = 0;
            for (const standin::ConnectionInfo& c : standin_->connections()) {
                handled += c.packets;
            }
            return handled >= sent_;
        },
        kLivenessBound);
    ASSERT_TRUE(done) << "the stand-in did not handle all " << sent_ << " packets";
}

std::string StandinTest::expectMessage(RawClient& client, std::uint32_t id) {
    const std::optional<std::string> message = client.readMessage();
    if (!message) {
        ADD_FAILURE() << "no message; expected id " << id;
        return std::string(40, '\0');
    }
    EXPECT_EQ(sc::u32At(*message, 8), id) << "message " << sc::toHex(message->substr(0, 24));
    return *message;
}

void StandinTest::expectException(RawClient& client, std::uint32_t code, std::uint32_t sendId,
                                  std::uint32_t index) {
    const std::string message = expectMessage(client, 1);
    ASSERT_EQ(message.size(), 24U);
    EXPECT_EQ(sc::u32At(message, 12), code) << "exception code";
    EXPECT_EQ(sc::u32At(message, 16), sendId) << "send id";
    EXPECT_EQ(sc::u32At(message, 20), index) << "index";
}

} // namespace zeph::test
