#pragma once
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include "aircraft/aircraft_cfg_reader.h"

// Liveries below IVAO_MTL or ivao_x-csl: the type comes from the aircraft's folder name (IVAO_<type>), the
// airline from the three characters after the type at the start of each title. Never cargo.

namespace zeph {

std::list<ScanCandidate> lf_searchLiveriesinIVAOFile(int folderNumber, const std::filesystem::path& file);
// The type from the path, or empty after an invalid-type entry.
std::string lf_fixIvaoModels(const std::filesystem::path& file);
std::list<ScanCandidate> lf_procesIVAOFltSimSections(int folderNumber, const std::vector<std::string>& lines,
                                                     const std::string& type,
                                                     const std::filesystem::path& file,
                                                     const std::filesystem::path& aircraftFolder,
                                                     const WinFolder& listing);
std::list<ScanCandidate> lf_procesIVAOFltSimSection(int folderNumber, std::vector<std::string>& sectionLines,
                                                    const std::string& type,
                                                    const std::filesystem::path& file,
                                                    const std::filesystem::path& aircraftFolder,
                                                    const WinFolder& listing);

} // namespace zeph
