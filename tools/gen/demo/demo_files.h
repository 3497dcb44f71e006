#pragma once
// The files of a demo run, made from a scene: the traffic scenarios for the RealTraffic stand-in, the world
// of the simulator stand-in and what a run of each scenario is expected to show.
#include <filesystem>
#include <map>
#include <string>

#include "gen/demo/scene.h"

namespace zeph::gen {

struct SoakOptions {
    int aircraft = 500;
    int minutes = 15;
};

// File name to content: scenario.scn, expect.json, short.scn, short-expect.json, soak.scn and world.json.
// Throws SceneError for a fault line that copies an aircraft the scene lacks.
std::map<std::string, std::string> buildDemoFiles(const Scene& scene, const SoakOptions& soak);

// Writes every file under a temporary name first and renames them only when all were written, so a failure
// leaves no file of this run behind. Throws std::runtime_error naming the file that failed.
void writeFilesAtomically(const std::filesystem::path& folder,
                          const std::map<std::string, std::string>& files);

} // namespace zeph::gen
