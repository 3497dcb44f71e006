#pragma once
#include <filesystem>

namespace zeph::test {

// A whole run's parameters.xml as a user leaves it ready to run: SCAN_LIVERIES ticked with lfolder0 = a
// one-livery tree below root (a generic B738, airline "ZZZ"), SCAN_AIRPORTS ticked with afolder0 = an empty
// folder below root. Written by scripts/seed_parameters.py into appDataDir/Corvane_P3D/parameters.xml.
void seedRunParameters(const std::filesystem::path& appDataDir, const std::filesystem::path& root);

// The one-livery tree alone: root/aircraft.cfg with its model, texture and flight-model file.
void writeOneLiveryTree(const std::filesystem::path& root);

} // namespace zeph::test
