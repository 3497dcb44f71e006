// gen_demo: the files of the demo run from a scene and the airport file whose stands it uses.
//   gen_demo --airport EDDF.xml --scene eddf-scene.json --out DIR [--soak N --minutes M]
// A scene that cannot be used ends it with 2 and the fault on stderr, before any file is written.

#include <cstdio>
#include <exception>
#include <string>

#include "gen/demo/demo_files.h"
#include "gen/demo/scene.h"
#include "gen/usage.h"

namespace {

constexpr int kUsageExit = 2;
constexpr const char* kUsage =
    "usage: gen_demo --airport FILE --scene FILE --out DIR [--soak N --minutes M]\n"
    "Writes the demo run's scenarios, simulator world and expectations from a scene and an airport file.\n"
    "Defaults: --soak 500 aircraft, --minutes 15 (the soak scenario's).\n";

struct Arguments {
    std::string airport;
    std::string scene;
    std::string out;
    zeph::gen::SoakOptions soak;
};

bool parseArguments(int argc, char** argv, Arguments& args) {
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string flag = argv[k];
        const std::string value = argv[k + 1];
        if (flag == "--airport") {
            args.airport = value;
        } else if (flag == "--scene") {
            args.scene = value;
        } else if (flag == "--out") {
            args.out = value;
        } else if (flag == "--soak") {
            args.soak.aircraft = std::stoi(value);
        } else if (flag == "--minutes") {
            args.soak.minutes = std::stoi(value);
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && !args.airport.empty() && !args.scene.empty() && !args.out.empty() &&
           args.soak.aircraft >= 0 && args.soak.minutes > 0;
}

} // namespace

int main(int argc, char** argv) {
    if (zeph::gen::printUsageOnHelp(argc, argv, kUsage)) {
        return 0;
    }
    Arguments args;
    try {
        if (!parseArguments(argc, argv, args)) {
            std::fputs(kUsage, stderr);
            return kUsageExit;
        }
        const zeph::gen::Scene scene = zeph::gen::readScene(args.airport, args.scene);
        zeph::gen::writeFilesAtomically(args.out, zeph::gen::buildDemoFiles(scene, args.soak));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return kUsageExit;
    }
}
