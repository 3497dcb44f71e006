#include "settings/data_tree.h"

#include <mutex>
#include <optional>

#include "core/files.h"
#include "core/program.h"
#include "core/sim_install.h"

namespace zeph {

const std::filesystem::path docsDir = "docs";
const std::filesystem::path manualFile = docsDir / "Manual.pdf";

const std::filesystem::path inputDir = "input";
const std::filesystem::path dbaseEncFile = inputDir / "dbase.enc";
const std::filesystem::path dbaseXmlFile = inputDir / "dbase.xml";
const std::filesystem::path aigRegcodesEncFile = inputDir / "AIG-regcodes.enc";
const std::filesystem::path aigRegcodesXmlFile = inputDir / "AIG-regcodes.xml";
const std::filesystem::path airportsEncFile = inputDir / "airports.enc";
const std::filesystem::path airportsXmlFile = inputDir / "airports.xml";
const std::filesystem::path myRegcodesDir = inputDir / "my_regcodes";

const std::filesystem::path outputDir = "output";
const std::filesystem::path infoDir = outputDir / "info";
const std::filesystem::path errorsDir = outputDir / "errors";
const std::filesystem::path liveriesScannedFile = outputDir / "LiveriesScanned.xml";
const std::filesystem::path conversionsReportFile = infoDir / "AirlineModelConversions.txt";
const std::array<std::filesystem::path, 8> livScanReportFiles{infoDir / "AircraftCfgWithNoFltsimSection.txt",
                                                              conversionsReportFile,
                                                              errorsDir / "InlineRegcodes.txt",
                                                              errorsDir / "InvalidAirlineCodes.txt",
                                                              errorsDir / "InvalidAircraftCodes.txt",
                                                              errorsDir / "Fixes.txt",
                                                              errorsDir / "InvalidAircraftCfgFiles.txt",
                                                              errorsDir / "IncompleFltsimSections.txt"};
const std::filesystem::path airportsScanLogFile = infoDir / "AirportsScanLog.txt";

const std::filesystem::path airportsDir = "airports";
const std::filesystem::path learnedDir = airportsDir / "learned";
const std::filesystem::path learnedStockDir = learnedDir / "stock";
const std::filesystem::path learnedSimaddonDir = learnedDir / "simaddon";
const std::filesystem::path learnedThirdpartyDir = learnedDir / "thirdparty";
const std::filesystem::path myOrbxDir = airportsDir / "my_ORBX";
const std::filesystem::path myThirdpartyDir = airportsDir / "my_thirdparty";
const std::filesystem::path myParkAirportsFile = airportsDir / "my_park_airports.txt";

const std::filesystem::path tbloName = "tblo";
const std::filesystem::path tbloZipName = tbloName / "tblo.zip";

const std::filesystem::path newVersionDir = "new_version";
const std::filesystem::path installerExeName = "install_new_version.exe";
const std::filesystem::path releaseNotesName = "ReleaseNotes.pdf";

const std::string insideSystemsName = "InsideSystems";

const std::filesystem::path toBeLearnedOfflineDir = "TO_BE_LEARNED_OFFLINE";
const std::filesystem::path versionsJsonFile = "versions.json";
const std::filesystem::path airportsP3dXmlFile = inputDir / "airports_p3d.xml";

namespace {

std::mutex appDataMutex;
std::optional<std::filesystem::path> cachedAppDataDir; // guarded by appDataMutex

std::filesystem::path computeAppDataDir() {
    // An empty AppData path leaves the folder relative to the current one.
    return gf_getAppDataPath() / programId;
}

} // namespace

std::filesystem::path appDataDir() {
    std::lock_guard lock(appDataMutex);
    if (!cachedAppDataDir) {
        cachedAppDataDir = computeAppDataDir();
    }
    return *cachedAppDataDir;
}

std::filesystem::path parametersFile() { return appDataDir() / "parameters.xml"; }

std::string parametersFileUtf8() { return parametersFile().string(); }

std::filesystem::path flightPlanDir() { return appDataDir() / "orig_dest"; }

void setAppDataDirForTests(const std::filesystem::path& dir) {
    std::lock_guard lock(appDataMutex);
    if (dir.empty()) {
        cachedAppDataDir.reset();
    } else {
        cachedAppDataDir = dir;
    }
}

bool p3dInstalled(int version) {
    struct Installed {
        bool v5;
        bool v6;
    };
    static const Installed installed{gf_isP3DInstalled(5), gf_isP3DInstalled(6)};
    switch (version) {
    case 5:
        return installed.v5;
    case 6:
        return installed.v6;
    default:
        return false;
    }
}

} // namespace zeph
