#include "airports/bgl_file.h"

#include <bit>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>

#include <fmt/format.h>

#include "core/log.h"
#include "core/text_convert.h"

namespace zeph {

namespace {

constexpr std::uint32_t kHeaderBytes = 0x38;
constexpr std::size_t kHeaderWords = 14;
constexpr std::size_t kSectionWords = 5;
constexpr std::uint32_t kAirportSection = 3;
constexpr std::uint16_t kAirportId = 0x3C;
constexpr std::uint16_t kExtendedAirportId = 0xAB;

std::uint32_t littleEndianAt(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool readsAirportSection(BglWords words, std::size_t section) {
    const std::size_t base = kHeaderWords + kSectionWords * section;
    const std::uint32_t flag = bglWord(words, base + 1);
    return bglWord(words, base) == kAirportSection && ((flag & 0x10000U) | 0x40000U) == 0x40000U;
}

// The records of one airport section, from the first subsection's records on.
void walkRecords(BglWords words, std::size_t section, const std::filesystem::path& bglFile,
                 const BglAirportSink& sink) {
    const std::uint32_t subsections = bglWord(words, kHeaderWords + kSectionWords * section + 3);
    std::size_t index = bglWord(words, subsections / 4 + 2) / 4;
    for (int steps = 0; index < words.size(); ++steps) {
        if (steps == kBglLoopCap) {
            gf_logLine(fmt::format(
                "Error: Maximum loop iterations reached (2) {} possible corrupt BGL or malformed input.",
                kLogDash));
            return;
        }
        const std::uint16_t id = bglRecordId(words, index);
        const std::size_t sizeWords = bglRecordSize(words, index) / 4;
        if (id == kAirportId || id == kExtendedAirportId) {
            if (sizeWords == 0) {
                gf_logLine(fmt::format("   Warning: decodeSizeAtBoundary returned 0 at o2 = {}", index));
                return;
            }
            bool ok = false;
            std::string code;
            if (index + 10 < words.size()) {
                code = lf_decodeBglIcao(bglWord(words, index + 10), ok);
            }
            if (ok) {
                lf_processAirportRecord(words, index, id == kExtendedAirportId, sizeWords, code, bglFile,
                                        sink);
            }
        }
        if (sizeWords == 0) {
            return;
        }
        index += sizeWords;
    }
}

// The path for the log line; a name that is not UTF-8 is read as Windows-1252 so that Log.txt stays UTF-8.
std::string pathForLog(const std::filesystem::path& file) {
    try {
        return gf_path2s(file);
    } catch (const std::runtime_error&) {
        return lf_ansiToUtf8(file.string());
    }
}

} // namespace

bool lf_hasAirportSection(const std::filesystem::path& file) {
    // One read serves most files whole: this runs for every BGL file of the scenery folders.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.c_str(), "rb"), std::fclose);
    if (!in) {
        return false;
    }
    std::setvbuf(in.get(), nullptr, _IONBF, 0);
    std::vector<unsigned char> head(4096);
    head.resize(std::fread(head.data(), 1, head.size(), in.get()));
    std::uint64_t length = head.size();
    if (head.size() == 4096 && (std::fseek(in.get(), 0, SEEK_END) != 0 ||
                                (length = static_cast<std::uint64_t>(std::ftell(in.get()))) == 0)) {
        return false;
    }
    if (length <= kHeaderBytes) {
        return false;
    }
    const std::uint32_t count = littleEndianAt(head.data() + 20);
    if (count < 1 || count > (length - kHeaderBytes) / 20) {
        return false;
    }
    const std::size_t tableEnd = kHeaderBytes + std::size_t{count} * 20;
    if (tableEnd > head.size()) {
        head.resize(tableEnd);
        if (std::fseek(in.get(), 0, SEEK_SET) != 0 ||
            std::fread(head.data(), 1, tableEnd, in.get()) != tableEnd) {
            return false;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (littleEndianAt(head.data() + kHeaderBytes + 20 * i) == kAirportSection) {
            return true;
        }
    }
    return false;
}

bool lf_readBglWords(const std::filesystem::path& file, std::vector<std::uint32_t>& words) {
    words.clear();
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) {
        return false;
    }
    const std::streamoff length = in.tellg();
    if (length < 0 || !in.seekg(0)) {
        return false;
    }
    words.assign((static_cast<std::size_t>(length) + 3) / 4, 0);
    if (!in.read(reinterpret_cast<char*>(words.data()), length)) {
        words.clear();
        return false;
    }
    if constexpr (std::endian::native != std::endian::little) {
        for (std::uint32_t& word : words) {
            word = littleEndianAt(reinterpret_cast<const unsigned char*>(&word));
        }
    }
    return true;
}

void lf_walkBglWords(BglWords words, const std::filesystem::path& bglFile, const BglAirportSink& sink) {
    if (words.size() <= kHeaderWords || bglWord(words, 1) != kHeaderBytes) {
        return;
    }
    const std::uint64_t count = bglWord(words, 5);
    if (count < 1 || kHeaderWords + kSectionWords * count > words.size()) {
        return;
    }
    for (std::size_t section = 0; section < count; ++section) {
        if (readsAirportSection(words, section)) {
            walkRecords(words, section, bglFile, sink);
        }
    }
}

void lf_processBGLfile(const std::filesystem::path& bglFile, const BglAirportSink& sink) {
    try {
        std::vector<std::uint32_t> words;
        if (lf_readBglWords(bglFile, words)) {
            lf_walkBglWords(words, bglFile, sink);
        }
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("Exception in lf_processBGLfile (std::ex): {} {} {}", pathForLog(bglFile),
                               kLogDash, e.what()));
        throw;
    } catch (...) {
        gf_logLine(fmt::format("Exception in lf_processBGLfile: {}", pathForLog(bglFile)));
        throw;
    }
}

} // namespace zeph
