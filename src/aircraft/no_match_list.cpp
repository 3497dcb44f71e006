#include "aircraft/no_match_list.h"

#include <algorithm>
#include <ostream>

#include "aircraft/livery_matcher.h"
#include "core/log.h"
#include "core/strings.h"

namespace zeph {

TextSet noMatchList;

namespace {

constexpr std::int64_t kBannerWidth = 64;
constexpr std::int64_t kBannerTitleRoom = 36;

} // namespace

void gf_clearNoMatchList() { noMatchList.clear(); }

void gf_printNoMatchList() {
    if (noMatchList.empty()) {
        return;
    }
    LogBlock block;
    if (!block.isOpen()) {
        return;
    }
    std::ostream& log = block.stream();
    log << "\nNo match found for:\n";
    for (const std::string& entry : noMatchList) {
        log << entry << '\n';
    }
    log << '\n';
}

void gf_writeMatchingSummary() {
    if (std::ranges::all_of(matchStepCounts, [](std::uint32_t count) { return count == 0; })) {
        return;
    }
    LogBlock block;
    if (!block.isOpen()) {
        return;
    }
    std::ostream& log = block.stream();
    log << gf_starBanner(kBannerWidth, 0, true, false, "live traffic livery matching summary") << '\n';
    log << "Matches at step: \n";
    for (std::size_t step = 0; step < matchStepCounts.size(); ++step) {
        log << "  " << step << ": " << matchStepCounts[step] << '\n';
    }
    if (!failedTypeAirlines.empty()) {
        log << "\nCould not be created by P3D:\n";
        for (const std::string& text : failedTypeAirlines) {
            log << "  " << text << '\n';
        }
    }
    log << gf_starBanner(kBannerWidth, kBannerTitleRoom, false, true, "") << '\n';
}

} // namespace zeph
