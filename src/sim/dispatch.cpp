#include "sim/dispatch.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "core/errors.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/sim_ids.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"
#include "sim/simconnect/wire.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "state/window_port.h"

namespace zeph {

namespace {

using namespace simid;

// The frame rate is taken from every 30th frame.
constexpr std::int32_t kFramesPerRateSample = 30;
// Aircraft higher than this above the ground are not reported as traffic in range.
constexpr double kMaxTrafficAgl = 2500.0;

// The block of an aircraft-in-range reply: AGL f64, ground altitude f64, on ground i64, ATC ID of 32.
constexpr std::size_t kAcInRangeBlock = 56;
constexpr std::size_t kAtcIdOffset = 24;
constexpr std::size_t kAtcIdWidth = 32;
// The block of a static-CG reply: two f64.
constexpr std::size_t kStaticCgBlock = 16;

std::uint64_t loadU64(const std::uint8_t* at) {
    return static_cast<std::uint64_t>(loadU32(at)) | static_cast<std::uint64_t>(loadU32(at + 4)) << 32;
}
double loadF64(const std::uint8_t* at) { return std::bit_cast<double>(loadU64(at)); }
std::int64_t loadI64(const std::uint8_t* at) { return std::bit_cast<std::int64_t>(loadU64(at)); }

bool holds(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

void logTooShort(MessageBytes message) {
    const auto header = readHeader(message);
    gf_logText(fmt::format("! SimConnect message dwID {} too short: {} bytes", header ? header->id : 0,
                           message.size()));
}

void pushSimResult(const SimResult& result) {
    const std::lock_guard lock(simResultMutex);
    simResultQueue.push_back(result);
}

// The run ends as NEW FLIGHT; the first recorded reason stays.
void endRunAsNewFlight() { gf_setExitReason(ExitReason::NEW_FLIGHT, 30); }

// Only ASCII letters, digits and white space are kept: the simulator's name carries trademark signs and
// other bytes that neither the panel nor the checks want.
std::string cleanSimulatorName(std::string_view name) {
    std::string clean;
    for (char c : name) {
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        const bool blank = c == ' ' || (c >= '\t' && c <= '\r');
        if (letterOrDigit || blank) {
            clean += c;
        }
    }
    return clean;
}

bool versionAccepted(std::string_view simText) {
    const std::string installPath = SIM_INSTALL_PATH.get();
    const std::uint32_t major = simMajorVersion.load();
    if (holds(simText, "v5") && (holds(installPath, "v5") || holds(installPath, "V5") || major == 5)) {
        return true;
    }
    return holds(simText, "v6") && (holds(installPath, "v6") || holds(installPath, "V6") || major == 6);
}

// The hexid of the pending creation that matches, which leaves the list; the others keep their send order.
template <class Match> std::optional<std::uint32_t> takePendingCreation(Match match) {
    const auto found = std::find_if(pendingCreations.begin(), pendingCreations.end(), match);
    if (found == pendingCreations.end()) {
        return std::nullopt;
    }
    const std::uint32_t hexid = found->hexid;
    pendingCreations.erase(found);
    return hexid;
}

// An aircraft object for the next in-range reply to look at, once.
void noteNewObject(std::uint32_t objectId) {
    if (objectId > userAcObjectId.load() &&
        std::find(newObjectIds.begin(), newObjectIds.end(), objectId) == newObjectIds.end()) {
        newObjectIds.push_back(objectId);
    }
}

// The simulator names the object it made for one of the program's creations by the creation's request id.
// The object is looked at with the next in-range reply, also when its ObjectAdded came first and a reply has
// passed it over since.
void onAssignedObjectId(MessageBytes message) {
    const auto assigned = readAssignedObjectId(message);
    if (!assigned) {
        logTooShort(message);
        return;
    }
    const auto creation =
        std::find_if(pendingCreations.begin(), pendingCreations.end(), [&](const PendingCreation& p) {
            return p.requestId == assigned->requestId && p.objectId == 0;
        });
    if (creation != pendingCreations.end()) {
        creation->objectId = assigned->objectId;
        noteNewObject(assigned->objectId);
    }
}

void onEvent(MessageBytes message) {
    const auto event = readEvent(message);
    if (!event) {
        logTooShort(message);
        return;
    }
    switch (event->eventId) {
    case kEventSim: {
        const bool running = event->data == 1;
        simConnected.exchange(running);
        mainWindowState.flightRunning.store(running);
        invalidateTopPanel();
        break;
    }
    case kEventPositionChanged:
        gf_logLine("User ac position changed");
        endRunAsNewFlight();
        break;
    case kEventFlightLoaded:
        gf_logText("SimConnect: flight loaded event");
        lf_checkUserAirport();
        endRunAsNewFlight();
        break;
    default:
        break;
    }
}

void onFrameMessage(MessageBytes message) {
    const auto frame = readFrame(message);
    if (!frame) {
        logTooShort(message);
        return;
    }
    lf_onFrame();
    std::int32_t frames = simFrameCounter.load(std::memory_order_relaxed) + 1;
    if (frames >= kFramesPerRateSample) {
        frames = 0;
        simFrameRate.exchange(frame->frameRate);
    }
    simFrameCounter.store(frames, std::memory_order_relaxed);
}

struct AcInRange {
    std::uint32_t objectId = 0;
    double agl = 0.0;
    double groundAltitude = 0.0;
    std::int64_t onGround = 0;
    std::string atcId;
};

// A new object that the simulator made for one of the program's creations, and that carries the creation's
// callsign as its ATC ID, becomes that aircraft: the simulator's AI lets go of it, its position and attitude
// are frozen (the program moves it), and the traffic engine learns its object id. The ATC ID alone proves
// nothing: two creations may share a callsign, and another program's aircraft may carry it too.
void matchNewObject(const AcInRange& aircraft) {
    std::optional<std::uint32_t> hexid;
    if (!aircraft.atcId.empty()) {
        hexid = takePendingCreation([&](const PendingCreation& p) {
            return p.objectId == aircraft.objectId && p.callsign == aircraft.atcId;
        });
    }
    if (!hexid) {
        gf_logText(fmt::format("just spawned, but not by {}, oid: {}, callsign '{}', altaboveGnd:{:.0f} ft, "
                               "onground:{}, gnd_alt:{:.0f} ft",
                               programId, aircraft.objectId, aircraft.atcId, aircraft.agl, aircraft.onGround,
                               aircraft.groundAltitude));
        return;
    }
    {
        const std::lock_guard lock(simConnectMutex);
        SimConnect_AIReleaseControl(simClientHandle, aircraft.objectId, kRequestReleaseControl);
        for (std::uint32_t freeze : {kEventFreezeLatLon, kEventFreezeAltitude, kEventFreezeAttitude}) {
            clientEventWork.push_back({aircraft.objectId, freeze, 1});
        }
    }
    const bool isStatic = *hexid <= kLastStaticHexid;
    pushSimResult({aircraft.objectId, *hexid, 0, isStatic ? 1U : 0U, 0.0, isStatic ? 0.0 : aircraft.agl});
}

// A new object that carries the callsign of a creation the simulator has not yet answered with its object id
// may be that creation's: the answer can come after the in-range reply. It is neither taken nor called
// another program's until the answer names it, or names another object.
bool awaitsItsCreationsAnswer(const AcInRange& aircraft) {
    const auto pending = [&](auto match) {
        return std::any_of(pendingCreations.begin(), pendingCreations.end(), match);
    };
    return !aircraft.atcId.empty() &&
           !pending([&](const PendingCreation& p) { return p.objectId == aircraft.objectId; }) &&
           pending([&](const PendingCreation& p) { return p.objectId == 0 && p.callsign == aircraft.atcId; });
}

// Traffic that was there before: reported when it is low enough and carries a callsign that is not one of
// the program's static aircraft (those end in '*').
void reportExistingTraffic(const AcInRange& aircraft) {
    if (aircraft.agl > kMaxTrafficAgl || aircraft.atcId.empty() || aircraft.atcId.back() == '*') {
        return;
    }
    pushSimResult({aircraft.objectId, static_cast<std::uint32_t>(aircraft.onGround), 0, 3,
                   aircraft.groundAltitude, aircraft.agl});
}

} // namespace

void lf_onOpen(MessageBytes message) {
    const auto open = readOpen(message);
    if (!open) {
        logTooShort(message);
        return;
    }
    if (open->applicationName.empty()) {
        gf_logText("! Simulator name empty?");
        return;
    }
    mainWindowState.simConnected.store(true);
    invalidateTopPanel();
    const std::string name = cleanSimulatorName(open->applicationName);
    if (name == "KittyHawk" || name == "SunRise") {
        throw UserErrorException(78, name + ", (MSFS) not being P3D connects ... ?");
    }
    const std::string simText = fmt::format("{} ({}.{}.{}.{})", name, open->appVersionMajor,
                                            open->appVersionMinor, open->buildMajor, open->buildMinor);
    gf_logText(fmt::format("{} connected", simText));
    mainWindowState.setSimText(simText);
    invalidateTopPanel();
    if (versionAccepted(simText)) {
        gf_clearStatus();
        return;
    }
    gf_enableControl(ALL_INSTALL_PATH);
    throw UserErrorException(78, fmt::format("wrong P3D version '{}' connects ... ?)", simText));
}

void lf_onException(MessageBytes message) {
    const auto exception = readException(message);
    if (!exception) {
        logTooShort(message);
        return;
    }
    switch (exception->code) {
    case 3:
        if (isKnownPosition(simUserData) && !runStopping.load() && !userStopped.load()) {
            gf_logLine("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
        }
        break;
    case 5:
        throw UserErrorException(95,
                                 fmt::format("SimConnect Version Mismatch, dwIndex: {}", exception->index));
    case 11:
        gf_setStatus("SimConnect: too many objects (max 1000)", true);
        break;
    case 19:
        gf_logText("SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE");
        break;
    case 22: {
        const std::uint32_t sendId = exception->sendId;
        const auto hexid = takePendingCreation([&](const PendingCreation& p) { return p.sendId == sendId; });
        if (hexid && *hexid != 0) {
            pushSimResult({0, *hexid, 0, 6, 0.0, 0.0});
        }
        break;
    }
    case 23:
        gf_logLine("SimConnect exception: load flight plan failed");
        break;
    case 24:
        gf_logText("SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE");
        break;
    default:
        gf_logLine(fmt::format("SIMCONNECT_EXCEPTION #{}", exception->code));
        break;
    }
}

void lf_onObjectAddRemove(MessageBytes message) {
    const auto change = readAddRemove(message);
    if (!change) {
        logTooShort(message);
        return;
    }
    if (change->objectType != kObjectTypeAircraft) {
        return;
    }
    const std::uint32_t objectId = change->objectId;
    if (change->eventId == kEventObjectAdded) {
        noteNewObject(objectId);
    } else if (change->eventId == kEventObjectRemoved) {
        // An object gone before its in-range reply is over, and the simulator may hand its id out again. Its
        // creation will never be matched: the engine learns so and lets the aircraft be created again.
        std::erase(newObjectIds, objectId);
        while (const auto hexid = takePendingCreation(
                   [&](const PendingCreation& p) { return p.objectId != 0 && p.objectId == objectId; })) {
            pushSimResult({objectId, *hexid, 0, kResultCreationLost, 0.0, 0.0});
        }
        pushSimResult({objectId, 0, 0, 2, 0.0, 0.0});
    }
}

void lf_onSimObjectData(MessageBytes message) {
    const auto reply = readObjectData(message);
    if (!reply) {
        logTooShort(message);
        return;
    }
    switch (reply->requestId) {
    case kRequestStaticCg:
        if (reply->data.size() < kStaticCgBlock) {
            logTooShort(message);
            return;
        }
        pushSimResult(
            {reply->objectId, 0, 0, 4, loadF64(reply->data.data()), loadF64(reply->data.data() + 8)});
        break;
    case kRequestUserTitle:
        lf_onUserAcTitle(*reply);
        break;
    case kRequestUserModel:
        lf_onUserAcModel(*reply);
        break;
    case kRequestUserOnGround:
        lf_onUserOnGround(*reply);
        break;
    case kRequestUserPosition:
        lf_onUserPosition(*reply);
        break;
    default:
        break;
    }
}

void lf_onSimObjectDataByType(MessageBytes message) {
    const auto reply = readObjectData(message);
    if (!reply) {
        logTooShort(message);
        return;
    }
    if (reply->requestId != kRequestAcInRange || reply->objectId <= userAcObjectId.load()) {
        return;
    }
    if (reply->data.size() < kAcInRangeBlock) {
        logTooShort(message);
        return;
    }
    const std::uint8_t* block = reply->data.data();
    AcInRange aircraft{reply->objectId, loadF64(block), loadF64(block + 8), loadI64(block + 16),
                       fieldText(block + kAtcIdOffset, kAtcIdWidth)};
    if (!std::isfinite(aircraft.agl) || !std::isfinite(aircraft.groundAltitude)) {
        gf_logText(fmt::format("! SimConnect data not finite, request {}, object {}", reply->requestId,
                               reply->objectId));
        return;
    }
    const auto added = std::find(newObjectIds.begin(), newObjectIds.end(), aircraft.objectId);
    if (added == newObjectIds.end()) {
        reportExistingTraffic(aircraft);
        return;
    }
    if (awaitsItsCreationsAnswer(aircraft)) {
        return; // looked at again with the next reply
    }
    newObjectIds.erase(added);
    matchNewObject(aircraft);
}

void lf_dispatchProc(const std::uint8_t* message, std::uint32_t size, void* /*context*/) {
    if (message == nullptr) {
        return;
    }
    const MessageBytes bytes(message, size);
    const auto header = readHeader(bytes);
    if (!header) {
        return;
    }
    switch (header->id) {
    case scwire::kMsgException:
        lf_onException(bytes);
        break;
    case scwire::kMsgOpen:
        lf_onOpen(bytes);
        break;
    case scwire::kMsgQuit:
        simConnected.store(false);
        lf_simulatorLost();
        break;
    case scwire::kMsgEvent:
        onEvent(bytes);
        break;
    case scwire::kMsgObjectAddRemove:
        lf_onObjectAddRemove(bytes);
        break;
    case scwire::kMsgFileName:
        gf_logLine("SimConnect: New file event");
        lf_checkUserAirport();
        endRunAsNewFlight();
        break;
    case scwire::kMsgFrame:
        onFrameMessage(bytes);
        break;
    case scwire::kMsgObjectData:
        lf_onSimObjectData(bytes);
        break;
    case scwire::kMsgObjectDataByType:
        lf_onSimObjectDataByType(bytes);
        break;
    case scwire::kMsgAssignedObjectId:
        onAssignedObjectId(bytes);
        break;
    case scwire::kMsgOther16:
        break;
    default:
        gf_logText(fmt::format("! Unknown Dispatch dwID {}", header->id));
        break;
    }
}

} // namespace zeph
