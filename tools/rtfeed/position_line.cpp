#include "rtfeed/position_line.h"

#include <array>
#include <charconv>
#include <cmath>
#include <numbers>

namespace zeph::rtfeed {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

std::optional<double> readNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<PositionReport> decodePositionLine(std::string_view line) {
    static constexpr std::string_view kPrefix = "Qs121=";
    if (!line.starts_with(kPrefix)) {
        return std::nullopt;
    }
    line.remove_prefix(kPrefix.size());
    if (line.ends_with("\r\n")) {
        line.remove_suffix(2);
    }
    std::array<double, 7> values{};
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::size_t end = line.find(';');
        const bool last = k + 1 == values.size();
        if (last != (end == std::string_view::npos)) {
            return std::nullopt;
        }
        const auto value = readNumber(line.substr(0, end));
        if (!value) {
            return std::nullopt;
        }
        values[k] = *value;
        line.remove_prefix(last ? line.size() : end + 1);
    }
    return PositionReport{values[0] / 100000.0,         values[1] / 100000.0, values[2],
                          values[3] / 1000.0,           values[4] / 1000.0,   values[5] * kDegreesPerRadian,
                          values[6] * kDegreesPerRadian};
}

} // namespace zeph::rtfeed
