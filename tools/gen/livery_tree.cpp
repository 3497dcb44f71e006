#include "gen/livery_tree.h"

#include <array>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace zeph::gen {

namespace fs = std::filesystem;

namespace {

// The code points of UTF-8 text; throws for bytes that are not UTF-8.
std::vector<char32_t> decodeUtf8(const std::string& text) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80         ? 1
                           : (lead >> 5) == 6  ? 2
                           : (lead >> 4) == 14 ? 3
                           : (lead >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
            throw std::invalid_argument("not UTF-8 text");
        }
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next >> 6) != 2) {
                throw std::invalid_argument("not UTF-8 text");
            }
            point = (point << 6) | (next & 0x3F);
        }
        points.push_back(point);
        i += static_cast<std::size_t>(length);
    }
    return points;
}

// Windows-1252's characters at 0x80..0x9F; 0 where it has none.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char cp1252Byte(char32_t point) {
    if (point < 0x80 || (point >= 0xA0 && point <= 0xFF)) {
        return static_cast<char>(point);
    }
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] != 0 && kCp1252High[i] == point) {
            return static_cast<char>(0x80 + i);
        }
    }
    throw std::invalid_argument("character not in Windows-1252");
}

std::string utf16(const std::vector<char32_t>& points, bool bigEndian) {
    std::string out;
    auto unit = [&](char32_t u) {
        const char high = static_cast<char>(u >> 8);
        const char low = static_cast<char>(u & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (const char32_t point : points) {
        if (point >= 0x10000) {
            unit(0xD800 + ((point - 0x10000) >> 10));
            unit(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            unit(point);
        }
    }
    return out;
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("could not write " + file.string());
    }
}

} // namespace

std::string encodeText(const std::string& utf8, Encoding encoding) {
    switch (encoding) {
    case Encoding::Raw:
        return utf8;
    case Encoding::Utf8:
        decodeUtf8(utf8);
        return utf8;
    case Encoding::Utf8Bom:
        decodeUtf8(utf8);
        return "\xEF\xBB\xBF" + utf8;
    case Encoding::Utf16LeBom:
        return "\xFF\xFE" + utf16(decodeUtf8(utf8), false);
    case Encoding::Utf16BeBom:
        return "\xFE\xFF" + utf16(decodeUtf8(utf8), true);
    case Encoding::Utf16LeNoBom:
        return utf16(decodeUtf8(utf8), false);
    case Encoding::Cp1252: {
        std::string out;
        for (const char32_t point : decodeUtf8(utf8)) {
            out += cp1252Byte(point);
        }
        return out;
    }
    }
    throw std::invalid_argument("unknown encoding");
}

AircraftDir::AircraftDir(fs::path folder, Encoding encoding, LineEnd lineEnd)
    : folder_(std::move(folder)), encoding_(encoding), lineEnd_(lineEnd) {}

AircraftDir& AircraftDir::fileName(std::string name) {
    fileName_ = std::move(name);
    return *this;
}

AircraftDir& AircraftDir::atcModel(const std::string& type) {
    if (lines_.empty()) {
        lines_.emplace_back("[General]");
    }
    return key("atc_model", type);
}

AircraftDir& AircraftDir::section(int number) { return header("[fltsim." + std::to_string(number) + "]"); }

AircraftDir& AircraftDir::header(const std::string& text) {
    if (!lines_.empty()) {
        lines_.emplace_back();
    }
    return line(text);
}

AircraftDir& AircraftDir::key(const std::string& name, const std::string& value) {
    return line(name + "=" + value);
}

AircraftDir& AircraftDir::line(const std::string& text) {
    lines_.push_back(text);
    return *this;
}

AircraftDir& AircraftDir::livery(int number, const std::string& title, const std::string& texture) {
    section(number).title(title).sim("ac").model("").texture(texture);
    return folder("model").folder(texture.empty() ? "texture" : "texture." + texture).airFile("ac.air");
}

AircraftDir& AircraftDir::folder(const std::string& name) {
    folders_.push_back(name);
    return *this;
}

AircraftDir& AircraftDir::airFile(const std::string& name) {
    files_.push_back(name);
    return *this;
}

AircraftDir& AircraftDir::rawBytes(std::string bytes) {
    raw_ = std::make_unique<std::string>(std::move(bytes));
    return *this;
}

std::string AircraftDir::bytes() const {
    if (raw_) {
        return *raw_;
    }
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const bool crlf = lineEnd_ == LineEnd::Crlf || (lineEnd_ == LineEnd::Mixed && i % 2 == 1);
        text += lines_[i];
        text += crlf ? "\r\n" : "\n";
    }
    return encodeText(text, encoding_);
}

void AircraftDir::write() const {
    fs::create_directories(folder_);
    for (const std::string& name : folders_) {
        fs::create_directories(folder_ / name);
    }
    for (const std::string& name : files_) {
        writeBytes(folder_ / name, "");
    }
    writeBytes(folder_ / fileName_, bytes());
}

LiveryTree::LiveryTree(fs::path root) : root_(std::move(root)) {}

AircraftDir& LiveryTree::ac(const std::string& lfolder, const std::string& relPath, Encoding encoding,
                            LineEnd lineEnd) {
    const std::string key = lfolder + "/" + relPath;
    auto& dir = dirs_[key];
    if (!dir) {
        dir = std::make_unique<AircraftDir>(root_ / lfolder / relPath, encoding, lineEnd);
    }
    return *dir;
}

void LiveryTree::write() const {
    fs::create_directories(root_);
    for (const auto& [key, dir] : dirs_) {
        dir->write();
    }
}

} // namespace zeph::gen
