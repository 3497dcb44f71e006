#include "core/geodesy.h"

namespace zeph {} // namespace zeph
