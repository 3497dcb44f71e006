#include "sim/ai_objects.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/stands.h"
#include "model/flight_texts.h"
#include "support/log_fixture.h"
#include "traffic/traffic_pass.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

LiveAc record(std::uint32_t hexid, AcState state, std::uint32_t objectId = 0, std::uint32_t stand = 0) {
    LiveAc aircraft;
    aircraft.hexid = hexid;
    aircraft.callsign = "CS" + std::to_string(hexid);
    aircraft.state = state;
    aircraft.objectId = objectId;
    aircraft.standNumber = stand;
    aircraft.phase = stand != 0 ? AcPhase::parked : AcPhase::birth; // a record on a stand stands on it
    // Two positions not due for a long time: a buffered record waits in the buffer.
    aircraft.stream.resize(2);
    aircraft.stream[0].duePass = aircraft.stream[1].duePass = std::int64_t{1} << 40;
    return aircraft;
}

AiCreateRequest requestOf(const std::string& callsign, std::uint32_t hexid = 0) {
    AiCreateRequest request;
    request.callsign = callsign;
    request.hexid = hexid;
    return request;
}

std::vector<std::uint32_t> hexidsOf(const std::deque<AiCreateRequest>& queue) {
    std::vector<std::uint32_t> hexids;
    for (const AiCreateRequest& r : queue) {
        hexids.push_back(r.hexid);
    }
    return hexids;
}

std::vector<std::uint32_t> tableHexids() {
    std::vector<std::uint32_t> hexids;
    for (const LiveAc& a : liveAcTable) {
        hexids.push_back(a.hexid);
    }
    return hexids;
}

// Stands numbered 1, 3, 3, all occupied.
void occupiedStands() {
    standList.clear();
    for (const std::uint32_t number : {1U, 3U, 3U}) {
        ParkPos& stand = standList.emplace_back();
        stand.number = number;
        stand.occupied = true;
    }
}

std::vector<bool> occupiedFlags() {
    std::vector<bool> flags;
    for (const ParkPos& stand : standList) {
        flags.push_back(stand.occupied);
    }
    return flags;
}

class Removal : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        lf_clearTrafficTables();
        tickCounter.store(1001); // no hand-over to the simulator in the passes run here
    }
    void TearDown() override {
        lf_clearTrafficTables();
        LogFixture::TearDown();
    }
};

TEST_F(Removal, ThePassErasesOnlyRecordsFlaggedForRemoval) {
    struct Case {
        const char* name;
        std::uint8_t LiveAc::*flag; // set on the middle record; null: none
        std::vector<std::uint32_t> left;
    };
    const std::vector<Case> cases{
        {"remove", &LiveAc::remove, {10001, 10003}},
        {"withdrawn", &LiveAc::withdrawn, {10001, 10003}},
        {"gone waits for its creation", &LiveAc::gone, {10001, 10002, 10003}},
        {"nothing flagged", nullptr, {10001, 10002, 10003}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        liveAcTable = {record(10001, AcState::buffer), record(10002, AcState::adding2sim),
                       record(10003, AcState::active, 101)};
        if (c.flag != nullptr) {
            liveAcTable[1].*c.flag = 1;
        }
        lf_updateAllLiveAc();
        EXPECT_EQ(tableHexids(), c.left);
        EXPECT_EQ(liveAcTable.back().objectId, 101U) << "the records keep their values";
    }
}

TEST_F(Removal, RemoveAircraftFromSimActsByState) {
    struct Case {
        const char* name;
        LiveAc aircraft;
        std::vector<std::uint32_t> liveQueue; // hexids of requests with the record's callsign (others: 1)
        std::vector<std::uint32_t> staticQueue;
        AcState state;
        std::uint8_t remove, withdrawn, gone;
        std::vector<std::uint32_t> liveQueueAfter, staticQueueAfter;
        std::vector<std::uint32_t> removals;
        std::vector<bool> occupied;
        bool erasedByPass;
    };
    const auto gone = [] {
        LiveAc a = record(10009, AcState::active, 109, 3);
        a.gone = 1;
        return a;
    };
    const auto leftStand = [] {
        LiveAc a = record(10007, AcState::active, 107, 3);
        a.phase = AcPhase::taxi;
        return a;
    };
    const std::vector<bool> allOccupied{true, true, true};
    const std::vector<Case> cases{
        {"buffer",
         record(10001, AcState::buffer),
         {10001},
         {},
         AcState::buffer,
         1,
         0,
         0,
         {10001},
         {},
         {},
         allOccupied,
         true},
        {"adding2sim, request waiting live beside another aircraft's with the callsign",
         record(10002, AcState::adding2sim),
         {1, 10002, 10008},
         {10002},
         AcState::adding2sim,
         0,
         1,
         0,
         {1, 10008},
         {10002},
         {},
         allOccupied,
         true},
        {"adding2sim static, request waiting static",
         record(5, AcState::adding2sim),
         {1},
         {5, 1},
         AcState::adding2sim,
         0,
         1,
         0,
         {1},
         {1},
         {},
         allOccupied,
         true},
        {"adding2sim, request handed over",
         record(10003, AcState::adding2sim),
         {1},
         {1},
         AcState::adding2sim,
         0,
         0,
         1,
         {1},
         {1},
         {},
         allOccupied,
         false},
        {"active live on stand 3",
         record(10004, AcState::active, 104, 3),
         {},
         {},
         AcState::removingfromsim,
         0,
         0,
         0,
         {},
         {},
         {104},
         {true, false, true},
         false},
        {"active static on stand 3",
         record(6, AcState::active, 106, 3),
         {},
         {},
         AcState::removingfromsim,
         0,
         0,
         0,
         {},
         {},
         {106},
         allOccupied,
         false},
        {"parked spawn on stand 3, request waiting",
         record(10010, AcState::adding2sim, 0, 3),
         {10010},
         {},
         AcState::adding2sim,
         0,
         1,
         0,
         {},
         {},
         {},
         {true, false, true},
         true},
        {"taxiing off stand 3, which another aircraft took since",
         leftStand(),
         {},
         {},
         AcState::removingfromsim,
         0,
         0,
         0,
         {},
         {},
         {107},
         allOccupied,
         false},
        {"liveryrespawn on stand 3, its removal asked by the respawn",
         record(10005, AcState::liveryrespawn, 105, 3),
         {},
         {},
         AcState::removingfromsim,
         0,
         0,
         0,
         {},
         {},
         {},
         {true, false, true},
         false},
        {"active without object id",
         record(10006, AcState::active, 0, 1),
         {},
         {},
         AcState::removingfromsim,
         1,
         0,
         0,
         {},
         {},
         {},
         {false, true, true},
         true},
        {"gone set", gone(), {}, {}, AcState::active, 0, 0, 1, {}, {}, {}, allOccupied, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lf_clearTrafficTables();
        occupiedStands();
        ParkPos* own = gf_standByNumber(c.aircraft.standNumber);
        if (c.aircraft.phase == AcPhase::parked && own != nullptr) {
            own->occupant = c.aircraft.hexid; // the mark is its own
        }
        for (const std::uint32_t hexid : c.liveQueue) {
            liveAddQueue.push_back(requestOf(hexid == 1 ? "OTHER" : c.aircraft.callsign, hexid));
        }
        for (const std::uint32_t hexid : c.staticQueue) {
            staticAddQueue.push_back(requestOf(hexid == 1 ? "OTHER" : c.aircraft.callsign, hexid));
        }
        liveAcTable = {c.aircraft};
        removeAircraftFromSim(liveAcTable[0]);
        const LiveAc& a = liveAcTable[0];
        EXPECT_EQ(a.state, c.state);
        EXPECT_EQ(a.remove, c.remove);
        EXPECT_EQ(a.withdrawn, c.withdrawn);
        EXPECT_EQ(a.gone, c.gone);
        EXPECT_EQ(hexidsOf(liveAddQueue), c.liveQueueAfter);
        EXPECT_EQ(hexidsOf(staticAddQueue), c.staticQueueAfter);
        EXPECT_EQ(std::vector<std::uint32_t>(removalQueue.begin(), removalQueue.end()), c.removals);
        EXPECT_EQ(occupiedFlags(), c.occupied);
        if (c.gone == 1 || c.state == AcState::removingfromsim) {
            // A second call changes nothing: no second removal, and a stand taken meanwhile keeps its mark.
            const LiveAc before = liveAcTable[0];
            const std::size_t removals = removalQueue.size();
            occupiedStands();
            removeAircraftFromSim(liveAcTable[0]);
            EXPECT_EQ(liveAcTable[0].state, before.state) << "a second call changes nothing";
            EXPECT_EQ(liveAcTable[0].withdrawn, before.withdrawn);
            EXPECT_EQ(removalQueue.size(), removals);
            EXPECT_EQ(occupiedFlags(), allOccupied);
        }
        lf_updateAllLiveAc();
        EXPECT_EQ(liveAcTable.empty(), c.erasedByPass);
    }
    const std::string objectIdZero = "==> removeAircraftFromSim removing act " +
                                     gf_acLogPrefix(record(10006, AcState::active)) + ", with objectid=0 ?";
    const std::vector<std::string> log = readLog();
    ASSERT_EQ(log.size(), 1U) << "only the record without an object id is logged";
    EXPECT_EQ(log[0], objectIdZero);
}

TEST_F(Removal, RemoveFromQueueTakesOnlyTheRequestOfTheAircraft) {
    struct Case {
        const char* name;
        std::string callsign;
        std::uint32_t hexid;
        bool result;
        std::vector<std::uint32_t> left;
    };
    const std::vector<Case> cases{
        {"empty callsign", "", 2, false, {1, 2, 3, 4, 5}},
        {"the one of three with the hexid", "ABC1", 3, true, {1, 2, 4, 5}},
        {"absent", "XYZ9", 1, false, {1, 2, 3, 4, 5}},
        {"the hexid with another callsign", "ABC1", 4, false, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::deque<AiCreateRequest> queue{requestOf("ABC1", 1), requestOf("", 2), requestOf("ABC1", 3),
                                          requestOf("ABC12", 4), requestOf("ABC1", 5)};
        EXPECT_EQ(gf_removeFromQueue(queue, c.callsign, c.hexid), c.result);
        EXPECT_EQ(hexidsOf(queue), c.left);
    }
}

} // namespace
} // namespace zeph
