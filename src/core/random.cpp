#include "core/random.h"

namespace zeph {} // namespace zeph
