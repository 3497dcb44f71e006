#include "aircraft/livery_matcher.h"

#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "aircraft/matching_tables.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/similar_types.h"
#include "airports/stands.h"
#include "core/random.h"
#include "livery_fixture.h"
#include "settings/parameter_table.h"
#include "sim/livery_memory.h"
#include "traffic/flight_texts.h"

namespace zeph {
namespace {

using LiveryMatcher = test::LiveryFixture;
using Types = std::vector<std::string>;
constexpr int kNone = -1;

std::string matchLine(const AcProfile& ac, const std::string& marker) {
    return "          " + gf_acLogPrefix(ac) + " =" + marker + "= " + std::string(ac.livery);
}

TEST_F(LiveryMatcher, TheLiveLadderGoesDownToTheDepth) {
    struct Row {
        std::string airline, type, reg;
        bool cargo;
        int depth;
        std::string title; // the start of the title; empty: none
        int step;
        bool failedKlm7 = false;
    };
    const Row rows[] = {
        {"KLM", "B738", "PH-BXB", false, 1, "B738 KLM 1", 0},     {"KLM", "B738", "PH-BXC", false, 1, "B738 KLM 2", 1},
        {"KLM", "B738", "PH-XXX", false, 1, "", kNone},           {"PVT", "C172", "", false, 2, "C172 Generic", 4},
        {"KLM", "B738", "", true, 4, "B738 KLM 7", 2},            {"KLM", "B763", "", false, 4, "", kNone},
        {"EJU", "A320", "G-EZAB", false, 4, "A320 EZY FSLTL_1", 2}, {"BAW", "A320", "", false, 4, "A320 BA FSLTL", 2},
        {"KLM", "E190", "", false, 3, "B738 KLM 7", 3},           {"DLH", "B77W", "", false, 3, "", kNone},
        {"DLH", "B77W", "", false, 4, "B77W Generic", 4},         {"DLH", "C172", "", false, 3, "C172 Generic", 4},
        {"DLH", "PA28", "", false, 3, "PA28 AAL", 5},             {"DLH", "C152", "", false, 3, "C172 ", 6},
        {"KLM", "B738", "", false, 4, "B738 Generic", 4, true},   {"", "A320", "G-EZAB", false, 4, "", kNone},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.airline + " " + r.type + " " + r.reg + " depth " + std::to_string(r.depth));
        MATCHING_DEPTH.setValue(r.depth);
        failedLiveries.clear();
        if (r.failedKlm7) {
            failedLiveries.insert("B738 KLM 7");
        }
        const auto countsBefore = matchStepCounts;
        AcProfile ac = profile(r.airline, r.type, r.reg);
        ac.cargo = r.cargo ? 1 : 0;
        gf_matchLiveryLive(ac);
        EXPECT_TRUE(r.title.empty() ? ac.livery.empty() : ac.livery.starts_with(r.title)) << ac.livery;
        EXPECT_EQ(ac.reversedThrottleLivery, ac.livery.find("FSLTL_") != std::string_view::npos ? 1 : 0);
        auto expectedCounts = countsBefore;
        if (r.step != kNone) {
            ++expectedCounts.at(static_cast<std::size_t>(r.step));
            EXPECT_EQ(readLog().back(), matchLine(ac, std::to_string(r.step)));
        }
        EXPECT_EQ(matchStepCounts, expectedCounts);
    }
    AcProfile first = profile("AAL", "C172");
    gf_matchLiveryLive(first);
    for (int k = 0; k < 10; ++k) {
        AcProfile again = profile("AAL", "C172");
        gf_matchLiveryLive(again);
        EXPECT_EQ(again.livery, first.livery) << "RANDOM off repeats the title";
    }
}

TEST_F(LiveryMatcher, TheStaticLadderTakesCargoFromTheStandAndCountsNothing) {
    ParkPos stand;
    stand.id = "A10";
    const auto counts = matchStepCounts;
    AcProfile titled = profile("KLM", "B738");
    titled.livery = "B738 KLM 7";
    EXPECT_TRUE(gf_matchLivery(titled, stand));
    EXPECT_EQ(readLog().back(), matchLine(titled, "s"));

    stand.cargo = true;
    AcProfile cargo = profile("KLM", "B763");
    cargo.reversedThrottleLivery = 1;
    EXPECT_TRUE(gf_matchLivery(cargo, stand));
    EXPECT_EQ(cargo.livery, "B763 KLM Cargo");
    EXPECT_EQ(readLog().back(), matchLine(cargo, "2"));
    EXPECT_EQ(cargo.cargo, 1);
    EXPECT_EQ(cargo.reversedThrottleLivery, 1);

    stand.cargo = false;
    failedLiveries.insert("B738 KLM 7");
    AcProfile failed = profile("KLM", "B738");
    EXPECT_TRUE(gf_matchLivery(failed, stand));
    EXPECT_EQ(readLog().back(), matchLine(failed, "4"));

    AcProfile none = profile("DLH", "E190");
    EXPECT_FALSE(gf_matchLivery(none, stand));
    EXPECT_EQ(readLog().back(), "A10     : " + gf_acShortText(none) + " no livery match ...");
    EXPECT_EQ(matchStepCounts, counts);
}

TEST_F(LiveryMatcher, PicksPreferOrdinaryTitlesAndSimilarTypesHaveLiveries) {
    AcProfile ac = profile("KLM", "B738");
    const std::vector<std::string_view> specials{"B738 KLM 1", "B738 KLM 2"};
    lf_pickNonSpecialLivery(ac, specials);
    EXPECT_EQ(ac.livery, "B738 KLM 1") << "only specials, RANDOM off: the first";
    lf_pickNonSpecialLivery(ac, {});
    EXPECT_EQ(ac.livery, "B738 KLM 1") << "an empty list changes nothing";
    RANDOM.setValue(true);
    seedThisThreadForTests(7);
    lf_pickNonSpecialLivery(ac, specials);
    EXPECT_TRUE(ac.livery == specials[0] || ac.livery == specials[1]);
    specialTitles = {"S1", "S2"};
    lf_indexSpecialTitles();
    for (int k = 0; k < 1000; ++k) {
        lf_pickNonSpecialLivery(ac, {"S1", "S2", "P1"});
        ASSERT_EQ(ac.livery, "P1") << k;
    }
    RANDOM.setValue(false);

    EXPECT_EQ(similarScannedTypes.at("A320"), Types{"B738"});
    EXPECT_EQ(similarScannedTypes.at("E190"), (Types{"A320", "B738"}));
    EXPECT_FALSE(similarScannedTypes.contains("B77W") || similarScannedTypes.contains("C172"));
    EXPECT_EQ(airlineSimilarTypes.at("KLM"), (TypeLists{{"A320", {"B738"}}, {"E190", {"B738"}}}));
    EXPECT_EQ(lf_fallbackTypesOf("C152"), Types{"C172"}) << "a Light type without group: the first Light type";
    EXPECT_TRUE(lf_fallbackTypesOf("B77W").empty());
    EXPECT_TRUE(lf_similarTypeList({"XXX", "A320"}).empty());
}

// Any bytes from the network give a title of the tables or none, through both matchers.
TEST_F(LiveryMatcher, RandomProfilesGetAnInstalledTitleOrNone) {
    std::mt19937 bytes(2024);
    const auto field = [&] {
        std::string text(bytes() % 7, ' ');
        for (char& c : text) {
            c = static_cast<char>(bytes() % 4 == 0 ? "KLMZPVBA7C1-"[bytes() % 12] : bytes() % 256);
        }
        return text;
    };
    RANDOM.setValue(true);
    ParkPos stand;
    for (int k = 0; k < 1000; ++k) {
        AcProfile ac = profile(field(), k % 3 == 0 ? "C172" : field(), k % 5 == 0 ? "PH-BXB" : field());
        ac.kind = static_cast<AcKind>(bytes() % 6);
        ac.cargo = static_cast<std::uint8_t>(bytes() % 2);
        MATCHING_DEPTH.setValue(static_cast<std::int32_t>(1 + bytes() % 4));
        AcProfile copy = ac;
        stand.cargo = bytes() % 2 == 0;
        ASSERT_NO_THROW(gf_matchLiveryLive(ac));
        ASSERT_NO_THROW(gf_matchLivery(copy, stand));
        ASSERT_TRUE(ac.livery.empty() || test::ownedByTheTables(ac.livery)) << k;
        ASSERT_TRUE(copy.livery.empty() || test::ownedByTheTables(copy.livery)) << k;
    }
}

using LiveryTablesThreads = test::LiveryFixture;

TEST_F(LiveryTablesThreads, ARescanAskedDuringMatchingChangesNoTable) {
    const std::size_t airlines = airlineLiveryTable.size();
    std::thread window([] {
        for (int k = 0; k < 100; ++k) {
            gf_resetLiveryTables();
        }
    });
    const char* types[] = {"B738", "A320", "C172", "B77W", "B763", "PA28"};
    for (int k = 0; k < 10000; ++k) {
        AcProfile ac = profile(k % 2 == 0 ? "KLM" : "DLH", types[k % 6], k % 7 == 0 ? "PH-BXC" : "");
        gf_matchLiveryLive(ac);
        ASSERT_TRUE(ac.livery.empty() || test::ownedByTheTables(ac.livery));
    }
    window.join();
    EXPECT_TRUE(liveryResetRequested.exchange(false));
    EXPECT_EQ(airlineLiveryTable.size(), airlines);
    EXPECT_TRUE(liveryTablesBuilt);
}

} // namespace
} // namespace zeph
