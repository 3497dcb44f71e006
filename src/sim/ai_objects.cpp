#include "sim/ai_objects.h"

namespace zeph {

void removeAircraftFromSim(StaticAc& aircraft) {
    if (aircraft.state == AcState::buffer) {
        aircraft.remove = 1;
        return;
    }
    aircraft.state = AcState::removingfromsim;
}

} // namespace zeph
