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
using Lines = std::vector<std::string>;

class EditControls : public test::MainWindowForRun {
public:
    // The field enabled and its text replaced (typed, or set as it is), then Enter; the log lines it added,
    // without the saves' "KEY=value" lines.
    Lines enter(const EditParameter& field, const std::string& text, bool typed = true) {
        const std::size_t before = readLog().size();
        enableForUse({&field});
        headless().setText(handleOf(field.controlId), typed ? "" : text);
        headless().typeText(field.controlId, typed ? text : "");
        headless().pressEnter(field.controlId);
        headless().pump();
        const Lines log = readLog();
        Lines added;
        std::copy_if(
            log.begin() + static_cast<std::ptrdiff_t>(before), log.end(), std::back_inserter(added),
            [](const std::string& l) { return l.starts_with("==>") || l.find('=') == std::string::npos; });
        return added;
    }
    std::string shown(const EditParameter& field) { return control(field.controlId).text; }
};

// One after the other; the blocked callsign and the field after each Enter. DLH4 is the callsign chosen in
// CALLSIGN_2_OBJECTID, whose list is reset when it is blocked.
TEST_F(EditControls, TheCallsignFieldBlocksCheckedUpperCasedCallsigns) {
    struct Row {
        std::string typed;
        Lines logged;
        std::string blocked;
        bool typedAsKeys = true;
    };
    const std::vector<Row> rows{
        {"abc123", {}, "ABC123"},
        {"AB", {"callsign 'AB' is not valid"}, "ABC123"},
        {"ABCDEFGHI", {"callsign 'ABCDEFGHI' is not valid"}, "ABC123"},
        {"abc123", {"callsign 'ABC123' was already set ..."}, "ABC123"},
        {"dlh 12", {"callsign 'dlh 12' is not valid"}, "ABC123"}, // callsigns are compared as they are
        {"    ", {"callsign '    ' is not valid"}, "ABC123"},
        {"ab\xC3\xA9"
         "12",
         {},
         "AB\xC3\xA9"
         "12"},
        {"",
         {"no more blocking of live aircraft 'AB\xC3\xA9"
          "12'"},
         ""},
        {"abc123", {}, "ABC123"},
        {"\xC0\x80", // taken as an emptied field
         {"==> lf_getTextFromId: UTF-16 UTF-8 failed for id 32828: utf8_to_wide: invalid UTF-8",
          "no more blocking of live aircraft 'ABC123'"},
         "",
         false},
        {"dlh4", {}, "DLH4"},
    };
    CALLSIGN_2_OBJECTID.setValue("DLH4");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        blockingChanged.store(false);
        *CALLSIGN_2_OBJECTID.callsigns = {"", "DLH4"};
        EXPECT_EQ(enter(BLOCK_CALLSIGN, r.typed, r.typedAsKeys), r.logged);
        EXPECT_EQ(stored("BLOCK_CALLSIGN"), r.blocked);
        EXPECT_EQ(shown(BLOCK_CALLSIGN), r.blocked) << "the field shows what is stored, never the Enter";
        EXPECT_EQ(enabled(unblockButton), !r.blocked.empty());
        EXPECT_EQ(blockingChanged.load(), r.logged.empty() || r.blocked.empty());
        EXPECT_EQ(CALLSIGN_2_OBJECTID.callsigns->size() == 1, r.blocked == "DLH4") << "the list reset";
    }
}

TEST_F(EditControls, ADestinationGoesToTheFrontOfTheListOnTheTrafficThreadsNextPass) {
    airportTable = {AirportRecord{"EDDF", "FRA", 50.03, 8.57}, AirportRecord{"EHAM", "AMS", 52.31, 4.76}};
    parkAirportList = {ParkAirport{"EHAM", "", 52.31, 4.76, 3.0}};
    fs::create_directories(myParkAirportsFile.parent_path());
    test::writeFileBytes(myParkAirportsFile, "EHAM\n");
    const auto codes = [] {
        Lines out;
        std::ranges::transform(parkAirportList, std::back_inserter(out), &ParkAirport::code);
        return out;
    };
    enableForUse({&rereadButton});
    EXPECT_EQ(enter(DESTINATION, "eddf"), Lines{"New destination: EDDF"});
    EXPECT_EQ(stored("DESTINATION"), "EDDF");
    EXPECT_FALSE(enabled(rereadButton));
    EXPECT_EQ(codes(), Lines{"EHAM"}) << "the window leaves the list alone";
    lf_serveWindowRequests();
    EXPECT_EQ(codes(), (Lines{"EDDF", "EHAM"}));
    EXPECT_EQ(test::readFileBytes(myParkAirportsFile), "EDDF\nEHAM\n");

    enter(DESTINATION, "eham");
    lf_serveWindowRequests();
    EXPECT_EQ(codes(), (Lines{"EHAM", "EDDF"}));
    EXPECT_EQ(test::readFileBytes(myParkAirportsFile), "EDDF\nEHAM\n");

    for (const auto& [typed, logged] : {std::pair{"edd", "destination 'edd' is not valid"},
                                        std::pair{"ZZZZ", "destination 'ZZZZ' is unknown ..."},
                                        std::pair{"EHAM", "destination 'EHAM' was already set ..."}}) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(enter(DESTINATION, typed), Lines{logged});
        EXPECT_EQ(shown(DESTINATION), "EHAM");
    }
    EXPECT_EQ(enter(DESTINATION, ""), Lines{"destination set to empty"});
    EXPECT_EQ(DESTINATION.get(), "");
    EXPECT_EQ(stored("DESTINATION"), "EHAM") << "an emptied destination is not saved";
    EXPECT_TRUE(enabled(rereadButton));
}

TEST_F(EditControls, AnInstallPathThatExistsIsStoredAndRestartsTheRun) {
    const test::TempDir tmp;
    const std::string dir = tmp.path().string(), file = (tmp / "p3d.exe").string();
    const std::string locked = (tmp / "locked" / "p3d").string();
    fs::create_directories(tmp / "locked");
    test::writeFileBytes(file, "x");
    const std::string restart = "Install path exists, Corvane_P3D will restart";
    struct Row {
        std::string path;
        bool systemErrorBefore;
        std::string shown, storedAfter;
        ExitReason reason;
    };
    const std::vector<Row> rows{
        {dir, false, restart, dir, ExitReason::NEW_SETTINGS},
        {file, false, restart, file, ExitReason::NEW_SETTINGS},
        {"/x/y", false, "This install path does not exist: /x/y", "old", ExitReason::NOT_YET_SET},
        {locked, false, "Cannot access install path '" + locked + "': Permission denied", "old",
         ExitReason::NOT_YET_SET},
        {"", false, "", "", ExitReason::NOT_YET_SET},
        {dir, true, "Install path saved, please restart Corvane_P3D", dir, ExitReason::SYSTEM_ERROR},
    };
    fs::permissions(tmp / "locked", fs::perms::none);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path + (r.systemErrorBefore ? " after a system error" : ""));
        if (r.path == locked && ::geteuid() == 0) {
            continue; // root may enter any folder
        }
        resetExitReasonForRestart();
        SIM_INSTALL_PATH.set("old");
        gf_setErrorStatus("an error shown before");
        if (r.systemErrorBefore) {
            recordFirstSystemError();
        }
        EXPECT_EQ(enter(ALL_INSTALL_PATH, r.path), r.shown.empty() ? Lines{} : Lines{r.shown});
        EXPECT_EQ(status(), r.shown);
        EXPECT_EQ(stored("SIM_INSTALL_PATH"), r.storedAfter);
        EXPECT_EQ(exitReason.load(), r.reason);
        if (r.reason == ExitReason::NEW_SETTINGS) {
            EXPECT_EQ(currentRestartDelay(), 3);
        }
        const std::lock_guard lock(mainWindowState.statusMutex);
        EXPECT_EQ(mainWindowState.errorText, "");
    }
    fs::permissions(tmp / "locked", fs::perms::owner_all);
}

} // namespace
} // namespace zeph
