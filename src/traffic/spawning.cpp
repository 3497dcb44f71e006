#include "traffic/spawning.h"

namespace zeph {

// Minimal body, completed by the spawning rules: the record waits in buffer.
void lf_handleBufferedAc(LiveAc& /*aircraft*/) {}

} // namespace zeph
