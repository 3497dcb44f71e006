#pragma once
#include <string>
#include <vector>

#include "core/geodesy.h"

// A park airport for engine tests: "ZZPA" / "ZPA" at 4950 ft with four stands, radius 20 m unless said:
//   "A1" (1) at the airport's point, heading 0 deg, adjacent [2]
//   "A2" (2) 50 m east, heading 90 deg, adjacent [1, 3]
//   "C3" (3) 100 m east, cargo, adjacent [2]
//   "H4" (4) a helipad 300 m north, radius 10 m

namespace zeph::test {

inline constexpr double kParkAirportAltitude = 4950.0; // feet
inline constexpr GeoPoint kParkAirportPosition{47.25, 8.75};

// Sets the park airport record and fills the stand list.
void installTestParkAirport();
// No park airport and no stands.
void clearTestParkAirport();

// Frankfurt's stands as the simulator-link tests use them: "A10", "A12" and the cargo stand "V3", numbers 1
// to 3, 40 m in radius, in a row west to east around kEddfA12.
inline constexpr GeoPoint kEddfA12{50.0440, 8.5600};
void installEddfStands();

// The airport table holds ZZPA ("ZPA", at kParkAirportPosition and kParkAirportAltitude, 10 stands), ZZPB
// 15 nm east and ZZPC 30 nm north (no stands, no file). The current program folder gets
// airports/my_thirdparty/ZZPA.xml, published by "Test Publisher", with the stands "G1".."G10" in a row 60 m
// apart eastwards from 200 m east of the airport's point, stand k with the "opt" elements opts[k - 1]; and
// my_park_airports.txt naming ZZPA.
void installParkAirportFiles(const std::vector<std::string>& opts = {});
// The learned file that ZZPA.xml's reader and saver use.
std::string parkAirportLearnedFile();
// Where stand Gk of ZZPA.xml stands.
GeoPoint parkAirportStandPoint(int k);

// Installs the park airport for the lifetime of the object, then leaves it.
class TestParkAirport {
public:
    TestParkAirport() { installTestParkAirport(); }
    ~TestParkAirport() { clearTestParkAirport(); }
    TestParkAirport(const TestParkAirport&) = delete;
    TestParkAirport& operator=(const TestParkAirport&) = delete;
};

} // namespace zeph::test
