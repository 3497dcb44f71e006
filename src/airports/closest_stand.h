#pragma once
#include <string>

#include "core/geodesy.h"

// The stand of an airport closest to a position, from the airport's file.

namespace zeph {

// The distance (nm) from position to the airport's stand closest to it, and that stand's id in standId.
// Until the airport files are read here it answers 100.0 for every airport and leaves standId alone, so
// the closest airport by distance wins.
double gf_readDestApfForClosestStand(const std::string& code, GeoPoint position, std::string& standId);

} // namespace zeph
