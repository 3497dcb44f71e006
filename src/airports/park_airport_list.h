#pragma once
#include <list>
#include <string>
#include <vector>

#include "core/owned_mutex.h"

// The park airports the user wants filled with parked aircraft, kept in my_park_airports.txt and given as
// airport files in airports/my_thirdparty.

namespace zeph {

struct ParkAirport {
    std::string code;
    std::string reservedStand; // empty when none
    double latitude = 0.0;
    double longitude = 0.0;
    double distance = 0.0; // nautical miles from the user aircraft
};

// The traffic thread keeps the current park airport first. Guarded by parkAirportListMutex, which also
// guards reservedStand (park_airport_record.h) and every write of my_park_airports.txt: the simulator
// link's client thread sets the first entry's reserved stand and writes the file too. Taken before
// parkAirportRecordMutex when both are needed.
extern std::list<ParkAirport> parkAirportList;
extern OwnedMutex parkAirportListMutex;

// Builds the list from my_park_airports.txt ("CODE", "CODE,STAND" or, for a stand id with bytes the line
// cannot hold, "CODE,ESCAPED,escaped" a line) and the files of my_thirdparty, under parkAirportListMutex. Bad
// lines are skipped one by one with their log line; false when a code is no known airport (shown on the
// status line) or the read failed (logged).
bool lf_readMyParkAirports();

// Appends the known airports named by the files directly in my_thirdparty (their stems, exact case), in
// name order, that the list does not hold yet. Throws what the folder listing throws.
void lf_addMyThirdpartyAirports();

// Writes the first entry of parkAirportList into my_park_airports.txt: its line replaces the line of the
// same code or comes in first, and the file is written sorted without duplicate lines, whole or not at
// all. False (logged) when the list is empty or the file could not be written; the old file then stays
// as it was. The caller holds parkAirportListMutex.
bool gf_writeMyParkAirports();

// Every line among [first, last) whose first field is entry's code becomes newLine (logged once); returns
// the first one's position, or last when there is none.
std::vector<std::string>::iterator lf_updateReservedStand(std::vector<std::string>::iterator first,
                                                          std::vector<std::string>::iterator last,
                                                          const ParkAirport& entry,
                                                          const std::string& newLine);

} // namespace zeph
