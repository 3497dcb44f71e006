#pragma once
#include <algorithm>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "settings/parameter.h"

namespace zeph::test {

// The calls a recording stand-in has seen, as text, from any thread, in order. A call's kind is its text up
// to the first blank.
class CallLog {
public:
    void record(std::string call) {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::vector<std::string> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    std::size_t count(std::string_view kind) const {
        const std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(
            std::count_if(calls_.begin(), calls_.end(),
                          [&](const std::string& call) { return call.substr(0, call.find(' ')) == kind; }));
    }
    void clear() {
        const std::lock_guard lock(mutex_);
        calls_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

inline std::string boolText(bool value) { return value ? "true" : "false"; }

// A control is named by its parameter's key, or by its id when it belongs to no parameter.
inline std::string controlName(const ParameterControl& control) {
    if (const auto* parameter = dynamic_cast<const Parameter*>(&control)) {
        return parameter->key;
    }
    return "#" + std::to_string(control.controlId);
}

} // namespace zeph::test
