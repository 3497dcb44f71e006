// Opens the log as the program's entry point does and logs its one argument, so tests can watch the
// rotation of Log.txt over several starts.
#include <cstdio>
#include <exception>

#include "core/log.h"

int main(int argc, char** argv) {
    try {
        zeph::gf_openLog();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    zeph::gf_logLine(argc > 1 ? argv[1] : "");
    return 0;
}
