#include "aircraft/matching_tables.h"

#include "state/seam_trace.h"

namespace zeph {

std::unordered_map<std::string, TypeLiveryTitles, Fnv1aHash, std::equal_to<>> airlineLiveryTable;

std::string_view lf_findInstalledTitle(const std::string& title) {
    for (const auto& [airline, types] : airlineLiveryTable) {
        for (const auto& [type, titles] : types) {
            for (const LiveryTitle& installed : titles) {
                if (installed.title == title) {
                    return installed.title;
                }
            }
        }
    }
    return {};
}

// Minimal stand-ins until the livery matching lands.
void gf_processScannedLiveries() { noteSeamCall("gf_processScannedLiveries"); }

void gf_reserveMatchingTables() { noteSeamCall("gf_reserveMatchingTables"); }

void gf_resetLiveryTables() { noteSeamCall("gf_resetLiveryTables"); }

} // namespace zeph
