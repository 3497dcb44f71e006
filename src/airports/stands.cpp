#include "airports/stands.h"

namespace zeph {

std::vector<ParkPos> standList;

} // namespace zeph
