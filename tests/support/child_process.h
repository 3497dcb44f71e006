#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
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

// Runs run in a forked child whose files may grow to limitBytes only: a write past it fails with EFBIG, as on
// a full disk (root ignores permission bits, not this limit). The open log is flushed first, so the child
// never writes the parent's pending lines again. What run returned; none when the child did not end normally.
std::optional<bool> runWithFileSizeLimit(std::uint64_t limitBytes, const std::function<bool()>& run);
// Inside run: lifts that limit again, as when room is freed on the disk.
void liftFileSizeLimit();

// Runs run in a forked child in a user namespace of its own, where root's rights over the files of the
// machine are gone: their permission bits hold for it, so a folder without any shuts it out also when the
// caller is root. What run returned; none where the machine allows no such namespace. A child that fails
// otherwise throws.
std::optional<bool> runWithoutRootFileRights(const std::function<bool()>& run);

} // namespace zeph::test
