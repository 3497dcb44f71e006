// Flight plans given to AI aircraft: read from their files and checked.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

// The nine lines the program writes for an aircraft.
std::string planText(const std::string& type, const std::string& from, const std::string& to) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
           "<FlightPlan.FlightPlan>\n"
           "<FPType>" +
           type +
           "</FPType>\n"
           "<DepartureID>" +
           from +
           "</DepartureID>\n"
           "<DestinationID>" +
           to +
           "</DestinationID>\n"
           "</FlightPlan.FlightPlan>\n"
           "</SimBase.Document>\n"
           "\n";
}

TEST_F(StandinTest, FlightPlansAreReadAndChecked) {
    RawClient client = setUpClient();
    send(client, sc::aiCreate(client.nextSendId(), "Boeing 747-8", "DLH400", {}));
    const std::uint32_t objectId = sc::u32At(expectMessage(client, 12), 16);
    expectMessage(client, 5);
    std::string wrongRoot = planText("IFR", "EDDF", "KJFK");
    wrongRoot.replace(wrongRoot.find("4,3"), 3, "4,2");
    struct Case {
        const char* name;
        std::optional<std::string> content; // nothing: no file
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"a Heavy from EDDF to KJFK", planText("IFR", "EDDF", "KJFK"), true},
        {"a Rotorcraft, VFR", planText("VFR", "EDDF", "EDDS"), true},
        {"a code with an unescaped '<'", planText("IFR", "ED<F", "KJFK"), false},
        {"missing file", std::nullopt, false},
        {"not XML at all", std::string("FPType IFR"), false},
        {"version 4,2", wrongRoot, false},
        {"no type", planText("", "EDDF", "KJFK"), false},
        {"empty destination", planText("IFR", "EDDF", ""), false},
        {"over 1 MiB", planText("IFR", "EDDF", "KJFK") + std::string(1024 * 1024, ' '), false},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path path = dir() / ("plan" + std::to_string(++number) + ".pln");
        if (c.content) {
            writeFileBytes(path, *c.content);
        }
        const std::uint32_t sendId = client.nextSendId();
        send(client, sc::flightPlan(sendId, objectId, path.string()));
        if (!c.accepted) {
            expectException(client, 23, sendId, 2);
        }
        waitHandled();
        const standin::FlightPlanRecord plan = standin().flightPlans().back();
        EXPECT_EQ(plan.objectId, objectId);
        EXPECT_EQ(plan.path, path.string());
        EXPECT_EQ(plan.accepted, c.accepted) << plan.error;
    }
    const standin::FlightPlanRecord heavy = standin().flightPlans().front();
    EXPECT_EQ(heavy.type, "IFR");
    EXPECT_EQ(heavy.departure, "EDDF");
    EXPECT_EQ(heavy.destination, "KJFK");
    EXPECT_TRUE(client.quietFor(std::chrono::milliseconds(50))) << "accepted plans get no reply";
}

TEST_F(StandinTest, FlightPlanForTheUserIsRefused) {
    RawClient client = setUpClient();
    const std::uint32_t sendId = client.nextSendId();
    send(client, sc::flightPlan(sendId, 1, "/nonexistent.pln"));
    expectException(client, 24, sendId, 1);
}

} // namespace
} // namespace zeph::test
