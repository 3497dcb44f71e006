#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "airports/stand_use.h"
#include "core/geodesy.h"
#include "model/park_pos.h"

namespace zeph {
struct AcProfile;
}

// The stands of the active park airport.

namespace zeph {

// The stands of the park airport in the order of its file; the traffic thread's. The traffic thread reads it
// and changes marks and radii without a lock; every change of the list's structure (fill, clear, erase)
// takes standListMutex, because the simulator link's client thread looks up the user's stand in it.
extern std::vector<ParkPos> standList;
// Guards the structure of standList and closestStandCache.
extern std::mutex standListMutex;

// The last position asked of gf_closestStandId and its answer. Emptied by every change of the list (a
// stand appended, the list cleared), so that an answer always comes from the list as it is when asked:
// an answer found while a read was half way is never kept. Under standListMutex.
struct ClosestStandCache {
    GeoPoint position;
    bool valid = false;
    std::string id;
};
extern ClosestStandCache closestStandCache;

// Empties the stand list and the closest-stand cache before a park airport file is read; the room stays.
void lf_clearParkPositions();

// Appends a stand: the one change of the list's structure while it is filled. Empties the closest-stand
// cache.
void gf_appendStand(ParkPos&& stand);

// Changes of learned stand data since the park airport's file was read or saved. Traffic thread.
extern std::uint32_t learnedUpdateCount;
// Counts one change and has the window show the new count.
void gf_noteLearnedUpdate();

// The id of the nearest stand within 55 m of position, the first of equally near ones; empty while the user
// aircraft is not on the ground, when the list is empty, for a position that is not finite, or when no
// stand is that near. Any thread; takes
// userDataMutex, then standListMutex, never both at once.
std::string gf_closestStandId(GeoPoint position);

// The first stand whose id is exactly this one, or standList.end(). Traffic thread.
std::vector<ParkPos>::iterator gf_findStand(const std::string& id);

// The first stand with this number; null for 0 or when none has it. The one look-up of a stand by number.
// Traffic thread.
ParkPos* gf_standByNumber(std::uint32_t number);
// Marks the stand with this number, when there is one, as the stand the live aircraft with this hexid stands
// on, unless another aircraft holds its mark. Traffic thread.
void gf_occupyStand(std::uint32_t number, std::uint32_t hexid);
// Clears the occupied mark of the stand with this number when the live aircraft with this hexid holds it: a
// mark another aircraft took since stays. Traffic thread.
void gf_freeStand(std::uint32_t number, std::uint32_t hexid);

// The stand an aircraft at this point takes, or standList.end(): the nearest free stand within maxDistance
// (nm) that fits its half span within 1.8 m, or a misfit within 20 m, which then learns the aircraft's size;
// the first of equally near ones. With useLearned and nothing within maxDistance, a fitting stand within
// 85 m that the aircraft is known to use. A helipad goes only to a rotorcraft, and a rotorcraft only to a
// helipad. Non-finite input finds nothing. Traffic thread.
std::vector<ParkPos>::iterator gf_findStandFor(GeoPoint position, const AcProfile& aircraft,
                                               double maxDistance, bool useLearned);

} // namespace zeph
