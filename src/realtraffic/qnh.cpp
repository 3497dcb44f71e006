#include "realtraffic/qnh.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/log.h"
#include "state/main_window_state.h"

namespace zeph {

std::atomic<std::int32_t> currentQnh{1013};

namespace {

using nlohmann::json;

constexpr std::int64_t kLowestHpa = 900;
constexpr std::int64_t kHighestHpa = 1100;
// hPa per hundredth of an inch of mercury: a value above the highest hPa is taken as inches x 100.
constexpr double kHpaPerHundredthInch = 0.33865307;

std::int32_t fitInt(double value) {
    if (!(value >= -2147483648.0 && value < 2147483648.0)) {
        throw std::out_of_range(fmt::format("QNH {} does not fit an int", value));
    }
    return static_cast<std::int32_t>(value);
}

// A number as single precision, rounded half away from zero.
std::int32_t roundedSingle(double value) {
    if (!(std::fabs(value) <= static_cast<double>(FLT_MAX))) {
        throw std::out_of_range(fmt::format("QNH {} does not fit a float", value));
    }
    return fitInt(static_cast<double>(std::round(static_cast<float>(value))));
}

// Integers are read whole: a cast to int would turn 2^32 + 1013 into 1013.
std::int64_t wholeInteger(const json& member) {
    if (member.is_number_unsigned()) {
        const auto value = member.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            throw std::out_of_range(fmt::format("QNH {} does not fit a 64-bit integer", value));
        }
        return static_cast<std::int64_t>(value);
    }
    return member.get<std::int64_t>();
}

std::int32_t toHectopascals(std::int64_t value) {
    if (value > kHighestHpa) {
        value = fitInt(std::round(static_cast<double>(value) * kHpaPerHundredthInch));
    }
    return static_cast<std::int32_t>(std::clamp(value, kLowestHpa, kHighestHpa));
}

bool isEmptyValue(const json& member) {
    return member.is_null() || ((member.is_object() || member.is_array()) && member.empty());
}

// The QNH the member gives, or nothing after its log line.
std::optional<std::int64_t> readQnh(QnhReader& reader, const json& member, std::string_view datagram) {
    if (member.is_number_integer()) {
        return wholeInteger(member);
    }
    if (member.is_number_float()) {
        return roundedSingle(member.get<double>());
    }
    if (member.is_string()) {
        const auto& text = member.get_ref<const std::string&>();
        int value = 0;
        if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc{}) {
            reader.logInputError(fmt::format("QNH string parse error: {} in {}", escapeOutsideBytes(text),
                                             escapeOutsideBytes(datagram)),
                                 gf_logLine);
            return std::nullopt;
        }
        return value;
    }
    reader.logInputError(fmt::format("no QNH {}", escapeOutsideBytes(datagram)), gf_logText);
    return std::nullopt;
}

void publish(QnhReader& reader, std::int32_t qnh) {
    // 1013 is always published again, so the reset's 1013 never hides a later one.
    if (qnh == reader.lastQnh.load() && qnh != 1013) {
        return;
    }
    reader.lastQnh.store(qnh);
    currentQnh.exchange(qnh);
    mainWindowState.qnh.store(qnh);
    std::int32_t silent = 2;
    mainWindowState.qnhReaderState.compare_exchange_strong(silent, 1);
    invalidateTopPanel();
}

} // namespace

void QnhReader::onDatagram(std::string_view datagram) { lf_onQnhDatagram(*this, datagram); }

void QnhReader::onStopped() { gf_logText("QNH Reader has stopped"); }

void lf_onQnhDatagram(QnhReader& reader, std::string_view datagram) {
    try {
        json value = json::parse(datagram.begin(), datagram.end());
        // A null top level becomes an object here; any other non-object throws a type error.
        const json& member = value["QNH"];
        if (isEmptyValue(member)) {
            reader.logInputError(fmt::format("no QNH {}", escapeOutsideBytes(datagram)), gf_logText);
            return;
        }
        if (const auto qnh = readQnh(reader, member, datagram)) {
            publish(reader, toHectopascals(*qnh));
        }
    } catch (const std::exception& e) {
        reader.logInputError(
            fmt::format("Exception {}, in {}", escapeOutsideBytes(e.what()), escapeOutsideBytes(datagram)),
            gf_logText);
    }
}

} // namespace zeph
