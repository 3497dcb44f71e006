#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace zeph::test {

struct ChildResult {
    int exitCode = -1; // the exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// Runs a program to its end in the given folder and collects what it printed. Its standard input is empty.
ChildResult runChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::filesystem::path& workingDir);

// The process id of a child that has ended and been waited for: no process runs under it (until the system
// hands the number out again).
int endedProcessId();

} // namespace zeph::test
