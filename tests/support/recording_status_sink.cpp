#include "support/recording_status_sink.h"

namespace zeph::test {

RecordingStatusSink::RecordingStatusSink() { setStatusSink(this); }

RecordingStatusSink::~RecordingStatusSink() { setStatusSink(nullptr); }

void RecordingStatusSink::setStatus(std::string_view text, bool log) {
    std::lock_guard lock(mutex_);
    entries_.emplace_back(std::string(text), log);
}

std::vector<StatusEntry> RecordingStatusSink::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

void RecordingStatusSink::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace zeph::test
