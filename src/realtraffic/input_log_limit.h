#pragma once
// Keeps input from the network from flooding Log.txt or forging lines in it: each reader writes at most 20
// error lines a minute, and outside bytes are quoted escaped and cut.
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zeph {

// The error-line budget of one reader. Windows are fixed: one starts with the first line after the previous
// one has run out, and admits kLinesPerWindow lines; later lines in it are counted, not written. The first
// line written after the window, or the reader's stop, brings the count out as "{}: {} error lines not
// logged". One reader thread uses it; it is not shared.
class InputLogLimit {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    static constexpr int kLinesPerWindow = 20;
    static constexpr std::chrono::seconds kWindow{60};

    explicit InputLogLimit(std::string readerName, Clock clock = &std::chrono::steady_clock::now);

    struct Admission {
        bool write = false;                  // whether the error line may be written now
        std::optional<std::string> heldBack; // a count of held-back lines, to be written before it
    };
    // Asks to write one error line.
    Admission admit();
    // At the reader's stop: the count of lines held back since the last line written, if any. The count is
    // then cleared.
    std::optional<std::string> takeHeldBack();

    int heldBackCount() const { return heldBack_; }

private:
    std::optional<std::string> heldBackLine();

    std::string readerName_;
    Clock clock_;
    std::optional<TimePoint> windowStart_;
    int written_ = 0;
    int heldBack_ = 0;
};

// The longest run of outside bytes quoted in a log line.
inline constexpr std::size_t kQuotedBytesLimit = 512;

// Outside bytes as they may appear in a log line: bytes below 0x20 and 0x7F as "\xNN" (two lowercase hex
// digits), everything else unchanged; more than 512 bytes are cut to 512 and followed by "...".
std::string escapeOutsideBytes(std::string_view bytes);

} // namespace zeph
