#include "airports/park_airport_list.h"

#include <gtest/gtest.h>

#include "airports/airport_database.h"
#include "state/main_window_state.h"
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
    }
    // The file (none for null) and my_thirdparty's entries (a folder ends in '/'); the entries read.
    std::string read(const char* file, const std::vector<std::string>& thirdparty, bool expected) {
        fs::remove_all(dir() / "airports");
        fs::create_directories(dir() / "airports" / "my_thirdparty");
        if (file != nullptr) {
            test::writeFileBytes(dir() / "airports" / "my_park_airports.txt", file);
        }
        for (const std::string& name : thirdparty) {
            const fs::path path = dir() / "airports" / "my_thirdparty" / name;
            name.ends_with('/') ? (void)fs::create_directories(path) : test::writeFileBytes(path, "x");
        }
        EXPECT_EQ(lf_readMyParkAirports(), expected) << (file != nullptr ? file : "");
        std::string entries;
        for (const ParkAirport& entry : parkAirportList) {
            entries += entry.code + "," + entry.reservedStand + ";";
        }
        return entries;
    }
};

TEST_F(ParkAirportList, LinesAndThirdpartyFiles) {
    EXPECT_EQ(read("EGLL\nEGLL,A12\n", {}, true), "EGLL,;");
    EXPECT_EQ(read("\xEF\xBB\xBF"
                   "A,B,C\r\n\n",
                   {}, true),
              "");
    EXPECT_EQ(read("QQQQ\n\tEHAM , B5\nEGLL,\n", {}, false), "EHAM,B5;EGLL,;");
    EXPECT_EQ(read(nullptr, {"EHAM.xml", "EHAM.txt", "eham.xml", "EGLL/"}, true), "EHAM,;");
    for (const char* line :
         {"==> my_park_airports.txt:EGLL double, skipped", "airport QQQQ is unknown",
          "==> my_park_airports.txt:A,B,C wrong syntax, skipped", "airports/my_park_airports.txt not found",
          "2 park airports read from 'my_park_airports.txt'",
          "1 park airport added from my_thirdparty folder(-s)"}) {
        EXPECT_TRUE(logHas(line)) << line;
    }
    fs::remove_all(dir() / "airports" / "my_thirdparty");
    EXPECT_FALSE(lf_readMyParkAirports());
    EXPECT_TRUE(readLog().back().starts_with("==> lf_readMyParkAirports: ")) << readLog().back();
}

TEST_F(ParkAirportList, ManyAirportsWarn) {
    std::string file;
    for (int k = 1000; k < 4001; ++k) {
        airportTable.push_back(AirportRecord{"X" + std::to_string(k), "", 1.0, 1.0, 0.0, 1});
        file += airportTable.back().code + "\n";
    }
    read(file.c_str(), {}, true);
    EXPECT_EQ(mainWindowState.statusText,
              "Warning: There are a lot of airports (3001), that will cost Corvane much "
              "cpu time and may cause stutters");
}

TEST_F(ParkAirportList, AWrittenStandIsTheOneReadBack) {
    read("EHAM,A2\nEHAM\n", {}, true);
    {
        const std::lock_guard lock(parkAirportListMutex);
        parkAirportList.front().reservedStand = "B5";
        ASSERT_TRUE(gf_writeMyParkAirports());
    }
    const auto lines = readLog();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "my_park_airports.txt:EHAM,B5 updated stand"), 1);
    ASSERT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(parkAirportList.front().reservedStand, "B5");
}

} // namespace
} // namespace zeph
