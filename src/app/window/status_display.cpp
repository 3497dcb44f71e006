#include "app/window/status_display.h"

#include <array>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>

#include <fmt/format.h>

#include "core/log.h"
#include "core/program.h"
#include "core/strings.h"
#include "core/text_convert.h"
#include "core/version.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "traffic/live_table_services.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

using S = MainWindowState;
constexpr Rgb limeGreen = S::limeGreenBrush;
constexpr Rgb yellow = S::yellowBrush;
constexpr Rgb red = S::redBrush;
constexpr Rgb black = S::blackBrush;
constexpr Rgb grey{160, 160, 160};

constexpr auto relaxed = std::memory_order_relaxed;

// Clears paintDc however the paint ends, so nothing can draw outside a Paint.
class PaintScope {
public:
    explicit PaintScope(Painter& painter) { mainWindowState.paintDc = &painter; }
    ~PaintScope() { mainWindowState.paintDc = nullptr; }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
};

void fill(const Rect& area, Rgb colour) {
    if (mainWindowState.paintDc != nullptr) {
        mainWindowState.paintDc->fillRect(area, colour);
    }
}

void drawLine(int x1, int y1, int x2, int y2, Rgb colour) {
    if (mainWindowState.paintDc != nullptr) {
        mainWindowState.paintDc->line(x1, y1, x2, y2, colour);
    }
}

bool readerShowsData(std::int32_t readerState) { return readerState == 1 || readerState == 2; }

Rgb simulatorColour(const DisplayTexts& texts) {
    if (!mainWindowState.simConnected.load(relaxed)) {
        return red;
    }
    const bool flying = mainWindowState.flightRunning.load(relaxed) && !texts.userAcTitle.empty();
    return flying ? limeGreen : yellow;
}

Rgb realTrafficColour() {
    const MainWindowState& state = mainWindowState;
    if (state.realTrafficNotStarted.load(relaxed)) {
        return black;
    }
    if (!state.realTrafficConnected.load(relaxed)) {
        return red;
    }
    return state.trafficReaderState.load(relaxed) == 1 ? limeGreen : yellow;
}

// "# simaddon: 12" in green, or "# simaddon: ..." in yellow while nothing has been counted yet.
void drawScanCount(std::string_view name, std::uint64_t count, int x) {
    if (count != 0) {
        lf_drawText(fmt::format("# {}: {}", name, count), x, 91, limeGreen);
    } else {
        lf_drawText(fmt::format("# {}: ...", name), x, 91, yellow);
    }
}

void paintTitleBand() {
    lf_drawText(fmt::format("Version {}", gf_versionText(programVersion)), 3, 7, limeGreen);
    lf_drawText(programId, 390, 7, limeGreen);
    lf_drawText(noticeText, 632, 7, limeGreen);
}

void paintReaderValues() {
    const MainWindowState& state = mainWindowState;
    if (!state.realTrafficConnected.load(relaxed)) {
        return;
    }
    const std::int32_t qnh = state.qnh.load(relaxed);
    if (readerShowsData(state.qnhReaderState.load(relaxed)) && qnh >= 1) {
        lf_drawText(fmt::format("qnh: {:4}", qnh), 642, 63, limeGreen);
    }
    if (readerShowsData(state.trafficReaderState.load(relaxed))) {
        lf_drawText(fmt::format("live: {:3}", state.liveCount.load(relaxed)), 642, 91, limeGreen);
    }
}

// --- the settings labels ---

enum class LabelRule {
    Plain,
    YellowWhenOn,        // the label's own box
    YellowWhenOff,       // the label's own box
    GreyWhenOff,         // the label's own box
    GreyWhenBoxDisabled, // the label's own box
    GreyWhenAutoRangeOff,
    YellowWhileRenewalBusy,
    MaxParkSelection,
    MaxLiveSelection,
};

struct SettingsLabel {
    std::string_view text;
    int x;
    const ParameterControl* rowOf;
    LabelRule rule;
    const CheckBoxParameter* box; // the box the rule looks at, if any
};

const std::array<SettingsLabel, 41>& settingsLabels() {
    using R = LabelRule;
    static const std::array<SettingsLabel, 41> labels{{
        {"Aerowinx", 672, &AEROWINX, R::YellowWhenOn, &AEROWINX},
        {"Stay on top", 768, &ALWAYS_ON_TOP, R::Plain, nullptr},
        {"Nav lights", 768, &NAV_LIGHTS_WHILE_PARKED, R::Plain, nullptr},
        {"GUID changes", 768, &GUID_CHANGES, R::YellowWhenOff, &GUID_CHANGES},
        {"Install path:", 5, &ALL_INSTALL_PATH, R::Plain, nullptr},
        {"Scan for liveries", 25, &SCAN_LIVERIES, R::YellowWhenOn, &SCAN_LIVERIES},
        {"Prioritize", 556, &LIG_PRIORITIZE, R::Plain, nullptr},
        {"Scan for addon airports", 25, &SCAN_AIRPORTS, R::YellowWhenOn, &SCAN_AIRPORTS},
        {"Max aircraft matching depth", 5, &MATCHING_DEPTH, R::Plain, nullptr},
        {"Optional:", 258, &LIGHT_AIRCRAFT, R::Plain, nullptr},
        {"Light aircraft", 343, &LIGHT_AIRCRAFT, R::GreyWhenBoxDisabled, &LIGHT_AIRCRAFT},
        {"Helicopters", 450, &HELICOPTERS, R::GreyWhenBoxDisabled, &HELICOPTERS},
        {"FighterJets", 556, &HIGH_PERF_AIRCRAFT, R::GreyWhenBoxDisabled, &HIGH_PERF_AIRCRAFT},
        {"Traffic injection", 5, &RANGE, R::Plain, nullptr},
        {"Radius:", 163, &RANGE, R::Plain, nullptr},
        {"nm, or", 270, &RANGE, R::Plain, nullptr},
        {"Auto range", 343, &AUTO_RANGE, R::Plain, nullptr},
        {"Ah:", 430, &AR_ABOVE_HEIGHT, R::GreyWhenAutoRangeOff, nullptr},
        {"ft", 536, &AR_ABOVE_HEIGHT, R::GreyWhenAutoRangeOff, nullptr},
        {"AirOnly", 592, &AIRBORNE_ONLY, R::YellowWhenOn, &AIRBORNE_ONLY},
        {"Block callsign:", 5, &BLOCK_CALLSIGN, R::Plain, nullptr},
        {"Collision avoidance", 5, &COLLISION_USER_GND, R::Plain, nullptr},
        {"User ground", 237, &COLLISION_USER_GND, R::Plain, nullptr},
        {"User air", 343, &COLLISION_USER_AIR, R::Plain, nullptr},
        {"Live X parked", 450, &COLLISION_LIVE_PARKED_GND, R::Plain, nullptr},
        {"Airport parking", 5, &MAX_PARK_SEL, R::YellowWhileRenewalBusy, nullptr},
        {"Max park (static+live):", 171, &MAX_PARK_SEL, R::MaxParkSelection, nullptr},
        {"Max live (park incl):", 401, &MAX_LIVE_SEL, R::MaxLiveSelection, nullptr},
        {"Straight push backs only", 672, &STRAIGHT_PBS_ONLY, R::GreyWhenOff, &STRAIGHT_PBS_ONLY},
        {"Destination:", 137, &DESTINATION, R::Plain, nullptr},
        {"Range:", 303, &AIRP_RANGE, R::Plain, nullptr},
        {"nm", 403, &AIRP_RANGE, R::Plain, nullptr},
        {"Height above gnd:", 440, &AIRP_HEIGHT, R::Plain, nullptr},
        {"ft", 646, &AIRP_HEIGHT, R::Plain, nullptr},
        {"ILO", 25, &INITIAL_LOAD_ONLY, R::YellowWhenOn, &INITIAL_LOAD_ONLY},
        {"Week", 91, &WEEK, R::Plain, nullptr},
        {"Soft", 171, &PARK_SOFT, R::Plain, nullptr},
        {"Target: ", 264, &parking_percentage, R::Plain, nullptr},
        {"%", 378, &parking_percentage, R::Plain, nullptr},
        {"Max fit:", 506, &MAX_FIT_FL, R::Plain, nullptr},
        {"hrs", 632, &MAX_FIT_FL, R::Plain, nullptr},
    }};
    return labels;
}

// A box that has no control yet counts as enabled: only a box known to be disabled greys its label.
bool boxDisabled(const CheckBoxParameter& box) {
    const auto control = static_cast<WindowHandle>(box.handle);
    return control != nullptr && !ui().isEnabled(control);
}

Rgb maxSelectionColour(std::int32_t own, std::int32_t other) {
    if (own == 0 && other == 0) {
        return red;
    }
    return own == 0 ? yellow : black;
}

Rgb labelColour(const SettingsLabel& label) {
    switch (label.rule) {
    case LabelRule::Plain:
        return black;
    case LabelRule::YellowWhenOn:
        return label.box->get() ? yellow : black;
    case LabelRule::YellowWhenOff:
        return label.box->get() ? black : yellow;
    case LabelRule::GreyWhenOff:
        return label.box->get() ? black : grey;
    case LabelRule::GreyWhenBoxDisabled:
        return boxDisabled(*label.box) ? grey : black;
    case LabelRule::GreyWhenAutoRangeOff:
        return AUTO_RANGE.get() ? black : grey;
    case LabelRule::YellowWhileRenewalBusy:
        return staticRenewalBusy.load(relaxed) ? yellow : black;
    case LabelRule::MaxParkSelection:
        return maxSelectionColour(MAX_PARK_SEL.get(), MAX_LIVE_SEL.get());
    case LabelRule::MaxLiveSelection:
        return maxSelectionColour(MAX_LIVE_SEL.get(), MAX_PARK_SEL.get());
    }
    return black;
}

// The countdown to the next renewal of the static parking, shown only while a park airport is loaded and no
// renewal runs.
void paintRenewalNote() {
    if (!parkAirportLoaded.load(relaxed) || staticRenewalBusy.load(relaxed)) {
        return;
    }
    const int y = AIRP_RANGE.row;
    if (INITIAL_LOAD_ONLY.get()) {
        lf_drawText("(no next ... )", 5, y, black);
        return;
    }
    const std::int32_t minutes = renewalCountdown.load(relaxed);
    if (minutes >= 1 && minutes <= 19) {
        lf_drawText(fmt::format("(next in {} min)", minutes), 5, y, black);
    }
}

// --- the counters ---

std::string_view parkingModeText(bool soft, bool week) {
    if (soft && week) {
        return "*WS*";
    }
    if (soft) {
        return "*S*";
    }
    return week ? "*W*" : "";
}

void paintParkAirportLine(const DisplayTexts& texts, int y0) {
    const MainWindowState& state = mainWindowState;
    const char* handmade = state.handmadeFile.load(relaxed) ? " (h)" : "";
    lf_drawText(fmt::format(" {}, {}{}, wk={}", texts.parkAirportName, texts.parkAirportPublisher, handmade,
                            rtTrafficWeek.load(relaxed)),
                85, y0, limeGreen);
    const std::string_view mode = parkingModeText(state.softMode.load(relaxed), state.weekMode.load(relaxed));
    if (!mode.empty()) {
        lf_drawText(mode, 370, y0, limeGreen);
    }
    lf_drawText(fmt::format("qf: {}", texts.qualityFactorText), 430, y0, limeGreen);
    if (!texts.reservedStandText.empty()) {
        const Rgb colour = texts.reservedStandFound ? limeGreen : red;
        lf_drawText(fmt::format("reserved stand: {}", texts.reservedStandText), 571, y0, colour);
    }
    lf_drawText(fmt::format("# updates: {:4}", state.learnedUpdates.load(relaxed)), 748, y0, limeGreen);
}

void paintParkedLine(int y) {
    const MainWindowState& state = mainWindowState;
    lf_drawText(fmt::format("# stands: {:3}", state.standCount.load(relaxed)), 5, y, limeGreen);
    lf_drawText(fmt::format("parked live: {:3}", state.parkedLiveCount.load(relaxed)), 111, y, limeGreen);
    const float liveFit = state.liveAverageFit.load(relaxed);
    if (liveFit > 0.0F) {
        lf_drawText(fmt::format("average fit: {}", gf_floatText(liveFit)), 249, y, limeGreen);
    }
    const std::int32_t maxPark = state.maxPark.load(relaxed);
    if (maxPark > 0) {
        lf_drawText(fmt::format("static: {:3}", state.staticCount.load(relaxed)), 430, y, limeGreen);
        const std::uint64_t pending = state.pendingStatic.load(relaxed);
        if (pending != 0) {
            lf_drawText(fmt::format(" ({})", pending), 500, y, yellow);
        }
        const float staticFit = state.staticAverageFit.load(relaxed);
        if (!state.weekMode.load(relaxed) && staticFit > 0.0F) {
            lf_drawText(fmt::format("average fit: {}", gf_floatText(staticFit)), 571, y, limeGreen);
        }
    }
    if (maxPark != 0) {
        lf_drawText(fmt::format("max park: {:3} (={} %)", maxPark, state.maxParkPercent.load(relaxed)), 708,
                    y, limeGreen);
    } else {
        lf_drawText("no max park live", 708, y, limeGreen);
    }
}

} // namespace

void lf_drawText(std::string_view text, int x, int y, Rgb colour) {
    Painter* painter = mainWindowState.paintDc;
    if (painter == nullptr) {
        return;
    }
    try {
        // Only valid UTF-8 reaches the screen; the conversion is the check.
        static_cast<void>(utf8_to_wide(text));
    } catch (const std::exception& e) {
        gf_logUnlessStopping(fmt::format("TextOut utf8  to wide failed for '{}': {}", text, e.what()));
        return;
    }
    painter->text(x, y, text, colour);
}

void lf_paintStatus(Painter& painter) {
    const PaintScope scope(painter);
    fill(titleBandArea, S::blackBrush);
    fill(topPanelArea, S::blackBrush);
    fill(settingsArea, S::lightBlueBrush);
    fill(countersArea, S::blackBrush);
    fill(statusLineArea, S::limeGreenBrush);
    drawLine(0, 28, 880, 28, S::whitePen);
    drawLine(0, 113, 880, 113, S::whitePen);
    drawLine(0, 449, 880, 449, S::whitePen);
    drawLine(0, 392, 880, 392, S::whitePen);

    paintTitleBand();

    for (const SeparatorLine& separator : S::separatorLines) {
        drawLine(separator.x1, separator.y1, separator.x2, separator.y2, S::blackPen);
    }
    drawLine(642, 140, 642, 308, S::blackPen);

    lf_paintStatePanel();
    paintReaderValues();
    lf_paintSettingsLabels();
    lf_paintCounters();

    std::string statusText;
    std::string errorText;
    {
        // Held only for the copies: a writer on another thread never waits for the drawing.
        const std::lock_guard lock(mainWindowState.statusMutex);
        mainWindowState.statusRepaintPending = false;
        statusText = mainWindowState.statusText;
        errorText = mainWindowState.errorText;
    }
    if (errorText.empty()) {
        lf_paintStatusLine(statusText);
    } else {
        lf_paintErrorStatus(errorText);
    }
}

void lf_paintStatusLine(std::string_view statusText) {
    fill(statusLineArea, S::limeGreenBrush);
    if (!statusText.empty()) {
        lf_drawText(statusText, 3, 455, yellow);
    }
}

void lf_paintErrorStatus(std::string_view errorText) {
    fill(statusLineArea, S::redBrush);
    lf_drawText(errorText, 3, 455, yellow);
}

void lf_paintStatePanel() {
    const MainWindowState& state = mainWindowState;
    const DisplayTexts texts = state.displayTexts();

    const Rgb simColour = simulatorColour(texts);
    fill(simulatorBlockArea, simColour);
    lf_drawText("Sim", 398, 63, limeGreen);
    if (state.simConnected.load(relaxed)) {
        std::string simLine = texts.simText;
        if (!texts.userStandText.empty()) {
            simLine += ", user stand " + texts.userStandText;
        }
        lf_drawText(simLine, 5, 35, simColour);
        lf_drawText(texts.userAcTitle, 5, 63, state.userModelKnown.load(relaxed) ? simColour : yellow);
    }

    const std::uint64_t liveries = state.liveryCount.load(relaxed);
    if (liveries != 0) {
        lf_drawText(fmt::format("# liveries: {}", liveries), 5, 91, limeGreen);
    } else {
        lf_drawText("# liveries: ...", 5, 91, red);
    }
    drawScanCount("simaddon", state.simAddonCount.load(relaxed), 141);
    drawScanCount("thirdp", state.thirdPartyCount.load(relaxed), 278);

    fill(realTrafficBlockArea, realTrafficColour());
    lf_drawText("RT", 430, 63, limeGreen);
    if (state.realTrafficConnected.load(relaxed)) {
        lf_drawText(texts.realTrafficVersionText, 458, 35, limeGreen);
        const std::int32_t qnhState = state.qnhReaderState.load(relaxed);
        if (qnhState != 3) {
            lf_drawText("Weather", 458, 63, qnhState == 1 ? limeGreen : yellow);
        }
        const std::int32_t trafficState = state.trafficReaderState.load(relaxed);
        if (trafficState != 3) {
            lf_drawText("Traffic", 458, 91, trafficState == 1 ? limeGreen : yellow);
        }
    }
    drawLine(425, 29, 425, 112, S::blackPen);
}

void lf_paintSettingsLabels() {
    for (const SettingsLabel& label : settingsLabels()) {
        lf_drawText(label.text, label.x, label.rowOf->row, labelColour(label));
    }
    if (offlineLearningCount.load(relaxed) > 0) {
        lf_drawText(fmt::format("Mail tblo.zip to {}, pls", supportAddress), 323, SCAN_AIRPORTS.row, red);
    }
    paintRenewalNote();
}

void lf_paintCounters() {
    const DisplayTexts texts = mainWindowState.displayTexts();
    if (texts.parkAirportCode.empty()) {
        return;
    }
    const int y0 = mainWindowState.countersTop.load(relaxed);
    const bool fileFound = mainWindowState.parkFileFound.load(relaxed);
    lf_drawText(texts.parkAirportCode, 5, y0, fileFound ? limeGreen : yellow);
    if (!fileFound) {
        return;
    }
    paintParkAirportLine(texts, y0);
    paintParkedLine(y0 + 28);
}

// Traffic thread: it reads the live table. The live count shows in the top panel, the parked and static
// counts in the counters area; an area is repainted only when one of its counts changed.
void lf_refreshCounters() {
    std::uint64_t live = 0;
    for (const LiveAc& aircraft : liveAcTable) {
        if (aircraft.state == AcState::active && aircraft.phase != AcPhase::parked) {
            ++live;
        }
    }
    if (live != mainWindowState.liveCount.load(relaxed)) {
        mainWindowState.liveCount.store(live, relaxed);
        invalidateTopPanel();
    }
    const auto parked = static_cast<std::uint64_t>(lf_countLiveForDisplay(true));
    const auto statics = static_cast<std::uint64_t>(lf_countStaticAc(1));
    if (parked != mainWindowState.parkedLiveCount.load(relaxed) ||
        statics != mainWindowState.staticCount.load(relaxed)) {
        mainWindowState.parkedLiveCount.store(parked, relaxed);
        mainWindowState.staticCount.store(statics, relaxed);
        mainWindowState.invalidateArea(countersArea);
    }
}

} // namespace zeph
