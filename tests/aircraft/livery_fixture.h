#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "support/log_fixture.h"
#include "support/recording_control_sink.h"
#include "traffic/records.h"

namespace zeph::test {

// The title views a text of airlineLiveryTable.
bool ownedByTheTables(std::string_view title);

// The sealed dbase, AIG and my_regcodes fixtures in a program folder, and tables built from these liveries:
//   KLM B738 "B738 KLM 1" (AIG special, PH-BXB only), "B738 KLM 2" (special, PH-BXC, PH-BXD), "B738 KLM 7";
//   KLM B763 "B763 KLM Cargo" and UPS B763 "B763 UPS" (cargo); EZY A320 "A320 EZY FSLTL_1"; BAW A320
//   "A320 BA FSLTL"; ZZZ B738, B77W, C172 "<type> Generic"; PVT C172 "C172 Private"; AAL PA28 "PA28 AAL";
//   AAL "L001".."L044" (Light types). RANDOM off, MATCHING_DEPTH 4, the category boxes ticked.
class LiveryFixture : public LogFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // A profile of the aircraft database's kind for the type.
    static AcProfile profile(const std::string& airline, const std::string& type, const std::string& reg = "");

    std::unique_ptr<RecordingControlSink> sink_;
};

} // namespace zeph::test
