#pragma once
// An in-process stand-in on 127.0.0.1 port 0 and a socket in a temp folder, with helpers to open raw clients.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simstandin/standin.h"
#include "support/temp_dir.h"
#include "tools/simstandin/raw_client.h"
#include "tools/simstandin/request_bytes.h"

namespace zeph::test {

class StandinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Stops the running stand-in and starts one with these options (listeners are filled in).
    void restart(standin::StandinOptions options);

    RawClient connectTcp4();
    // Connected and opened: the 308-byte reply has been read.
    RawClient openClient();
    // Opened and set up as the program does it; the "Sim" event has been read.
    RawClient setUpClient();

    // Sends one packet and counts it, so waitHandled() knows how many the stand-in must have handled.
    void send(RawClient& client, const std::string& packet);
    void waitHandled();
    // The next message; fails the test when none comes or its id differs.
    std::string expectMessage(RawClient& client, std::uint32_t id);
    // An exception message with this code, send id and index.
    void expectException(RawClient& client, std::uint32_t code, std::uint32_t sendId, std::uint32_t index);

    standin::SimStandin& standin() { return *standin_; }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::unique_ptr<standin::SimStandin> standin_;
    std::uint64_t sent_ = 0;
};

} // namespace zeph::test
