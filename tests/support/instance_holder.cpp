// instance_holder <name>: takes the single-instance lock called name, prints "held" and keeps the lock
// until its standard input closes. Prints "busy" and exits with 1 when another holder has it.
#include <cstdio>
#include <iostream>

#include "platform/single_instance.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: instance_holder <name>\n";
        return 2;
    }
    if (!zeph::acquireSingleInstance(argv[1])) {
        std::cout << "busy" << std::endl;
        return 1;
    }
    std::cout << "held" << std::endl;
    char buffer[256];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}
