#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window/status_display.h"
#include "app/window/test_window.h"
#include "app/window/ui_headless.h"
#include "core/run_flags.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace zeph {
namespace {

constexpr Rgb limeGreen{50, 205, 50};
constexpr Rgb yellow{255, 255, 0};
constexpr Rgb red{255, 0, 0};
constexpr Rgb black{0, 0, 0};
constexpr Rgb white{255, 255, 255};
constexpr Rgb lightBlue{153, 204, 255};
constexpr Rgb grey{160, 160, 160};

using Ops = std::vector<DrawOp>;

// The first text op that draws exactly text.
std::optional<DrawOp> findText(const Ops& ops, std::string_view text) {
    const auto found = std::find_if(ops.begin(), ops.end(), [text](const DrawOp& op) {
        return op.kind == DrawKind::Text && op.text == text;
    });
    return found == ops.end() ? std::nullopt : std::optional<DrawOp>(*found);
}

// The first text op that starts with prefix.
std::optional<DrawOp> findTextStarting(const Ops& ops, std::string_view prefix) {
    const auto found = std::find_if(ops.begin(), ops.end(), [prefix](const DrawOp& op) {
        return op.kind == DrawKind::Text && op.text.starts_with(prefix);
    });
    return found == ops.end() ? std::nullopt : std::optional<DrawOp>(*found);
}

// The colour of the last fill of exactly area.
std::optional<Rgb> fillOf(const Ops& ops, const Rect& area) {
    std::optional<Rgb> colour;
    for (const DrawOp& op : ops) {
        if (op.kind == DrawKind::Fill && op.x1 == area.left && op.y1 == area.top && op.x2 == area.right &&
            op.y2 == area.bottom) {
            colour = op.colour;
        }
    }
    return colour;
}

// The main window painted by the status display, in a program folder with Log.txt open and the parameters at
// their defaults.
class StatusDisplay : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        window_.paint = [](Painter& painter) { lf_paintStatus(painter); };
        ASSERT_NE(window_.create(), nullptr);
        freshState();
    }

    void TearDown() override {
        LIGHT_AIRCRAFT.handle = nullptr;
        test::resetParametersForTests(appData_.path());
        LogFixture::TearDown();
    }

    // Every case of a table starts from the start values.
    void freshState() {
        test::resetParametersForTests(appData_.path());
        resetMainWindowStateForTests();
        mainWindowState.mainWindow = window_.window();
    }

    Ops paint() { return loop_.headless().paintNow(); }
    HeadlessUi& headless() { return loop_.headless(); }
    test::TestWindow& window() { return window_; }

private:
    test::HeadlessWindowLoop loop_;
    test::TempDir appData_;
    test::TestWindow window_{{{ControlKind::CheckBox, 32809, "", Rect::fromSize(323, 205, 12, 12)}}};
};

TEST_F(StatusDisplay, AreasLinesAndTitleBand) {
    const Ops ops = paint();
    struct Area {
        const char* name;
        Rect rect;
        Rgb colour;
    };
    const std::vector<Area> areas{
        {"title band", {0, 0, 880, 28}, black},
        {"top panel", {0, 28, 880, 112}, black},
        {"settings area", {0, 112, 880, 392}, lightBlue},
        {"counters area", {0, 392, 880, 448}, black},
        {"status line", {0, 448, 880, 476}, limeGreen},
        {"simulator block", {397, 30, 425, 112}, red},
        {"RealTraffic block", {425, 30, 453, 112}, black},
    };
    for (const Area& area : areas) {
        EXPECT_EQ(fillOf(ops, area.rect), area.colour) << area.name;
    }
    const std::vector<DrawOp> lines{
        DrawOp::line(0, 28, 880, 28, white),    DrawOp::line(0, 113, 880, 113, white),
        DrawOp::line(0, 449, 880, 449, white),  DrawOp::line(0, 392, 880, 392, white),
        DrawOp::line(0, 140, 880, 140, black),  DrawOp::line(0, 168, 642, 168, black),
        DrawOp::line(0, 196, 642, 196, black),  DrawOp::line(0, 224, 642, 224, black),
        DrawOp::line(0, 252, 642, 252, black),  DrawOp::line(0, 280, 642, 280, black),
        DrawOp::line(0, 308, 880, 308, black),  DrawOp::line(642, 140, 642, 308, black),
        DrawOp::line(425, 29, 425, 112, black),
    };
    for (const DrawOp& line : lines) {
        EXPECT_NE(std::find(ops.begin(), ops.end(), line), ops.end()) << line;
    }
    EXPECT_EQ(findText(ops, "Version 11.10.5"), DrawOp::textAt(3, 7, "Version 11.10.5", limeGreen));
    EXPECT_EQ(findText(ops, "Corvane_P3D"), DrawOp::textAt(390, 7, "Corvane_P3D", limeGreen));
    EXPECT_EQ(findText(ops, noticeText), DrawOp::textAt(632, 7, std::string(noticeText), limeGreen));
    EXPECT_EQ(mainWindowState.paintDc, nullptr) << "the painter is valid only while painting";
}

TEST_F(StatusDisplay, SimulatorBlockFollowsTheConnection) {
    struct Case {
        const char* name;
        bool connected;
        bool flying;
        std::string title;
        bool modelKnown;
        std::string stand;
        Rgb block;
        std::optional<std::string> simLine; // drawn at (5,35) in the block's colour
        std::optional<Rgb> titleColour;     // userAcTitle at (5,63)
    };
    const std::vector<Case> cases{
        {"not connected", false, true, "Cessna", true, "", red, std::nullopt, std::nullopt},
        {"connected, no flight", true, false, "Cessna", true, "", yellow, "Prepar3D 6.0", yellow},
        {"connected, flight without title", true, true, "", true, "", yellow, "Prepar3D 6.0", yellow},
        {"flying", true, true, "Cessna", true, "", limeGreen, "Prepar3D 6.0", limeGreen},
        {"flying, model unknown", true, true, "Cessna", false, "", limeGreen, "Prepar3D 6.0", yellow},
        {"flying at a stand", true, true, "Cessna", true, "B12", limeGreen, "Prepar3D 6.0, user stand B12",
         limeGreen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        mainWindowState.simConnected = c.connected;
        mainWindowState.flightRunning = c.flying;
        mainWindowState.userModelKnown = c.modelKnown;
        mainWindowState.setUserAcTitle(c.title);
        mainWindowState.setSimText("Prepar3D 6.0");
        mainWindowState.setUserStandText(c.stand);
        const Ops ops = paint();
        EXPECT_EQ(fillOf(ops, simulatorBlockArea), c.block);
        EXPECT_EQ(findText(ops, "Sim"), DrawOp::textAt(398, 63, "Sim", limeGreen));
        if (c.simLine) {
            EXPECT_EQ(findText(ops, *c.simLine), DrawOp::textAt(5, 35, *c.simLine, c.block));
        } else {
            EXPECT_FALSE(findTextStarting(ops, "Prepar3D"));
        }
        if (c.titleColour && !c.title.empty()) {
            EXPECT_EQ(findText(ops, c.title), DrawOp::textAt(5, 63, c.title, *c.titleColour));
        } else {
            EXPECT_FALSE(findText(ops, "Cessna"));
        }
    }
}

TEST_F(StatusDisplay, RealTrafficBlockAndReaderValues) {
    struct Case {
        const char* name;
        bool notStarted;
        bool connected;
        int trafficState;
        int qnhState;
        int qnh;
        Rgb block;
        std::optional<Rgb> traffic; // "Traffic" at (458,91)
        std::optional<Rgb> weather; // "Weather" at (458,63)
        bool live;                  // "live:   7" at (642,91)
        bool qnhText;               // "qnh: 1013" at (642,63)
    };
    const std::vector<Case> cases{
        {"not started, whatever else", true, true, 1, 1, 1013, black, limeGreen, limeGreen, true, true},
        {"receiving", false, true, 1, 1, 1013, limeGreen, limeGreen, limeGreen, true, true},
        {"traffic silent", false, true, 2, 1, 1013, yellow, yellow, limeGreen, true, true},
        {"both stopped", false, true, 3, 3, 1013, yellow, std::nullopt, std::nullopt, false, false},
        {"weather silent, qnh 0", false, true, 1, 2, 0, limeGreen, limeGreen, yellow, true, false},
        {"not connected", false, false, 1, 1, 1013, red, std::nullopt, std::nullopt, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        mainWindowState.realTrafficNotStarted = c.notStarted;
        mainWindowState.realTrafficConnected = c.connected;
        mainWindowState.trafficReaderState = c.trafficState;
        mainWindowState.qnhReaderState = c.qnhState;
        mainWindowState.qnh = c.qnh;
        mainWindowState.liveCount = 7;
        mainWindowState.setRealTrafficVersionText("RT 10.2");
        const Ops ops = paint();
        EXPECT_EQ(fillOf(ops, realTrafficBlockArea), c.block);
        EXPECT_EQ(findText(ops, "RT"), DrawOp::textAt(430, 63, "RT", limeGreen));
        EXPECT_EQ(findText(ops, "RT 10.2").has_value(), c.connected);
        EXPECT_EQ(findText(ops, "Traffic"),
                  c.traffic ? std::optional(DrawOp::textAt(458, 91, "Traffic", *c.traffic)) : std::nullopt);
        EXPECT_EQ(findText(ops, "Weather"),
                  c.weather ? std::optional(DrawOp::textAt(458, 63, "Weather", *c.weather)) : std::nullopt);
        EXPECT_EQ(findText(ops, "live:   7"),
                  c.live ? std::optional(DrawOp::textAt(642, 91, "live:   7", limeGreen)) : std::nullopt);
        EXPECT_EQ(findText(ops, "qnh: 1013"),
                  c.qnhText ? std::optional(DrawOp::textAt(642, 63, "qnh: 1013", limeGreen)) : std::nullopt);
        if (!c.qnhText) {
            EXPECT_FALSE(findTextStarting(ops, "qnh:"));
        }
    }
}

TEST_F(StatusDisplay, ScanCounts) {
    struct Case {
        const char* name;
        std::uint64_t liveries;
        std::uint64_t simAddons;
        std::uint64_t thirdParty;
        std::vector<DrawOp> expected;
    };
    const std::vector<Case> cases{
        {"nothing counted",
         0,
         0,
         0,
         {DrawOp::textAt(5, 91, "# liveries: ...", red), DrawOp::textAt(141, 91, "# simaddon: ...", yellow),
          DrawOp::textAt(278, 91, "# thirdp: ...", yellow)}},
        {"all counted",
         1234,
         5,
         17,
         {DrawOp::textAt(5, 91, "# liveries: 1234", limeGreen),
          DrawOp::textAt(141, 91, "# simaddon: 5", limeGreen),
          DrawOp::textAt(278, 91, "# thirdp: 17", limeGreen)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        mainWindowState.liveryCount = c.liveries;
        mainWindowState.simAddonCount = c.simAddons;
        mainWindowState.thirdPartyCount = c.thirdParty;
        const Ops ops = paint();
        for (const DrawOp& op : c.expected) {
            EXPECT_EQ(findText(ops, op.text), op);
        }
    }
}

TEST_F(StatusDisplay, LabelColours) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::vector<DrawOp> expected;
    };
    const std::vector<Case> cases{
        {"defaults",
         [] {},
         {DrawOp::textAt(5, 119, "Install path:", black), DrawOp::textAt(768, 147, "Stay on top", black),
          DrawOp::textAt(25, 147, "Scan for liveries", yellow),
          DrawOp::textAt(768, 203, "GUID changes", black), DrawOp::textAt(430, 231, "Ah:", black),
          DrawOp::textAt(536, 231, "ft", black), DrawOp::textAt(672, 315, "Straight push backs only", grey),
          DrawOp::textAt(264, 371, "Target: ", black), DrawOp::textAt(632, 371, "hrs", black),
          DrawOp::textAt(343, 203, "Light aircraft", black),
          DrawOp::textAt(171, 315, "Max park (static+live):", black),
          DrawOp::textAt(401, 315, "Max live (park incl):", black)}},
        {"both max selections 0",
         [] {
             MAX_PARK_SEL.setValue(0);
             MAX_LIVE_SEL.setValue(0);
         },
         {DrawOp::textAt(171, 315, "Max park (static+live):", red),
          DrawOp::textAt(401, 315, "Max live (park incl):", red)}},
        {"only max park 0",
         [] { MAX_PARK_SEL.setValue(0); },
         {DrawOp::textAt(171, 315, "Max park (static+live):", yellow),
          DrawOp::textAt(401, 315, "Max live (park incl):", black)}},
        {"only max live 0",
         [] { MAX_LIVE_SEL.setValue(0); },
         {DrawOp::textAt(171, 315, "Max park (static+live):", black),
          DrawOp::textAt(401, 315, "Max live (park incl):", yellow)}},
        {"auto range off",
         [] { AUTO_RANGE.setValue(false); },
         {DrawOp::textAt(430, 231, "Ah:", grey), DrawOp::textAt(536, 231, "ft", grey),
          DrawOp::textAt(646, 343, "ft", black)}},
        {"switches that warn",
         [] {
             AEROWINX.setValue(true);
             GUID_CHANGES.setValue(false);
             SCAN_LIVERIES.setValue(false);
             AIRBORNE_ONLY.setValue(true);
             INITIAL_LOAD_ONLY.setValue(true);
             STRAIGHT_PBS_ONLY.setValue(true);
         },
         {DrawOp::textAt(672, 203, "Aerowinx", yellow), DrawOp::textAt(768, 203, "GUID changes", yellow),
          DrawOp::textAt(25, 147, "Scan for liveries", black), DrawOp::textAt(592, 231, "AirOnly", yellow),
          DrawOp::textAt(25, 371, "ILO", yellow),
          DrawOp::textAt(672, 315, "Straight push backs only", black)}},
        {"renewal busy",
         [] { staticRenewalBusy = true; },
         {DrawOp::textAt(5, 315, "Airport parking", yellow)}},
        {"offline learning zipped",
         [] { offlineLearningCount = 2; },
         {DrawOp::textAt(323, 175, "Mail tblo.zip to support@corvane.example, pls", red)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        c.setUp();
        const Ops ops = paint();
        for (const DrawOp& op : c.expected) {
            EXPECT_TRUE(std::find(ops.begin(), ops.end(), op) != ops.end()) << op;
        }
    }
    freshState();
    EXPECT_FALSE(findTextStarting(paint(), "Mail tblo.zip")) << "no request without zipped airports";
}

TEST_F(StatusDisplay, LabelOfADisabledBoxIsGrey) {
    const WindowHandle box = window().control(32809);
    ASSERT_NE(box, nullptr);
    LIGHT_AIRCRAFT.handle = box;
    for (const bool enabled : {true, false}) {
        SCOPED_TRACE(enabled ? "enabled" : "disabled");
        ui().enable(box, enabled);
        const Ops ops = paint();
        EXPECT_EQ(findText(ops, "Light aircraft"),
                  DrawOp::textAt(343, 203, "Light aircraft", enabled ? black : grey));
        EXPECT_EQ(findText(ops, "Helicopters"), DrawOp::textAt(450, 203, "Helicopters", black))
            << "a box without a control is not greyed";
    }
}

TEST_F(StatusDisplay, RenewalNote) {
    struct Case {
        const char* name;
        bool loaded;
        bool busy;
        bool initialLoadOnly;
        int minutes;                     // the renewal countdown
        std::optional<std::string> note; // at (5,343) in black
    };
    const std::vector<Case> cases{
        {"19 minutes", true, false, false, 19, "(next in 19 min)"},
        {"1 minute", true, false, false, 1, "(next in 1 min)"},
        {"0 minutes", true, false, false, 0, std::nullopt},
        {"20 minutes", true, false, false, 20, std::nullopt},
        {"renewal busy", true, true, false, 19, std::nullopt},
        {"no park airport", false, false, false, 19, std::nullopt},
        {"initial load only", true, false, true, 19, "(no next ... )"},
        {"initial load only, busy", true, true, true, 19, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        parkAirportLoaded = c.loaded;
        staticRenewalBusy = c.busy;
        INITIAL_LOAD_ONLY.setValue(c.initialLoadOnly);
        renewalCountdown = c.minutes;
        const Ops ops = paint();
        const auto noteAt = [](const DrawOp& op) {
            return op.kind == DrawKind::Text && op.x1 == 5 && op.y1 == 343;
        };
        const auto found = std::find_if(ops.begin(), ops.end(), noteAt);
        if (c.note) {
            ASSERT_NE(found, ops.end());
            EXPECT_EQ(*found, DrawOp::textAt(5, 343, *c.note, black));
        } else {
            EXPECT_EQ(found, ops.end()) << found->text;
        }
    }
    renewalCountdown = 20;
}

TEST_F(StatusDisplay, Counters) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::vector<DrawOp> expected;
        std::vector<std::string> absent; // no text starting with these
    };
    const auto parkAirport = [](bool fileFound) {
        mainWindowState.setParkAirportCode("EDDF");
        mainWindowState.setParkAirportName("Frankfurt");
        mainWindowState.setParkAirportPublisher("Corvane");
        mainWindowState.setQualityFactorText("0.93");
        mainWindowState.parkFileFound = fileFound;
        mainWindowState.standCount = 211;
        mainWindowState.parkedLiveCount = 9;
        mainWindowState.staticCount = 45;
        mainWindowState.learnedUpdates = 12;
        rtTrafficWeek = 23;
    };
    const std::vector<Case> cases{
        {"no park airport", [] {}, {}, {"# stands", "no max park", "qf:"}},
        {"a code without a file",
         [&] { parkAirport(false); },
         {DrawOp::textAt(5, 399, "EDDF", yellow)},
         {" Frankfurt", "# stands", "qf:", "no max park", "# updates"}},
        {"a park airport without max park",
         [&] { parkAirport(true); },
         {DrawOp::textAt(5, 399, "EDDF", limeGreen),
          DrawOp::textAt(85, 399, " Frankfurt, Corvane, wk=23", limeGreen),
          DrawOp::textAt(430, 399, "qf: 0.93", limeGreen),
          DrawOp::textAt(748, 399, "# updates:   12", limeGreen),
          DrawOp::textAt(5, 427, "# stands: 211", limeGreen),
          DrawOp::textAt(111, 427, "parked live:   9", limeGreen),
          DrawOp::textAt(708, 427, "no max park live", limeGreen)},
         {"static:", "average fit", "reserved stand", "*"}},
        {"max park below 0",
         [&] {
             parkAirport(true);
             mainWindowState.maxPark = -1;
         },
         {DrawOp::textAt(708, 427, "max park:  -1 (=0 %)", limeGreen)},
         {"static:", "no max park"}},
        {"max park with pending statics and fits",
         [&] {
             parkAirport(true);
             mainWindowState.maxPark = 120;
             mainWindowState.maxParkPercent = 38;
             mainWindowState.pendingStatic = 4;
             mainWindowState.staticAverageFit = 3.5F;
             mainWindowState.liveAverageFit = 2.0F;
             mainWindowState.handmadeFile = true;
             mainWindowState.softMode = true;
             mainWindowState.weekMode = true;
             mainWindowState.setReservedStand("A12", true);
         },
         {DrawOp::textAt(85, 399, " Frankfurt, Corvane (h), wk=23", limeGreen),
          DrawOp::textAt(370, 399, "*WS*", limeGreen),
          DrawOp::textAt(571, 399, "reserved stand: A12", limeGreen),
          DrawOp::textAt(249, 427, "average fit: 2", limeGreen),
          DrawOp::textAt(430, 427, "static:  45", limeGreen), DrawOp::textAt(500, 427, " (4)", yellow),
          DrawOp::textAt(708, 427, "max park: 120 (=38 %)", limeGreen)},
         {"average fit: 3.5"}},
        {"soft mode only, a lost reserved stand, static fit outside week mode",
         [&] {
             parkAirport(true);
             mainWindowState.maxPark = 10;
             mainWindowState.staticAverageFit = 3.5F;
             mainWindowState.softMode = true;
             mainWindowState.setReservedStand("A12", false);
         },
         {DrawOp::textAt(370, 399, "*S*", limeGreen), DrawOp::textAt(571, 399, "reserved stand: A12", red),
          DrawOp::textAt(571, 427, "average fit: 3.5", limeGreen)},
         {" (", "average fit: 2"}},
        {"week mode only",
         [&] {
             parkAirport(true);
             mainWindowState.weekMode = true;
         },
         {DrawOp::textAt(370, 399, "*W*", limeGreen)},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        c.setUp();
        const Ops ops = paint();
        for (const DrawOp& op : c.expected) {
            EXPECT_TRUE(std::find(ops.begin(), ops.end(), op) != ops.end()) << op;
        }
        for (const std::string& prefix : c.absent) {
            EXPECT_FALSE(findTextStarting(ops, prefix)) << prefix;
        }
        const bool anyCounterText = std::any_of(ops.begin(), ops.end(), [](const DrawOp& op) {
            return op.kind == DrawKind::Text && op.y1 >= 392 && op.y1 < 448;
        });
        EXPECT_EQ(anyCounterText, !c.expected.empty()) << "the counters area is empty without a code";
    }
}

TEST_F(StatusDisplay, StatusLineNormalAndError) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
        Rgb fill;
        std::optional<std::string> text; // at (3,455) in yellow
    };
    const std::vector<Case> cases{
        {"empty", [] {}, limeGreen, std::nullopt},
        {"normal text", [] { gf_setStatus("Scanning liveries", false); }, limeGreen, "Scanning liveries"},
        {"error", [] { gf_setErrorStatus("Reader failed"); }, red, "Reader failed"},
        {"error after a normal text",
         [] {
             gf_setStatus("hidden", false);
             gf_setErrorStatus("shown");
         },
         red, "shown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        c.setUp();
        const Ops ops = paint();
        EXPECT_EQ(fillOf(ops, statusLineArea), c.fill);
        const auto statusText = std::find_if(ops.begin(), ops.end(), [](const DrawOp& op) {
            return op.kind == DrawKind::Text && op.y1 == 455;
        });
        if (c.text) {
            ASSERT_NE(statusText, ops.end());
            EXPECT_EQ(*statusText, DrawOp::textAt(3, 455, *c.text, yellow));
        } else {
            EXPECT_EQ(statusText, ops.end());
        }
        EXPECT_FALSE(findText(ops, "hidden"));
    }
}

TEST_F(StatusDisplay, InvalidTextIsLoggedAndTheRestIsPainted) {
    struct Case {
        const char* name;
        std::string title;
        bool drawn;
    };
    const std::vector<Case> cases{
        {"overlong NUL", "\xC0\x80", false},
        {"lone continuation byte", "A\x80", false},
        {"cut sequence", "\xE2\x82", false},
        {"valid with symbols", "Boeing 737 & Co @ 'home'", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        mainWindowState.simConnected = true;
        mainWindowState.setUserAcTitle(c.title);
        gf_setStatus("still here", false);
        const auto logBefore = readLog();
        const Ops ops = paint();
        EXPECT_EQ(findText(ops, c.title).has_value(), c.drawn);
        EXPECT_TRUE(findText(ops, "still here")) << "the paint goes on";
        EXPECT_TRUE(findText(ops, "hrs")) << "the paint goes on";
        auto log = readLog();
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(logBefore.size()));
        if (c.drawn) {
            EXPECT_TRUE(log.empty());
        } else {
            EXPECT_EQ(log, (std::vector<std::string>{"TextOut utf8  to wide failed for '" + c.title +
                                                     "': utf8_to_wide: invalid UTF-8"}));
        }
    }
}

TEST_F(StatusDisplay, InvalidTextWhileStoppingIsNotLogged) {
    userStopped = true;
    mainWindowState.simConnected = true;
    mainWindowState.setUserAcTitle("\xC0\x80");
    const Ops ops = paint();
    userStopped = false;
    EXPECT_FALSE(findText(ops, "\xC0\x80"));
    EXPECT_TRUE(readLog().empty());
}

TEST_F(StatusDisplay, SettersInvalidateTheAreaOfTheirField) {
    struct Case {
        const char* name;
        std::function<void()> write;
        Rect area;
    };
    const std::vector<Case> cases{
        {"user aircraft title", [] { mainWindowState.setUserAcTitle("t"); }, topPanelArea},
        {"simulator text", [] { mainWindowState.setSimText("t"); }, topPanelArea},
        {"RealTraffic version", [] { mainWindowState.setRealTrafficVersionText("t"); }, topPanelArea},
        {"user stand", [] { mainWindowState.setUserStandText("t"); }, topPanelArea},
        {"park airport code", [] { mainWindowState.setParkAirportCode("t"); }, countersArea},
        {"park airport name", [] { mainWindowState.setParkAirportName("t"); }, countersArea},
        {"publisher", [] { mainWindowState.setParkAirportPublisher("t"); }, countersArea},
        {"quality factor", [] { mainWindowState.setQualityFactorText("t"); }, countersArea},
        {"reserved stand", [] { mainWindowState.setReservedStand("t", true); }, countersArea},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshState();
        headless().clearRecords();
        c.write();
        EXPECT_EQ(headless().invalidations(), (std::vector<Rect>{c.area}));
    }
}

} // namespace
} // namespace zeph
