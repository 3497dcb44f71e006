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
        return entries();
    }
    static std::string entries() {
        std::string text;
        for (const ParkAirport& entry : parkAirportList) {
            text += entry.code + "," + entry.reservedStand + ";";
        }
        return text;
    }
};

TEST_F(ParkAirportList, LinesAndThirdpartyFiles) {
    EXPECT_EQ(read("EGLL\nEGLL,A12\n", {}, true), "EGLL,;");
    EXPECT_EQ(read("\xEF\xBB\xBF"
                   "A,B,C\r\n\n",
                   {}, true),
              "");
    EXPECT_EQ(read("QQQQ\n\tEHAM , B5\nEGLL,\n", {}, false), "EHAM,B5;EGLL,;");
    EXPECT_EQ(read("EHAM,A%2C\nEGLL,B%,x\n", {}, true), "EHAM,A%2C;") << "as written before: no escapes";
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
    const struct {
        std::string id;
        const char* line; // as written
    } cases[] = {
        {"B5", "EHAM,B5"},
        {"G,3", "EHAM,G%2C3,escaped"},
        {"A\nB\r\t", "EHAM,A%0AB%0D%09,escaped"},
        {" 100% ", "EHAM,%20100%25%20,escaped"},
        {"A%2C", "EHAM,A%252C,escaped"},
        {std::string("N\0L\x7F\xC3\xA9 x", 8), "EHAM,N%00L%7F\xC3\xA9 x,escaped"},
    };
    for (const auto& c : cases) {
        read("EHAM,A2\nEHAM\nEGLL,X\n", {}, true);
        {
            const std::lock_guard lock(parkAirportListMutex);
            parkAirportList.front().reservedStand = c.id;
            ASSERT_TRUE(gf_writeMyParkAirports());
        }
        EXPECT_EQ(test::readFileBytes(dir() / "airports" / "my_park_airports.txt"),
                  std::string("EGLL,X\n") + c.line + "\n");
        ASSERT_TRUE(lf_readMyParkAirports()) << c.line;
        EXPECT_EQ(entries(), "EGLL,X;EHAM," + c.id + ";") << c.line;
    }
    const auto lines = readLog();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "my_park_airports.txt:EHAM,B5 updated stand"), 1);
}

} // namespace
} // namespace zeph
