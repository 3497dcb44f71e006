// gen_scenery: add-on scenery folders of BGL files.
//   gen_scenery --out DIR --files N --airport-share P --seed S [--codes EHAM,EGLL,...]   the benchmark's tree
//   gen_scenery --sample DIR                                                        one add-on airport
//   gen_scenery --seeds DIR                                                         the fuzz target's seeds

#include <cstdio>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "gen/scenery_tree.h"
#include "gen/usage.h"

namespace {

constexpr const char* kUsage =
    "usage: gen_scenery --out DIR [--files N] [--airport-share P] [--seed S] [--codes EHAM,EGLL,...]\n"
    "       gen_scenery --sample DIR | --seeds DIR\n"
    "Writes add-on scenery folders of BGL files: a tree for the benchmark, one sample add-on airport, or\n"
    "the fuzz target's seeds.\n"
    "Defaults: --files 1000, --airport-share 0.02, --seed 1, --codes EHAM,EGLL,LFPG,EDDF,KJFK.\n";

int run(int argc, char** argv) {
    std::string out;
    int files = 1000;
    double share = 0.02;
    std::uint32_t seed = 1;
    std::vector<std::string> codes{"EHAM", "EGLL", "LFPG", "EDDF", "KJFK"};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const std::string value = argv[i + 1];
        // "--sample --out DIR" once wrote a tree into a folder named "--out": an option is never a value.
        if (value.rfind("--", 0) == 0) {
            throw std::invalid_argument(flag + " needs a value, not the option " + value);
        }
        if (flag == "--sample") {
            zeph::gen::writeSampleScenery(value);
            return 0;
        }
        if (flag == "--seeds") {
            zeph::gen::writeFuzzSeeds(value);
            return 0;
        }
        if (flag == "--out") {
            out = value;
        } else if (flag == "--files") {
            files = std::stoi(value);
        } else if (flag == "--airport-share") {
            share = std::stod(value);
        } else if (flag == "--seed") {
            seed = static_cast<std::uint32_t>(std::stoul(value));
        } else if (flag == "--codes") {
            codes.clear();
            std::stringstream list(value);
            for (std::string code; std::getline(list, code, ',');) {
                codes.push_back(code);
            }
        } else {
            throw std::invalid_argument("unknown option " + flag);
        }
    }
    if (out.empty()) {
        throw std::invalid_argument(kUsage);
    }
    zeph::gen::writeScaleScenery(out, files, share, seed, codes);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (zeph::gen::printUsageOnHelp(argc, argv, kUsage)) {
        return 0;
    }
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_scenery: %s\n", e.what());
        return 1;
    }
}
