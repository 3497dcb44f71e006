#pragma once
#include <algorithm>
#include <atomic>
#include <concepts>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace zeph {

// The window's handle of a control; null until the window has made the control.
using ControlHandle = void*;

// Every setting has a key under which parameters.xml stores it. Only the destructors of the family are
// virtual, so that an object can be destroyed through either of its bases.
class Parameter {
public:
    explicit Parameter(std::string key) : key(std::move(key)) {}
    virtual ~Parameter() = default;
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    const std::string key;
};

// The four strings sit behind the parameter's own mutex: a string cannot be read whole while another
// thread replaces it. Readers get copies.
class StringParameter : public Parameter {
public:
    StringParameter(std::string key, std::string defaultValue);

    std::string get() const;
    std::string getDefault() const;
    std::string getMin() const;
    std::string getMax() const;

    void setValue(std::string value);
    // A whole write with defaults records the running version as PROGRAM_VERSION's default.
    void setDefault(std::string value);
    // The value, then this key's save, with no other save or read of parameters.xml in between.
    void set(std::string value);
    void save();
    void appendTo(pugi::xml_node parameters, bool defaults);
    // The stored value when the key is in the document (true), else the default (false); then log().
    bool read(const pugi::xml_document& document);
    void log() const;

private:
    mutable std::mutex mutex_;
    std::string default_;
    std::string min_;
    std::string max_;
    std::string value_;
};

// min and max are plain copies of the default and bound nothing. The value is atomic so that the GUI
// thread may change it while other threads read it.
class BoolParameter : public Parameter {
public:
    BoolParameter(std::string key, bool defaultValue)
        : Parameter(std::move(key)), defaultValue(defaultValue), min(defaultValue), max(defaultValue),
          value_(defaultValue) {}

    bool get() const { return value_.load(std::memory_order_relaxed); }
    void setValue(bool v) { value_.store(v, std::memory_order_relaxed); }
    void set(bool v);
    void save();
    void appendTo(pugi::xml_node parameters, bool defaults);
    void log() const;

    const bool defaultValue;
    const bool min;
    const bool max;

private:
    std::atomic<bool> value_;
};

template <class T>
requires std::same_as<T, std::int32_t> || std::same_as<T, float>
class NumParameter;

// The stored operations of the int form, behind its members below.
void setAndSaveIntParameter(NumParameter<std::int32_t>& parameter, std::int32_t value);
void saveIntParameter(NumParameter<std::int32_t>& parameter);
void appendIntParameterElement(NumParameter<std::int32_t>& parameter, pugi::xml_node parameters,
                               bool defaults);
void logIntParameter(const NumParameter<std::int32_t>& parameter);

// A number with bounds; reading parameters.xml clamps the stored value to min..max. Only the int form is
// stored: the float form is the MAX_FIT_FL combo, which shows MAX_FIT in hours.
template <class T>
requires std::same_as<T, std::int32_t> || std::same_as<T, float>
class NumParameter : public Parameter {
public:
    NumParameter(std::string key, T defaultValue, T min, T max)
        : Parameter(std::move(key)), defaultValue(defaultValue), min(min), max(max), value_(defaultValue) {}

    T get() const { return value_.load(std::memory_order_relaxed); }
    void setValue(T v) { value_.store(v, std::memory_order_relaxed); }
    T clamp(T v) const { return std::clamp(v, min, max); }

    void set(T v) requires std::same_as<T, std::int32_t> { setAndSaveIntParameter(*this, v); }
    void save() requires std::same_as<T, std::int32_t> { saveIntParameter(*this); }
    void appendTo(pugi::xml_node parameters, bool defaults) requires std::same_as<T, std::int32_t> {
        appendIntParameterElement(*this, parameters, defaults);
    }
    void log() const requires std::same_as<T, std::int32_t> { logIntParameter(*this); }

    const T defaultValue;
    const T min;
    const T max;

private:
    std::atomic<T> value_;
};

// The part of a shown parameter that ties it to its control in the main window. handle and prevProc
// belong to the GUI thread, which alone makes and subclasses the controls.
class ParameterControl {
public:
    ParameterControl(std::uint16_t controlId, std::int32_t row) : controlId(controlId), row(row) {}
    virtual ~ParameterControl() = default;
    ParameterControl(const ParameterControl&) = delete;
    ParameterControl& operator=(const ParameterControl&) = delete;

    const std::uint16_t controlId;
    const std::int32_t row; // pixel row (y) of the control in the main window
    ControlHandle handle{};
    std::uintptr_t prevProc{}; // previous window procedure of a subclassed edit field
};

class CheckBoxParameter : public BoolParameter, public ParameterControl {
public:
    CheckBoxParameter(std::string key, bool defaultValue, std::uint16_t controlId, std::int32_t row)
        : BoolParameter(std::move(key), defaultValue), ParameterControl(controlId, row) {}
};

namespace detail {
template <class T> const T& firstChoice(const std::vector<T>& choices) {
    if (choices.empty()) {
        throw std::invalid_argument("a combo box needs at least one choice");
    }
    return choices.front();
}
} // namespace detail

// A combo box over an ascending choice list: min is the first choice, max the last. Reading only clamps,
// so a stored value between two choices stays as it is.
template <class T> class ComboParameter : public NumParameter<T>, public ParameterControl {
public:
    ComboParameter(std::string key, T defaultValue, const std::vector<T>& choices, std::uint16_t controlId,
                   std::int32_t row)
        : NumParameter<T>(std::move(key), defaultValue, detail::firstChoice(choices), choices.back()),
          ParameterControl(controlId, row), choices(choices) {}

    const std::vector<T> choices;
};

class EditParameter : public StringParameter, public ParameterControl {
public:
    EditParameter(std::string key, std::string defaultValue, std::uint16_t controlId, std::int32_t row)
        : StringParameter(std::move(key), std::move(defaultValue)), ParameterControl(controlId, row) {}

    // The edit field shows the current value.
    void showValue() const;
};

// A push button; never stored, the key is its label.
class Button : public Parameter, public ParameterControl {
public:
    Button(std::string label, std::uint16_t controlId, std::int32_t row)
        : Parameter(std::move(label)), ParameterControl(controlId, row) {}
};

// The callsign combo: shares the program-wide callsign list with the traffic engine. The list is read and
// written only under callsignListMutex.
class CallsignListParameter : public EditParameter {
public:
    CallsignListParameter(std::string key, std::string defaultValue, std::uint16_t controlId,
                          std::int32_t row, std::shared_ptr<std::vector<std::string>> callsigns)
        : EditParameter(std::move(key), std::move(defaultValue), controlId, row),
          callsigns(std::move(callsigns)) {}

    const std::shared_ptr<std::vector<std::string>> callsigns;
};

} // namespace zeph
