#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "settings/parameter.h"
#include "state/window_types.h"

// The program-wide state of the main window: its place, its colours, the status line's texts and every value
// the window shows. Only the GUI thread paints; every other thread writes its own fields and invalidates the
// area that shows them.
//
// Thread safety:
// - Numbers and flags are std::atomic; write and read them with std::memory_order_relaxed. Each is a value of
//   its own: no reader needs two of them to agree.
// - The display strings sit behind displayMutex and are written only through their setters, which lock, set,
//   and then invalidate the field's area. The painter takes a copy of all of them at the start of a paint.
// - statusMutex guards only statusText, errorText, statusClock and statusSetAt. displayMutex and statusMutex
//   are never held together. The log mutex may be taken while statusMutex is held, never the other way round.

namespace zeph {

// The window's areas, in client pixels; writers invalidate the one that shows their field.
inline constexpr Rect titleBandArea{0, 0, 880, 28};
inline constexpr Rect topPanelArea{0, 28, 880, 112};
inline constexpr Rect settingsArea{0, 112, 880, 392};
inline constexpr Rect countersArea{0, 392, 880, 448};
inline constexpr Rect statusLineArea{0, 448, 880, 476};
inline constexpr Rect wholeClientArea{0, 0, 880, 476};
inline constexpr Rect simulatorBlockArea{397, 30, 425, 112};
inline constexpr Rect realTrafficBlockArea{425, 30, 453, 112};

struct SeparatorLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

// The string fields of the display, copied whole for a paint.
struct DisplayTexts {
    std::string userAcTitle;            // top panel
    std::string parkAirportCode;        // counters area
    std::string parkAirportName;        // counters area
    std::string parkAirportPublisher;   // counters area
    std::string qualityFactorText;      // counters area
    std::string simText;                // top panel
    std::string realTrafficVersionText; // top panel
    std::string userStandText;          // top panel
    std::string
        reservedStandText; // counters area; the park airport's reserved stand, set with reservedStandFound
    bool reservedStandFound =
        false; // the colour of reservedStandText, copied with it so a paint sees them agree
};

class MainWindowState {
public:
    MainWindowState();
    virtual ~MainWindowState();
    MainWindowState(const MainWindowState&) = delete;
    MainWindowState& operator=(const MainWindowState&) = delete;

    // The window's stored position: the parameter-table objects themselves.
    NumParameter<std::int32_t>& MAIN_WINDOW_X;
    NumParameter<std::int32_t>& MAIN_WINDOW_Y;

    // Colours, in place of brushes and pens.
    static constexpr Rgb redBrush{255, 0, 0};
    static constexpr Rgb lightBlueBrush{153, 204, 255};
    static constexpr Rgb blackBrush{0, 0, 0};
    static constexpr Rgb limeGreenBrush{50, 205, 50};
    static constexpr Rgb yellowBrush{255, 255, 0};
    static constexpr Rgb blackPen{0, 0, 0};
    static constexpr Rgb whitePen{255, 255, 255};

    static constexpr std::array<SeparatorLine, 7> separatorLines{{
        {0, 140, 880, 140},
        {0, 168, 642, 168},
        {0, 196, 642, 196},
        {0, 224, 642, 224},
        {0, 252, 642, 252},
        {0, 280, 642, 280},
        {0, 308, 880, 308},
    }};

    // --- the status line (statusMutex) ---
    // On cache lines of their own: every thread writes them, and the painter must not slow those writers by
    // touching its own fields next to them.
    alignas(64) std::mutex statusMutex;
    std::string statusText;            // the normal text; empty = nothing shown
    std::string errorText;             // the sticky error; not empty = shown instead of statusText
    std::int32_t statusClock = 0;      // seconds of running flight
    std::int32_t statusSetAt = 0;      // statusClock when statusText was set, at least 1; 0 = no timed text
    bool statusRepaintPending = false; // the line was invalidated and no paint has read the texts since

    // The painter of the Paint in progress; null outside painting. GUI thread only.
    alignas(64) Painter* paintDc = nullptr;
    // The main window; null until it is created. Any thread reads it.
    std::atomic<WindowHandle> mainWindow{nullptr};

    // Any thread: asks for a repaint of area of the main window through the window port; nothing while there
    // is no window yet.
    void invalidateArea(const Rect& area) const;

    // --- display strings (displayMutex); each setter invalidates its area ---
    void setUserAcTitle(std::string text);
    void setParkAirportCode(std::string text);
    void setParkAirportName(std::string text);
    void setParkAirportPublisher(std::string text);
    void setQualityFactorText(std::string text);
    void setSimText(std::string text);
    void setRealTrafficVersionText(std::string text);
    void setUserStandText(std::string text);
    // Sets the text and reservedStandFound together, so a paint sees them agree.
    void setReservedStand(std::string text, bool found);
    DisplayTexts displayTexts() const;

    // --- numbers and flags (relaxed) ---
    std::atomic<float> staticAverageFit{-1.0F}; // hours; not shown unless above 0
    std::atomic<float> liveAverageFit{-1.0F};
    std::atomic<std::uint64_t> liveCount{0};       // top panel
    std::atomic<std::uint64_t> simAddonCount{0};   // top panel
    std::atomic<std::uint64_t> thirdPartyCount{0}; // top panel
    std::atomic<std::uint64_t> liveryCount{0};     // top panel
    std::atomic<std::uint64_t> parkedLiveCount{0}; // counters area
    std::atomic<std::uint64_t> staticCount{0};     // counters area
    std::atomic<std::uint64_t> standCount{0};      // counters area
    std::atomic<std::int32_t> countersTop{399};
    std::atomic<std::int32_t> maxParkPercent{0};
    std::atomic<std::int32_t> qnh{0}; // hPa; below 1 shows nothing
    std::atomic<std::int32_t> maxPark{0};
    std::atomic<std::int32_t> learnedUpdates{0};
    std::atomic<std::uint64_t> pendingStatic{0};
    std::atomic<bool> handmadeFile{false};
    std::atomic<bool> realTrafficNotStarted{true};
    std::atomic<bool> realTrafficConnected{false};
    std::atomic<bool> parkFileFound{false};
    std::atomic<bool> simConnected{false}; // the display mark "connection open"
    std::atomic<bool> flightRunning{false};
    std::atomic<bool> userModelKnown{true};
    std::atomic<bool> softMode{false};
    std::atomic<bool> weekMode{false};
    std::atomic<bool> reservedStandFound{false};
    std::atomic<bool> ready{false};                  // set last by the constructor
    std::atomic<std::int32_t> trafficReaderState{3}; // 1 receiving, 2 silent, 3 stopped or not started
    std::atomic<std::int32_t> qnhReaderState{3};
    // The "Now" button's state as the program last set it.
    std::atomic<bool> nowButtonEnabled{true};

    // Every field back to its start value and mainWindow to null (tests, between cases).
    void restoreStartValues();

private:
    void setText(std::string DisplayTexts::*field, std::string text, const Rect& area);

    mutable std::mutex displayMutex;
    DisplayTexts texts_;
};

extern MainWindowState mainWindowState;

// Repaints the top panel (simulator and RealTraffic blocks, user aircraft) after a state it shows changed.
inline void invalidateTopPanel() { mainWindowState.invalidateArea(topPanelArea); }

// True while static parking is being planned; read by the traffic engine and by the painting.
inline std::atomic<bool> staticRenewalBusy{false};

// True while a park airport's file is loaded; the window shows the renewal note only then.
inline std::atomic<bool> parkAirportLoaded{false};
// The RT_traffic_week value of the loaded park airport's file.
inline std::atomic<std::int32_t> rtTrafficWeek{0};
// Airports to be learned offline that have been zipped into tblo.zip; the window asks for the mail while it
// is not 0.
inline std::atomic<std::int32_t> offlineLearningCount{0};

// mainWindowState, staticRenewalBusy and the park-airport display atomics (parkAirportLoaded, rtTrafficWeek,
// offlineLearningCount) back to their start values. For test fixtures, between cases, while no other thread
// writes them.
void resetMainWindowStateForTests();

} // namespace zeph
