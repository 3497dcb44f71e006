#include "airports/park_airport_list.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/airport_database.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

class ParkAirportList : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        resetAirportDatabaseForTests();
        for (const char* code : {"EGLL", "EHAM", "KJFK"}) {
            airportTable.push_back(AirportRecord{code, "", 50.0, 8.0, 0.0, 1});
            airportCodes.insert(code);
        }
        fs::create_directories(dir() / "airports" / "my_thirdparty");
    }
    void TearDown() override {
        resetAirportDatabaseForTests();
        parkAirportList.clear();
        LogFixture::TearDown();
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        for (const ParkAirport& entry : parkAirportList) {
            out.push_back(entry.code + "," + entry.reservedStand);
        }
        return out;
    }
    bool logHas(const std::string& line) const {
        const auto lines = readLog();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(ParkAirportList, LinesAndThirdpartyFiles) {
    struct Case {
        const char* name;
        const char* file; // null: no file
        std::vector<const char*> thirdparty;
        bool result;
        std::vector<std::string> entries;
        const char* logged;
    };
    const Case cases[] = {
        {"double", "EGLL\nEGLL,A12\n", {}, true, {"EGLL,"}, "==> my_park_airports.txt:EGLL double, skipped"},
        {"three fields", "\xEF\xBB\xBF" "A,B,C\r\n\n", {}, true, {}, "==> my_park_airports.txt:A,B,C wrong syntax, skipped"},
        {"unknown", "QQQQ\n\tEHAM , B5\n", {}, false, {"EHAM,B5"}, "airport QQQQ is unknown"},
        {"empty stand", "EHAM,\n", {}, true, {"EHAM,"}, "1 park airport read from 'my_park_airports.txt'"},
        {"thirdparty", nullptr, {"EHAM.xml", "EHAM.txt", "eham.xml", "EGLL/"}, true, {"EHAM,"},
         "1 park airport added from my_thirdparty folder(-s)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir() / "airports");
        fs::create_directories(dir() / "airports" / "my_thirdparty");
        if (c.file != nullptr) {
            test::writeFileBytes(dir() / "airports" / "my_park_airports.txt", c.file);
        }
        for (const std::string name : c.thirdparty) {
            const fs::path path = dir() / "airports" / "my_thirdparty" / name;
            name.ends_with('/') ? (void)fs::create_directories(path) : test::writeFileBytes(path, "x");
        }
        EXPECT_EQ(lf_readMyParkAirports(), c.result);
        EXPECT_EQ(entries(), c.entries);
        EXPECT_TRUE(logHas(c.logged));
    }
    EXPECT_TRUE(logHas("airports/my_park_airports.txt not found"));
    fs::remove_all(dir() / "airports" / "my_thirdparty");
    EXPECT_FALSE(lf_readMyParkAirports());
    EXPECT_TRUE(readLog().back().starts_with("==> lf_readMyParkAirports: ")) << readLog().back();
}

TEST_F(ParkAirportList, ManyAirportsWarn) {
    std::string file;
    for (int k = 0; k < 3001; ++k) {
        const std::string code = "X" + std::to_string(k);
        airportTable.push_back(AirportRecord{code, "", 1.0, 1.0, 0.0, 1});
        file += code + "\n";
    }
    std::sort(airportTable.begin(), airportTable.end(),
              [](const AirportRecord& a, const AirportRecord& b) { return a.code < b.code; });
    test::writeFileBytes(dir() / "airports" / "my_park_airports.txt", file);
    gf_clearErrorStatus();
    EXPECT_TRUE(lf_readMyParkAirports());
    const std::lock_guard lock(mainWindowState.statusMutex);
    EXPECT_EQ(mainWindowState.statusText, "Warning: There are a lot of airports (3001), that will cost Corvane much cpu time "
                               "and may cause stutters");
}

TEST_F(ParkAirportList, AWrittenStandIsTheOneReadBack) {
    const fs::path file = dir() / "airports" / "my_park_airports.txt";
    test::writeFileBytes(file, "EHAM,A2\nEHAM\n");
    {
        const std::lock_guard lock(parkAirportListMutex);
        parkAirportList = {ParkAirport{"EHAM", "B5"}};
        ASSERT_TRUE(gf_writeMyParkAirports());
    }
    EXPECT_EQ(test::readFileBytes(file), "EHAM,B5\n");
    const auto lines = readLog();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "my_park_airports.txt:EHAM,B5 updated stand"), 1);
    ASSERT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(entries(), (std::vector<std::string>{"EHAM,B5"}));
}

} // namespace
} // namespace zeph
