#include "settings/parameter.h"

#include <fmt/format.h>

#include "core/log.h"
#include "settings/control_sink.h"
#include "settings/parameters_file.h"
#include "settings/xml_parameters.h"

namespace zeph {

namespace {

constexpr std::string_view failurePrefix = "===> ";

void logAppendFailure(const std::string& key, const std::string& value) {
    gf_logUnlessStopping(fmt::format("{}adding xml parameter {} with {} failed!", failurePrefix, key, value));
}

std::string boolText(bool value) { return value ? "true" : "false"; }

KeySave keySaveOf(StringParameter& parameter) {
    return {parameter, [&parameter] { return parameter.get(); }, [&parameter] { parameter.log(); },
            [&parameter](pugi::xml_node parameters) { parameter.appendTo(parameters, false); }};
}

KeySave keySaveOf(BoolParameter& parameter) {
    return {parameter, [&parameter] { return boolText(parameter.get()); }, [&parameter] { parameter.log(); },
            [&parameter](pugi::xml_node parameters) { parameter.appendTo(parameters, false); }};
}

KeySave keySaveOf(NumParameter<std::int32_t>& parameter) {
    return {parameter, [&parameter] { return std::to_string(parameter.get()); },
            [&parameter] { parameter.log(); },
            [&parameter](pugi::xml_node parameters) { parameter.appendTo(parameters, false); }};
}

} // namespace

// StringParameter

StringParameter::StringParameter(std::string key, std::string defaultValue)
    : Parameter(std::move(key)), default_(defaultValue), min_(defaultValue), max_(defaultValue),
      value_(std::move(defaultValue)) {}

std::string StringParameter::get() const {
    std::lock_guard lock(mutex_);
    return value_;
}

std::string StringParameter::getDefault() const {
    std::lock_guard lock(mutex_);
    return default_;
}

std::string StringParameter::getMin() const {
    std::lock_guard lock(mutex_);
    return min_;
}

std::string StringParameter::getMax() const {
    std::lock_guard lock(mutex_);
    return max_;
}

void StringParameter::setValue(std::string value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
}

void StringParameter::setDefault(std::string value) {
    std::lock_guard lock(mutex_);
    default_ = std::move(value);
}

void StringParameter::set(std::string value) {
    saveParameterKey(keySaveOf(*this), [&] { setValue(std::move(value)); });
}

void StringParameter::save() { saveParameterKey(keySaveOf(*this)); }

void StringParameter::appendTo(pugi::xml_node parameters, bool defaults) {
    if (!gf_appendStringParameter(parameters, key, defaults ? getDefault() : get())) {
        logAppendFailure(key, get());
    }
    log();
}

bool StringParameter::read(const pugi::xml_document& document) {
    std::optional<std::string> stored = gf_getStringParameter(document, key);
    const bool found = stored.has_value();
    setValue(found ? std::move(*stored) : getDefault());
    log();
    return found;
}

void StringParameter::log() const { gf_logUnlessStopping(fmt::format("{}=\"{}\"", key, get())); }

// BoolParameter

void BoolParameter::set(bool v) {
    saveParameterKey(keySaveOf(*this), [&] { setValue(v); });
}

void BoolParameter::save() { saveParameterKey(keySaveOf(*this)); }

void BoolParameter::appendTo(pugi::xml_node parameters, bool defaults) {
    if (!gf_appendBoolParameter(parameters, key, defaults ? defaultValue : get())) {
        logAppendFailure(key, boolText(get()));
    }
    log();
}

void BoolParameter::log() const { gf_logUnlessStopping(fmt::format("{}={}", key, boolText(get()))); }

// NumParameter, stored only as int

void setAndSaveIntParameter(NumParameter<std::int32_t>& parameter, std::int32_t value) {
    saveParameterKey(keySaveOf(parameter), [&] { parameter.setValue(value); });
}

void saveIntParameter(NumParameter<std::int32_t>& parameter) { saveParameterKey(keySaveOf(parameter)); }

void appendIntParameterElement(NumParameter<std::int32_t>& parameter, pugi::xml_node parameters,
                               bool defaults) {
    if (!gf_appendIntParameter(parameters, parameter.key,
                               defaults ? parameter.defaultValue : parameter.get())) {
        logAppendFailure(parameter.key, std::to_string(parameter.get()));
    }
    parameter.log();
}

void logIntParameter(const NumParameter<std::int32_t>& parameter) {
    gf_logUnlessStopping(fmt::format("{}={}", parameter.key, parameter.get()));
}

// EditParameter

void EditParameter::showValue() const { controlSink().showEditValue(*this); }

} // namespace zeph
