#pragma once
#include <string>
#include <string_view>

#include "core/status_sink.h"

// The status line at the bottom of the main window: a normal text that goes away after 25 seconds of running
// flight, or a sticky error text that refuses normal texts until the program clears it. Any thread may call
// these; the fields live in mainWindowState under its statusMutex.

namespace zeph {

// Shows text (UTF-8); with log set also writes it as a plain log line, unless the run is stopping. Does
// nothing while an error text stands.
void gf_setStatus(std::string_view text, bool log);

// Shows a sticky error text and logs "Error {}" with it, unless the run is stopping. Replaces an earlier one.
void gf_setErrorStatus(std::string_view text);

// Empties the normal text; nothing while an error text stands.
void gf_clearStatus();

// Empties the sticky error text too, then the normal one: a restart, a renewal's second phase and a typed
// install path begin with a clean line.
void gf_clearErrorStatus();

// The one-second step of a running flight: advances the status clock and clears a normal text that has been
// shown for 25 seconds.
void lf_advanceStatusClock();

// The status hook of core and settings, forwarding to gf_setStatus.
class StatusLineSink final : public StatusSink {
public:
    void setStatus(std::string_view text, bool log) override;
};

// The one program-wide sink, for setStatusSink.
StatusLineSink& statusLineSink();

} // namespace zeph
