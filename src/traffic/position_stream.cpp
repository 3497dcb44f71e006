#include "traffic/position_stream.h"

#include <utility>

#include "sim/ai_objects.h"

namespace zeph {

void decodeExisting(LiveAc& aircraft, StreamPos position) {
    if (aircraft.stream.size() > kMaxStreamPositions) {
        removeAircraftFromSim(aircraft);
        return;
    }
    if (!aircraft.stream.empty() && position.duePass <= aircraft.stream.back().duePass) {
        position.duePass = aircraft.stream.back().duePass + 1;
    }
    aircraft.stream.push_back(std::move(position));
}

} // namespace zeph
