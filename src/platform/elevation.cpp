#include "platform/elevation.h"

#include <unistd.h>

namespace zeph {

bool isElevated() { return ::geteuid() == 0; }

} // namespace zeph
