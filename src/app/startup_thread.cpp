#include "app/startup_thread.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"
#include "airports/addon_scan.h"
#include "airports/airport_database.h"
#include "airports/park_airport_list.h"
#include "app/closing_down.h"
#include "app/entry_point.h"
#include "app/main_loop.h"
#include "app/window/controls.h"
#include "app/window/edit_controls.h"
#include "app/window_requests.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/scan_throttle.h"
#include "core/sim_install.h"
#include "core/text_convert.h"
#include "realtraffic/udp_readers.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/parameters_file.h"
#include "sim/flight_plans.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "update/version_check.h"

namespace zeph {

std::atomic<bool> dataFilesRead{false};

namespace fs = std::filesystem;

namespace {

std::function<void()> startUpHook;

constexpr std::string_view noInstallPathText =
    "No P3D install path detected. Type the full Install Path above, then press Enter";

bool anyFolderSet() {
    const auto isSet = [](const StringParameter& folder) { return !folder.get().empty(); };
    return std::any_of(lfolder.begin(), lfolder.end(), isSet) ||
           std::any_of(afolder.begin(), afolder.end(), isSet);
}

[[noreturn]] void throwNoInstallPath() {
    ALL_INSTALL_PATH.setValue("");
    ALL_INSTALL_PATH.showValue();
    throw UserErrorException(151, std::string(noInstallPathText));
}

// A status error other than "not found" throws.
void requireProgramFolder() {
    if (!fs::is_directory(docsDir)) {
        throw UserErrorException(41, lf_formatWithProgramName("{} must be run from the {} folder!"));
    }
}

void detectRealTraffic() {
    const fs::path appData = gf_getAppDataPath();
    const bool found = !appData.empty() && fs::exists(appData / insideSystemsName / "RealTraffic.jar");
    realTrafficOnThisPc.store(found);
    gf_setStatus(fmt::format("RealTraffic {}detected at this PC", found ? "" : "not "), true);
}

// The add-on airport scan and the counts of the user's own airport files.
void scanAirports() {
    if (SCAN_AIRPORTS.get()) {
        mainWindowState.simAddonCount.store(0);
        mainWindowState.thirdPartyCount.store(0);
        invalidateTopPanel();
        gf_scanAddonAirports();
    }
    mainWindowState.thirdPartyCount.store(
        static_cast<std::uint64_t>(gf_countFilesInDirectory(myThirdpartyDir)));
    mainWindowState.simAddonCount.store(static_cast<std::uint64_t>(gf_countFilesInDirectory(myOrbxDir)));
    invalidateTopPanel();
}

// A run that already ends builds no tables that the next run builds anew: none after a livery scan that the
// end interrupted (SCAN_LIVERIES stays ticked, so the next run scans), and none without the aircraft
// database, whose categories they would lack. A run ended for a prepared update reads no database: it ends
// the program, and the start after the install builds them.
bool stoppingRunSkipsTables() { return SCAN_LIVERIES.get() || !dataFilesRead.load(); }

// Built also when the run already ends (the user's close, production mode). Then a failure to build, such as
// a damaged LiveriesScanned.xml, is only logged and the run keeps the reason it ends for instead of an error
// that waits for the user. The next run builds the tables again.
void buildMatchingTables() {
    if (!runIsStopping()) {
        gf_processScannedLiveries();
        return;
    }
    if (stoppingRunSkipsTables()) {
        return;
    }
    try {
        gf_processScannedLiveries();
    } catch (const std::exception& error) {
        gf_logText(fmt::format("Processing scanned liveries failed: {}", error.what()));
    }
}

// What the main loop needs before it starts.
void prepareMainLoop() {
    gf_createFlightPlanFolder();
    lf_readMyParkAirports();
    gf_enableControl(rereadButton);
    const std::string destination = DESTINATION.get();
    if (!destination.empty()) {
        if (const AirportRecord* airport = gf_findAirport(destination)) {
            lf_setDestination(destination, GeoPoint{airport->latitude, airport->longitude});
            // Served here, so the destination is first in the list before the main loop starts.
            lf_serveWindowRequests();
        }
    }
    if (const WindowHandle window = mainWindowState.mainWindow.load()) {
        ui().setTopmost(window, ALWAYS_ON_TOP.get());
    }
}

// The run from the program-folder check to the end of the main loop.
void runUntilTheEnd() {
    if (startUpHook) {
        startUpHook();
    }
    requireProgramFolder();
    lf_startUp();
    gf_flushLog();
    lf_checkStockAirportsPath();
    maxScanTasks.store(std::max(1, static_cast<int>(std::thread::hardware_concurrency())));
    runningScanTasks.exchange(0);
    if (SCAN_LIVERIES.get()) {
        gf_scanLiveries();
    }
    buildMatchingTables();
    if (!runIsStopping()) {
        scanAirports();
    }
    if (runIsStopping()) {
        recordStartUpStop();
        return;
    }
    prepareMainLoop();
    lf_mainLoop();
}

// A restart reads parameters.xml again, but the destination, the blocked callsign and the scan boxes stay as
// the run before left them: an emptied destination is never saved, and a save that failed leaves the file
// behind the window, so the file's older value would come back with the restart.
void readParametersForRun() {
    if (!restartPending.load()) {
        gf_initParameters();
        return;
    }
    const std::array<std::pair<EditParameter*, std::string>, 2> fields{
        {{&DESTINATION, DESTINATION.get()}, {&BLOCK_CALLSIGN, BLOCK_CALLSIGN.get()}}};
    const std::array<std::pair<CheckBoxParameter*, bool>, 2> boxes{
        {{&SCAN_LIVERIES, SCAN_LIVERIES.get()}, {&SCAN_AIRPORTS, SCAN_AIRPORTS.get()}}};
    gf_initParameters();
    for (const auto& [field, value] : fields) {
        field->setValue(value);
        field->showValue();
    }
    for (const auto& [box, value] : boxes) {
        box->setValue(value);
        controlSink().setCheck(*box);
    }
}

} // namespace

void setStartUpHookForTests(std::function<void()> hook) { startUpHook = std::move(hook); }

std::string lf_formatWithProgramName(std::string_view format) {
    return fmt::format(fmt::runtime(format), programId, programId);
}

// The catch clauses in this order; fmt::format_error is a std::runtime_error, so it comes before the general
// clauses.
void lf_startThread(std::stop_token /*stop*/) {
    try {
        runUntilTheEnd();
    } catch (const UserErrorException& error) {
        const std::string_view message = error.what();
        gf_setErrorStatus(message.empty() ? "Unknown exception" : message);
        recordSystemError();
    } catch (const fmt::format_error& error) {
        gf_setErrorStatus(fmt::format("std::format error: {}", error.what()));
        gf_setErrorStatus(error.what());
        recordFirstSystemError();
    } catch (const std::bad_alloc& error) {
        gf_setErrorStatus(error.what());
        recordFirstSystemError();
    } catch (const std::exception& error) {
        gf_setErrorStatus(error.what());
        recordFirstSystemError();
    } catch (...) {
        gf_setErrorStatus("Unknown exception");
        recordSystemError();
    }
    gf_flushLog();
    lf_closingDown();
}

void lf_startUp() {
    readParametersForRun();
    invalidateTopPanel();
    gf_flushLog();
    lf_initControlsFromParameters();
    lf_dataFolderHousekeeping();
    // A run stopped during the downloads ends as after a prepared update, without reading the data.
    if (!restartPending.load() && (!gf_checkVersions() || runIsStopping())) {
        return;
    }
    lf_refreshWeekSlot();
    if (!dataFilesRead.load()) {
        const bool read = gf_readDbase();
        dataFilesRead.store(true);
        if (!read) {
            throw std::runtime_error("reading data files failed!");
        }
    }
    if (!gf_readAirports()) {
        throw std::runtime_error("reading airports failed!");
    }
    ALL_INSTALL_PATH.setValue(SIM_INSTALL_PATH.get());
    gf_enableControl(ALL_INSTALL_PATH);
    gf_setItemText(ALL_INSTALL_PATH);
    if (SIM_INSTALL_PATH.get().empty()) {
        lf_detectP3D();
    }
    mainWindowState.invalidateArea(settingsArea);
    if (productionMode.load()) {
        lf_stopIfProduction();
        return;
    }
    detectRealTraffic();
}

void lf_detectP3D() {
    const int version = (p3dInstalled(6) ? 6 : 0) + (p3dInstalled(5) ? 5 : 0);
    if (version == 11) {
        throw UserErrorException(153, "More than one P3D version detected. Type the full Install Path to the "
                                      "wanted version above, then press Enter");
    }
    if (version == 0) {
        gf_setStatus("P3D not detected?", true);
        if (anyFolderSet()) {
            return;
        }
        throwNoInstallPath();
    }
    gf_logText(fmt::format("P3Dv{} detected", version));
    const WideString setupPath = gf_getP3DSetupPath(version);
    if (setupPath.empty()) {
        throwNoInstallPath();
    }
    const std::string path = wide_to_utf8(setupPath);
    ALL_INSTALL_PATH.setValue(path);
    gf_setItemText(ALL_INSTALL_PATH);
    SIM_INSTALL_PATH.set(path);
}

// Without an install path there is no stock scenery folder, and nothing is said.
void lf_checkStockAirportsPath() {
    const std::string installPath = SIM_INSTALL_PATH.get();
    if (installPath.empty()) {
        stockAirportsPath.clear();
        return;
    }
    stockAirportsPath = fs::path(installPath) / "Scenery";
    if (!fs::exists(stockAirportsPath)) {
        gf_setStatus(fmt::format("Stock airports path does not exist: {}", stockAirportsPath.string()), true);
    }
}

void lf_dataFolderHousekeeping() {
    const std::array<fs::path, 11> folders{
        outputDir,  infoDir,         errorsDir,          airportsDir,
        learnedDir, learnedStockDir, learnedSimaddonDir, learnedThirdpartyDir,
        myOrbxDir,  myThirdpartyDir, myRegcodesDir};
    for (const fs::path& folder : folders) {
        if (!fs::is_directory(folder)) {
            fs::create_directories(folder);
        }
    }
    for (const char* stale : {"AIG-regcodes0.xml", "AIG-regcodes00.xml"}) {
        const fs::path file = inputDir / stale;
        if (fs::exists(file)) {
            fs::remove(file);
        }
    }
}

void lf_stopIfProduction() {
    if (productionMode.load()) {
        exitCode.store(0);
        gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
    }
}

} // namespace zeph
