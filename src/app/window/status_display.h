#pragma once
#include <string_view>

#include "app/window/ui.h"

// Everything the main window shows besides its controls, painted on Msg::Paint from mainWindowState: the
// title band, the top panel with the simulator and RealTraffic states, the settings labels, the counters and
// the status line. GUI thread only.

namespace zeph {

// The notice line of the title band.
inline constexpr std::string_view noticeText = "Live traffic and parked aircraft for your simulator";

// Draws text (UTF-8) at (x, y) in colour on mainWindowState.paintDc. A text that is not valid UTF-8 is logged
// (unless the run is stopping) and not drawn.
void lf_drawText(std::string_view text, int x, int y, Rgb colour);

// The whole client area; painter is valid for this call only.
void lf_paintStatus(Painter& painter);

// The status line: green with the normal text, or red with the error text. lf_paintStatus copies both texts
// under statusMutex and draws from the copies.
void lf_paintStatusLine(std::string_view statusText);
void lf_paintErrorStatus(std::string_view errorText);

void lf_paintStatePanel();
void lf_paintSettingsLabels();
void lf_paintCounters();

// Called every second by the main loop: refreshes the live, parked and static counts and invalidates their
// areas when they changed.
void lf_refreshCounters();

} // namespace zeph
