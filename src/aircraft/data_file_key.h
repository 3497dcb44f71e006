#pragma once
#include <array>

namespace zeph {

// The program's own key of the sealed data files (dbase, airports, AIG registration codes). tools/sealdata
// seals the plain sources with it; the program opens them with it.
const std::array<unsigned char, 32>& gf_dataFileKey();

} // namespace zeph
