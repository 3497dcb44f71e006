#pragma once
// The record file of the stand-in: one JSON line per line it received or sent,
//     {"wall_ms":<ms since 1970>,"dir":"in"|"out","conn":<n>,"line":"<text>"}
// where conn is the TCP connection's number (1, 2, ...) and 0 for a datagram. The program's end of a
// connection is one more "in" line of that connection with an empty text and "eof":true.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

namespace zeph::rtfeed {

// A JSON string literal of text. Valid UTF-8 passes as it is; in other text each byte from 0x80 on becomes
// the character of the same number, so no line is lost or makes the file unreadable.
std::string jsonString(std::string_view text);

std::string recordLineJson(std::int64_t wallMs, std::string_view dir, int connection, std::string_view line);

// Adds lines from any thread. The first write error stops recording, with one line on stderr.
class LineRecord {
public:
    // Opens the file anew; throws std::runtime_error when it cannot.
    explicit LineRecord(const std::filesystem::path& file);
    ~LineRecord();
    LineRecord(const LineRecord&) = delete;
    LineRecord& operator=(const LineRecord&) = delete;

    void add(std::string_view dir, int connection, std::string_view line);
    void addEnd(int connection);

private:
    std::mutex mutex_;
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;

    void write(const std::string& text);
};

} // namespace zeph::rtfeed
