#include "realtraffic/input_log_limit.h"

#include <utility>

#include <fmt/format.h>

namespace zeph {

InputLogLimit::InputLogLimit(std::string readerName, Clock clock)
    : readerName_(std::move(readerName)), clock_(std::move(clock)) {}

InputLogLimit::Admission InputLogLimit::admit() {
    const TimePoint now = clock_();
    if (!windowStart_ || now - *windowStart_ >= kWindow) {
        windowStart_ = now;
        written_ = 0;
    }
    if (written_ >= kLinesPerWindow) {
        ++heldBack_;
        return {};
    }
    ++written_;
    return {true, heldBackLine()};
}

std::optional<std::string> InputLogLimit::takeHeldBack() { return heldBackLine(); }

std::optional<std::string> InputLogLimit::heldBackLine() {
    if (heldBack_ == 0) {
        return std::nullopt;
    }
    return fmt::format("{}: {} error lines not logged", readerName_, std::exchange(heldBack_, 0));
}

std::string escapeOutsideBytes(std::string_view bytes) {
    const bool cut = bytes.size() > kQuotedBytesLimit;
    if (cut) {
        bytes = bytes.substr(0, kQuotedBytesLimit);
    }
    std::string text;
    text.reserve(bytes.size() + 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            fmt::format_to(std::back_inserter(text), "\\x{:02x}", byte);
        } else {
            text.push_back(c);
        }
    }
    if (cut) {
        text += "...";
    }
    return text;
}

} // namespace zeph
