#include <cstdio>
#include <exception>

#include "core/log.h"

int main() {
    try {
        zeph::gf_openLog();
    } catch (const std::exception& error) {
        // Without a log there is nowhere else to say it.
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
