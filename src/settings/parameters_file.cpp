#include "settings/parameters_file.h"

#include <array>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "core/generations.h"
#include "core/log.h"
#include "core/program.h"
#include "core/strings.h"
#include "core/version.h"
#include "core/xml_meta.h"
#include "platform/codepage.h"
#include "settings/airport_settings.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "settings/xml_parameters.h"

namespace zeph {

std::mutex parametersFileMutex;

namespace {

namespace fs = std::filesystem;

enum class FileState { Loaded, Missing, Unreadable };

const std::string starLine(80, '*');

// Only a regular file is handed to the XML loader: a folder in its place reads as unreadable.
FileState loadParametersFile(pugi::xml_document& document) {
    const fs::path file = parametersFile();
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found) {
        return FileState::Missing;
    }
    if (error || !fs::is_regular_file(status)) {
        return FileState::Unreadable;
    }
    return document.load_file(file.c_str()) ? FileState::Loaded : FileState::Unreadable;
}

bool saveDocument(pugi::xml_document& document) {
    if (gf_addXmlDeclaration(document, parametersFile())) {
        return true;
    }
    gf_logLine(fmt::format("saving: {} failed", parametersFileUtf8()));
    return false;
}

void logClosingStars() { gf_logUnlessStopping(starLine + "\n"); }

// The window shows what memory holds, after a read and after a whole write.
void appendRegistries(pugi::xml_node parameters, bool defaults) {
    ControlSink& sink = controlSink();
    for (BoolParameter* parameter : boolParameters) {
        parameter->appendTo(parameters, defaults);
    }
    for (CheckBoxParameter* parameter : checkBoxParameters) {
        parameter->appendTo(parameters, defaults);
        sink.setCheck(*parameter);
    }
    for (NumParameter<std::int32_t>* parameter : numParameters) {
        parameter->appendTo(parameters, defaults);
    }
    for (ComboParameter<std::int32_t>* parameter : comboParameters) {
        parameter->appendTo(parameters, defaults);
        sink.showComboValue(*parameter);
    }
    for (StringParameter* parameter : stringParameters) {
        parameter->appendTo(parameters, defaults);
    }
    for (EditParameter* parameter : editParameters) {
        parameter->appendTo(parameters, defaults);
        parameter->showValue();
    }
}

// Gives every element of key the value; false when there is none.
bool setElementsOf(pugi::xml_node parameters, const std::string& key, const std::string& value) {
    bool found = false;
    for (pugi::xml_node element : parameters.children("parameter")) {
        pugi::xml_attribute name = element.attribute("name");
        if (!name || name.value() != key) {
            continue;
        }
        found = true;
        pugi::xml_attribute attribute = element.attribute("value");
        if (!attribute) {
            attribute = element.append_attribute("value");
        }
        attribute.set_value(value.c_str());
    }
    return found;
}

void setEveryElement(pugi::xml_node parameters, const std::string& key, const std::string& value) {
    if (!setElementsOf(parameters, key, value)) {
        gf_appendStringParameter(parameters, key, value);
    }
}

// A whole write in a key save keeps the user's own values of the eight settings an airport may change, and
// RANGE as chosen: neither an airport's settings nor the automatic range's pick are the user's to keep.
void putUsersOwnSettings(pugi::xml_node parameters) {
    const ParkAirportSettings own = usersOwnSettings();
    const auto number = [](std::int32_t value) { return std::to_string(value); };
    const auto flag = [](bool value) { return std::string(value ? "true" : "false"); };
    const std::array<std::pair<const std::string*, std::string>, 8> values{{
        {&MAX_LIVE_SEL.key, number(own.liveSelection)},
        {&MAX_FIT.key, number(own.maxFit)},
        {&RANGE.key, number(own.rangeNm)},
        {&parking_percentage.key, number(own.parkingPercentage)},
        {&AUTO_RANGE.key, flag(own.autoRange)},
        {&INITIAL_LOAD_ONLY.key, flag(own.initialLoadOnly)},
        {&PARK_SOFT.key, flag(own.parkSoft)},
        {&WEEK.key, flag(own.week)},
    }};
    for (const auto& [key, text] : values) {
        setElementsOf(parameters, *key, text); // a key the file does not hold stays out
    }
}

// The whole file from the registries. extra, when given and in no registry, is appended with its current
// value, so that a repair triggered by its own save does not drop it.
// With `save` false the values and the window are set as for a write, and the file is left as it is.
void writeWholeFile(bool defaults, const KeySave* extra, bool save = true) {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("root");
    if (defaults) {
        PROGRAM_VERSION.setDefault(gf_versionText(programVersion));
    }
    pugi::xml_node parameters = root.append_child("parameters");
    if (parameters) {
        appendRegistries(parameters, defaults);
        if (extra != nullptr && !isRegistered(extra->parameter)) {
            extra->appendValue(parameters);
        }
        if (!defaults) {
            putUsersOwnSettings(parameters);
        }
        if (save) {
            saveDocument(document);
        }
    }
    logClosingStars();
}

void addRootLevel(const KeySave* extra) {
    gf_logUnlessStopping(
        "\nPlacing a root level around a new parameters.xml to make it 100% xml compliance\n");
    // The old file is not removed first: the new one replaces it only once it is written whole.
    writeWholeFile(false, extra);
}

void readBool(BoolParameter& parameter, const pugi::xml_document& document, pugi::xml_node parameters) {
    if (auto stored = gf_getBoolParameter(document, parameter.key)) {
        parameter.setValue(*stored);
    } else {
        parameter.setValue(parameter.defaultValue);
        gf_appendBoolParameter(parameters, parameter.key, parameter.defaultValue);
    }
    parameter.log();
}

void readInt(NumParameter<std::int32_t>& parameter, const pugi::xml_document& document,
             pugi::xml_node parameters) {
    if (auto stored = gf_getIntParameter(document, parameter.key)) {
        parameter.setValue(parameter.clamp(*stored));
    } else {
        parameter.setValue(parameter.defaultValue);
        gf_appendIntParameter(parameters, parameter.key, parameter.defaultValue);
    }
    parameter.log();
}

void readString(StringParameter& parameter, const pugi::xml_document& document, pugi::xml_node parameters) {
    if (!parameter.read(document)) {
        gf_appendStringParameter(parameters, parameter.key, parameter.get());
    }
}

void readRegistries(const pugi::xml_document& document, pugi::xml_node parameters) {
    ControlSink& sink = controlSink();
    for (BoolParameter* parameter : boolParameters) {
        readBool(*parameter, document, parameters);
    }
    for (CheckBoxParameter* parameter : checkBoxParameters) {
        readBool(*parameter, document, parameters);
        sink.setCheck(*parameter);
    }
    for (NumParameter<std::int32_t>* parameter : numParameters) {
        readInt(*parameter, document, parameters);
    }
    for (ComboParameter<std::int32_t>* parameter : comboParameters) {
        readInt(*parameter, document, parameters);
        sink.showComboValue(*parameter);
    }
    for (StringParameter* parameter : stringParameters) {
        readString(*parameter, document, parameters);
    }
    for (EditParameter* parameter : editParameters) {
        readString(*parameter, document, parameters);
        parameter->showValue();
    }
}

bool readParameters() {
    gf_logUnlessStopping(gf_starBanner(70, 0, true, false, "parameters"));
    pugi::xml_document document;
    const FileState state = loadParametersFile(document);
    pugi::xml_node parameters =
        state == FileState::Loaded ? gf_rootChild(document, "parameters") : pugi::xml_node{};
    if (!parameters) {
        // Whatever is there is kept aside before the defaults replace it; what cannot be kept aside is the
        // user's only copy, so it stays, and the defaults live in memory only.
        if (state != FileState::Missing && !gf_save1GenerationOf(parametersFile())) {
            gf_logLine(fmt::format("{} failed to load and could not be saved as 0.xml; it stays as it is, "
                                   "default values are used",
                                   parametersFileUtf8()));
            writeWholeFile(true, nullptr, false);
            return true;
        }
        gf_logUnlessStopping(parametersFileUtf8() + " not found,  create new with default values:");
        writeWholeFile(true, nullptr);
        return true;
    }
    gf_logUnlessStopping(fmt::format("from '{}'", parametersFileUtf8()));
    readRegistries(document, parameters);
    saveDocument(document);
    logClosingStars();
    return false;
}

void saveParameterKeyLocked(const KeySave& save) {
    pugi::xml_document document;
    const FileState state = loadParametersFile(document);
    if (state != FileState::Loaded) {
        if (state == FileState::Unreadable) {
            if (!gf_save1GenerationOf(parametersFile())) {
                gf_logLine(fmt::format("{} failed to load and could not be saved as 0.xml; it stays as it is",
                                       parametersFileUtf8()));
                return;
            }
            gf_logLine(fmt::format("{} failed to load, saved as 0.xml, written again with the current values",
                                   parametersFileUtf8()));
        }
        writeWholeFile(false, &save);
        return;
    }
    pugi::xml_node root = document.child("root");
    pugi::xml_node holder = root ? root : pugi::xml_node(document);
    pugi::xml_node parameters = holder.child("parameters");
    if (!parameters) {
        parameters = holder.append_child("parameters");
    }
    setEveryElement(parameters, save.parameter.key, save.valueText());
    save.log();
    if (!root) {
        addRootLevel(&save);
        return;
    }
    saveDocument(document);
}

bool removeParameter(std::string_view key) {
    pugi::xml_document document;
    if (loadParametersFile(document) != FileState::Loaded) {
        return false;
    }
    pugi::xml_node parameters = gf_rootChild(document, "parameters");
    pugi::xml_node element = findParameterElement(document, key);
    if (!parameters || !element) {
        return false;
    }
    parameters.remove_child(element);
    gf_logUnlessStopping(fmt::format("Parameter '{}' removed", key));
    saveDocument(document);
    return true;
}

// Keys of older versions that no object reads any more.
constexpr std::array<std::string_view, 14> obsoleteKeys{"CALLSIGN_OBJECTIDS",
                                                        "PARK_FAKE",
                                                        "SUPPRESS_STUB",
                                                        "LOG",
                                                        "LEARN_SOFT",
                                                        "PROGRAM_INSTALL_PATH",
                                                        "LATERAL_RANGE",
                                                        "CUSTOM_MAX_PARK",
                                                        "MAX_LIVE",
                                                        "AIRPORT_RANGE",
                                                        "AUTO_RANGE_ABOVE_HEIGHT",
                                                        "AIRPORT_HEIGHT",
                                                        "MSFS_2020",
                                                        "AI_PACKAGE_ORDER"};

// The first version whose text-box parameters can still be converted.
constexpr Version firstConvertibleVersion{11, 0, 2};

std::size_t countCodePoints(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) {
            ++count;
        }
    }
    return count;
}

// Old airport files were named by their four-character airport code: CODE.xml, extension exactly ".xml".
bool isOldAirportFile(const fs::directory_entry& entry) {
    std::error_code error;
    if (!entry.is_regular_file(error) || error || entry.path().extension() != ".xml") {
        return false;
    }
    const std::string stem = entry.path().stem().string();
    return isValidUtf8(stem) && countCodePoints(stem) == 4;
}

// Any failure ends the walk without a word; the files removed so far stay removed.
void removeOldAirportFiles() {
    std::error_code error;
    gf_logUnlessStopping(fs::current_path(error).string());
    fs::directory_iterator entries(".", error);
    for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
        if (isOldAirportFile(*entries) && !fs::remove(entries->path(), error) && error) {
            return;
        }
    }
}

void removeIfExists(const fs::path& path) {
    if (fs::exists(path)) {
        fs::remove(path);
    }
}

void removeAllIfExists(const fs::path& path) {
    if (fs::exists(path)) {
        fs::remove_all(path);
    }
}

void removeLeftovers() {
    for (std::string_view key : obsoleteKeys) {
        gf_removeParameter(key);
    }
    removeAllIfExists(toBeLearnedOfflineDir);
    removeIfExists(versionsJsonFile);
    removeOldAirportFiles();
    removeIfExists(airportsP3dXmlFile);
    removeAllIfExists(newVersionDir);
}

} // namespace

bool gf_convertParameters() {
    const std::string running = gf_versionText(programVersion);
    const std::string storedText = PROGRAM_VERSION.get();
    if (storedText == PROGRAM_VERSION.getDefault()) {
        PROGRAM_VERSION.set(running);
        return false;
    }
    const Version stored = gf_parseVersion(storedText);
    if (stored != programVersion) {
        PROGRAM_VERSION.set(running);
    }
    if (!(programVersion > stored)) {
        return false;
    }
    gf_logUnlessStopping(
        fmt::format("This is a version update from {} -> {}", gf_versionText(stored), running));
    if (firstConvertibleVersion > stored) {
        return true;
    }
    removeLeftovers();
    return false;
}

void saveParameterKey(const KeySave& save, const std::function<void()>& assignValue) {
    std::lock_guard lock(parametersFileMutex);
    if (assignValue) {
        assignValue();
    }
    saveParameterKeyLocked(save);
}

bool gf_readParameters() {
    std::lock_guard lock(parametersFileMutex);
    return readParameters();
}

void gf_saveParameters(bool defaults) {
    std::lock_guard lock(parametersFileMutex);
    writeWholeFile(defaults, nullptr);
}

void gf_addRootLevel() {
    std::lock_guard lock(parametersFileMutex);
    addRootLevel(nullptr);
}

bool gf_removeParameter(std::string_view key) {
    std::lock_guard lock(parametersFileMutex);
    return removeParameter(key);
}

namespace {

void readOrConvertParameters() {
    if (gf_readParameters()) {
        // A first start scans the liveries and the add-on airports.
        for (CheckBoxParameter* box : {&SCAN_LIVERIES, &SCAN_AIRPORTS}) {
            box->set(true);
            controlSink().setCheck(*box);
        }
        return;
    }
    if (!gf_convertParameters()) {
        return;
    }
    gf_logText("\nYour previous version was too old to convert the old text box parameters to the newdropbox "
               "values.");
    gf_logText(fmt::format("{} re-starts with default parameter values ...\n", programId));
    std::lock_guard lock(parametersFileMutex);
    const fs::path file = parametersFile();
    if (fs::exists(file)) {
        fs::remove(file);
    }
    writeWholeFile(true, nullptr);
}

} // namespace

// The range in use follows the stored RANGE from the start, not only after the user picks one.
void gf_initParameters() {
    readOrConvertParameters();
    gf_setRange(RANGE.get());
}

} // namespace zeph
