#include "aircraft/matching_tables.h"

#include <algorithm>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "aircraft/livery_scan.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/similar_types.h"
#include "core/errors.h"
#include "livery_fixture.h"
#include "settings/data_tree.h"
#include "state/main_window_state.h"
#include "support/livery_tables.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"
#include "traffic/sim_records.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using MatchingTables = test::LiveryFixture;

// Every view of the tables points into airlineLiveryTable; every stored list is exactly its size.
void expectSoundTables() {
    for (const auto& [airline, types] : airlineLiveryTable) {
        for (const auto& [type, titles] : types) {
            EXPECT_EQ(titles.capacity(), titles.size()) << airline << " " << type;
            EXPECT_TRUE(std::ranges::is_sorted(titles, {}, &LiveryTitle::title)) << airline << " " << type;
        }
    }
    auto expectViews = [](const TitleViews& views) {
        EXPECT_EQ(views.capacity(), views.size());
        EXPECT_TRUE(std::ranges::all_of(views, test::ownedByTheTables));
    };
    for (std::size_t k = 0; k < 2; ++k) {
        std::ranges::for_each(modelTitles[k], [&](const auto& entry) { expectViews(entry.second); });
        for (const auto& [airline, types] : airlineTypeTitles[k]) {
            std::ranges::for_each(types, [&](const auto& entry) { expectViews(entry.second); });
        }
    }
    expectViews(specialTitles);
    for (const auto& [reg, title] : regcodeTitleTable) {
        EXPECT_TRUE(test::ownedByTheTables(title)) << reg;
    }
}

TEST_F(MatchingTables, TheBuildFilesEveryLiveryAndSwitchesOffEmptyCategories) {
    const auto log = readLog();
    for (const std::string line :
         {"Category Light: 47 pax liveries", "Category Large: 6 pax liveries and 2 cargo liveries",
          "Category Heavy: 1 pax liverie", "Category Buzjets: No livery found", "Category Rotorcraft: No livery found",
          "HELICOPTERS temporarily switched off because you do not have Helicopters installed",
          "HIGH_PERF_AIRCRAFT temporarily switched off because you do not have High Perf aircraft installed",
          "3 models have a generic livery", "3 registration codes", "5 similar model definitions",
          "7 airlines, 49 pax aircraft models and 1 cargo aircraft models",
          "  C172,L001,L002,L003,L004,L005,L006,L007,L008,L009,L010,L011,L012,L013,L014,L015,L016,L017,L018,L019",
          "  L040,L041,L042,L043,L044,PA28"}) {
        EXPECT_EQ(std::ranges::count(log, line), 1) << line;
    }
    EXPECT_TRUE(airlineTypeTitles[1].at("UPS").contains("B763") && airlineTypeTitles[1].at("KLM").contains("B763"));
    EXPECT_FALSE(airlineTypeTitles[0].contains("UPS")) << "an airline with cargo liveries only";
    for (const char* type : {"B738", "B77W", "C172"}) {
        EXPECT_TRUE(airlineLiveryTable.at("ZZZ").contains(type) && airlineTypeTitles[0].at("ZZZ").contains(type) &&
                    modelTitles[0].contains(type))
            << type;
    }
    EXPECT_EQ(lightModels.size(), 46U);
    const std::string parameters = test::readFileBytes(dir() / "Corvane_P3D" / "parameters.xml");
    for (const char* key : {"HELICOPTERS", "HIGH_PERF_AIRCRAFT"}) {
        EXPECT_NE(parameters.find(test::parameterElementText(key, "false")), std::string::npos) << key;
        EXPECT_EQ(std::ranges::count(sink_->calls(), std::string("enable ") + key + " false"), 1) << key;
    }
    EXPECT_EQ(std::ranges::count(sink_->calls(), "enable LIGHT_AIRCRAFT true"), 1);
    EXPECT_TRUE(scannedLiveries.empty());
    EXPECT_EQ(mainWindowState.liveryCount.load(), 56U);
    expectSoundTables();
    for (const auto& [title, cut] : std::vector<std::pair<std::string, std::string_view>>{
             {"B738 KLM 7", "B738 KLM 7"}, {"B738 KLM", ""}, {"b738 klm 7", ""}, {"", ""}}) {
        EXPECT_EQ(lf_findInstalledTitle(title), cut);
        EXPECT_TRUE(cut.empty() || test::ownedByTheTables(lf_findInstalledTitle(title))) << title;
    }
}

TEST_F(MatchingTables, BuiltOncePerProcessAndAgainOnlyAfterAResetAtTheNextStart) {
    const std::string_view before = airlineTypeTitles[0].at("KLM").at("B738").front();
    AiCreateRequest queued;
    queued.livery = std::string(before);
    fs::rename(dir() / liveriesScannedFile, dir() / "kept.xml");
    EXPECT_NO_THROW(gf_processScannedLiveries());
    EXPECT_EQ(readLog().back(), "Processing scanned liveries skipped; already done in previous start-up");

    std::thread([] { gf_resetLiveryTables(); }).join();
    EXPECT_EQ(airlineTypeTitles[0].at("KLM").at("B738").front(), "B738 KLM 1") << "nothing freed by the request";
    EXPECT_EQ(before, "B738 KLM 1");
    try {
        gf_processScannedLiveries();
        ADD_FAILURE() << "no file, no tables";
    } catch (const UserErrorException& error) {
        EXPECT_TRUE(std::string_view(error.what()).starts_with("51: File ")) << error.what();
    }
    EXPECT_FALSE(liveryTablesBuilt);
    EXPECT_TRUE(airlineLiveryTable.empty()) << "the reset emptied the tables before the reading failed";

    std::string xml = test::readFileBytes(dir() / "kept.xml");
    xml.replace(xml.find("B738 KLM 7"), 10, "B738 KLM 8");
    test::writeFileBytes(dir() / liveriesScannedFile, xml);
    gf_processScannedLiveries();
    EXPECT_TRUE(liveryTablesBuilt && gf_hasAirlineTypeLivery("KLM", "B738"));
    EXPECT_EQ(lf_findInstalledTitle("B738 KLM 8"), "B738 KLM 8");
    EXPECT_EQ(std::ranges::count(readLog(), "3 registration codes"), 2) << "the passes ran again";
    EXPECT_EQ(std::ranges::count(readLog(), "Processing scanned liveries skipped; already done in previous start-up"), 1);
    EXPECT_EQ(queued.livery, "B738 KLM 1") << "a queued request keeps its own text";
    expectSoundTables();
}

} // namespace
} // namespace zeph
