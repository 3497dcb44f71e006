#pragma once

// output/LiveriesScanned.xml: the result of the last livery scan, read at every start to build the
// matching tables.

namespace zeph {

// Writes scannedLiveries; nothing when it is empty. A failed save logs "! could not write <path>" and throws
// std::runtime_error, so a scan whose result is not on disk is not taken as done.
void lf_writeLiveriesScanned();
// Replaces scannedLiveries with the file's liveries, sorted. Throws UserErrorException 51, 52, 999 or 533.
void lf_readLiveriesScanned();

} // namespace zeph
