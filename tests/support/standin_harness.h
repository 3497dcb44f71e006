#pragma once
#include <vector>

#include "support/pass_harness.h"
#include "support/sim_fixture.h"

// Traffic passes over the wire: the program's client against the in-process stand-in, the test thread
// playing the client thread. The stand-in keeps 8,000 positions per object; its user is on the ground at
// 47.05 N 8.10 E, the ground at 1400 ft.

namespace zeph::test {

class StandinHarness : public SimFixture {
protected:
    void SetUp() override;
    // A pass harness whose frame, after each pass, waits until the stand-in has handled everything sent (so
    // the replies to the pass's requests come before the frame), steps one stand-in frame and dispatches it
    // up to a marker that the program never sees.
    PassHarness passHarness(std::vector<ScriptedReport> script);

private:
    void pumpPastQuietMarker();
};

} // namespace zeph::test
