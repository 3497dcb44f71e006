#include "app/window/edit_controls.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/airport_database.h"
#include "airports/park_airport_list.h"
#include "app/window/controls.h"
#include "app/window_requests.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "support/main_window_fixture.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

class EditControls : public test::MainWindowControls {
public:
    void SetUp() override {
        MainWindowControls::SetUp();
        openWindowForRun();
        enableForUse({&DESTINATION, &ALL_INSTALL_PATH, &rereadButton});
        resetExitReasonForRestart();
    }
    // The field's text is replaced, then Enter; the log lines it added, without the saves' own lines.
    std::vector<std::string> enter(const EditParameter& field, const std::string& text) {
        const std::size_t before = readLog().size();
        headless().setText(headless().controlById(mainWindowState.mainWindow.load(), field.controlId), "");
        headless().typeText(field.controlId, text);
        headless().pressEnter(field.controlId);
        headless().pump();
        const auto log = readLog();
        std::vector<std::string> added;
        std::copy_if(log.begin() + static_cast<std::ptrdiff_t>(before), log.end(), std::back_inserter(added),
                     [](const std::string& line) {
                         const auto key = line.substr(0, line.find('='));
                         return key == line || key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_:") !=
                                                   std::string::npos;
                     });
        return added;
    }
    std::string shown(const EditParameter& field) { return control(field.controlId).text; }
};

using Lines = std::vector<std::string>;

// One after the other; the blocked callsign and the field after each Enter.
TEST_F(EditControls, TheCallsignFieldBlocksCheckedUpperCasedCallsigns) {
    struct Row {
        std::string typed;
        Lines logged;
        std::string blocked;
    };
    const std::vector<Row> rows{
        {"abc123", {}, "ABC123"},
        {"AB", {"callsign 'AB' is not valid"}, "ABC123"},
        {"ABCDEFGHI", {"callsign 'ABCDEFGHI' is not valid"}, "ABC123"},
        {"abc123", {"callsign 'ABC123' was already set ..."}, "ABC123"},
        {"ab\xC3\xA9" "12", {}, "AB\xC3\xA9" "12"},
        {"", {"no more blocking of live aircraft 'AB\xC3\xA9" "12'"}, ""},
        {"abc123", {}, "ABC123"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        blockingChanged.store(false);
        EXPECT_EQ(enter(BLOCK_CALLSIGN, r.typed), r.logged);
        EXPECT_EQ(stored("BLOCK_CALLSIGN"), r.blocked);
        EXPECT_EQ(shown(BLOCK_CALLSIGN), r.blocked) << "the field shows what is stored, never the Enter";
        EXPECT_EQ(control(unblockButton.controlId).enabled, !r.blocked.empty());
        EXPECT_EQ(blockingChanged.load(), r.logged.empty() || r.blocked.empty());
    }
    headless().setText(headless().controlById(mainWindowState.mainWindow.load(), BLOCK_CALLSIGN.controlId),
                       "\xC0\x80");
    headless().pressEnter(BLOCK_CALLSIGN.controlId);
    EXPECT_EQ(readLog().end()[-3],
              "==> lf_getTextFromId: UTF-16 UTF-8 failed for id 32828: utf8_to_wide: invalid UTF-8");
    EXPECT_EQ(readLog().back(), "no more blocking of live aircraft 'ABC123'") << "taken as an emptied field";

    CALLSIGN_2_OBJECTID.setValue("DLH4");
    *CALLSIGN_2_OBJECTID.callsigns = {"", "DLH4"};
    enter(BLOCK_CALLSIGN, "dlh4");
    EXPECT_EQ(*CALLSIGN_2_OBJECTID.callsigns, Lines{""}) << "the chosen callsign's list is reset";
}

TEST_F(EditControls, ADestinationGoesToTheFrontOfTheListOnTheTrafficThreadsNextPass) {
    airportTable = {AirportRecord{"EDDF", "FRA", 50.03, 8.57}, AirportRecord{"EHAM", "AMS", 52.31, 4.76}};
    parkAirportList = {ParkAirport{"EHAM", "", 52.31, 4.76, 3.0}};
    fs::create_directories(myParkAirportsFile.parent_path());
    test::writeFileBytes(myParkAirportsFile, "EHAM\n");
    const auto codes = [] {
        std::vector<std::string> out;
        for (const ParkAirport& entry : parkAirportList) {
            out.push_back(entry.code);
        }
        return out;
    };
    EXPECT_EQ(enter(DESTINATION, "eddf"), Lines{"New destination: EDDF"});
    EXPECT_EQ(stored("DESTINATION"), "EDDF");
    EXPECT_FALSE(control(rereadButton.controlId).enabled);
    EXPECT_EQ(codes(), Lines{"EHAM"}) << "the window leaves the list alone";
    lf_serveWindowRequests();
    EXPECT_EQ(codes(), (Lines{"EDDF", "EHAM"}));
    EXPECT_EQ(test::readFileBytes(myParkAirportsFile), "EDDF\nEHAM\n");

    enter(DESTINATION, "eham");
    lf_serveWindowRequests();
    EXPECT_EQ(codes(), (Lines{"EHAM", "EDDF"}));
    EXPECT_EQ(test::readFileBytes(myParkAirportsFile), "EDDF\nEHAM\n");

    struct Row {
        std::string typed;
        Lines logged;
    };
    for (const Row& r : {Row{"edd", {"destination 'edd' is not valid"}}, Row{"ZZZZ", {"destination 'ZZZZ' is unknown ..."}},
                         Row{"EHAM", {"destination 'EHAM' was already set ..."}}}) {
        EXPECT_EQ(enter(DESTINATION, r.typed), r.logged);
        EXPECT_EQ(shown(DESTINATION), "EHAM");
    }
    enableForUse({&DESTINATION});
    EXPECT_EQ(enter(DESTINATION, ""), Lines{"destination set to empty"});
    EXPECT_EQ(DESTINATION.get(), "");
    EXPECT_EQ(stored("DESTINATION"), "EHAM") << "an emptied destination is not saved";
    EXPECT_TRUE(control(rereadButton.controlId).enabled);
}

TEST_F(EditControls, AnInstallPathThatExistsIsStoredAndRestartsTheRun) {
    const test::TempDir tmp;
    fs::create_directories(tmp.path() / "locked");
    test::writeFileBytes(tmp.path() / "p3d.exe", "x");
    const std::string restart = "Install path exists, Corvane_P3D will restart";
    struct Row {
        std::string path;
        bool systemErrorBefore;
        std::string shown;
        std::string storedAfter;
        ExitReason reason;
    };
    const std::string locked = (tmp.path() / "locked" / "p3d").string();
    const std::vector<Row> rows{
        {tmp.path().string(), false, restart, tmp.path().string(), ExitReason::NEW_SETTINGS},
        {(tmp.path() / "p3d.exe").string(), false, restart, (tmp.path() / "p3d.exe").string(), ExitReason::NEW_SETTINGS},
        {"/x/y", false, "This install path does not exist: /x/y", "old", ExitReason::NOT_YET_SET},
        {locked, false, "Cannot access install path '" + locked + "': Permission denied", "old", ExitReason::NOT_YET_SET},
        {"", false, "", "", ExitReason::NOT_YET_SET},
        {tmp.path().string(), true, "Install path saved, please restart Corvane_P3D", tmp.path().string(), ExitReason::SYSTEM_ERROR},
    };
    fs::permissions(tmp.path() / "locked", fs::perms::none);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        if (r.path == locked && ::geteuid() == 0) {
            continue; // root may enter any folder
        }
        resetExitReasonForRestart();
        SIM_INSTALL_PATH.set("old");
        gf_setErrorStatus("an error shown before");
        if (r.systemErrorBefore) {
            recordFirstSystemError();
        }
        const Lines logged = enter(ALL_INSTALL_PATH, r.path);
        EXPECT_EQ(status(), r.shown);
        EXPECT_EQ(logged, r.shown.empty() ? Lines{} : Lines{r.shown});
        EXPECT_EQ(stored("SIM_INSTALL_PATH"), r.storedAfter);
        EXPECT_EQ(exitReason.load(), r.reason);
        if (r.reason == ExitReason::NEW_SETTINGS) {
            EXPECT_EQ(currentRestartDelay(), 3);
        }
        const std::lock_guard lock(mainWindowState.statusMutex);
        EXPECT_EQ(mainWindowState.errorText, "");
    }
    fs::permissions(tmp.path() / "locked", fs::perms::owner_all);
}

} // namespace
} // namespace zeph
