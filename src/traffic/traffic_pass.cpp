#include "traffic/traffic_pass.h"

#include "traffic/traffic_tables.h"

namespace zeph {

void lf_handleAddingStack() { ++tickCounter; }

} // namespace zeph
