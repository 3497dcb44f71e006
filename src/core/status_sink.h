#pragma once
#include <string_view>

namespace zeph {

// How core and settings reach the status line, which lives in the shell above them.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void setStatus(std::string_view text, bool log) = 0;
};

// nullptr restores the default, which only logs.
void setStatusSink(StatusSink* sink);

// Shows text on the status line; without a sink it logs text as an event line when log is set.
void reportStatus(std::string_view text, bool log);

} // namespace zeph
