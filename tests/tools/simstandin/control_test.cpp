// The control channel's lines and the world file, in-process.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "simstandin/control.h"
#include "simstandin/world_file.h"
#include "support/temp_dir.h"

namespace zeph::test {
namespace {

using nlohmann::json;
namespace st = zeph::standin;

json ask(st::SimStandin& standin, const std::string& line) {
    bool shutdown = false;
    return json::parse(st::handleControlLine(standin, line, shutdown));
}

TEST(StandinControl, CommandsChangeTheWorld) {
    st::SimStandin standin;
    struct Case {
        const char* name;
        std::string line;
        std::function<bool(const json& reply)> check;
    };
    const std::vector<Case> cases = {
        {"setUser",
         R"({"cmd":"setUser","lat":47.46,"lon":8.55,"alt":1416,"title":"T\u00ae","onGround":false})",
         [&](const json&) {
             const st::SimObject user = standin.objects()[0];
             return user.lat == 47.46 && user.title == "T\xAE" && !user.onGround;
         }},
        {"moveUser keeps the title", R"({"cmd":"moveUser","lat":1,"title":"ignored"})",
         [&](const json&) {
             return standin.objects()[0].lat == 1.0 && standin.objects()[0].title == "T\xAE";
         }},
        {"setClock from text", R"({"cmd":"setClock","utc":"2024-03-01T12:30:00Z"})",
         [&](const json&) { return standin.clockMs() == 1709296200000; }},
        {"advanceClock", R"({"cmd":"advanceClock","ms":250})",
         [&](const json& r) { return r.at("clockMs") == 1709296200250; }},
        {"addTraffic", R"({"cmd":"addTraffic","atcId":"N123","lat":1,"lon":2,"agl":500})",
         [&](const json& r) { return r.at("objectId") == 1000000 && standin.objects().size() == 2; }},
        {"removeTraffic", R"({"cmd":"removeTraffic","objectId":1000000})",
         [&](const json& r) { return r.at("removed") == true && standin.objects().size() == 1; }},
        {"removeTraffic of the user", R"({"cmd":"removeTraffic","objectId":1})",
         [&](const json& r) { return r.at("removed") == false; }},
        {"stepFrames", R"({"cmd":"stepFrames","count":3})",
         [&](const json& r) { return r.at("frame") == 3; }},
        {"setSimRunning", R"({"cmd":"setSimRunning","running":false})",
         [&](const json&) { return !standin.simRunning(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const json reply = ask(standin, c.line);
        ASSERT_EQ(reply.at("ok"), true) << reply.dump();
        EXPECT_TRUE(c.check(reply)) << reply.dump();
    }
}

TEST(StandinControl, BadLinesAreAnsweredWithTheirError) {
    st::SimStandin standin;
    struct Case {
        const char* name;
        std::string line;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"malformed", "{", "malformed JSON"},
        {"no cmd", R"({"count":1})", "cmd: expected the command name as a string"},
        {"unknown", R"({"cmd":"takeOff"})", "unknown command 'takeOff'"},
        {"negative count", R"({"cmd":"stepFrames","count":-1})", "stepFrames.count: expected an integer"},
        {"frame rate 0", R"({"cmd":"setFrameRate","hz":0})", "setFrameRate.hz: must be above 0"},
        {"bad time", R"({"cmd":"setClock","utc":"yesterday"})", "setClock.utc: expected a time"},
        {"text above U+00FF", R"({"cmd":"setUser","title":"\u20ac"})", "setUser.title: only characters"},
        {"odd hex", R"({"cmd":"injectMessage","hex":"abc"})", "injectMessage.hex: expected an even number"},
        {"titles not an array", R"({"cmd":"refuseTitles","titles":"A320"})",
         "refuseTitles.titles: expected an array"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const json reply = ask(standin, c.line);
        EXPECT_EQ(reply.at("ok"), false);
        EXPECT_NE(reply.at("error").get<std::string>().find(c.error), std::string::npos) << reply.dump();
    }
}

TEST(StandinControl, TextsAreBytesBothWays) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string text = st::bytesToJsonText(all);
    EXPECT_NO_THROW((void)json(text).dump()) << "valid UTF-8";
    EXPECT_EQ(st::jsonTextToBytes(text, "field"), all);
}

TEST(StandinControl, WorldFileSetsTheWorldUp) {
    TempDir dir;
    writeFileBytes(dir / "world.json", R"({
        "setGround": 1000,
        "setUser": {"lat": 10, "lon": 20, "alt": 1000, "title": "X"},
        "addTraffic": [{"atcId": "A1", "lat": 10.01, "lon": 20, "agl": 50},
                       {"atcId": "A2", "lat": 10.02, "lon": 20, "agl": 0}],
        "refuseTitles": ["Bad Title"],
        "setClock": "2025-06-01T00:00:00Z"
    })");
    st::SimStandin standin;
    st::loadWorldFile(standin, (dir / "world.json").string());
    const std::vector<st::SimObject> objects = standin.objects();
    ASSERT_EQ(objects.size(), 3U);
    EXPECT_EQ(objects[0].title, "X");
    EXPECT_EQ(objects[1].alt, 1050.0) << "traffic sits on the ground set before it";
    EXPECT_EQ(standin.clockMs(), 1748736000000);
}

} // namespace
} // namespace zeph::test
