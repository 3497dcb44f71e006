#pragma once
#include <filesystem>

namespace zeph {

// name.ext -> name0.ext before the caller rewrites the file. True when the file is missing or was copied.
bool gf_save1GenerationOf(const std::filesystem::path& file);

// name00.ext -> name000.ext, name0.ext -> name00.ext, name.ext -> name0.ext, for a file that the caller
// empties next (the log); every step runs whatever the earlier ones did. A step whose copy fails renames
// instead, so a full disk never costs a generation. False when any copy failed or the name has no dot.
bool gf_saveUpto3GenerationsOf(const std::filesystem::path& file);

// One copy step: a missing source is no error; a failure is logged and clears ok.
void lf_copyGeneration(bool& ok, const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace zeph
