#pragma once
#include "settings/parameter.h"

namespace zeph {

// Randomise choices (liveries, stands, list orders).
extern BoolParameter RANDOM;

} // namespace zeph
