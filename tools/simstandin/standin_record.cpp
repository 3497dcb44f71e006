// The stand-in's record: what is noted under the mutex and written by the I/O thread outside it.
#include <algorithm>
#include <numbers>

#include "simstandin/recorder.h"
#include "simstandin/standin.h"
#include "simstandin/standin_connection.h"

namespace zeph::standin {

namespace {

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

} // namespace

void SimStandin::startRecording() {
    if (!options_.recordFile || recorder_) {
        return;
    }
    recorder_ =
        std::make_unique<Recorder>(*options_.recordFile, std::max<std::uint32_t>(options_.recordEvery, 1));
    const auto note = [this](const auto& entry) { noteLocked(entry); };
    world_.created.observer = note;
    world_.removed.observer = note;
    world_.clientEvents.observer = note;
    world_.flightPlans.observer = note;
    world_.violations.observer = note;
    nextStats_ = Clock::now() + options_.recordStatsEvery;
}

void SimStandin::stopRecording(std::unique_lock<std::mutex>& lock) {
    if (!recorder_) {
        return;
    }
    for (const auto& [id, connection] : connections_) {
        noteLocked(connection->info(false));
    }
    noteStatsLocked();
    recorder_->noteClosing(world_.clock.nowMs());
    writeRecord(lock);
    recorder_.reset(); // entries that still come (a control call after the stop) are not recorded
}

template <typename T> void SimStandin::noteLocked(const T& entry) {
    if (recorder_) {
        recorder_->note(entry, world_.clock.nowMs());
    }
}

// The connection lines are noted in standin.cpp.
template void SimStandin::noteLocked(const ConnectionInfo& entry);

void SimStandin::notePositionsLocked() {
    if (!recorder_ || world_.frame % recorder_->positionEvery() != 0) {
        return;
    }
    for (const auto& [id, o] : world_.objects()) {
        if (o.kind == ObjectKind::Ai) {
            noteLocked(RecordedPosition{world_.frame, id, o.atcId, o.lat, o.lon, o.alt, degrees(o.heading),
                                        degrees(o.pitch), degrees(o.bank), o.groundSpeed,
                                        reportsOnGround(o, world_.ground)});
        }
    }
}

void SimStandin::noteStatsLocked() {
    RecordedStats stats{world_.frame, 0, connections_.size(),
                        world_.packets.entries.size() + world_.packets.dropped,
                        world_.violations.entries.size() + world_.violations.dropped};
    for (const auto& [id, object] : world_.objects()) {
        stats.objects += object.kind == ObjectKind::Ai ? 1 : 0;
    }
    noteLocked(stats);
}

void SimStandin::recordLocked(Clock::time_point now) {
    if (!recorder_ || now < nextStats_) {
        return;
    }
    nextStats_ = now + options_.recordStatsEvery;
    noteStatsLocked();
}

void SimStandin::writeRecord(std::unique_lock<std::mutex>& lock) {
    if (!recorder_) {
        return;
    }
    const std::vector<std::string> lines = recorder_->take();
    lock.unlock();
    recorder_->write(lines); // only one thread writes; the recorder itself lives until stop()
    lock.lock();
}

} // namespace zeph::standin
