#pragma once
#include <string>
#include <unordered_set>

// The live aircraft (airline, type, registration) for which no livery was found, and the matching summary.
// The list is the traffic thread's.

namespace zeph {

extern std::unordered_set<std::string> noMatchList;

void gf_clearNoMatchList();
// Writes the list to the log. A minimal stand-in until the livery matching lands.
void gf_printNoMatchList();
// Writes the live traffic livery matching summary to the log. A minimal stand-in until the livery matching
// lands.
void gf_writeMatchingSummary();

} // namespace zeph
