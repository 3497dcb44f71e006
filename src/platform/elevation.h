#pragma once
#include <optional>

namespace zeph {

// True when the process runs with administrator rights: on Linux, effective uid 0.
bool isElevated();

// Makes isElevated answer value; no value restores the real answer. Tests need it because they may run as
// root.
void setElevationForTests(std::optional<bool> value);

} // namespace zeph
