#pragma once

// The traffic pass, every 10 ms while a flight runs. A minimal stand-in until the traffic engine lands.

namespace zeph {

// One pass: counts it in tickCounter.
void lf_handleAddingStack();

} // namespace zeph
