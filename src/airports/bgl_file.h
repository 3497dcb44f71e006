#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

#include "airports/bgl_airport_record.h"

// A BGL scenery file as the add-on airport scan reads it: a quick look whether it holds an airport section,
// the whole file as little-endian words, and the walk over its sections and records.

namespace zeph {

// Whether the file opens, is longer than its header and names at least one airport section (type 3) in a
// section table that fits the file. Reads the header fields and the section table only.
bool lf_hasAirportSection(const std::filesystem::path& file);

// The whole file as little-endian words, the last one padded with zero bytes; false when it cannot be read.
bool lf_readBglWords(const std::filesystem::path& file, std::vector<std::uint32_t>& words);

// The airport sections of the words and every known airport in them, each passed to sink. Problems of the
// file's structure are logged; a word access past the end throws std::out_of_range.
void lf_walkBglWords(BglWords words, const std::filesystem::path& bglFile, const BglAirportSink& sink);

// One scan task: reads and walks the file. An exception is logged and passed on to the task's future.
void lf_processBGLfile(const std::filesystem::path& bglFile, const BglAirportSink& sink);

} // namespace zeph
