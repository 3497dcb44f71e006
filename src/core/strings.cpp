#include "core/strings.h"

namespace zeph {} // namespace zeph
