#pragma once
#include <atomic>
#include <string>

namespace zeph {

class Parameter {
public:
    explicit Parameter(std::string key) : key(std::move(key)) {}
    virtual ~Parameter() = default;

    std::string key;
};

// min and max are plain copies of the default and bound nothing. The value is atomic so that the GUI
// thread may change it while other threads read it.
class BoolParameter : public Parameter {
public:
    BoolParameter(std::string key, bool defaultValue)
        : Parameter(std::move(key)), defaultValue(defaultValue), min(defaultValue), max(defaultValue),
          value(defaultValue) {}

    bool get() const { return value.load(std::memory_order_relaxed); }
    void setValue(bool v) { value.store(v, std::memory_order_relaxed); }

    bool defaultValue;
    bool min;
    bool max;
    std::atomic<bool> value;
};

} // namespace zeph
