#include "app/window/control_handlers.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/matching_tables.h"
#include "app/window/controls.h"
#include "realtraffic/rt_server.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/shell_folders.h"
#include "state/status_line.h"
#include "support/main_window_fixture.h"
#include "support/recording_shell_open.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using ControlHandlers = test::MainWindowForRun;
using Lines = std::vector<std::string>;

// From the defaults, two clicks with "x" shown before each: the status after each ("x": the box neither notes
// nor clears), the value flipped and stored by each click, and what a box steers following its value.
TEST_F(ControlHandlers, EachCheckBoxFlipsAndStoresOnceAndGivesItsNote) {
    struct Row {
        CheckBoxParameter* box;
        std::string afterFirst, afterSecond;
        std::function<bool()> follows{};
    };
    const std::vector<Row> rows{
        {&LIG_PRIORITIZE, "",
         "Liveries, for airl+model, in lower lfolders that are already available will be skipped"},
        {&COLLISION_LIVE_PARKED_GND, "",
         "Be aware, live aircraft may collide with (run through) static parked on the ground"},
        {&COLLISION_USER_GND,
         "Be aware, user aircraft may collide with (run through) live aircraft and static parked on the "
         "ground",
         ""},
        {&COLLISION_USER_AIR,
         "Be aware, user aircraft may collide with (run through) live aircraft in the air", ""},
        {&INITIAL_LOAD_ONLY,
         "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes", "",
         [&] { return !enabled(nowButton); }},
        {&ALWAYS_ON_TOP, "Corvane_P3D's window will remain visible", "",
         [&] { return headless().topmost(); }},
        {&GUID_CHANGES,
         "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!", ""},
        {&AEROWINX,
         "AEROWINX mode is meant for users of the Aerowinx flight-deck simulator only, please restart "
         "Corvane_P3D",
         ""},
        {&AUTO_RANGE, "", "x",
         [&] { return enabled(AR_ABOVE_HEIGHT) && !enabled(RANGE); }}, // the user's range clears
        {&SCAN_AIRPORTS, "", "Your airports will be scanned at the next start of Corvane_P3D"},
        {&PARK_SOFT, "x", "x"},
        {&WEEK, "x", "x"},
        {&NAV_LIGHTS_WHILE_PARKED, "x", "x"},
        {&STRAIGHT_PBS_ONLY, "x", "x"},
        {&LIGHT_AIRCRAFT, "x", "x"},
        {&HELICOPTERS, "x", "x"},
        {&HIGH_PERF_AIRCRAFT, "x", "x"},
        {&AIRBORNE_ONLY, "Be aware, airborne live traffic only!  (greater than 300 ft above ground ...)", ""},
        {&SCAN_LIVERIES, "", "Your liveries will be scanned at the next start of Corvane_P3D"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.box->key);
        const bool before = r.box->get();
        const auto storedBefore = stored(r.box->key);
        for (const bool first : {true, false}) {
            gf_setStatus("x", false);
            ASSERT_TRUE(headless().click(r.box->controlId));
            headless().pump();
            EXPECT_EQ(status(), first ? r.afterFirst : r.afterSecond);
            EXPECT_EQ(r.box->get(), before != first);
            EXPECT_EQ(control(r.box->controlId).checked, before != first);
            EXPECT_EQ(stored(r.box->key) != storedBefore, first);
            EXPECT_TRUE(!r.follows || r.follows() == r.box->get()) << "what the box steers follows it";
        }
    }
    EXPECT_EQ(exitReason.load(), ExitReason::NOT_YET_SET);
}

TEST_F(ControlHandlers, TickingAScanBeforeRealTrafficConnectedRestartsTheRun) {
    struct Row {
        CheckBoxParameter* box;
        bool awaited, readerErrorBefore;
        std::string status;
        ExitReason reason;
        bool tablesReset;
    };
    const std::string later = " at the next start of Corvane_P3D";
    const std::vector<Row> rows{
        {&SCAN_LIVERIES, true, false, "Your liveries will be scanned", ExitReason::NEW_SETTINGS, true},
        {&SCAN_LIVERIES, false, false, "Your liveries will be scanned" + later, ExitReason::NOT_YET_SET,
         false},
        {&SCAN_AIRPORTS, true, false, "Your airports will be scanned", ExitReason::NEW_SETTINGS, false},
        {&SCAN_AIRPORTS, false, false, "Your airports will be scanned" + later, ExitReason::NOT_YET_SET,
         false},
        {&SCAN_LIVERIES, true, true, "Your liveries will be scanned", ExitReason::READER_ERROR, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.status + (r.readerErrorBefore ? " after a reader error" : ""));
        resetExitReasonForRestart();
        r.box->setValue(false);
        headless().setCheck(handleOf(r.box->controlId), false);
        realTrafficAwaited.store(r.awaited);
        if (r.readerErrorBefore) {
            gf_setExitReason(ExitReason::READER_ERROR, 15);
        }
        ASSERT_TRUE(headless().click(r.box->controlId));
        EXPECT_EQ(status(), r.status);
        EXPECT_EQ(exitReason.load(), r.reason);
        if (r.reason == ExitReason::NEW_SETTINGS) {
            EXPECT_EQ(currentRestartDelay(), 2);
        }
        EXPECT_EQ(liveryResetRequested.exchange(false), r.tablesReset);
        EXPECT_EQ(readLog().back() == r.status, r.awaited && !r.readerErrorBefore) << "logged";
    }
}

TEST_F(ControlHandlers, ButtonsActOrPostTheirRequest) {
    enableForUse({&unblockButton, &csToOidButton, &rereadButton, &flushStaticButton, &DESTINATION});
    const std::string fileBefore = test::readFileBytes(parametersFile());
    ASSERT_TRUE(headless().click(unblockButton.controlId));
    EXPECT_EQ(status(), "Nothing to block or unblock...");
    EXPECT_EQ(test::readFileBytes(parametersFile()), fileBefore);

    BLOCK_CALLSIGN.set("ABC1");
    CALLSIGN_2_OBJECTID.setValue("DLH4");
    headless().click(unblockButton.controlId);
    headless().pump();
    EXPECT_EQ(readLog().back(), "no more blocking of live aircraft 'ABC1'");
    EXPECT_EQ(stored("BLOCK_CALLSIGN"), "");
    EXPECT_TRUE(blockingChanged.exchange(false));
    EXPECT_FALSE(enabled(unblockButton));
    EXPECT_TRUE(enabled(blockButton)) << "a callsign is chosen";

    headless().click(blockButton.controlId);
    headless().pump();
    EXPECT_EQ(stored("BLOCK_CALLSIGN"), "DLH4");
    EXPECT_EQ(CALLSIGN_2_OBJECTID.get(), "") << "the callsign list is reset";
    EXPECT_FALSE(enabled(blockButton));

    enableForUse({&blockButton});
    for (const Button* button : {&csToOidButton, &rereadButton, &flushStaticButton}) {
        headless().click(button->controlId);
    }
    headless().pump();
    EXPECT_TRUE(callsignListRequest.exchange(false));
    EXPECT_TRUE(rereadRequest.exchange(false));
    EXPECT_TRUE(flushStaticRequest.exchange(false));
    EXPECT_EQ(status(), "All static parked aircraft will be removed ...");
    for (const ControlId id : {blockButton.controlId, rereadButton.controlId, DESTINATION.controlId,
                               flushStaticButton.controlId}) {
        EXPECT_FALSE(control(id).enabled) << id;
    }
}

TEST_F(ControlHandlers, NowAsksForARenewalAtTheNextFifteenSecondStep) {
    struct Row {
        bool loaded, initialLoadOnly;
        std::int32_t seconds;
        std::string status;
    };
    for (const Row& r : {Row{false, false, 44, "x"}, Row{true, true, 44, ""},
                         Row{true, false, 44, "Corvane_P3D will update static parking in 1 second ..."},
                         Row{true, false, 45, "Corvane_P3D will update static parking in 15 seconds ..."}}) {
        SCOPED_TRACE(r.status);
        enableForUse({&nowButton});
        parkAirportLoaded.store(r.loaded);
        INITIAL_LOAD_ONLY.setValue(r.initialLoadOnly);
        secondsCounter.store(r.seconds);
        renewalCountdown.store(3);
        gf_setStatus("x", false);
        ASSERT_TRUE(headless().click(nowButton.controlId));
        headless().pump();
        EXPECT_EQ(status(), r.status);
        const bool renews = r.loaded && !r.initialLoadOnly;
        EXPECT_EQ(staticRenewNow.exchange(false), renews);
        EXPECT_EQ(renewalCountdown.load(), renews ? 20 : 3);
        EXPECT_EQ(enabled(nowButton), !renews);
    }
    parkAirportLoaded.store(false);
}

TEST_F(ControlHandlers, TbloAndTheManualOpenTheirFolderOrSayWhyNot) {
    fs::create_directories("tblo");
    test::writeFileBytes("tblo/tblo.zip", "z");
    const WindowHandle window = mainWindowState.mainWindow.load();
    {
        const test::RecordingShellOpen shell(true);
        EXPECT_TRUE(lf_handleButtons(window, tbloButton.controlId));
        EXPECT_EQ(shell.paths(), std::vector<fs::path>{fs::current_path() / "tblo"});
    }
    const test::RecordingShellOpen refusing(false);
    EXPECT_FALSE(lf_handleButtons(window, tbloButton.controlId));
    EXPECT_FALSE(gf_openManual());
    headless().pump();
    EXPECT_EQ(headless().messageBoxes(),
              (std::vector<MessageBoxRecord>{{"Could not open File Explorer at tblo.zip.", "Corvane"},
                                             {"Could not open local folder with Manual", "Corvane"}}));
}

// MAX_FIT_FL shows hours and stores MAX_FIT in half hours; an entry beyond RANGE's choices is logged.
TEST_F(ControlHandlers, CombosStoreTheirChoice) {
    enableForUse({&MAX_FIT_FL, &RANGE});
    struct Row {
        const ParameterControl* combo;
        std::string entry, key, storedAfter;
        bool raisesDepth = false;
    };
    for (const Row& r : {Row{&MAX_FIT_FL, "8.0", "MAX_FIT", "15"}, Row{&MAX_FIT_FL, "0.5", "MAX_FIT", "0"},
                         Row{&MAX_FIT_FL, "24.0", "MAX_FIT", "47"}, Row{&RANGE, "50", "RANGE", "50"},
                         Row{&MATCHING_DEPTH, "2", "MATCHING_DEPTH", "2"},
                         Row{&MATCHING_DEPTH, "4", "MATCHING_DEPTH", "4", true}}) {
        SCOPED_TRACE(r.key + " " + r.entry);
        ASSERT_TRUE(selectEntry(r.combo->controlId, r.entry));
        EXPECT_EQ(stored(r.key), r.storedAfter);
        EXPECT_EQ(matchingDepthRaised.exchange(false), r.raisesDepth);
    }
    EXPECT_FALSE(stored("MAX_FIT_FL").has_value());
    EXPECT_EQ(lateralRangeNm.load(), 50.0);
    EXPECT_EQ(lateralRangeMeters.load(), 92600U);

    headless().comboAdd(handleOf(RANGE.controlId), "999");
    EXPECT_TRUE(selectEntry(RANGE.controlId, "999"));
    EXPECT_EQ(RANGE.get(), 50);
    EXPECT_TRUE(readLog().back().starts_with("==> lf_HandleWMCOMMAND exception ")) << readLog().back();
}

} // namespace
} // namespace zeph
