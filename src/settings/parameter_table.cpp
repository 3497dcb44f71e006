#include "settings/parameter_table.h"

namespace zeph {

BoolParameter RANDOM("RANDOM", true);

} // namespace zeph
