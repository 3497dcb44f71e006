#pragma once
#include <string>

// A small fleet in the aircraft database's tables, so engine tests get real kinds and half spans:
//   B738, A320  Large       35.8 m      B77W  Heavy      64.8 m      C172  Light  11.0 m
//   E190        Large       28.7 m
//   EC35        Rotorcraft  10.2 m      LJ45  Buzjets    14.6 m      F16   HighPerf 9.96 m
// and the registration "D-AIMA" -> airline DLH, type A320; "D-AEWG" -> DLH A320 with operator EWG, cargo;
// "PH-BXA" -> KLM B738 with operator TRA.
// Installed liveries: ("TST", "B738") "Test Air B738", ("ZZZ", "B738") "Generic B738" and
// ("DLH", "A320") "FSLTL_A320_DLH" and
// "Lufthansa A320 D-AIMA", the livery of the registration D-AIMA (regcodeTitleTable). Any other type is
// unknown.

namespace zeph::test {

// Half of a wingspan in metres, in nautical miles: the profile's radius.
double halfSpanNm(double wingspanMetres);

// Replaces the aircraft tables and the registration table with the fleet above.
void installTestAircraft();
// Empties every table of the aircraft database and the matching tables, puts maxHalfSpan back to 0 and
// zeroes the match counts: the one reset of tests.
void clearTestAircraft();

// Installs the fleet for the lifetime of the object and empties the tables afterwards.
class TestAircraft {
public:
    TestAircraft() { installTestAircraft(); }
    ~TestAircraft() { clearTestAircraft(); }
    TestAircraft(const TestAircraft&) = delete;
    TestAircraft& operator=(const TestAircraft&) = delete;
};

} // namespace zeph::test
