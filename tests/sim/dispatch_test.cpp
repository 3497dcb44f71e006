// What the program does with each simulator message. The test thread plays the client thread: it opens the
// connection, declares the definitions and dispatches; every row that expects nothing is followed by a
// marker message, so "nothing" means "nothing up to the marker".
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "app/window/ui.h"
#include "core/errors.h"
#include "core/run_flags.h"
#include "settings/parameter_table.h"
#include "sim/dispatch.h"
#include "sim/sim_ids.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"
#include "sim/simconnect/wire.h"
#include "sim/user_aircraft.h"
#include "simstandin/wire.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "support/sim_fixture.h"

namespace zeph {
namespace {

namespace sw = standin;

constexpr std::uint32_t kVersion = sw::kProtocolPrepar3d;
const std::string kMarker = "! Unknown Dispatch dwID 10";

struct Outcome {
    std::vector<std::string> lines; // new log lines before the marker
    std::vector<SimResult> results;
    std::string thrown;
};

// Results as text, so a failing row shows them whole.
std::string text(const std::vector<SimResult>& results) {
    std::string out;
    for (const SimResult& r : results) {
        out +=
            fmt::format("{{{},{},{},{},{},{}}} ", r.objectId, r.hexid, r.counter, r.kind, r.value1, r.value2);
    }
    return out;
}

std::vector<SimResult> takeResults() {
    const std::lock_guard lock(simResultMutex);
    std::vector<SimResult> results(simResultQueue.begin(), simResultQueue.end());
    simResultQueue.clear();
    return results;
}

// A data block of definition 404: AGL, ground altitude, on ground, ATC ID.
std::string acInRangeBlock(double agl, double ground, std::int64_t onGround, const std::string& atcId) {
    std::string block;
    sw::appendF64(block, agl);
    sw::appendF64(block, ground);
    sw::appendI64(block, onGround);
    sw::appendText(block, atcId, 32);
    return block;
}

std::string byTypeReply(std::uint32_t requestId, std::uint32_t objectId, const std::string& block) {
    sw::ObjectDataHead head;
    head.requestId = requestId;
    head.objectId = objectId;
    head.defineId = 404;
    head.defineCount = 4;
    return sw::encodeObjectData(kVersion, sw::MessageId::ObjectDataByType, head, block);
}

// The message cut to size bytes, its size field saying so.
std::string cutTo(std::string message, std::size_t size) {
    message.resize(size);
    sw::writeU32At(message, 0, static_cast<std::uint32_t>(size));
    return message;
}

class DispatchTest : public test::SimFixture {
protected:
    void connect(sw::StandinOptions options = standinOptions()) {
        startStandin(std::move(options));
        openAsClientThread();
        pumpPastMarker();
        takeResults();
    }

    // Sends, then dispatches past a marker; a UserErrorException on the way is kept, as the client thread
    // would catch it.
    Outcome run(const std::function<void()>& send) {
        const std::size_t before = readLog().size();
        const std::size_t markers = logCount(kMarker);
        send();
        injectAfterSent(test::unknownMessage(10));
        Outcome outcome;
        for (int attempt = 0; attempt < 3; ++attempt) {
            try {
                EXPECT_TRUE(pumpUntil([&] { return logCount(kMarker) > markers; }));
                break;
            } catch (const UserErrorException& e) {
                outcome.thrown = e.what();
            }
        }
        const auto lines = readLog();
        for (std::size_t k = before; k < lines.size(); ++k) {
            if (lines[k] != kMarker) {
                outcome.lines.push_back(lines[k]);
            }
        }
        outcome.results = takeResults();
        return outcome;
    }

    void inject(const std::string& message) { standin().injectMessage(message); }
};

using Lines = std::vector<std::string>;
using Results = std::vector<SimResult>;

TEST_F(DispatchTest, OpenReplyShowsTheSimulatorOrRefusesIt) {
    struct Case {
        const char* name;
        std::string appName;
        sw::AppVersion version;
        std::string installPath;
        int p3dVersion;
        std::string thrown;  // empty: accepted
        std::string simText; // shown and logged with " connected"
        bool connectedMark;
    };
    const std::string v6 = "Lockheed Martin Prepar3D v6";
    const Case cases[] = {
        {"default v5",
         "Lockheed Martin\xAE Prepar3D\xAE v5",
         {5, 3, 12, 28584},
         "",
         5,
         "",
         "Lockheed Martin Prepar3D v5 (5.3.12.28584)",
         true},
        {"v6 with a v5 path",
         v6,
         {6, 0, 30, 12345},
         "C:\\Program Files\\Lockheed Martin\\Prepar3D v5",
         5,
         "78: wrong P3D version 'Lockheed Martin Prepar3D v6 (6.0.30.12345)' connects ... ?)",
         "Lockheed Martin Prepar3D v6 (6.0.30.12345)",
         true},
        {"v6 with a V6 path",
         v6,
         {6, 0, 30, 12345},
         "D:\\P3D V6",
         5,
         "",
         "Lockheed Martin Prepar3D v6 (6.0.30.12345)",
         true},
        {"v6 with P3D_VERSION 6",
         v6,
         {6, 0, 30, 12345},
         "",
         6,
         "",
         "Lockheed Martin Prepar3D v6 (6.0.30.12345)",
         true},
        {"V5 only",
         "Lockheed Martin Prepar3D V5",
         {5, 3, 12, 28584},
         "C:\\P3D v5",
         5,
         "78: wrong P3D version 'Lockheed Martin Prepar3D V5 (5.3.12.28584)' connects ... ?)",
         "Lockheed Martin Prepar3D V5 (5.3.12.28584)",
         true},
        {"MSFS",
         "KittyHawk",
         {11, 0, 0, 0},
         "",
         5,
         "78: KittyHawk, (MSFS) not being P3D connects ... ?",
         "",
         true},
        {"empty name", "", {5, 3, 12, 28584}, "", 5, "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        P3D_VERSION.setValue(c.p3dVersion);
        SIM_INSTALL_PATH.setValue(c.installPath);
        gf_initSimLink(static_cast<std::uint32_t>(c.p3dVersion));
        mainWindowState.setSimText("");
        mainWindowState.simConnected.store(false);
        gf_setStatus("Waiting for Prepar3Dv5 ...", false);
        ui().enable(ui().controlById(mainWindowState.mainWindow.load(), ALL_INSTALL_PATH.controlId), false);
        headless().pump();
        sw::StandinOptions options = standinOptions();
        options.appName = c.appName;
        options.appVersion = c.version;
        startStandin(options);

        const Outcome outcome = run([&] { openAsClientThread(); });
        headless().pump();
        EXPECT_EQ(outcome.thrown, c.thrown);
        EXPECT_EQ(mainWindowState.displayTexts().simText, c.simText);
        EXPECT_EQ(mainWindowState.simConnected.load(), c.connectedMark);
        Lines expected;
        if (c.appName.empty()) {
            expected.push_back("! Simulator name empty?");
        } else if (!c.simText.empty()) {
            expected.push_back(c.simText + " connected");
        }
        EXPECT_EQ(outcome.lines, expected);
        const bool refusedVersion = !c.thrown.empty() && !c.simText.empty();
        EXPECT_EQ(headless().control(ALL_INSTALL_PATH.controlId)->enabled, refusedVersion);
        const bool accepted = c.thrown.empty() && !c.simText.empty();
        const std::lock_guard lock(mainWindowState.statusMutex);
        EXPECT_EQ(mainWindowState.statusText.empty(), accepted);
    }
}

TEST_F(DispatchTest, ExceptionsAreLoggedOrBecomeResults) {
    connect();
    struct Case {
        const char* name;
        std::uint32_t code;
        std::uint32_t sendId;
        std::function<void()> before;
        Lines lines;
        Results results;
        std::size_t pendingAfter;
        std::string thrown;
        std::string status;
    };
    const auto noPosition = [] { simUserData = UserAcPosition{}; };
    const auto position = [] { simUserData.latitude = 50.03; };
    const auto stopping = [] {
        simUserData.latitude = 50.03;
        runStopping.store(true);
    };
    const Case cases[] = {
        {"11 too many objects",
         11,
         5,
         nullptr,
         {"SimConnect: too many objects (max 1000)"},
         {},
         1,
         "",
         "SimConnect: too many objects (max 1000)"},
        {"19 invalid data size", 19, 5, nullptr, {"SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE"}, {}, 1, "", ""},
        {"23 flight plan",
         23,
         5,
         nullptr,
         {"==> SimConnect exception: load flight plan failed"},
         {},
         1,
         "",
         ""},
        {"24 invalid for type",
         24,
         5,
         nullptr,
         {"SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE"},
         {},
         1,
         "",
         ""},
        {"31 unknown code", 31, 5, nullptr, {"==> SIMCONNECT_EXCEPTION #31"}, {}, 1, "", ""},
        {"3 with a user position",
         3,
         5,
         position,
         {"==> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"},
         {},
         1,
         "",
         ""},
        {"3 without a user position", 3, 5, noPosition, {}, {}, 1, "", ""},
        {"3 while stopping", 3, 5, stopping, {}, {}, 1, "", ""},
        {"22 of an unknown send id", 22, 78, nullptr, {}, {}, 1, "", ""},
        {"22 of the pending creation", 22, 77, nullptr, {}, {{0, 4221004, 0, 6, 0.0, 0.0}}, 0, "", ""},
        {"5 version mismatch", 5, 5, nullptr, {}, {}, 0, "95: SimConnect Version Mismatch, dwIndex: 3", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        gf_clearStatus();
        {
            const std::lock_guard lock(mainWindowState.statusMutex);
            mainWindowState.statusText.clear();
        }
        pendingCreations.clear();
        pendingCreations.push_back({77, 4221004, "DLH4AB"});
        if (c.before) {
            c.before();
        }
        const Outcome outcome = run([&] { standin().injectException(c.code, c.sendId, 3); });
        EXPECT_EQ(outcome.lines, c.lines);
        EXPECT_EQ(text(outcome.results), text(c.results));
        EXPECT_EQ(outcome.thrown, c.thrown);
        if (c.thrown.empty()) {
            EXPECT_EQ(pendingCreations.size(), c.pendingAfter);
        }
        const std::lock_guard lock(mainWindowState.statusMutex);
        EXPECT_EQ(mainWindowState.statusText, c.status);
    }
}

TEST_F(DispatchTest, SimEventAndFrameRate) {
    sw::StandinOptions options = standinOptions();
    options.simRunningOnSubscribe = false;
    connect(options);
    EXPECT_FALSE(simConnected.load());
    for (bool running : {true, false}) {
        SCOPED_TRACE(running);
        headless().clearRecords();
        run([&] { standin().setSimRunning(running); });
        EXPECT_EQ(simConnected.load(), running);
        EXPECT_EQ(mainWindowState.flightRunning.load(), running);
        const auto invalidated = headless().invalidations();
        EXPECT_NE(std::find(invalidated.begin(), invalidated.end(), topPanelArea), invalidated.end());
    }

    struct Case {
        double rate;
        std::uint32_t frames;
        float stored;
    };
    const Case cases[] = {{42.5, 29, 0.0F}, {42.5, 1, 42.5F}, {30.0, 29, 42.5F}, {30.0, 1, 30.0F}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " x" << c.frames);
        standin().setFrameRate(c.rate);
        run([&] { standin().stepFrames(c.frames); });
        EXPECT_EQ(simFrameRate.load(), c.stored);
    }
}

TEST_F(DispatchTest, FlightEventsEndTheRunAsNewFlight) {
    connect();
    struct Case {
        const char* name;
        std::function<void()> send;
        std::string line;
    };
    const Case cases[] = {
        {"position changed", [&] { standin().sendPositionChanged(); }, "==> User ac position changed"},
        {"file name", [&] { standin().sendFlightLoaded("C:\\flights\\a.fxml"); },
         "==> SimConnect: New file event"},
        {"flight loaded", [&] { standin().sendFlightLoaded("C:\\flights\\a.fxml", true); },
         "SimConnect: flight loaded event"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        const Outcome outcome = run(c.send);
        EXPECT_EQ(outcome.lines, Lines{c.line});
        EXPECT_EQ(exitReason.load(), ExitReason::NEW_FLIGHT);
        EXPECT_EQ(currentRestartDelay(), 30);
        lf_simulatorLost();
        EXPECT_EQ(exitReason.load(), ExitReason::NEW_FLIGHT);
    }
}

TEST_F(DispatchTest, ObjectsAddedAndRemoved) {
    connect();
    struct Case {
        std::uint32_t event;
        std::uint32_t object;
        std::uint32_t type;
        std::vector<std::uint32_t> newIds;
        Results results;
    };
    // In order: each row starts with the new objects the rows before left.
    const Case cases[] = {
        {202, 150, 2, {150}, {}},
        {202, 150, 2, {150}, {}},
        {202, 2, 2, {150}, {}},
        {202, 151, 1, {150}, {}},
        {203, 1, 2, {150}, {{1, 0, 0, 2, 0.0, 0.0}}},
        {203, 152, 1, {150}, {}},
        {202, 153, 2, {150, 153}, {}},
        // The object made for a pending creation goes before its in-range reply: the creation is lost.
        {203, 153, 2, {150}, {{153, 4000001, 0, 7, 0.0, 0.0}, {153, 0, 0, 2, 0.0, 0.0}}},
        {203, 150, 2, {}, {{150, 0, 0, 2, 0.0, 0.0}}},
    };
    newObjectIds.clear();
    pendingCreations = {{1, 4000001, "ABC", simid::kFirstCreationRequest, 153}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.event << " " << c.object << " type " << c.type);
        const Outcome outcome =
            run([&] { inject(sw::encodeAddRemove(kVersion, c.event, c.object, c.type)); });
        EXPECT_EQ(newObjectIds, c.newIds);
        EXPECT_EQ(text(outcome.results), text(c.results));
        EXPECT_TRUE(outcome.lines.empty());
    }
}

TEST_F(DispatchTest, ANewObjectWithThePendingCallsignBecomesTheProgramsAircraft) {
    connect();
    standin().setGround(364.0);
    struct Case {
        const char* tail;
        std::uint32_t hexid;
        std::uint32_t object; // as the stand-in numbers its AI objects
        std::uint32_t kind;
        double valueB;
    };
    const Case cases[] = {{"DLH4AB", 4221004, 100, 0, 1000.0}, {"DEFGH", 4711, 101, 1, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        std::vector<std::uint8_t> init(56, 0); // at the user's place, 1364 ft: 1000 ft above the ground
        const double altitude = 1364.0;
        std::memcpy(init.data() + 16, &altitude, sizeof altitude);
        ASSERT_EQ(
            SimConnect_AICreateNonATCAircraft(simClientHandle, "Boeing 737-800", c.tail, init.data(), 104),
            S_OK);
        std::uint32_t sendId = 0;
        SimConnect_GetLastSentPacketID(simClientHandle, &sendId);
        pendingCreations.push_back({sendId, c.hexid, c.tail, 104});
        ASSERT_TRUE(pumpUntil([&] { return newObjectIds == std::vector<std::uint32_t>{c.object}; }));
        {
            const std::lock_guard lock(simConnectMutex);
            clientEventWork.clear();
        }

        const Outcome outcome = run([] {
            const std::lock_guard lock(simConnectMutex);
            gf_simCalls().requestDataOnSimObjectType(101, 404, 20000, 2);
        });
        EXPECT_TRUE(outcome.lines.empty());
        // The earlier row's aircraft now is traffic that was there before; only this object is looked at.
        Results ofThisObject;
        std::copy_if(outcome.results.begin(), outcome.results.end(), std::back_inserter(ofThisObject),
                     [&](const SimResult& r) { return r.objectId == c.object; });
        EXPECT_EQ(text(ofThisObject), text(Results{{c.object, c.hexid, 0, c.kind, 0.0, c.valueB}}));
        EXPECT_TRUE(pendingCreations.empty());
        EXPECT_TRUE(newObjectIds.empty());
        {
            const std::lock_guard lock(simConnectMutex);
            ASSERT_EQ(clientEventWork.size(), 3U);
            for (std::uint32_t k = 0; k < 3; ++k) {
                EXPECT_EQ(clientEventWork[k].objectId, c.object);
                EXPECT_EQ(clientEventWork[k].clientEvent, 215U + k);
                EXPECT_EQ(clientEventWork[k].value, 1U);
            }
        }
        const auto released = [&] {
            for (const auto& packet : standin().packets().packets) {
                const auto* release = std::get_if<sw::ObjectRequestPacket>(&packet.fields);
                if (release != nullptr && packet.id == 0xF000002BU && release->objectId == c.object &&
                    release->requestId == 103) {
                    return true;
                }
            }
            return false;
        };
        EXPECT_TRUE(standin().waitFor(released, test::kLivenessBound));
    }
}

TEST_F(DispatchTest, ByTypeRepliesMatchCreationsOrReportTraffic) {
    connect();
    standin().setGround(364.0);
    standin::TrafficSpec traffic;
    traffic.atcId = "N12345";
    traffic.agl = 300.0;
    traffic.onGround = false;
    const std::uint32_t oid = standin().addTraffic(traffic);
    pumpPastMarker();
    newObjectIds.clear();

    struct Case {
        const char* name;
        std::function<void()> send;
        Lines lines;
        Results results;
    };
    const Case cases[] = {
        {"unmatched new object",
         [&] {
             newObjectIds = {151};
             inject(byTypeReply(101, 151, acInRangeBlock(300.0, 364.0, 0, "XYZ")));
         },
         {"just spawned, but not by Corvane_P3D, oid: 151, callsign 'XYZ', altaboveGnd:300 ft, onground:0, "
          "gnd_alt:364 ft"},
         {}},
        {"existing traffic",
         [&] {
             const std::lock_guard lock(simConnectMutex);
             gf_simCalls().requestDataOnSimObjectType(101, 404, 20000, 2);
         },
         {},
         {{oid, 0, 0, 3, 364.0, 300.0}}},
        {"too high", [&] { inject(byTypeReply(101, 170, acInRangeBlock(3000.0, 364.0, 0, "N1"))); }, {}, {}},
        {"static callsign",
         [&] { inject(byTypeReply(101, 170, acInRangeBlock(300.0, 364.0, 1, "ABC*"))); },
         {},
         {}},
        {"no ATC ID", [&] { inject(byTypeReply(101, 170, acInRangeBlock(300.0, 364.0, 1, ""))); }, {}, {}},
        {"other request",
         [&] { inject(byTypeReply(102, 170, acInRangeBlock(300.0, 364.0, 1, "N1"))); },
         {},
         {}},
        {"the user aircraft",
         [&] { inject(byTypeReply(101, 2, acInRangeBlock(300.0, 364.0, 1, "N1"))); },
         {},
         {}},
        {"a new object whose creation has no answer yet waits for it",
         [&] {
             pendingCreations = {{1, 4000001, "ABC", simid::kFirstCreationRequest, 0}};
             newObjectIds = {160};
             inject(byTypeReply(101, 160, acInRangeBlock(300.0, 364.0, 0, "ABC")));
         },
         {},
         {}},
        {"answered after that reply, it is taken with the next",
         [&] {
             inject(sw::encodeAssignedObjectId(kVersion, simid::kFirstCreationRequest, 160));
             inject(byTypeReply(101, 160, acInRangeBlock(300.0, 364.0, 0, "ABC")));
         },
         {},
         {{160, 4000001, 0, 0, 0.0, 300.0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = run(c.send);
        EXPECT_EQ(outcome.lines, c.lines);
        EXPECT_EQ(text(outcome.results), text(c.results));
    }
}

TEST_F(DispatchTest, UnknownShortAndNonFiniteMessagesAreLoggedAndSkipped) {
    connect();
    sw::ObjectDataHead head;
    head.requestId = 102;
    head.objectId = 170;
    const std::string cgReply =
        sw::encodeObjectData(kVersion, sw::MessageId::ObjectData, head, std::string(16, '\0'));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::string message;
        Lines lines;
    };
    const Case cases[] = {
        {"id 12", test::unknownMessage(12), {"! SimConnect message dwID 12 too short: 12 bytes"}},
        {"id 16", test::unknownMessage(16), {}},
        {"id 0", test::unknownMessage(0), {"! Unknown Dispatch dwID 0"}},
        {"id 17", test::unknownMessage(17), {"! Unknown Dispatch dwID 17"}},
        {"object data of 20 bytes", cutTo(cgReply, 20), {"! SimConnect message dwID 8 too short: 20 bytes"}},
        {"static CG block of 8", cutTo(cgReply, 48), {"! SimConnect message dwID 8 too short: 48 bytes"}},
        {"by-type block of 30",
         cutTo(byTypeReply(101, 170, acInRangeBlock(1, 2, 0, "N1")), 70),
         {"! SimConnect message dwID 9 too short: 70 bytes"}},
        {"open reply of 100",
         cutTo(sw::encodeOpenReply(kVersion, "Lockheed Martin Prepar3D v5", {5, 3, 1, 1}), 100),
         {"! SimConnect message dwID 2 too short: 100 bytes"}},
        {"event of 20",
         cutTo(sw::encodeEvent(kVersion, 0, 201, 1), 20),
         {"! SimConnect message dwID 4 too short: 20 bytes"}},
        {"NaN AGL",
         byTypeReply(101, 160, acInRangeBlock(nan, 364.0, 0, "N1")),
         {"! SimConnect data not finite, request 101, object 160"}},
        {"infinite ground",
         byTypeReply(101, 160, acInRangeBlock(10.0, -HUGE_VAL, 0, "N1")),
         {"! SimConnect data not finite, request 101, object 160"}},
    };
    mainWindowState.setSimText("kept");
    newObjectIds = {160};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = run([&] { inject(c.message); });
        EXPECT_EQ(outcome.lines, c.lines);
        EXPECT_TRUE(outcome.results.empty());
        EXPECT_EQ(mainWindowState.displayTexts().simText, "kept");
        EXPECT_TRUE(simConnected.load());
    }
    EXPECT_EQ(newObjectIds, std::vector<std::uint32_t>{160});
}

} // namespace
} // namespace zeph
