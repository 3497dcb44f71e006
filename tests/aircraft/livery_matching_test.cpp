#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <set>
#include <thread>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "aircraft/ac_profile.h"
#include "aircraft/aircraft_database.h"
#include "aircraft/livery_matcher.h"
#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"
#include "aircraft/no_match_list.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/similar_types.h"
#include "airports/stands.h"
#include "core/errors.h"
#include "model/flight_texts.h"
#include "model/sim_records.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "support/aircraft_fixture.h"
#include "support/livery_tables.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/recording_control_sink.h"
#include "support/sealed_files.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Types = std::vector<std::string>;

// The sealed dbase, AIG and my_regcodes fixtures, and tables built from: KLM B738 "B738 KLM 1" (AIG special,
// PH-BXB only), "B738 KLM 2" (special, PH-BXC and PH-BXD), "B738 KLM 7"; cargo KLM and UPS B763; EZY and BAW
// A320; generic B738, B77W, C172; PVT C172; AAL PA28 and the Light types L001..L044. RANDOM off, depth 4.
class LiveryMatching : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        test::resetParametersForTests(dir());
        for (CheckBoxParameter* box : {&LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT}) {
            box->setValue(true);
        }
        RANDOM.setValue(false);
        const fs::path data = AIRCRAFT_TEST_DATA;
        fs::create_directories(dir() / "input");
        test::writeSealed(dir() / dbaseEncFile, test::readFileBytes(data / "dbase.xml"));
        ASSERT_TRUE(gf_readDbase());
        test::writeSealed(dir() / aigRegcodesEncFile, test::readFileBytes(data / "AIG-regcodes.xml"));
        fs::copy(data / "my_regcodes", dir() / myRegcodesDir);
        std::vector<LiveryData> liveries;
        for (const auto& [airline, type, title] :
             std::vector<std::array<std::string, 3>>{{"KLM", "B738", "B738 KLM 1"},
                                                     {"KLM", "B738", "B738 KLM 2"},
                                                     {"KLM", "B738", "B738 KLM 7"},
                                                     {"KLM", "B763", "B763 KLM Cargo"},
                                                     {"UPS", "B763", "B763 UPS"},
                                                     {"EZY", "A320", "A320 EZY FSLTL_1"},
                                                     {"BAW", "A320", "A320 BA FSLTL"},
                                                     {"EZY", "B738", "B738 EZY"},
                                                     {"ZZZ", "B738", "B738 Generic"},
                                                     {"ZZZ", "B77W", "B77W Generic"},
                                                     {"ZZZ", "C172", "C172 Generic"},
                                                     {"PVT", "C172", "C172 Private"},
                                                     {"AAL", "PA28", "PA28 AAL"}}) {
            liveries.push_back(test::testLivery(airline, type, title, type == "B763"));
        }
        for (int k = 1; k <= 44; ++k) {
            liveries.push_back(test::testLivery("AAL", fmt::format("L{:03}", k), fmt::format("L{:03}", k)));
        }
        test::buildMatchingTables(std::move(liveries));
    }
    void TearDown() override {
        test::clearTestAircraft();
        failedLiveries.clear();
        failedTypeAirlines.clear();
        noMatchList.clear();
        LogFixture::TearDown();
    }
    static AcProfile profile(const std::string& airline, const std::string& type,
                             const std::string& reg = "") {
        FlightIdentity identity;
        identity.airline = airline;
        identity.type = type;
        identity.callsign = "TST1";
        identity.registration = reg;
        return gf_makeAcProfile(identity);
    }
    test::RecordingControlSink sink_;
};

// The view is the whole of a title text of airlineLiveryTable.
bool owned(std::string_view title) {
    return std::ranges::any_of(airlineLiveryTable, [&](const auto& airline) {
        return std::ranges::any_of(airline.second, [&](const auto& type) {
            return std::ranges::any_of(type.second, [&](const LiveryTitle& l) {
                return l.title.data() == title.data() && l.title.size() == title.size();
            });
        });
    });
}

// Titles ascending within an airline and type, every view owned, every stored list exactly its size.
void expectSoundTables() {
    const auto views = [](const auto& entry) {
        return entry.second.capacity() == entry.second.size() && std::ranges::all_of(entry.second, owned);
    };
    for (const auto& [airline, types] : airlineLiveryTable) {
        EXPECT_TRUE(std::ranges::all_of(types, [](const auto& entry) {
            return entry.second.capacity() == entry.second.size() &&
                   std::ranges::is_sorted(entry.second, {}, &LiveryTitle::title);
        })) << airline;
    }
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_TRUE(std::ranges::all_of(modelTitles[k], views));
        EXPECT_TRUE(std::ranges::all_of(airlineTypeTitles[k], [&](const auto& airline) {
            return std::ranges::all_of(airline.second, views);
        }));
    }
    EXPECT_TRUE(std::ranges::all_of(specialTitles, owned));
    EXPECT_TRUE(
        std::ranges::all_of(regcodeTitleTable, [](const auto& entry) { return owned(entry.second); }));
}

TEST_F(LiveryMatching, TheBuildFilesEveryLiveryAndSwitchesOffEmptyCategories) {
    const auto log = readLog();
    for (const std::string line :
         {"Category Light: 47 pax liveries", "Category Large: 7 pax liveries and 2 cargo liveries",
          "Category Heavy: 1 pax liverie", "Category Buzjets: No livery found",
          "Category Rotorcraft: No livery found",
          "HELICOPTERS temporarily switched off because you do not have Helicopters installed",
          "HIGH_PERF_AIRCRAFT temporarily switched off because you do not have High Perf aircraft installed",
          "3 models have a generic livery", "3 registration codes", "5 similar model definitions",
          "7 airlines, 49 pax aircraft models and 1 cargo aircraft models",
          "  "
          "C172,L001,L002,L003,L004,L005,L006,L007,L008,L009,L010,L011,L012,L013,L014,L015,L016,L017,L018,"
          "L019",
          "  L040,L041,L042,L043,L044,PA28"}) {
        EXPECT_EQ(std::ranges::count(log, line), 1) << line;
    }
    EXPECT_TRUE(airlineTypeTitles[1].at("UPS").contains("B763") &&
                airlineTypeTitles[1].at("KLM").contains("B763"));
    EXPECT_FALSE(airlineTypeTitles[0].contains("UPS")) << "an airline with cargo liveries only";
    for (const char* type : {"B738", "B77W", "C172"}) {
        EXPECT_TRUE(airlineTypeTitles[0].at("ZZZ").contains(type) && modelTitles[0].contains(type)) << type;
    }
    const std::string parameters = test::readFileBytes(dir() / "Corvane_P3D" / "parameters.xml");
    for (const std::string key : {"HELICOPTERS", "HIGH_PERF_AIRCRAFT"}) {
        EXPECT_NE(parameters.find(test::parameterElementText(key, "false")), std::string::npos) << key;
        EXPECT_EQ(std::ranges::count(sink_.calls(), "enable " + key + " false"), 1) << key;
    }
    EXPECT_EQ(std::ranges::count(sink_.calls(), "enable LIGHT_AIRCRAFT true"), 1);
    EXPECT_TRUE(scannedLiveries.empty());
    EXPECT_EQ(mainWindowState.liveryCount.load(), 57U);
    EXPECT_EQ(similarScannedTypes.at("E190"), (Types{"A320", "B738"}));
    EXPECT_EQ(similarScannedTypes.at("A320"), Types{"B738"});
    EXPECT_FALSE(similarScannedTypes.contains("B77W") || similarScannedTypes.contains("C172"));
    EXPECT_EQ(airlineSimilarTypes.at("KLM"), (TypeLists{{"A320", {"B738"}}, {"E190", {"B738"}}}));
    EXPECT_EQ(lf_fallbackTypesOf("C152"), Types{"C172"})
        << "a Light type without group: the first Light type";
    EXPECT_TRUE(lf_fallbackTypesOf("B77W").empty() && lf_similarTypeList({"XXX", "A320"}).empty());
    expectSoundTables();
    EXPECT_TRUE(owned(lf_findInstalledTitle("B738 KLM 7")) && lf_findInstalledTitle("b738 klm 7").empty() &&
                lf_findInstalledTitle("B738 KLM").empty() && lf_findInstalledTitle("").empty());
}

TEST_F(LiveryMatching, BuiltOncePerProcessAndAgainOnlyAtTheStartAfterARescan) {
    const std::string_view before = airlineTypeTitles[0].at("KLM").at("B738").back();
    AiCreateRequest queued;
    queued.livery = std::string(before);
    const std::string skipped = "Processing scanned liveries skipped; already done in previous start-up";
    fs::rename(dir() / liveriesScannedFile, dir() / "kept.xml");
    EXPECT_NO_THROW(gf_processScannedLiveries());
    EXPECT_EQ(readLog().back(), skipped);
    std::thread([] { gf_resetLiveryTables(); }).join();
    EXPECT_EQ(before, "B738 KLM 7") << "the request frees nothing";
    try {
        gf_processScannedLiveries();
        ADD_FAILURE() << "no file, no tables";
    } catch (const UserErrorException& error) {
        EXPECT_TRUE(std::string_view(error.what()).starts_with("51: File ")) << error.what();
    }
    EXPECT_TRUE(!liveryTablesBuilt && airlineLiveryTable.empty());
    std::string xml = test::readFileBytes(dir() / "kept.xml");
    test::writeFileBytes(dir() / liveriesScannedFile, xml.replace(xml.find("B738 KLM 7"), 10, "B738 KLM 8"));
    gf_processScannedLiveries();
    EXPECT_EQ(lf_findInstalledTitle("B738 KLM 8"), "B738 KLM 8");
    EXPECT_EQ(std::ranges::count(readLog(), "3 registration codes"), 2) << "the passes ran again";
    EXPECT_EQ(std::ranges::count(readLog(), skipped), 1);
    EXPECT_EQ(queued.livery, "B738 KLM 7") << "a queued request keeps its own text";
    expectSoundTables();
}

TEST_F(LiveryMatching, TheLiveLadderGoesDownToTheDepth) {
    struct Row {
        std::string airline, type, reg;
        bool cargo;
        int depth;
        std::string title; // the start of the title; empty: none
        int step = -1;
        std::string failed{};
    };
    const Row rows[] = {
        {"KLM", "B738", "PH-BXB", false, 1, "B738 KLM 1", 0},
        {"KLM", "B738", "PH-BXC", false, 1, "B738 KLM 2", 1},
        {"KLM", "B738", "PH-XXX", false, 1, ""},
        {"PVT", "C172", "", false, 2, "C172 Generic", 4},
        {"KLM", "B738", "", true, 4, "B738 KLM 7", 2},
        {"KLM", "B763", "", false, 4, ""},
        {"EJU", "A320", "G-EZAB", false, 4, "A320 EZY FSLTL_1", 2},
        {"BAW", "A320", "", false, 4, "A320 BA FSLTL", 2},
        {"KLM", "E190", "", false, 3, "B738 KLM 7", 3},
        {"DLH", "B77W", "", false, 3, ""},
        {"DLH", "B77W", "", false, 4, "B77W Generic", 4},
        {"DLH", "C172", "", false, 3, "C172 Generic", 4},
        {"DLH", "PA28", "", false, 3, "PA28 AAL", 5},
        {"DLH", "C152", "", false, 3, "C172 ", 6},
        {"KLM", "B738", "", false, 4, "B738 Generic", 4, "B738 KLM 7"},
        {"", "A320", "G-EZAB", false, 4, ""},
        {"EZY", "A320", "", false, 3, "B738 EZY", 3, "A320 EZY FSLTL_1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.airline + " " + r.type + " " + r.reg + " depth " + std::to_string(r.depth));
        MATCHING_DEPTH.setValue(r.depth);
        failedLiveries = r.failed.empty() ? TextSet{} : TextSet{r.failed};
        auto counts = matchStepCounts;
        AcProfile ac = profile(r.airline, r.type, r.reg);
        ac.cargo = r.cargo ? 1 : 0;
        gf_matchLiveryLive(ac);
        EXPECT_TRUE(r.title.empty() ? ac.livery.empty() : ac.livery.starts_with(r.title)) << ac.livery;
        EXPECT_EQ(ac.reversedThrottleLivery, ac.livery.find("FSLTL_") != std::string_view::npos ? 1 : 0);
        if (r.step >= 0) {
            ++counts.at(static_cast<std::size_t>(r.step));
            EXPECT_EQ(readLog().back(),
                      fmt::format("          {} ={}= {}", gf_acLogPrefix(ac), r.step, ac.livery));
        }
        EXPECT_EQ(matchStepCounts, counts);
    }
    std::set<std::string_view> titles;
    for (int k = 0; k < 10; ++k) {
        AcProfile again = profile("AAL", "C172");
        gf_matchLiveryLive(again);
        titles.insert(again.livery);
    }
    EXPECT_EQ(titles.size(), 1U) << "RANDOM off repeats the title";
}

TEST_F(LiveryMatching, TheStaticLadderTakesCargoFromTheStandAndCountsNothing) {
    ParkPos stand;
    stand.id = "A10";
    const auto counts = matchStepCounts;
    const auto logged = [&](const AcProfile& ac, const char* marker) {
        return readLog().back() == fmt::format("          {} ={}= {}", gf_acLogPrefix(ac), marker, ac.livery);
    };
    AcProfile titled = profile("KLM", "B738");
    titled.livery = "B738 KLM 7";
    EXPECT_TRUE(gf_matchLivery(titled, stand) && logged(titled, "s"));
    stand.cargo = true;
    AcProfile cargo = profile("KLM", "B763");
    cargo.reversedThrottleLivery = 1;
    EXPECT_TRUE(gf_matchLivery(cargo, stand) && logged(cargo, "2"));
    EXPECT_TRUE(cargo.livery == "B763 KLM Cargo" && cargo.cargo == 1 && cargo.reversedThrottleLivery == 1);
    stand.cargo = false;
    failedLiveries.insert("B738 KLM 7");
    AcProfile failed = profile("KLM", "B738");
    EXPECT_TRUE(gf_matchLivery(failed, stand) && logged(failed, "4"));
    AcProfile none = profile("DLH", "E190");
    EXPECT_FALSE(gf_matchLivery(none, stand));
    EXPECT_EQ(readLog().back(), "A10     : " + gf_acShortText(none) + " no livery match ...");
    EXPECT_EQ(matchStepCounts, counts);
}

TEST_F(LiveryMatching, PicksPreferTitlesThatAreNotSpecial) {
    AcProfile ac = profile("KLM", "B738");
    lf_pickNonSpecialLivery(ac, {"B738 KLM 1", "B738 KLM 2"});
    lf_pickNonSpecialLivery(ac, {});
    EXPECT_EQ(ac.livery, "B738 KLM 1")
        << "only specials, RANDOM off: the first; an empty list changes nothing";
    RANDOM.setValue(true);
    specialTitles = {"S1", "S2"};
    lf_indexSpecialTitles();
    for (int k = 0; k < 1000; ++k) {
        lf_pickNonSpecialLivery(ac, {"S1", "S2", "P1"});
        ASSERT_EQ(ac.livery, "P1") << k;
    }
}

TEST_F(LiveryMatching, TheNoMatchListAndTheSummaryAreBlocksOfTheLog) {
    gf_printNoMatchList();
    failedTypeAirlines = {"B738 KLM"};
    gf_writeMatchingSummary();
    const std::size_t quiet = readLog().size();
    noMatchList = {"KL  B73  PH-ABC", "KL  B73  PH-ABD"};
    gf_printNoMatchList();
    matchStepCounts = {0, 0, 3, 0, 1, 0, 0};
    gf_writeMatchingSummary();
    const Lines log = readLog();
    const Lines lines(log.begin() + static_cast<std::ptrdiff_t>(quiet), log.end());
    ASSERT_EQ(lines.size(), 20U) << "an empty list and a summary without matches write nothing";
    EXPECT_EQ(std::set<std::string>(lines.begin() + 2, lines.begin() + 4),
              (std::set<std::string>{"KL  B73  PH-ABC", "KL  B73  PH-ABD"}));
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 2), (Lines{"", "No match found for:"}));
    EXPECT_EQ(Lines(lines.begin() + 4, lines.end()),
              (Lines{"", "", test::matchingSummaryBanner(), "Matches at step: ", "  0: 0", "  1: 0", "  2: 3",
                     "  3: 0", "  4: 1", "  5: 0", "  6: 0", "", "Could not be created by P3D:", "  B738 KLM",
                     std::string(100, '*'), ""}));
}

using LiveryTablesThreads = LiveryMatching;

// Any bytes from the network give a title of the tables or none through both matchers, while the window asks
// for rescans that change no table until the next start-up.
TEST_F(LiveryTablesThreads, ARescanAskedDuringMatchingChangesNoTable) {
    std::thread window([] {
        for (int k = 0; k < 100; ++k) {
            gf_resetLiveryTables();
        }
    });
    std::mt19937 bytes(2024);
    const auto field = [&] {
        std::string text(bytes() % 7, ' ');
        std::ranges::generate(text, [&] { return char(bytes() % 2 ? "KLMZPVC17-"[bytes() % 10] : bytes()); });
        return text;
    };
    RANDOM.setValue(true);
    ParkPos stand;
    for (int k = 0; k < 10000; ++k) {
        AcProfile ac = profile(k % 3 ? field() : "KLM", k % 3 ? field() : "C172", k % 5 ? field() : "PH-BXC");
        ac.kind = static_cast<AcKind>(bytes() % 6);
        ac.cargo = static_cast<std::uint8_t>(bytes() % 2);
        MATCHING_DEPTH.setValue(static_cast<std::int32_t>(1 + bytes() % 4));
        AcProfile copy = ac;
        stand.cargo = bytes() % 2 == 0;
        gf_matchLiveryLive(ac);
        gf_matchLivery(copy, stand);
        ASSERT_TRUE((ac.livery.empty() || owned(ac.livery)) && (copy.livery.empty() || owned(copy.livery)))
            << k;
    }
    window.join();
    EXPECT_TRUE(liveryResetRequested.exchange(false) && liveryTablesBuilt);
    EXPECT_EQ(airlineLiveryTable.size(), 7U);
}

} // namespace
} // namespace zeph
