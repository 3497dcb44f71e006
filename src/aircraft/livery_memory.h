#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/fnv1a.h"

// What the program remembers of liveries: the livery chosen for each live aircraft, offered again when the
// aircraft spawns again, and the liveries the simulator could not create, which are never chosen again in
// this process. All of it belongs to the traffic thread, so nothing is locked.

namespace zeph {

struct AcProfile;

// Hexid -> livery title, a view into the livery tables. Emptied at the end of every run.
using RememberedLiveryMap = std::unordered_map<std::uint32_t, std::string_view, Fnv1aU32Hash>;
extern RememberedLiveryMap rememberedLiveries;

// Owned texts with lookup by std::string_view.
using TextSet = std::unordered_set<std::string, Fnv1aHash, std::equal_to<>>;

// Titles the simulator could not create. They own their texts: a new livery scan frees the tables the
// titles came from, and this set lives for the whole process.
extern TextSet failedLiveries;

// "type airline" of every aircraft whose creation failed, for the matching summary. Whole process.
extern TextSet failedTypeAirlines;

// This many distinct failed liveries end the run with error 81.
inline constexpr std::size_t failedLiveryLimit = 20;

// The title remembered for hexid, or an empty view. A remembered title that has failed since is forgotten
// and an empty view returned.
std::string_view gf_rememberedLivery(std::uint32_t hexid);

// The simulator could not create aircraft. Unless the run is stopping, shows (and logs) "{callsign}
// '{livery}' could not be created by your Sim!". Remembers the livery and "type airline"; once 20 distinct
// liveries have failed, logs the error and throws UserErrorException 81, also on every later call.
void lf_handleCreationFailure(const AcProfile& aircraft);

} // namespace zeph
