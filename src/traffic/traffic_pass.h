#pragma once

// The traffic pass, every 10 ms while a flight runs (traffic thread).

namespace zeph {

// One pass, in this order: the simulator's results, every live aircraft one pass on, the hand-over of
// removals and creations, at most two reports from the adding stack, one creation request built, the
// aircraft in range asked for; then tickCounter counts the pass.
void lf_handleAddingStack();

// Every live aircraft one pass on; records flagged for removal erased; the position buffers swapped.
void lf_updateAllLiveAc();

// Every 10th pass one removal, every 50th one creation request (live before static) to the simulator link.
void lf_scheduleSimObjects();

// The aircraft within RANGE asked of the simulator once a second (five times while a live aircraft flares);
// once a second the user position goes to RealTraffic and is refreshed from the simulator link.
void lf_requestAcInRange();

} // namespace zeph
