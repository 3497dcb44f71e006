#include "settings/data_tree.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/reg_file_builder.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using test::ScopedEnv;
using test::TempDir;

TEST(DataTree, EveryPathHasItsName) {
    struct Case {
        const char* name;
        const std::filesystem::path& path;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"docsDir", docsDir, "docs"},
        {"manualFile", manualFile, "docs/Manual.pdf"},
        {"inputDir", inputDir, "input"},
        {"dbaseEncFile", dbaseEncFile, "input/dbase.enc"},
        {"dbaseXmlFile", dbaseXmlFile, "input/dbase.xml"},
        {"aigRegcodesEncFile", aigRegcodesEncFile, "input/AIG-regcodes.enc"},
        {"aigRegcodesXmlFile", aigRegcodesXmlFile, "input/AIG-regcodes.xml"},
        {"airportsEncFile", airportsEncFile, "input/airports.enc"},
        {"airportsXmlFile", airportsXmlFile, "input/airports.xml"},
        {"myRegcodesDir", myRegcodesDir, "input/my_regcodes"},
        {"outputDir", outputDir, "output"},
        {"infoDir", infoDir, "output/info"},
        {"errorsDir", errorsDir, "output/errors"},
        {"liveriesScannedFile", liveriesScannedFile, "output/LiveriesScanned.xml"},
        {"airportsScanLogFile", airportsScanLogFile, "output/info/AirportsScanLog.txt"},
        {"airportsDir", airportsDir, "airports"},
        {"learnedDir", learnedDir, "airports/learned"},
        {"learnedStockDir", learnedStockDir, "airports/learned/stock"},
        {"learnedSimaddonDir", learnedSimaddonDir, "airports/learned/simaddon"},
        {"learnedThirdpartyDir", learnedThirdpartyDir, "airports/learned/thirdparty"},
        {"myOrbxDir", myOrbxDir, "airports/my_ORBX"},
        {"myThirdpartyDir", myThirdpartyDir, "airports/my_thirdparty"},
        {"myParkAirportsFile", myParkAirportsFile, "airports/my_park_airports.txt"},
        {"tbloName", tbloName, "tblo"},
        {"tbloZipName", tbloZipName, "tblo/tblo.zip"},
        {"newVersionDir", newVersionDir, "new_version"},
        {"installerExeName", installerExeName, "install_new_version.exe"},
        {"releaseNotesName", releaseNotesName, "ReleaseNotes.pdf"},
        {"toBeLearnedOfflineDir", toBeLearnedOfflineDir, "TO_BE_LEARNED_OFFLINE"},
        {"versionsJsonFile", versionsJsonFile, "versions.json"},
        {"airportsP3dXmlFile", airportsP3dXmlFile, "input/airports_p3d.xml"},
    };
    for (const auto& item : cases) {
        EXPECT_EQ(item.path.generic_string(), item.expected) << item.name;
    }
    EXPECT_EQ(insideSystemsName, "InsideSystems");
    std::vector<std::string> reports;
    for (const auto& report : livScanReportFiles) {
        reports.push_back(report.generic_string());
    }
    EXPECT_EQ(reports,
              (std::vector<std::string>{
                  "output/info/AircraftCfgWithNoFltsimSection.txt", "output/info/AirlineModelConversions.txt",
                  "output/errors/InlineRegcodes.txt", "output/errors/InvalidAirlineCodes.txt",
                  "output/errors/InvalidAircraftCodes.txt", "output/errors/Fixes.txt",
                  "output/errors/InvalidAircraftCfgFiles.txt", "output/errors/IncompleFltsimSections.txt"}));
}

TEST(DataTree, AppDataFolderFromTheEnvironmentOnFirstUse) {
    TempDir appData;
    ScopedEnv env("CORVANE_APPDATA_DIR", appData.path().string());
    const std::filesystem::path expected = appData.path() / "Corvane_P3D" / "parameters.xml";
    EXPECT_EQ(parametersFile(), expected);
    EXPECT_EQ(parametersFileUtf8(), expected.string());
    EXPECT_EQ(flightPlanDir(), appData.path() / "Corvane_P3D" / "orig_dest");

    TempDir other;
    ScopedEnv later("CORVANE_APPDATA_DIR", other.path().string());
    EXPECT_EQ(parametersFile(), expected) << "computed once";
    setAppDataDirForTests({});
    EXPECT_EQ(parametersFile(), other.path() / "Corvane_P3D" / "parameters.xml");
    setAppDataDirForTests(appData.path() / "elsewhere");
    EXPECT_EQ(appDataDir(), appData.path() / "elsewhere");
}

TEST(DataTree, WithoutAnyAppDataSourceThePathIsRelative) {
    ScopedEnv appData("CORVANE_APPDATA_DIR", std::nullopt);
    ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv home("HOME", std::nullopt);
    EXPECT_EQ(parametersFile(), std::filesystem::path("Corvane_P3D") / "parameters.xml");
    EXPECT_TRUE(parametersFile().is_relative());
}

TEST(DataTree, Prepar3dFlagsAreReadOnce) {
    TempDir dir;
    const auto registry = dir / "registry.reg";
    ScopedEnv env("CORVANE_REGISTRY_FILE", registry.string());
    test::RegFileBuilder()
        .header()
        .key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6")
        .writeUtf16(registry);
    EXPECT_TRUE(p3dInstalled(6));
    EXPECT_FALSE(p3dInstalled(5));
    EXPECT_FALSE(p3dInstalled(4));

    test::RegFileBuilder()
        .header()
        .key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5")
        .writeUtf16(registry);
    EXPECT_TRUE(p3dInstalled(6)) << "a later change of the registry does not count";
    EXPECT_FALSE(p3dInstalled(5));
}

} // namespace
} // namespace zeph
