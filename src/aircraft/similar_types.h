#pragma once
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/fnv1a.h"

// Types that may stand in for one another when an airline has no livery of an aircraft's own type, built
// from the aircraft database's similar-type groups once the matching tables know which types have liveries.
// Written on the start-up thread with the matching tables; afterwards only the traffic thread uses them.

namespace zeph {

using TypeLists = std::unordered_map<std::string, std::vector<std::string>, Fnv1aHash, std::equal_to<>>;

// Type -> the other types of its group that have at least one livery.
extern TypeLists similarScannedTypes;
// Airline (3 characters) -> type it has no livery of -> the similar types it has liveries of.
extern std::unordered_map<std::string, TypeLists, Fnv1aHash, std::equal_to<>> airlineSimilarTypes;
// The one-type answer of lf_fallbackTypesOf, replaced at each call.
extern std::vector<std::string> fallbackTypeList;
// Always empty: the answer when nothing is found.
extern std::vector<std::string> emptyTypeList;

void lf_buildSimilarModels();
void lf_emptySimilarTypes();

// The similar types with liveries of type, shuffled while RANDOM is on; else one type with liveries of the
// type's category (Light, Buzjets, Rotorcraft only); else emptyTypeList.
const std::vector<std::string>& lf_fallbackTypesOf(const std::string& type);
// The similar types the airline (first) has liveries of for the type (second), shuffled while RANDOM is on;
// else emptyTypeList.
const std::vector<std::string>& lf_similarTypeList(const std::pair<std::string, std::string>& airlineAndType);

} // namespace zeph
