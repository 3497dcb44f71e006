#include "livery_fixture.h"

#include <filesystem>
#include <vector>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/matching_tables.h"
#include "aircraft/no_match_list.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "sim/livery_memory.h"
#include "support/aircraft_fixture.h"
#include "support/livery_tables.h"
#include "support/parameters_files.h"
#include "support/sealed_files.h"

namespace zeph::test {

namespace fs = std::filesystem;

void LiveryFixture::SetUp() {
    LogFixture::SetUp();
    resetParametersForTests(dir());
    for (CheckBoxParameter* box : {&LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT}) {
        box->setValue(true);
    }
    RANDOM.setValue(false);
    MATCHING_DEPTH.setValue(4);
    const fs::path data = AIRCRAFT_TEST_DATA;
    fs::create_directories(dir() / "input");
    writeSealed(dir() / dbaseEncFile, readFileBytes(data / "dbase.xml"));
    ASSERT_TRUE(gf_readDbase());
    writeSealed(dir() / aigRegcodesEncFile, readFileBytes(data / "AIG-regcodes.xml"));
    fs::copy(data / "my_regcodes", dir() / myRegcodesDir);
    std::vector<LiveryData> liveries{
        testLivery("KLM", "B738", "B738 KLM 1"),       testLivery("KLM", "B738", "B738 KLM 2"),
        testLivery("KLM", "B738", "B738 KLM 7"),       testLivery("KLM", "B763", "B763 KLM Cargo", true),
        testLivery("UPS", "B763", "B763 UPS", true),   testLivery("EZY", "A320", "A320 EZY FSLTL_1"),
        testLivery("BAW", "A320", "A320 BA FSLTL"),    testLivery("ZZZ", "B738", "B738 Generic"),
        testLivery("ZZZ", "B77W", "B77W Generic"),     testLivery("ZZZ", "C172", "C172 Generic"),
        testLivery("PVT", "C172", "C172 Private"),     testLivery("AAL", "PA28", "PA28 AAL")};
    for (int k = 1; k <= 44; ++k) {
        const std::string type = fmt::format("L{:03}", k);
        liveries.push_back(testLivery("AAL", type, type));
    }
    sink_ = std::make_unique<RecordingControlSink>();
    buildMatchingTables(std::move(liveries));
}

void LiveryFixture::TearDown() {
    sink_.reset();
    clearTestAircraft();
    failedLiveries.clear();
    failedTypeAirlines.clear();
    noMatchList.clear();
    resetParametersForTests(dir());
    LogFixture::TearDown();
}

AcProfile LiveryFixture::profile(const std::string& airline, const std::string& type, const std::string& reg) {
    FlightIdentity identity;
    identity.airline = airline;
    identity.type = type;
    identity.registration = reg;
    identity.callsign = "TST1";
    return gf_makeAcProfile(identity);
}

bool ownedByTheTables(std::string_view title) {
    for (const auto& [airline, types] : airlineLiveryTable) {
        for (const auto& [type, titles] : types) {
            for (const LiveryTitle& livery : titles) {
                if (livery.title.data() == title.data() && livery.title.size() == title.size()) {
                    return true;
                }
            }
        }
    }
    return false;
}

} // namespace zeph::test
