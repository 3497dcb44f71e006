#include "sim/user_aircraft.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "airports/park_airport_list.h"
#include "airports/park_airport_record.h"
#include "airports/stands.h"
#include "core/errors.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_flags.h"
#include "model/records.h"
#include "sim/sim_ids.h"
#include "sim/sim_link.h"
#include "sim/simconnect/messages.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"

namespace zeph {

namespace {

using namespace simid;
using namespace std::chrono_literals;

constexpr std::uint32_t kUserObject = 0;
constexpr std::size_t kTitleBytes = 48;
constexpr std::size_t kModelWidth = 32;
constexpr std::size_t kOnGroundBlock = 8;
// A jump farther than this between two user records is a new flight.
constexpr double kTeleportNm = 10.0;
// The user aircraft counts as parked at most this fast.
constexpr double kParkedKnots = 2.0;
constexpr std::int64_t kSecondsPerDay = 86400;

static_assert(std::endian::native == std::endian::little, "the user record is copied as the wire has it");

bool userAircraftKnown() {
    const std::lock_guard lock(userDataMutex);
    return userOnGroundKnown != 0 && isKnownPosition(userAcPosition);
}

// One request on the user object through the call port, under simConnectMutex; a failure is logged and
// ends the run, outside the lock.
void requestOnUser(std::uint32_t requestId, std::uint32_t defineId, std::uint32_t period,
                   const char* failure) {
    std::int32_t result = 0;
    {
        const std::lock_guard lock(simConnectMutex);
        result = gf_simCalls().requestDataOnSimObject(requestId, defineId, kUserObject, period);
    }
    if (result < 0) {
        gf_logLine(failure);
        lf_simRequestError();
    }
}

void logTooShort(const ScObjectData& reply) {
    gf_logText(
        fmt::format("! SimConnect data too short, request {}, object {}", reply.requestId, reply.objectId));
}

// The text of a reply field: up to its first NUL, never beyond width or the reply's end.
std::string textField(const ScObjectData& reply, std::size_t width) {
    return fieldText(reply.data.data(), std::min(width, reply.data.size()));
}

bool allFinite(const UserAcPosition& r) {
    const std::array<double, 8> numbers{r.latitude, r.longitude,           r.pitch,         r.bank, r.heading,
                                        r.altitude, r.altitudeAboveGround, r.groundVelocity};
    return std::all_of(numbers.begin(), numbers.end(), [](double x) { return std::isfinite(x); });
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

void showStand(const std::string& stand) {
    std::string previous;
    {
        const std::lock_guard lock(userDataMutex);
        previous = std::exchange(userAcStand, stand);
    }
    if (stand != previous && (!stand.empty() || !previous.empty())) {
        mainWindowState.setUserStandText(stand);
    }
}

void setSpanKnown(bool known) {
    mainWindowState.userModelKnown.store(known);
    invalidateTopPanel();
}

void storeSpan(double span) {
    const std::lock_guard lock(userDataMutex);
    userHalfWingSpan = span;
}

// The model an Aerosoft Airbus is known by, taken from its title.
std::optional<std::string> modelOfTitle() {
    std::string title;
    {
        const std::lock_guard lock(userDataMutex);
        title = userAcTitle;
    }
    for (const char* model : {"A319", "A320", "A321"}) {
        if (title.rfind(std::string("Aerosoft ") + model, 0) == 0) {
            return std::string(model);
        }
    }
    return std::nullopt;
}

void handleModel(std::string model) {
    if (model.empty()) {
        throw UserErrorException(71,
                                 "atc_model= in [General] section of your aircraft.cfg is empty or missing");
    }
    lf_logContinuation(fmt::format("model raw: {}", model));
    std::string report = "SimConnect: User aircraft model: " + model;
    if (model.find("camerapod") != std::string::npos || model.find("Crew Vessel") != std::string::npos) {
        // No aircraft with a type: a vehicle of middling size.
        storeSpan(gf_wingspanOfType("E190"));
        userAcKind.store(0);
        setSpanKnown(true);
        lf_logContinuation(report);
        return;
    }
    double span = model.size() < 5 ? gf_wingspanOfType(model) : maxHalfSpan;
    bool found = span != maxHalfSpan;
    if (!found) {
        if (const auto deduced = modelOfTitle()) {
            model = *deduced;
            report = "SimConnect: User aircraft model deduced from title: " + model;
            span = gf_wingspanOfType(model);
            found = span != 0.0;
            if (!found) {
                span = maxHalfSpan;
            }
        }
    }
    storeSpan(span);
    setSpanKnown(found);
    if (found) {
        report += fmt::format(", half wing span: {:.1f} meter", span * kMetresPerNm);
    } else {
        gf_setStatus("User aircraft wing span unknown, max is taken instead, please report in my Forum!",
                     true);
    }
    const auto kind = static_cast<std::uint32_t>(gf_categoryOfType(model));
    userAcKind.store(kind);
    report += fmt::format(", category: {}", gf_categoryName(kind));
    lf_logContinuation(report);
}

} // namespace

std::string userTitleOf(std::string_view title) {
    if (title.size() <= kTitleBytes) {
        return std::string(title);
    }
    std::size_t cut = kTitleBytes;
    // A continuation byte at the cut means the sequence before it would be split: it goes whole.
    while (cut > 0 && (static_cast<unsigned char>(title[cut]) & 0xC0U) == 0x80U) {
        --cut;
    }
    return std::string(title.substr(0, cut));
}

std::int64_t daysSince1970(std::int64_t zuluYear, std::int64_t dayOfYear) {
    const std::int64_t y = (zuluYear & 0xFFFF) - 1;
    return dayOfYear + 365 * y + floorDiv(y, 4) - floorDiv(y, 100) + floorDiv(y, 400) - 719163;
}

UserAcPosition gf_getUserAcPosition() {
    std::int32_t result = 0;
    UserAcPosition copy;
    {
        const std::lock_guard lock(simConnectMutex);
        if (!simConnectError.load()) {
            result = gf_simCalls().requestDataOnSimObject(kRequestUserPosition, kDefineUserPosition,
                                                          kUserObject, kPeriodOnce);
        }
        const std::lock_guard userLock(userDataMutex);
        copy = simUserData;
    }
    if (result < 0) {
        gf_logLine("SimConnect request user ac position fails");
        lf_simRequestError();
    }
    return copy;
}

void gf_requestUserAcTitleModel() {
    requestOnUser(kRequestUserTitle, kDefineUserTitle, kPeriodOnce, "SimConnect request user ac title fails");
    requestOnUser(kRequestUserModel, kDefineUserModel, kPeriodOnce, "SimConnect reques user ac model fails");
}

bool lf_waitForUserAircraft() {
    while (!simConnected.load() || simConnectError.load()) {
        if (runIsStopping()) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    if (runIsStopping()) {
        return false;
    }
    requestOnUser(kRequestUserOnGround, kDefineUserOnGround, kPeriodSecond,
                  "SimConnect request ac gnd/air fails");
    while (!userAircraftKnown()) {
        const UserAcPosition position = gf_getUserAcPosition();
        const auto copiedAt = std::chrono::steady_clock::now();
        {
            const std::lock_guard lock(userDataMutex);
            userAcPosition = position;
        }
        if (runIsStopping()) {
            return false;
        }
        std::this_thread::sleep_until(copiedAt + 500ms);
    }
    gf_requestUserAcTitleModel();
    return true;
}

void lf_onUserOnGround(const ScObjectData& reply) {
    if (reply.data.size() < kOnGroundBlock) {
        logTooShort(reply);
        return;
    }
    std::int64_t value = 0;
    std::memcpy(&value, reply.data.data(), sizeof value);
    {
        const std::lock_guard lock(userDataMutex);
        if (isKnownPosition(simUserData)) {
            userOnGround = value != 0 ? 1 : 0;
            userOnGroundKnown = 1;
        }
    }
    oneSecondPending.store(true);
}

void lf_onUserPosition(const ScObjectData& reply) {
    UserAcPosition record;
    if (reply.data.size() < sizeof record) {
        logTooShort(reply);
        return;
    }
    std::memcpy(&record, reply.data.data(), sizeof record);
    if (!allFinite(record)) {
        gf_logText(fmt::format("! SimConnect data not finite, request {}, object {}", reply.requestId,
                               reply.objectId));
        return;
    }
    record.altitude = std::max(record.altitude, 0.0);
    const GeoPoint position{record.latitude, record.longitude};
    GeoPoint previous;
    {
        const std::lock_guard lock(userDataMutex);
        simUserData = record;
        previous = std::exchange(previousUserPosition, position);
    }
    if (!isNearNullIsland(previous) && !isNearNullIsland(position) &&
        gf_greatCircleDistance(previous, position) > kTeleportNm) {
        gf_logText("Teleport");
        gf_setExitReason(ExitReason::NEW_FLIGHT, 30);
    }
    showStand(gf_closestStandId(position));
    // A day or a time of day out of its range is no simulator time; it would also overflow the sum.
    const bool zuluKnown = record.zuluDayOfYear >= 1 && record.zuluDayOfYear <= 366 && record.zuluTime >= 0 &&
                           record.zuluTime <= kSecondsPerDay;
    if (rtProfessional.load() && zuluKnown) {
        simUtcSeconds.store(daysSince1970(record.zuluYear, record.zuluDayOfYear) * kSecondsPerDay +
                            record.zuluTime);
    }
    userAcObjectId.store(reply.objectId);
}

void lf_onUserAcTitle(const ScObjectData& reply) {
    const std::string raw = textField(reply, reply.data.size());
    if (raw.empty()) {
        gf_logText("! Title of your aircraft is empty?");
        return;
    }
    const std::string title = userTitleOf(raw);
    {
        const std::lock_guard lock(userDataMutex);
        if (title == userAcTitle) {
            return;
        }
        userAcTitle = title;
    }
    mainWindowState.setUserAcTitle(title);
    lf_logContinuation("SimConnect: User aircraft title: " + title);
}

void lf_onUserAcModel(const ScObjectData& reply) {
    try {
        handleModel(textField(reply, kModelWidth));
    } catch (const UserErrorException&) {
        throw;
    } catch (const std::exception&) {
        throw UserErrorException(73, "It looks like you have not selected an aircraft as user vehicle");
    }
}

void lf_checkUserAirport() {
    GeoPoint position;
    {
        const std::lock_guard lock(userDataMutex);
        if (userOnGroundKnown == 0 || userAcPosition.groundVelocity > kParkedKnots) {
            return;
        }
        position = GeoPoint{simUserData.latitude, simUserData.longitude};
    }
    const std::string stand = gf_closestStandId(position);
    if (stand.empty()) {
        return;
    }
    const std::lock_guard lock(parkAirportListMutex);
    if (parkAirportList.empty() || parkAirportList.front().code != parkAirportSnapshot().code ||
        parkAirportList.front().reservedStand == stand) {
        return;
    }
    parkAirportList.front().reservedStand = stand;
    gf_writeMyParkAirports();
}

} // namespace zeph
