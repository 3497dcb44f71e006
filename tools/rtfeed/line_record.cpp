#include "rtfeed/line_record.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include <fmt/format.h>

#include "rtfeed/scenario.h"

namespace zeph::rtfeed {

std::string jsonString(std::string_view text) {
    const bool utf8 = isUtf8(text);
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || (byte >= 0x80 && !utf8)) {
            out += fmt::format("\\u{:04x}", byte);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string recordLineJson(std::int64_t wallMs, std::string_view dir, int connection, std::string_view line) {
    return fmt::format("{{\"wall_ms\":{},\"dir\":{},\"conn\":{},\"line\":{}}}", wallMs, jsonString(dir),
                       connection, jsonString(line));
}

LineRecord::LineRecord(const std::filesystem::path& file)
    : path_(file), file_(std::fopen(file.c_str(), "w")) {
    if (file_ == nullptr) {
        throw std::runtime_error(
            fmt::format("cannot write the record file {}: {}", file.string(), std::strerror(errno)));
    }
}

LineRecord::~LineRecord() { std::fclose(file_); }

namespace {

std::int64_t wallMsNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

void LineRecord::add(std::string_view dir, int connection, std::string_view line) {
    write(recordLineJson(wallMsNow(), dir, connection, line) + "\n");
}

void LineRecord::addEnd(int connection) {
    std::string text = recordLineJson(wallMsNow(), "in", connection, "");
    text.insert(text.size() - 1, ",\"eof\":true");
    write(text + "\n");
}

void LineRecord::write(const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (failed_) {
        return;
    }
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        failed_ = true;
        std::cerr << fmt::format("rtfeed: recording stopped: cannot write {}: {}\n", path_.string(),
                                 std::strerror(errno))
                  << std::flush;
    }
}

} // namespace zeph::rtfeed
