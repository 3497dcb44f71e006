#pragma once
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/status_sink.h"

namespace zeph::test {

// (text, log) of one status call.
using StatusEntry = std::pair<std::string, bool>;

// Takes the place of the status line while it lives: every status call is recorded, from any thread.
// Only one may live at a time; at the end the default sink (log only) comes back.
class RecordingStatusSink : public StatusSink {
public:
    RecordingStatusSink();
    ~RecordingStatusSink() override;
    RecordingStatusSink(const RecordingStatusSink&) = delete;
    RecordingStatusSink& operator=(const RecordingStatusSink&) = delete;

    void setStatus(std::string_view text, bool log) override;

    std::vector<StatusEntry> entries() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<StatusEntry> entries_;
};

} // namespace zeph::test
