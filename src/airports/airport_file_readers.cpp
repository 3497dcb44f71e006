#include <cmath>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include <fmt/format.h>

#include "aircraft/regcodes.h"
#include "airports/airport_file_format.h"
#include "core/errors.h"
#include "core/fnv1a.h"
#include "core/log.h"
#include "core/strings.h"

namespace zeph {

namespace {

// The room standList has; the id set is made for as many.
constexpr std::size_t kStandRoom = 512;
constexpr unsigned kFirstDay = 1;
constexpr unsigned kLastDay = 7;
constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;

bool isWeekday(long long day) { return day >= kFirstDay && day <= kLastDay; }

// Files are outside input: a NaN or impossible stand would end up as a static aircraft's position.
bool validGeometry(double latitude, double longitude, double heading, double radius) {
    return std::isfinite(latitude) && std::isfinite(longitude) && std::isfinite(heading) &&
           std::isfinite(radius) && std::fabs(latitude) <= kMaxLatitude &&
           std::fabs(longitude) <= kMaxLongitude;
}

void logInvalidCoordinates(const std::string& id) {
    gf_logLine(fmt::format("Parking position '{}' has invalid coordinates, skipped", id));
}

std::vector<StandUse> readParkFileUses(pugi::xml_node parkpos, std::uint32_t fromParkFile) {
    std::vector<StandUse> uses;
    const auto opts = parkpos.children("opt");
    uses.reserve(static_cast<std::size_t>(std::distance(opts.begin(), opts.end())));
    std::uint32_t nextId = 1;
    for (const pugi::xml_node& opt : opts) {
        OptNames names = lf_readAirlineTypeLists(opt);
        const std::string hours = opt.attribute("hh").as_string();
        const unsigned day = opt.attribute("day").as_uint(0);
        if (hours.empty() || !isWeekday(day)) {
            continue;
        }
        uses.push_back(
            StandUse{std::move(names.airline), std::move(names.type), opt.attribute("reg").as_string(),
                     std::move(names.callsign), std::move(names.callsign2), gf_hours2bitset(hours), nextId++,
                     day, fromParkFile, static_cast<std::uint32_t>(opt.attribute("soft").as_bool() ? 0 : 1),
                     static_cast<std::uint8_t>(opt.attribute("cpl").as_bool() ? 1 : 0)});
    }
    uses.shrink_to_fit();
    return uses;
}

void readLearnedChanges(const LearnedStandContext& context, ParkPos& stand) {
    const pugi::xml_node parkpos = context.parkpos;
    if (parkpos.attribute("radius_change").as_bool()) {
        const double metres = parkpos.attribute("radius").as_double(0.0);
        if (isValidStandRadius(metres)) {
            stand.radius = metres * kNmPerMetre;
            stand.radiusChanged = true;
        } else {
            logInvalidCoordinates(context.id); // the stand keeps the radius it had
        }
    }
    if (parkpos.attribute("cargo_change").as_bool()) {
        stand.cargo = parkpos.attribute("cargo").as_bool();
        stand.cargoChanged = true;
    }
}

} // namespace

void lf_readParkPositions(const pugi::xml_document& doc) {
    const pugi::xml_node root = doc.child("root");
    const pugi::xml_node parkpositions = (root ? root : doc).child("parkpositions");
    if (!parkpositions) {
        return;
    }
    std::unordered_set<std::string> seen;
    seen.reserve(kStandRoom);
    int number = 0;
    for (const pugi::xml_node& parkpos : parkpositions.children("parkpos")) {
        ++number;
        const pugi::xml_attribute idAttribute = parkpos.attribute("id");
        if (!idAttribute) {
            throw UserErrorException(
                93, fmt::format("Parking position #{} has no '{}' attribute.", number, "id"));
        }
        std::string id = gf_trim(idAttribute.as_string());
        if (id.empty()) {
            throw UserErrorException(
                93, fmt::format("Parking position #{} has empty '{}' attribute.", number, "id"));
        }
        if (!seen.insert(id).second) {
            throw UserErrorException(94, fmt::format("Parking position '{}' appears more than once.", id));
        }
        lf_readParkPos(parkpos, std::move(id), 1);
    }
}

void lf_readParkPos(pugi::xml_node parkpos, std::string id, std::uint32_t fromParkFile) {
    const double latitude = parkpos.attribute("latitude").as_double(0.0);
    const double longitude = parkpos.attribute("longitude").as_double(0.0);
    if (latitude == 0.0 && longitude == 0.0) {
        return;
    }
    const double radius = parkpos.attribute("radius").as_double(0.0);
    const double heading = parkpos.attribute("heading").as_double(0.0);
    if (!validGeometry(latitude, longitude, heading, radius)) {
        logInvalidCoordinates(id);
        return;
    }
    gf_appendStand(ParkPos(std::move(id), readParkFileUses(parkpos, fromParkFile),
                           GeoPoint{latitude, longitude}, heading * kDegToRad, radius,
                           parkpos.attribute("cargo").as_bool(), parkpos.attribute("ramp").as_bool(),
                           parkpos.attribute("heli").as_bool()));
}

OptNames lf_readAirlineTypeLists(pugi::xml_node opt) {
    OptNames names;
    try {
        const std::string callsigns = opt.attribute("cs").as_string();
        const std::size_t colon = callsigns.find(':');
        names.callsign = callsigns.substr(0, colon);
        if (colon != std::string::npos) {
            names.callsign2 = callsigns.substr(colon + 1);
        }
        const std::string registration = opt.attribute("reg").as_string();
        if (const auto known = registration.empty() ? std::nullopt : gf_lookupRegcode(registration)) {
            names.airline = known->opr.empty() ? known->airl : known->opr;
            names.type = known->type;
            return names;
        }
        names.airline = opt.attribute("airl").as_string();
        names.type = opt.attribute("type").as_string();
    } catch (...) {
        // A failed allocation leaves the names not yet read empty; the opt is still read.
    }
    return names;
}

namespace {

// The half hours of a stand's uses, joined by the fields in which lf_sameStandUse wants two uses equal.
using SlotsByUseKey = std::unordered_map<std::string, HalfHourSet, Fnv1aHash, std::equal_to<>>;

// Day, real flag, registration, airline and type; each text after the lengths of those before it, so two
// uses that differ in any of them never share a key.
std::string useKey(const StandUse& use) {
    std::string key = fmt::format("{} {} {} {} ", use.day, use.real, use.reg.size(), use.airline.size());
    key += use.reg;
    key += use.airline;
    key += use.type;
    return key;
}

SlotsByUseKey slotsByUseKey(const std::vector<StandUse>& uses) {
    SlotsByUseKey slots;
    slots.reserve(uses.size());
    for (const StandUse& use : uses) {
        slots[useKey(use)] |= use.slots;
    }
    return slots;
}

} // namespace

bool lf_readLearnedStand(const LearnedStandContext& context, ParkPos& stand) {
    if (stand.id != context.id) {
        return false;
    }
    readLearnedChanges(context, stand);
    if (context.dropUses != nullptr && *context.dropUses) {
        return true;
    }
    std::uint32_t nextId = stand.uses.empty() ? 1 : stand.uses.back().id + 1;
    // A use repeats one held when it overlaps a held use of its key, that is, when it overlaps their joined
    // half hours: one look-up instead of a pass over every use held, as a stand may hold 200,000.
    SlotsByUseKey held = slotsByUseKey(stand.uses);
    for (const pugi::xml_node& opt : context.parkpos.children("opt")) {
        OptNames names = lf_readAirlineTypeLists(opt);
        const HalfHourSet slots = gf_hours2bitset(opt.attribute("hh").as_string());
        if (slots.none()) {
            gf_logLine("empty bit set");
            continue;
        }
        const long long day = opt.attribute("day").as_llong(0);
        // Static parking indexes by weekday.
        if (!isWeekday(day)) {
            gf_logLine(fmt::format("learned opt of stand {} has bad day {}, skipped", context.id, day));
            continue;
        }
        StandUse use{std::move(names.airline),
                     std::move(names.type),
                     opt.attribute("reg").as_string(),
                     std::move(names.callsign),
                     std::move(names.callsign2),
                     slots,
                     nextId,
                     static_cast<std::uint32_t>(day),
                     0,
                     static_cast<std::uint32_t>(opt.attribute("soft").as_bool() ? 0 : 1),
                     static_cast<std::uint8_t>(opt.attribute("cpl").as_bool() ? 1 : 0)};
        HalfHourSet& heldSlots = held[useKey(use)];
        if ((heldSlots & use.slots).none()) {
            heldSlots |= use.slots;
            stand.uses.push_back(std::move(use));
            ++nextId;
        }
    }
    return true;
}

bool isValidStandRadius(double radius) { return std::isfinite(radius) && radius > 0.0; }

bool lf_sameStandUse(const StandUse& a, const StandUse& b) {
    return a.day == b.day && a.real == b.real && a.reg == b.reg && a.airline == b.airline &&
           a.type == b.type && (a.slots & b.slots).any();
}

} // namespace zeph
