#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "gen/demo/demo_files.h"
#include "gen/demo/scene.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using zeph::test::readFileBytes;
using zeph::test::runChild;
using zeph::test::TempDir;

const fs::path kAirport = fs::path(CORVANE_SOURCE_DIR) / "data/site/downloads/P3D/archive/stock/EDDF.xml";
const fs::path kScene = fs::path(CORVANE_SOURCE_DIR) / "data/demo/eddf-scene.json";

nlohmann::json sampleScene() { return nlohmann::json::parse(readFileBytes(kScene)); }

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');) {
        fields.push_back(field);
    }
    if (!line.empty() && line.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

TEST(GenDemo, BrokenScenesNameTheAircraftAndTheFault) {
    struct Case {
        const char* name;
        nlohmann::json::json_pointer at;
        nlohmann::json value;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"unknown stand", "/aircraft/2/legs/0/parked"_json_pointer, "Z9", "scene: BAW902: unknown stand Z9"},
        {"unknown point", "/aircraft/3/legs/3/taxi/2"_json_pointer, "Nowhere",
         "scene: AFR1235: unknown point Nowhere"},
        {"backward leg", "/aircraft/0/legs/0/to"_json_pointer, 1,
         "scene: DLH4AB: leg times 2 to 1 do not run forward"},
        {"overlapping legs", "/aircraft/3/legs/1/from"_json_pointer, 70,
         "scene: AFR1235: leg from 70 starts before the leg before ends"},
        {"static hexid", "/aircraft/1/hexid"_json_pointer, "2710",
         "scene: UPS232: hexid 2710 is not a hex number above 10000"},
        {"altitudes",
         "/aircraft/7/legs/0/alts"_json_pointer,
         {4000},
         "scene: CFG123: an air leg needs one altitude per point"},
        {"fault copy", "/faults/0/like"_json_pointer, "XYZ1",
         "scene: XYZ1: a fault line copies an aircraft the scene does not fly"},
    };
    for (const Case& c : cases) {
        nlohmann::json scene = sampleScene();
        scene[c.at] = c.value;
        try {
            zeph::gen::buildDemoFiles(zeph::gen::parseScene(kAirport, scene), {10, 1});
            ADD_FAILURE() << c.name << ": no error";
        } catch (const zeph::gen::SceneError& e) {
            EXPECT_EQ(e.what(), c.message) << c.name;
        }
    }
}

// The sample scene makes the same bytes twice; its traffic lines are whole and in time order, and a bad
// scene ends the program with 2 before any file is written.
TEST(GenDemo, WritesReproducibleScenariosOrNothing) {
    TempDir dir;
    const std::vector<std::string> args = {
        "--airport", kAirport.string(), "--scene", kScene.string(), "--soak",
        "20",        "--minutes",       "2",       "--out"};
    auto run = [&](const fs::path& out, const fs::path& scene) {
        std::vector<std::string> all = args;
        all.push_back(out.string());
        all[3] = scene.string();
        return runChild(GEN_DEMO_EXE, all, dir.path());
    };
    ASSERT_EQ(run(dir / "a", kScene).exitCode, 0);
    ASSERT_EQ(run(dir / "b", kScene).exitCode, 0);
    for (const char* name :
         {"scenario.scn", "expect.json", "short.scn", "short-expect.json", "soak.scn", "world.json"}) {
        EXPECT_EQ(readFileBytes(dir / "a" / name), readFileBytes(dir / "b" / name)) << name;
    }
    for (const char* name : {"scenario.scn", "short.scn", "soak.scn"}) {
        std::ifstream in(dir / "a" / name);
        double previous = 0;
        int lines = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') {
                continue;
            }
            const double at = std::stod(line);
            const std::vector<std::string> fields = fieldsOf(line.substr(line.find(" T ") + 3));
            ASSERT_EQ(fields.size(), 29U) << name << ": " << line;
            EXPECT_GE(at, previous) << name << ": " << line;
            EXPECT_EQ(fields[14], "{now}") << line;
            EXPECT_EQ(fields[17] == "adsb_icao", !fields[25].empty()) << line;
            previous = at;
            ++lines;
        }
        EXPECT_GT(lines, 100) << name;
    }
    const auto expect = nlohmann::json::parse(readFileBytes(dir / "a" / "expect.json"));
    EXPECT_EQ(expect["endAfter"], 355);
    EXPECT_EQ(expect["statics"].size(), 6U);

    nlohmann::json broken = sampleScene();
    broken["aircraft"][2]["legs"][0]["parked"] = "Z9";
    std::ofstream(dir / "broken.json") << broken.dump();
    const zeph::test::ChildResult result = run(dir / "c", dir / "broken.json");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "scene: BAW902: unknown stand Z9\n");
    EXPECT_FALSE(fs::exists(dir / "c") && !fs::is_empty(dir / "c"));
}

// An option never stands in for a folder: "--sample --out DIR" is refused before anything is written, so no
// folder named "--out" appears where the generator runs.
TEST(GenScenery, RefusesAnOptionWhereAFolderBelongs) {
    TempDir dir;
    const zeph::test::ChildResult result = runChild(GEN_SCENERY_EXE, {"--sample", "--out", "x"}, dir.path());
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("--sample needs a value, not the option --out"), std::string::npos)
        << result.err;
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

} // namespace
