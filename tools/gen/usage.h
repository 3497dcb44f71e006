#pragma once
// The generators' answer to --help: their usage, with the defaults, on stdout.
#include <cstdio>
#include <string_view>

namespace zeph::gen {

// True, once the usage is printed, when one of the arguments is --help.
inline bool printUsageOnHelp(int argc, char** argv, const char* usage) {
    for (int k = 1; k < argc; ++k) {
        if (std::string_view(argv[k]) == "--help") {
            std::fputs(usage, stdout);
            return true;
        }
    }
    return false;
}

} // namespace zeph::gen
