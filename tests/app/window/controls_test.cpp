#include "app/window/controls.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "app/entry_point.h"
#include "app/window/ui_headless.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "settings/xml_parameters.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "support/log_fixture.h"
#include "support/main_window_fixture.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

constexpr Rgb lightBlue{153, 204, 255};

using test::MainWindowControls;

using ControlsAtStart = MainWindowControls;
using ControlOperations = MainWindowControls;
using ControlOperationsThreads = MainWindowControls;

struct ExpectedControl {
    ControlId id;
    ControlKind kind;
    const char* label;
    Rect rect;
};

Rect at(int x, int y, int width, int height) { return Rect::fromSize(x, y, width, height); }

constexpr auto button = ControlKind::PushButton;
constexpr auto box = ControlKind::CheckBox;
constexpr auto edit = ControlKind::Edit;
constexpr auto list = ControlKind::DropDownList;

// Check boxes sit two pixels below their row, drop-down lists five above it.
const std::vector<ExpectedControl> expectedControls = {
    {32788, edit, "", at(111, 119, 1200, 16)},
    {32798, box, "", at(5, 149, 12, 12)},
    {32800, box, "", at(536, 149, 12, 12)},
    {32771, box, "", at(748, 149, 12, 12)},
    {32802, box, "", at(5, 177, 12, 12)},
    {32804, button, "tblo", at(217, 175, 60, 20)},
    {32776, box, "", at(748, 177, 12, 12)},
    {32808, list, "", at(217, 198, 40, 120)},
    {32809, box, "", at(323, 205, 12, 12)},
    {32810, box, "", at(430, 205, 12, 12)},
    {32811, box, "", at(536, 205, 12, 12)},
    {32774, box, "", at(652, 205, 12, 12)},
    {32773, box, "", at(748, 205, 12, 12)},
    {32818, list, "", at(217, 226, 50, 200)},
    {32819, box, "", at(323, 233, 12, 12)},
    {32820, list, "", at(455, 226, 70, 230)},
    {32821, box, "", at(572, 233, 12, 12)},
    {32834, box, "", at(217, 289, 12, 12)},
    {32833, box, "", at(323, 289, 12, 12)},
    {32835, box, "", at(430, 289, 12, 12)},
    {32828, edit, "", at(107, 259, 100, 16)},
    {32829, button, "Unblock", at(223, 257, 60, 20)},
    {32830, button, "cs->oid:", at(305, 257, 60, 20)},
    {32831, list, "", at(375, 254, 100, 300)},
    {32832, button, "Block", at(576, 257, 60, 20)},
    {32847, button, "Now", at(111, 313, 45, 20)},
    {32848, list, "", at(323, 310, 55, 144)},
    {32849, list, "", at(536, 310, 55, 144)},
    {32839, edit, "", at(217, 343, 50, 16)},
    {32840, list, "", at(353, 338, 45, 144)},
    {32841, list, "", at(566, 338, 70, 230)},
    {32855, box, "", at(652, 317, 12, 12)},
    {32851, box, "", at(5, 373, 12, 12)},
    {32853, box, "", at(71, 373, 12, 12)},
    {32852, box, "", at(151, 373, 12, 12)},
    {32850, list, "", at(323, 366, 50, 200)},
    {32854, list, "", at(566, 366, 60, 300)},
    {32838, button, "Re-read", at(758, 341, 90, 20)},
    {32857, button, "Flush static", at(758, 369, 90, 20)},
};

const ParameterControl* parameterWithId(ControlId id) {
    for (Parameter* parameter : everyParameter) {
        const auto* control = dynamic_cast<const ParameterControl*>(parameter);
        if (control != nullptr && control->controlId == id) {
            return control;
        }
    }
    return nullptr;
}

TEST_F(ControlsAtStart, EveryControlIsMadeInItsPlaceWithItsStartState) {
    SCAN_LIVERIES.setValue(false);
    AEROWINX.setValue(true);
    openWindow();
    ASSERT_EQ(expectedControls.size(), 39u);
    for (const ExpectedControl& expected : expectedControls) {
        SCOPED_TRACE(expected.id);
        const HeadlessControl made = control(expected.id);
        EXPECT_EQ(made.kind, expected.kind);
        EXPECT_EQ(made.text, expected.label);
        EXPECT_EQ(made.rect, expected.rect);
        const bool startsEnabled = expected.kind == box || expected.kind == list;
        EXPECT_EQ(made.enabled, startsEnabled);
        EXPECT_EQ(made.hooked, expected.kind == edit);
        if (expected.kind == edit || expected.kind == box) {
            EXPECT_EQ(made.background, lightBlue);
        }
        if (expected.kind == list) {
            EXPECT_TRUE(made.items.empty());
        }
        const ParameterControl* parameter = parameterWithId(expected.id);
        ASSERT_NE(parameter, nullptr);
        EXPECT_EQ(parameter->handle, ui().controlById(mainWindowState.mainWindow.load(), expected.id))
            << "the parameter holds its control's handle";
    }
    for (const CheckBoxParameter* parameter : checkBoxParameters) {
        EXPECT_EQ(control(parameter->controlId).checked, parameter->get()) << parameter->key;
    }
    EXPECT_TRUE(invalidatedSettings());
}

TEST_F(ControlsAtStart, TheRunsStartSetsEveryControlFromTheDefaults) {
    openWindow();
    simulatorKind.store(1);
    lf_initControlsFromParameters();
    const std::vector<ControlId> enabled = {32771, 32776, 32773, 32798, 32800, 32802, 32808, 32809, 32810,
                                            32811, 32774, 32819, 32820, 32821, 32834, 32833, 32835, 32828,
                                            32848, 32849, 32855, 32840, 32841, 32853, 32852, 32851};
    const std::vector<ControlId> disabled = {32788, 32804, 32818, 32832, 32829, 32847, 32830,
                                             32831, 32839, 32838, 32850, 32854, 32857};
    for (ControlId id : enabled) {
        EXPECT_TRUE(control(id).enabled) << id;
    }
    for (ControlId id : disabled) {
        EXPECT_FALSE(control(id).enabled) << id;
    }
    struct Selection {
        ControlId id;
        std::size_t entries;
        const char* shown;
    };
    for (const Selection& s :
         {Selection{32808, 4, "4"}, Selection{32818, 20, "40"}, Selection{32820, 11, "48000"},
          Selection{32848, 7, "500"}, Selection{32849, 7, "500"}, Selection{32840, 6, "20"},
          Selection{32850, 21, "30"}, Selection{32854, 20, "24.0"}}) {
        const HeadlessControl combo = control(s.id);
        EXPECT_EQ(combo.items.size(), s.entries) << s.id;
        EXPECT_EQ(selected(combo), s.shown) << s.id;
    }
    EXPECT_EQ(control(32854).items.front(), "0.5");
    EXPECT_EQ(control(32841).items.size(), airpHeightChoices.size());
    EXPECT_EQ(simulatorKind.load(), 3);
    EXPECT_FALSE(mainWindowState.nowButtonEnabled.load());
}

TEST_F(ControlsAtStart, RangeAndHeightFollowAutoRangeAndUnblockFollowsTheBlockedCallsign) {
    struct Case {
        bool autoRange;
        const char* blocked;
        bool rangeEnabled;
        bool heightEnabled;
        bool unblockEnabled;
    };
    openWindow();
    for (const Case& c : {Case{true, "", false, true, false}, Case{false, "AB12", true, false, true},
                          Case{true, "AB12", false, true, true}, Case{false, "", true, false, false}}) {
        SCOPED_TRACE(::testing::Message()
                     << "auto range " << c.autoRange << ", blocked '" << c.blocked << "'");
        AUTO_RANGE.setValue(c.autoRange);
        BLOCK_CALLSIGN.setValue(c.blocked);
        lf_initControlsFromParameters();
        EXPECT_EQ(control(32818).enabled, c.rangeEnabled);
        EXPECT_EQ(control(32820).enabled, c.heightEnabled);
        EXPECT_EQ(control(32829).enabled, c.unblockEnabled);
    }
}

TEST_F(ControlsAtStart, NowIsDisabledOnlyWhileRenewalsRunEveryTwentyMinutes) {
    struct Case {
        bool initialLoadOnly;
        bool nowBefore;
        bool nowAfter;
    };
    openWindow();
    for (const Case& c : {Case{false, true, false}, Case{true, true, true}, Case{true, false, false}}) {
        SCOPED_TRACE(::testing::Message()
                     << "initial load only " << c.initialLoadOnly << ", before " << c.nowBefore);
        INITIAL_LOAD_ONLY.setValue(c.initialLoadOnly);
        ui().enable(static_cast<WindowHandle>(nowButton.handle), c.nowBefore);
        lf_initControlsFromParameters();
        EXPECT_EQ(control(32847).enabled, c.nowAfter);
    }
}

TEST_F(ControlsAtStart, TheParkingShareShowsThirtyAndIsNotSaved) {
    openWindow();
    test::ParametersFileBuilder()
        .storedDefaults("11.10.5")
        .without("parking_percentage")
        .write(parametersFile());
    const std::string before = test::readFileBytes(parametersFile());
    parking_percentage.setValue(50);
    lf_initControlsFromParameters();
    EXPECT_EQ(parking_percentage.get(), 30);
    EXPECT_EQ(selected(control(32850)), "30");
    EXPECT_FALSE(control(32850).enabled);
    EXPECT_EQ(test::readFileBytes(parametersFile()), before) << "the file gains nothing";
}

TEST_F(ControlsAtStart, MaxFitShowsTheHoursOfItsLevelWhenTheyAreAnEntry) {
    struct Case {
        std::int32_t level;
        float hours;
        const char* shown;
    };
    openWindow();
    for (const Case& c : {Case{47, 24.0F, "24.0"}, Case{20, 11.0F, "24.0"}, Case{9, 5.0F, "5.0"},
                          Case{0, 0.5F, "0.5"}, Case{25, 12.0F, "12.0"}}) {
        SCOPED_TRACE(c.level);
        MAX_FIT_FL.setValue(24.0F);
        MAX_FIT.setValue(c.level);
        lf_initControlsFromParameters();
        const HeadlessControl combo = control(32854);
        ASSERT_EQ(combo.items.size(), 20u);
        EXPECT_EQ(combo.items.front(), "0.5");
        EXPECT_EQ(combo.items.back(), "24.0");
        EXPECT_EQ(selected(combo), c.shown);
        EXPECT_EQ(MAX_FIT_FL.get(), c.hours);
        EXPECT_FALSE(combo.enabled);
    }
}

TEST_F(ControlOperations, FillingAComboSelectsTheValueOnlyWhenItIsAChoice) {
    struct Case {
        ComboParameter<std::int32_t>* combo;
        std::int32_t value;
        std::size_t entries;
        const char* shown;
    };
    openWindow();
    for (const Case& c : {Case{&RANGE, 7, 20, "<none>"}, Case{&RANGE, 40, 20, "40"},
                          Case{&MATCHING_DEPTH, 3, 4, "3"}, Case{&MAX_LIVE_SEL, 60, 7, "<none>"}}) {
        SCOPED_TRACE(::testing::Message() << c.combo->key << " " << c.value);
        c.combo->setValue(c.value);
        gf_fillIntCombo(*c.combo);
        const HeadlessControl filled = control(c.combo->controlId);
        EXPECT_EQ(filled.items.size(), c.entries);
        EXPECT_EQ(filled.items.front(), std::to_string(c.combo->choices.front()));
        EXPECT_EQ(selected(filled), c.shown);
    }
}

TEST_F(ControlOperations, SetRangeSelectsTheClampedEntryKeepsTheGivenRangeAndSavesNothing) {
    struct Case {
        std::int32_t nm;
        const char* shown;
        double rangeNm;
        std::uint32_t meters;
    };
    openWindow();
    for (const Case& c :
         {Case{150, "100", 150.0, 277800}, Case{25, "25", 25.0, 46300}, Case{7, "40", 7.0, 12964}}) {
        SCOPED_TRACE(c.nm);
        RANGE.setValue(40);
        gf_fillIntCombo(RANGE);
        EXPECT_EQ(gf_setRange(c.nm), c.meters);
        EXPECT_EQ(selected(control(32818)), c.shown);
        EXPECT_EQ(lateralRangeNm.load(), c.rangeNm);
        EXPECT_EQ(lateralRangeMeters.load(), c.meters);
        EXPECT_FALSE(fs::exists(parametersFile()));
    }
}

TEST_F(ControlOperationsThreads, AWorkersCallsignListIsShownOnceTheLoopHasRun) {
    struct Case {
        const char* value;
        const char* shown;
    };
    openWindow();
    for (const Case& c :
         {Case{"baw", "BAW12"}, Case{"DLH", "DLH4"}, Case{"", "DLH4"}, Case{"xyz", "<none>"}}) {
        SCOPED_TRACE(c.value);
        {
            const std::lock_guard lock(callsignListMutex);
            *callsignList = {"DLH4", "BAW12"};
        }
        CALLSIGN_2_OBJECTID.setValue(c.value);
        ui().comboReset(static_cast<WindowHandle>(CALLSIGN_2_OBJECTID.handle));
        std::thread worker(gf_fillCallsignCombo);
        worker.join();
        EXPECT_TRUE(control(32831).items.empty()) << "a worker's changes wait for the loop";
        headless().pump();
        const HeadlessControl combo = control(32831);
        EXPECT_EQ(combo.items, (std::vector<std::string>{"DLH4", "BAW12"}));
        EXPECT_EQ(selected(combo), c.shown);
    }
}

TEST_F(ControlOperations, SetItemTextShowsTheValueOrLogsWhyItCannot) {
    EditParameter noControl("NO_CONTROL", "", 1, 0);
    ComboParameter<std::int32_t> numberInInstallField("NUMBER", 5, {5, 7}, 32788, 0);
    struct Case {
        const char* name;
        std::function<void()> set;
        ControlId shownIn;
        const char* shown;
        std::vector<std::string> logged;
    };
    const std::vector<Case> cases = {
        {"unknown id",
         [&] {
             noControl.setValue("x");
             gf_setItemText(noControl);
         },
         32828,
         "AB12",
         {"GetDlgItem failed for ID 1"}},
        {"not UTF-8",
         [] {
             BLOCK_CALLSIGN.setValue("\xC0\x80");
             gf_setItemText(BLOCK_CALLSIGN);
         },
         32828,
         "AB12",
         {"utf8_to_wide failed for '\xC0\x80': utf8_to_wide: invalid UTF-8"}},
        {"text",
         [] {
             BLOCK_CALLSIGN.setValue("\xC3\x84Z12");
             gf_setItemText(BLOCK_CALLSIGN);
         },
         32828,
         "\xC3\x84Z12",
         {}},
        {"number",
         [&] {
             numberInInstallField.setValue(7);
             gf_setItemText(numberInInstallField);
         },
         32788,
         "7",
         {}},
    };
    openWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BLOCK_CALLSIGN.setValue("AB12");
        gf_setItemText(BLOCK_CALLSIGN);
        headless().clearRecords();
        const std::size_t before = readLog().size();
        c.set();
        EXPECT_EQ(control(c.shownIn).text, c.shown);
        const auto lines = readLog();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()),
                  c.logged);
        EXPECT_EQ(invalidatedSettings(), c.logged.empty());
    }
}

TEST_F(ControlOperations, TheStaticParkingGroupIsDisabledWhileARenewalIsPlanned) {
    const std::vector<ControlId> group = {32850, 32853, 32852, 32854, 32848, 32849, 32857, 32838};
    constexpr ControlId now = 32847;
    struct Case {
        bool initialLoadOnly;
        bool nowBefore;
        bool nowWhileBusy;
        bool nowAfter;
    };
    openWindow();
    for (const Case& c :
         {Case{false, true, false, true}, Case{true, true, true, true}, Case{true, false, false, false}}) {
        SCOPED_TRACE(::testing::Message()
                     << "initial load only " << c.initialLoadOnly << ", now " << c.nowBefore);
        INITIAL_LOAD_ONLY.setValue(c.initialLoadOnly);
        renewalCountdown.store(3);
        ui().enable(static_cast<WindowHandle>(nowButton.handle), c.nowBefore);
        headless().clearRecords();

        gf_disableControls();
        EXPECT_TRUE(staticRenewalBusy.load());
        for (ControlId id : group) {
            EXPECT_FALSE(control(id).enabled) << id;
        }
        EXPECT_EQ(control(now).enabled, c.nowWhileBusy);
        EXPECT_TRUE(invalidatedSettings());

        gf_enableControls();
        EXPECT_FALSE(staticRenewalBusy.load());
        EXPECT_EQ(renewalCountdown.load(), 3); // the renewal stays as far off as it was
        for (ControlId id : group) {
            EXPECT_TRUE(control(id).enabled) << id;
        }
        EXPECT_EQ(control(now).enabled, c.nowAfter);
    }
}

TEST_F(ControlOperations, SettingsReachTheirControlsThroughTheHook) {
    struct Case {
        const char* name;
        std::function<void()> change;
        std::function<bool(MainWindowControls&)> shown;
    };
    const std::vector<Case> cases = {
        {"a check box set and saved", [] { gf_setCheckBox(AEROWINX, true); },
         [](MainWindowControls& t) {
             pugi::xml_document document;
             return t.control(32774).checked && document.load_file(parametersFile().c_str()) &&
                    gf_getBoolParameter(document, "AEROWINX") == true;
         }},
        {"a combo value that is no choice",
         [] {
             MAX_PARK_SEL.setValue(60);
             controlSink().showComboValue(MAX_PARK_SEL);
         },
         [](MainWindowControls& t) { return selected(t.control(32848)) == "<none>"; }},
        {"a combo entry that is no choice", [] { controlSink().selectComboEntry(MAX_PARK_SEL, 60); },
         [](MainWindowControls& t) { return selected(t.control(32848)) == "500"; }},
        {"an edit value",
         [] {
             DESTINATION.setValue("EDDF");
             DESTINATION.showValue();
         },
         [](MainWindowControls& t) { return t.control(32839).text == "EDDF"; }},
        {"an enable", [] { controlSink().enable(DESTINATION, true); },
         [](MainWindowControls& t) { return t.control(32839).enabled; }},
        {"INITIAL_LOAD_ONLY ticked from anywhere disables Now, as a tick by hand does",
         [] {
             controlSink().enable(nowButton, true);
             INITIAL_LOAD_ONLY.setValue(true);
             controlSink().setCheck(INITIAL_LOAD_ONLY);
         },
         [](MainWindowControls& t) { return !t.control(32847).enabled; }},
        {"unticked again, Now is as the program left it",
         [] {
             controlSink().enable(nowButton, true);
             INITIAL_LOAD_ONLY.setValue(true);
             controlSink().setCheck(INITIAL_LOAD_ONLY);
             INITIAL_LOAD_ONLY.setValue(false);
             controlSink().setCheck(INITIAL_LOAD_ONLY);
         },
         [](MainWindowControls& t) { return t.control(32847).enabled; }},
        {"max fit from its level",
         [] {
             MAX_FIT.setValue(13);
             controlSink().selectMaxFitCombo();
         },
         [](MainWindowControls& t) {
             return selected(t.control(32854)) == "7.0" && MAX_FIT_FL.get() == 7.0F;
         }},
    };
    openWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MAX_PARK_SEL.setValue(500);
        lf_initControlsFromParameters();
        c.change();
        EXPECT_TRUE(c.shown(*this));
    }
}

TEST_F(ControlOperations, AWindowPositionAtAnEndOfItsRangeIsReplacedAndSaved) {
    struct Case {
        std::int32_t x;
        std::int32_t y;
        std::int32_t expectedX;
        std::int32_t expectedY;
        bool saved;
    };
    for (const Case& c :
         {Case{-30000, 20, 77, 20, true}, Case{12, 30000, 12, 30000, true}, Case{100, 50, 100, 50, false}}) {
        SCOPED_TRACE(::testing::Message() << c.x << "," << c.y);
        fs::remove(parametersFile());
        MAIN_WINDOW_X.setValue(c.x);
        MAIN_WINDOW_Y.setValue(c.y);
        lf_fixWindowPosition(77, 40000);
        EXPECT_EQ(MAIN_WINDOW_X.get(), c.expectedX);
        EXPECT_EQ(MAIN_WINDOW_Y.get(), c.expectedY);
        EXPECT_EQ(fs::exists(parametersFile()), c.saved);
    }
}

} // namespace
} // namespace zeph
