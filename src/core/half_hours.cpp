#include "core/half_hours.h"

namespace zeph {} // namespace zeph
