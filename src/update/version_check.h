#pragma once

// The version check at the first start of the process. A minimal stand-in until the updater lands.

namespace zeph {

// False only after a program update was prepared and NEW VERSION recorded (delay 0).
bool gf_checkVersions();

} // namespace zeph
