#pragma once

// Services of the live table for the window. A minimal stand-in until the traffic engine lands.

namespace zeph {

// Refreshes the callsign list of the window from the live aircraft; 1 when it holds callsigns, else 0.
int lf_refreshCallsignList();

} // namespace zeph
