#pragma once
#include <string>

#include "core/geodesy.h"

// The stand of an airport closest to a position, from the airport's file.

namespace zeph {

// The distance (nm) from position to the airport's stand closest to it, and that stand's id in standId
// (the first of equally near ones). 100.0 and standId left alone when the airport has no file, its file
// no stands, or no stand is nearer. An archived file is downloaded to airport.xml in the current folder,
// which never remains; its stand positions are kept per code for the life of the process, as is a
// download that the site refused ("not found", a body that is not the file); one that may go through
// later (a server error, a time-out, no connection) is tried again after a pause of minutes. Never
// throws. Traffic thread.
double gf_readDestApfForClosestStand(const std::string& code, GeoPoint position, std::string& standId);

// Forgets the stand positions of downloaded files (for tests).
void resetDownloadedStandsForTests();

} // namespace zeph
