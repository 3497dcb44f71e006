#pragma once

namespace zeph {

// True when the process runs with administrator rights: on Linux, effective uid 0.
bool isElevated();

} // namespace zeph
