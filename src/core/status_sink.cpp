#include "core/status_sink.h"

#include <atomic>

#include "core/log.h"

namespace zeph {

namespace {
std::atomic<StatusSink*> installedSink{nullptr};
} // namespace

void setStatusSink(StatusSink* sink) { installedSink.store(sink); }

void reportStatus(std::string_view text, bool log) {
    if (StatusSink* sink = installedSink.load()) {
        sink->setStatus(text, log);
    } else if (log) {
        gf_logLine(text);
    }
}

} // namespace zeph
