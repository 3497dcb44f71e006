// Commands to AI aircraft: the client events each queues, and what they do at the stand-in.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "settings/parameter_table.h"
#include "sim/commands.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "support/sim_fixture.h"

namespace zeph {
namespace {

using Events = std::vector<std::string>;

// The queued events as "object event data", taken out of the list.
Events takeEvents() {
    const std::lock_guard lock(simConnectMutex);
    Events events;
    for (const QueuedClientEvent& e : clientEventWork) {
        events.push_back(fmt::format("{} {} {}", e.objectId, e.clientEvent, e.value));
    }
    clientEventWork.clear();
    return events;
}

// The seven lights of a parked aircraft after its engine shutdown, with the nav and cabin lights given.
Events restingEvents(std::uint32_t nav, std::uint32_t cabin) {
    return {"7 222 0", fmt::format("7 208 {}", nav),  "7 207 0", "7 211 0", "7 209 0", "7 210 0",
            "7 213 1", fmt::format("7 212 {}", cabin)};
}

class CommandsTest : public test::SimFixture {};

TEST_F(CommandsTest, EachCommandQueuesItsEvents) {
    constexpr AcKind large = AcKind::Large;
    constexpr AcKind rotor = AcKind::Rotorcraft;
    struct Case {
        const char* name;
        AcKind kind;
        std::uint32_t flaps; // stored before
        std::uint32_t throttle;
        std::uint8_t cargoStand;
        bool navWhileParked;
        std::function<void(StaticAc&)> command;
        Events events;
        std::uint32_t flapsAfter;
        std::uint32_t throttleAfter;
        std::vector<std::string> lines;
    };
    const std::string invalidFlaps = "==> gf_setFlaps: invalid flaps index";
    const Case cases[] = {
        {"flaps 2 to 4",
         large,
         2,
         5,
         0,
         false,
         [](StaticAc& a) { gf_setFlaps(a, 4); },
         {"7 218 0"},
         4,
         5,
         {}},
        {"flaps 0 to 3",
         large,
         0,
         5,
         0,
         false,
         [](StaticAc& a) { gf_setFlaps(a, 3); },
         {"7 218 16383"},
         3,
         5,
         {}},
        {"flaps 4 to 1",
         large,
         4,
         5,
         0,
         false,
         [](StaticAc& a) { gf_setFlaps(a, 1); },
         {"7 218 3072"},
         1,
         5,
         {}},
        {"flaps unchanged", large, 4, 5, 0, false, [](StaticAc& a) { gf_setFlaps(a, 4); }, {}, 4, 5, {}},
        {"flaps 7", large, 2, 5, 0, false, [](StaticAc& a) { gf_setFlaps(a, 7); }, {}, 7, 5, {invalidFlaps}},
        {"flaps 7 again", large, 7, 5, 0, false, [](StaticAc& a) { gf_setFlaps(a, 7); }, {}, 7, 5, {}},
        {"rotorcraft flaps", rotor, 4, 5, 0, false, [](StaticAc& a) { gf_setFlaps(a, 2); }, {}, 4, 5, {}},
        {"throttle 3 to 5", large, 4, 3, 0, false, [](StaticAc& a) { gf_setThrottle(a, 5); }, {}, 4, 5, {}},
        {"throttle 5 to 3",
         large,
         4,
         5,
         0,
         false,
         [](StaticAc& a) { gf_setThrottle(a, 3); },
         {"7 223 11468"},
         4,
         3,
         {}},
        {"throttle unchanged",
         large,
         4,
         3,
         0,
         false,
         [](StaticAc& a) { gf_setThrottle(a, 3); },
         {},
         4,
         3,
         {}},
        {"rotorcraft throttle",
         rotor,
         4,
         5,
         0,
         false,
         [](StaticAc& a) { gf_setThrottle(a, 4); },
         {"7 223 16383"},
         4,
         4,
         {}},
        {"spoilers out",
         large,
         4,
         5,
         0,
         false,
         [](StaticAc& a) { gf_setSpoilers(a, 1); },
         {"7 219 16383"},
         4,
         5,
         {}},
        {"spoilers in",
         large,
         4,
         5,
         0,
         false,
         [](StaticAc& a) { gf_setSpoilers(a, 0); },
         {"7 219 0"},
         4,
         5,
         {}},
        {"rotorcraft spoilers",
         rotor,
         4,
         5,
         0,
         false,
         [](StaticAc& a) { gf_setSpoilers(a, 1); },
         {},
         4,
         5,
         {}},
        {"gear down", large, 4, 5, 0, false, [](StaticAc& a) { gf_setGear(a, 1); }, {"7 220 1"}, 4, 5, {}},
        {"rotorcraft gear", rotor, 4, 5, 0, false, [](StaticAc& a) { gf_setGear(a, 0); }, {}, 4, 5, {}},
        {"engines and single lights",
         large,
         4,
         5,
         0,
         false,
         [](StaticAc& a) {
             gf_engineStart(a.objectId);
             gf_engineShutdown(a.objectId);
             gf_setNavLights(a.objectId, 1);
             gf_setCabinLights(a.objectId, 0);
         },
         {"7 221 0", "7 222 0", "7 208 1", "7 212 0"},
         4,
         5,
         {}},
        {"light set",
         large,
         4,
         5,
         0,
         false,
         [](StaticAc& a) {
             gf_setLights(a.objectId, {1, 0, 1, 0, 1, 0, 1});
         },
         {"7 208 1", "7 207 0", "7 211 1", "7 209 0", "7 210 1", "7 213 0", "7 212 1"},
         4,
         5,
         {}},
        {"reset at rest", large, 0, 0, 0, true, gf_resetAcControls, restingEvents(1, 1), 0, 0, {}},
        {"reset at a cargo stand", large, 0, 0, 1, false, gf_resetAcControls, restingEvents(0, 0), 0, 0, {}},
        {"reset after flight",
         large,
         2,
         3,
         0,
         false,
         gf_resetAcControls,
         [] {
             Events events{"7 223 0", "7 218 0"};
             const Events resting = restingEvents(0, 1);
             events.insert(events.end(), resting.begin(), resting.end());
             return events;
         }(),
         0,
         0,
         {}},
    };
    RANDOM.setValue(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NAV_LIGHTS_WHILE_PARKED.setValue(c.navWhileParked);
        StaticAc aircraft;
        aircraft.objectId = 7;
        aircraft.kind = c.kind;
        aircraft.flapsIndex = c.flaps;
        aircraft.throttleIndex = c.throttle;
        aircraft.cargoStand = c.cargoStand;
        const std::size_t before = readLog().size();
        c.command(aircraft);
        EXPECT_EQ(takeEvents(), c.events);
        EXPECT_EQ(aircraft.flapsIndex, c.flapsAfter);
        EXPECT_EQ(aircraft.throttleIndex, c.throttleAfter);
        const auto lines = readLog();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()),
                  c.lines);
    }
}

TEST_F(CommandsTest, EngineEventsSetTheEngineAtTheStandin) {
    startStandin();
    openAsClientThread();
    pumpPastMarker();
    const std::uint32_t oid =
        standin().addTraffic({"N12345", "Boeing 737-800", 0.0, 0.0, {}, 0.0, 0.0, 0.0, true});
    struct Case {
        const char* name;
        std::function<void()> command;
        bool running;
    };
    const Case cases[] = {
        {"auto start", [&] { gf_engineStart(oid); }, true},
        {"auto shutdown", [&] { gf_engineShutdown(oid); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.command();
        standin().stepFrames(1);
        pumpPastMarker();
        pumpPastMarker();
        const auto objects = standin().objects();
        const auto object =
            std::find_if(objects.begin(), objects.end(), [&](const auto& o) { return o.id == oid; });
        ASSERT_NE(object, objects.end());
        EXPECT_EQ(object->engineRunning, c.running);
        EXPECT_TRUE(standin().violations().empty());
    }
}

} // namespace
} // namespace zeph
