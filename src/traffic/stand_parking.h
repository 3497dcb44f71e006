#pragma once
#include <cstdint>

#include "airports/stands.h"
#include "core/geodesy.h"
#include "model/records.h"

// Parking of live aircraft at the park airport's stands: choosing a free stand near where an aircraft comes
// to rest, clearing it, driving onto it and arriving; and an aircraft created already parked. Traffic
// thread only.

namespace zeph {

// A taxiing aircraft whose reports stop hands over to the parking: it takes the nearest free stand that
// fits it within 20 m of its last position (55 m when landed: it touched down in this run), unless that is
// the user's reserved stand or the stand the user aircraft stands on, and drives onto it. A point is
// searched only once.
void try2Park(LiveAc& aircraft, std::uint8_t landed);

// The aircraft takes the stand's position, heading, number and cargo attribute.
void lf_takeStand(StaticAc& aircraft, const ParkPos& stand);
// The aircraft is off its stand: it gives back the mark when it holds it and forgets the stand.
void giveUpStand(LiveAc& aircraft);

// The first live aircraft on the stand, when parked and active, makes room for the one that wants it.
void lf_removeForParkingWish(std::uint32_t standNumber, LiveAc& aircraft);
// The first live aircraft on an adjacent stand, when parked or pushing back and active, goes when the two
// aircraft would be too close at their stands.
void lf_removeAdjacentParked(std::uint32_t adjacentNumber, LiveAc& aircraft, const ParkPos& stand);

// Appends the drive onto the stand to the stream: the stand point, reached at slow taxi speed (at least
// 100 passes), and a stationary copy of it 50 passes later. heading in radians.
void drive2Stand(LiveAc& aircraft, GeoPoint stand, double heading);

// A parking aircraft's stream ran dry: within 2 m of its stand it parks there, facing the stand heading,
// engines off; farther away it taxis on. An aircraft whose stand has been taken meanwhile is removed.
void lf_arrivedAtStand(LiveAc& aircraft);

// A cargo aircraft on a cargo stand it did not take as one: the stand loses its cargo attribute.
void lf_clearCargoStand(LiveAc& aircraft);

// A new object whose head is on the ground: it stands there; when parked it takes its stand from the
// static plan and from a static aircraft standing on it.
void lf_parksAt(LiveAc& aircraft);

} // namespace zeph
