#include "aircraft/livery_matcher.h"

#include <algorithm>
#include <optional>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/livery_memory.h"
#include "aircraft/matching_tables.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/regcodes.h"
#include "aircraft/similar_types.h"
#include "core/log.h"
#include "core/random.h"
#include "model/flight_texts.h"
#include "model/park_pos.h"
#include "model/records.h"
#include "settings/parameter_table.h"
#include "settings/random_choice.h"

namespace zeph {

std::array<std::uint32_t, 7> matchStepCounts{};

namespace {

constexpr int kPickTries = 5;

bool isSpecialTitle(std::string_view title) { return specialTitleIndex.contains(title); }

// marker: the step's digit, or 's' for a title the record already had.
void logMatch(const AcProfile& ac, char marker) {
    gf_logText(fmt::format("          {} ={}= {}", gf_acLogPrefix(ac), marker, ac.livery));
}

char stepMark(std::int64_t step) { return static_cast<char>('0' + step); }

bool isCategoryKind(AcKind kind) {
    return kind == AcKind::Light || kind == AcKind::Buzjets || kind == AcKind::Rotorcraft;
}

// The airline the aircraft database gives the registration, when it names an operator; one look-up.
std::optional<std::string> registrationAirline(const AcProfile& ac) {
    std::optional<RegcodeInfo> info = gf_lookupRegcode(ac.registration);
    if (!info || info->opr.empty()) {
        return std::nullopt;
    }
    return std::move(info->airl);
}

AirlineTypeKey genericKey(const AcProfile& ac) { return {std::string(kGenericAirline), ac.type}; }

void matchGenericTo(AcProfile& ac, std::int64_t& step, std::int32_t depth) {
    if (ac.livery.empty() && depth == 4 && lf_matchOwnAirlineType(ac, genericKey(ac))) {
        step = 4;
        return;
    }
    if (!ac.livery.empty() || !isCategoryKind(ac.kind)) {
        return;
    }
    if (depth >= 3 && ac.airline != kPrivateAirline && lf_matchOwnAirlineType(ac, genericKey(ac))) {
        step = 4;
        return;
    }
    if (lf_matchModel(ac, ac.type)) {
        step = 5;
        return;
    }
    for (const std::string& type : lf_fallbackTypesOf(ac.type)) {
        if (lf_matchModel(ac, type)) {
            step = 6;
            return;
        }
    }
}

// The static matcher's test of a try: a livery the simulator refused is dropped and the ladder goes on.
bool keepStatic(AcProfile& ac, std::int64_t step) {
    if (ac.livery.empty()) {
        return false;
    }
    if (failedLiveries.contains(ac.livery)) {
        ac.livery = {};
        return false;
    }
    logMatch(ac, stepMark(step));
    return true;
}

// Every similar type of the aircraft's own airline and type, looked up under airline, cargo first.
bool matchStaticSimilar(AcProfile& ac, const std::string& airline) {
    for (const std::string& type : lf_similarTypeList({ac.airline, ac.type})) {
        if (lf_matchOwnAirlineType(ac, {airline, type}) && keepStatic(ac, 3)) {
            return true;
        }
    }
    return false;
}

bool matchStaticLadder(AcProfile& ac, std::int32_t depth) {
    if (lf_matchSpecial(ac) && keepStatic(ac, uniqueRegcodes.contains(ac.registration) ? 0 : 1)) {
        return true;
    }
    if (depth < 2) {
        return false;
    }
    if (ac.airline == kPrivateAirline && lf_matchOwnAirlineType(ac, genericKey(ac)) && keepStatic(ac, 4)) {
        return true;
    }
    const std::optional<std::string> regAirline = registrationAirline(ac);
    if (lf_matchOwnAirlineType(ac, {ac.airline, ac.type}) && keepStatic(ac, 2)) {
        return true;
    }
    if (regAirline && lf_matchOwnAirlineType(ac, {*regAirline, ac.type}) && keepStatic(ac, 2)) {
        return true;
    }
    if (depth < 3) {
        return false;
    }
    if (matchStaticSimilar(ac, ac.airline) || (regAirline && matchStaticSimilar(ac, *regAirline))) {
        return true;
    }
    std::int64_t step = 0;
    matchGenericTo(ac, step, depth);
    return keepStatic(ac, step);
}

} // namespace

void lf_pickNonSpecialLivery(AcProfile& ac, const std::vector<std::string_view>& candidates) {
    if (candidates.empty()) {
        return;
    }
    const bool random = RANDOM.get() && candidates.size() > 1;
    for (int attempt = 0; attempt < kPickTries; ++attempt) {
        ac.livery = candidates[random ? randomEngine()() % candidates.size() : 0];
        if (!isSpecialTitle(ac.livery)) {
            return;
        }
    }
    std::vector<std::string_view> ordinary;
    std::ranges::copy_if(candidates, std::back_inserter(ordinary),
                         [](std::string_view title) { return !isSpecialTitle(title); });
    if (!ordinary.empty()) {
        ac.livery = ordinary[gf_randomIndex(static_cast<std::int64_t>(ordinary.size()))];
    }
}

bool lf_matchAirlineType(AcProfile& ac, const AirlineTypeKey& key, int table) {
    const AirlineTypeTitleViews& titles = airlineTypeTitles.at(static_cast<std::size_t>(table));
    if (const auto airline = titles.find(key.first); airline != titles.end()) {
        if (const auto type = airline->second.find(key.second); type != airline->second.end()) {
            lf_pickNonSpecialLivery(ac, type->second);
        }
    }
    return !ac.livery.empty();
}

bool lf_matchOwnAirlineType(AcProfile& ac, const AirlineTypeKey& key) {
    if (ac.cargo != 0 && lf_matchAirlineType(ac, key, 1)) {
        return true;
    }
    return lf_matchAirlineType(ac, key, 0);
}

bool lf_matchModel(AcProfile& ac, const std::string& type) {
    const TypeTitleViews& titles = modelTitles[ac.cargo != 0 ? 1 : 0];
    if (const auto found = titles.find(type); found != titles.end()) {
        lf_pickNonSpecialLivery(ac, found->second);
    }
    return !ac.livery.empty();
}

bool lf_matchSpecial(AcProfile& ac) {
    if (ac.registration.empty()) {
        return false;
    }
    const auto found = regcodeTitleTable.find(ac.registration);
    ac.livery = found == regcodeTitleTable.end() ? std::string_view{} : found->second;
    return !ac.livery.empty();
}

bool lf_matchSimilarTypes(AcProfile& ac, AirlineTypeKey key) {
    for (const std::string& type : lf_similarTypeList(key)) {
        if (gf_categoryOfType(type) != static_cast<int>(ac.kind)) {
            continue;
        }
        key.second = type;
        if ((ac.cargo != 0 && lf_matchAirlineType(ac, key, 1)) || lf_matchAirlineType(ac, key, 0)) {
            return true;
        }
    }
    return false;
}

void lf_matchGeneric(AcProfile& ac, std::int64_t& step) { matchGenericTo(ac, step, MATCHING_DEPTH.get()); }

bool lf_acceptMatch(AcProfile& ac, std::size_t step) {
    if (failedLiveries.contains(ac.livery)) {
        ac.livery = {};
        return false;
    }
    ++matchStepCounts.at(step);
    logMatch(ac, stepMark(step));
    ac.reversedThrottleLivery = ac.livery.find(kReversedThrottleMark) != std::string_view::npos ? 1 : 0;
    return true;
}

void gf_matchLiveryLive(AcProfile& ac) {
    ac.livery = {};
    const std::int32_t depth = MATCHING_DEPTH.get();
    if (lf_matchSpecial(ac) && lf_acceptMatch(ac, uniqueRegcodes.contains(ac.registration) ? 0 : 1)) {
        return;
    }
    if (depth < 2) {
        return;
    }
    if (ac.airline == kPrivateAirline && lf_matchOwnAirlineType(ac, genericKey(ac)) &&
        lf_acceptMatch(ac, 4)) {
        return;
    }
    const std::optional<std::string> regAirline = ac.airline.empty() ? std::nullopt : registrationAirline(ac);
    if (!ac.airline.empty()) {
        if (lf_matchOwnAirlineType(ac, {ac.airline, ac.type}) && lf_acceptMatch(ac, 2)) {
            return;
        }
        if (regAirline && lf_matchOwnAirlineType(ac, {*regAirline, ac.type}) && lf_acceptMatch(ac, 2)) {
            return;
        }
    }
    if (depth < 3) {
        return;
    }
    if (!ac.airline.empty()) {
        if (lf_matchSimilarTypes(ac, {ac.airline, ac.type}) && lf_acceptMatch(ac, 3)) {
            return;
        }
        if (regAirline && lf_matchSimilarTypes(ac, {*regAirline, ac.type}) && lf_acceptMatch(ac, 3)) {
            return;
        }
    }
    std::int64_t step = 0;
    matchGenericTo(ac, step, depth);
    if (!ac.livery.empty()) {
        lf_acceptMatch(ac, static_cast<std::size_t>(step));
    }
}

bool gf_matchLivery(AcProfile& ac, const ParkPos& stand) {
    if (!ac.livery.empty()) {
        logMatch(ac, 's');
        return true;
    }
    ac.cargo = stand.cargo ? 1 : 0;
    if (matchStaticLadder(ac, MATCHING_DEPTH.get())) {
        return true;
    }
    ac.livery = {};
    gf_logText(fmt::format("{:8}: {} no livery match ...", stand.id, gf_acShortText(ac)));
    return false;
}

} // namespace zeph
