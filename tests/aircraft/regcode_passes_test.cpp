#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"
#include "aircraft/regcode_passes.h"
#include "settings/data_tree.h"
#include "state/main_window_state.h"
#include "support/log_fixture.h"
#include "support/sealed_files.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

// Installed: "B738 KLM 1" to "B738 KLM 6" and "A320 easyJet"; scanned with atc_ids: KLM 1 and 2 PH-BXB,
// easyJet G-EZAB. The sealed AIG fixture and the user files lie in input/.
class RegcodePasses : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        for (int k = 1; k <= 6; ++k) {
            airlineLiveryTable["KLM"]["B738"].push_back({"B738 KLM " + std::to_string(k), false});
        }
        airlineLiveryTable["EZY"]["A320"].push_back({"A320 easyJet", false});
        lf_indexInstalledTitles();
        scannedLiveries = {{"KLM", "B738", "B738 KLM 1", "PH-BXB", 1, false},
                           {"KLM", "B738", "B738 KLM 2", "PH-BXB", 1, false},
                           {"EZY", "A320", "A320 easyJet", "G-EZAB", 2, false}};
        fs::create_directories(dir() / "input");
        fs::copy(fs::path(AIRCRAFT_TEST_DATA) / "my_regcodes", dir() / myRegcodesDir);
        test::writeSealed(dir() / aigRegcodesEncFile, aigXml_);
    }
    void TearDown() override {
        regcodeTitleTable.clear();
        specialRegcodes.clear();
        uniqueRegcodes.clear();
        specialTitles.clear();
        dontUseTitles.clear();
        offlineRegcodeReport.clear();
        scannedLiveries.clear();
        lf_emptyLiveryTables();
        LogFixture::TearDown();
    }
    long logged(const std::string& line) const { return std::ranges::count(readLog(), line); }
    const std::string aigXml_ = test::readFileBytes(fs::path(AIRCRAFT_TEST_DATA) / "AIG-regcodes.xml");
};

TEST_F(RegcodePasses, InlineThenOfflineSourcesWinInTheirOrder) {
    lf_checkInlineRegcodes();
    EXPECT_EQ(regcodeTitleTable.at("PH-BXB"), "B738 KLM 1");
    EXPECT_EQ(test::readFileLines(dir() / inlineRegcodesFile()),
              std::vector<std::string>{"PH-BXB 'B738 KLM 2' => already in use by 'B738 KLM 1'"});
    EXPECT_EQ(logged("1 in-line regcode clashes, see 'output/errors/InlineRegcodes.txt'"), 1);

    lf_processOfflineRegcodes();
    EXPECT_EQ(regcodeTitleTable.at("PH-BXB"), "B738 KLM 3");
    EXPECT_EQ(uniqueRegcodes, (std::set<std::string>{"PH-BXB", "PH-BXH"}));
    for (const char* code : {"PH-BXC", "PH-BXD", "PH-BXE", "PH-BXF"}) {
        EXPECT_TRUE(specialRegcodes.contains(code) && !uniqueRegcodes.contains(code)) << code;
    }
    EXPECT_FALSE(regcodeTitleTable.contains("G-XXXX"));
    const std::string status =
        "There were errors processing the regcode files in folder 'input/my_regcodes', see Log.txt";
    EXPECT_EQ(mainWindowState.statusText, status);
    EXPECT_EQ(
        test::readFileLines(dir() / offlineRegcodesFile()),
        (std::vector<std::string>{
            "Processing file input/AIG-regcodes.xml",
            "There were errors processing the AIG-regcode file 'input/AIG-regcodes.xml', see Log.txt",
            "2 new regcodes added, 2 regcodes defined as special", "Processing files in input/my_regcodes",
            "   regcode PH-BXB for 'B738 KLM 3', instead of the same for 'B738 KLM 1'",
            "4 new regcodes added, 1 regcode replaced, 3 regcodes defined as special"}));
    for (const std::string& line :
         {status, std::string("5 special liveries"), std::string("2 unique liveries")}) {
        EXPECT_EQ(logged(line), 1) << line;
    }
    EXPECT_FALSE(fs::exists(dir() / aigRegcodesXmlFile));
}

// Without "B738 KLM 2" no in-line clash: an older InlineRegcodes.txt stays as it is.
TEST_F(RegcodePasses, NoClashLeavesTheInlineFileAndADamagedAigFileStillMergesTheUserFiles) {
    scannedLiveries.erase(std::next(scannedLiveries.begin()));
    fs::create_directories(dir() / errorsDir);
    test::writeFileBytes(dir() / inlineRegcodesFile(), "older\n");
    lf_checkInlineRegcodes();
    EXPECT_EQ(test::readFileBytes(dir() / inlineRegcodesFile()), "older\n");
    test::writeSealed(dir() / aigRegcodesEncFile, aigXml_, gf_dataFileKey(), {.flipByte = 30});
    lf_processOfflineRegcodes();
    EXPECT_EQ(logged("! input/AIG-regcodes.enc could not be decrypted, AIG registration codes skipped"), 1);
    EXPECT_EQ(regcodeTitleTable.at("PH-BXH"), "B738 KLM 6");
    EXPECT_TRUE(fs::exists(dir() / offlineRegcodesFile()));
    EXPECT_FALSE(fs::exists(dir() / aigRegcodesXmlFile));
}

// A folder in the way of each report: neither is announced, each failure says so, the tables stay filled.
TEST_F(RegcodePasses, AReportThatCannotBeWrittenIsNotAnnounced) {
    for (const fs::path& report : {inlineRegcodesFile(), offlineRegcodesFile()}) {
        fs::create_directories(dir() / report);
        test::writeFileBytes(dir() / report / "keep", "");
    }
    lf_checkInlineRegcodes();
    lf_processOfflineRegcodes();
    EXPECT_EQ(regcodeTitleTable.at("PH-BXB"), "B738 KLM 3");
    const auto lines = readLog();
    for (const fs::path& report : {inlineRegcodesFile(), offlineRegcodesFile()}) {
        EXPECT_EQ(logged("! could not write " + report.string()), 1) << report;
        EXPECT_FALSE(std::ranges::any_of(lines, [&](const std::string& line) {
            return line.find("'" + report.string() + "'") != std::string::npos;
        })) << report;
    }
    EXPECT_EQ(logged("5 special liveries"), 1);
}

TEST_F(RegcodePasses, DontUseTitlesComeFromRecordsWithoutRegistrations) {
    test::writeFileBytes(dir() / aigRegcodesXmlFile, aigXml_);
    lf_readDontUseTitles();
    lf_readDontUseTitleFolder();
    // A blank registration is a missing one.
    EXPECT_EQ(dontUseTitles,
              (std::vector<std::string>{"Old title not to use", "Blank registration", "Only a title"}));
    for (const std::string line :
         {"2 don't use titles read", "1 don't use title read from files in input/my_regcodes",
          "==> There were errors in processing the file 'input/AIG-regcodes.xml', see the Log.txt",
          "==> There were errors in processing the regcode files in folder 'input/my_regcodes', see the "
          "Log.txt"}) {
        EXPECT_EQ(logged(line), 1) << line;
    }
}

} // namespace
} // namespace zeph
