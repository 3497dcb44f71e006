#include "aircraft/similar_types.h"

#include <set>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/matching_tables.h"
#include "core/log.h"
#include "model/records.h"
#include "settings/random_choice.h"

namespace zeph {

TypeLists similarScannedTypes;
std::unordered_map<std::string, TypeLists, Fnv1aHash, std::equal_to<>> airlineSimilarTypes;
std::vector<std::string> fallbackTypeList;
std::vector<std::string> emptyTypeList;

namespace {

bool hasLiveries(const std::string& type) {
    return modelTitles[0].contains(type) || modelTitles[1].contains(type);
}

// "M,X,Y": a member of a group and the other members with liveries, in group order.
std::set<std::string> similarityTexts() {
    std::set<std::string> texts;
    for (const std::vector<std::string>& group : similarTypeGroups) {
        for (std::size_t m = 0; m < group.size(); ++m) {
            std::string text = group[m];
            for (std::size_t x = 0; x < group.size(); ++x) {
                if (x != m && hasLiveries(group[x])) {
                    text += ',' + group[x];
                }
            }
            if (text.find(',') != std::string::npos) {
                texts.insert(std::move(text));
            }
        }
    }
    return texts;
}

std::vector<std::string> splitAtCommas(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t comma = text.find(','); comma != std::string::npos; comma = text.find(',', start)) {
        pieces.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

TypeLists airlineStandIns(const std::string& airline) {
    TypeLists standIns;
    // Types the airline has liveries of get their stand-ins too: the similar-type step runs after the
    // airline's own type found nothing, which for an owned type means the simulator refused its titles.
    for (const auto& [type, similar] : similarScannedTypes) {
        std::vector<std::string> owned;
        for (const std::string& other : similar) {
            if (gf_hasAirlineTypeLivery(airline, other)) {
                owned.push_back(other);
            }
        }
        if (!owned.empty()) {
            standIns.emplace(type, std::move(owned));
        }
    }
    return standIns;
}

} // namespace

void lf_buildSimilarModels() {
    for (const std::string& text : similarityTexts()) {
        std::vector<std::string> pieces = splitAtCommas(text);
        std::string type = std::move(pieces.front());
        pieces.erase(pieces.begin());
        similarScannedTypes.try_emplace(std::move(type), std::move(pieces));
    }
    for (const std::string& airline : gf_scannedAirlineCodes()) {
        TypeLists standIns = airlineStandIns(airline);
        if (!standIns.empty()) {
            airlineSimilarTypes.try_emplace(airline, std::move(standIns));
        }
    }
    gf_logText(fmt::format("{} similar model definitions", similarScannedTypes.size()));
}

void lf_emptySimilarTypes() {
    similarScannedTypes.clear();
    airlineSimilarTypes.clear();
    fallbackTypeList.clear();
}

const std::vector<std::string>& lf_fallbackTypesOf(const std::string& type) {
    if (const auto found = similarScannedTypes.find(type); found != similarScannedTypes.end()) {
        gf_shuffleList(found->second);
        return found->second;
    }
    std::string pick;
    switch (static_cast<AcKind>(gf_categoryOfType(type))) {
    case AcKind::Light:
        pick = lf_randomLightType();
        break;
    case AcKind::Buzjets:
        pick = lf_randomBuzjetType();
        break;
    case AcKind::Rotorcraft:
        pick = lf_randomRotorcraftType();
        break;
    default:
        break;
    }
    if (pick.empty()) {
        return emptyTypeList;
    }
    fallbackTypeList.assign(1, std::move(pick));
    return fallbackTypeList;
}

const std::vector<std::string>&
lf_similarTypeList(const std::pair<std::string, std::string>& airlineAndType) {
    const auto airline = airlineSimilarTypes.find(airlineAndType.first);
    if (airline == airlineSimilarTypes.end()) {
        return emptyTypeList;
    }
    const auto type = airline->second.find(airlineAndType.second);
    if (type == airline->second.end()) {
        return emptyTypeList;
    }
    gf_shuffleList(type->second);
    return type->second;
}

} // namespace zeph
