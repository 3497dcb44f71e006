#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "settings/parameter.h"

namespace zeph {

// parameters.xml (parametersFile()): <root><parameters><parameter name=".."
// value=".."/>...</parameters></root>.
//
// Guards every load-modify-save of parameters.xml: the per-key saves (GUI thread and start-up thread),
// whole writes, the root repair, removals and the loader's save. The public functions below take it; the
// parameter objects' set() and save() take it. Lock order: parametersFileMutex, a parameter's own string
// mutex, then logMutex. Nothing may save while holding a LogBlock. Every save writes a temp file and renames
// it over the old one, so a reader never sees half a file.
extern std::mutex parametersFileMutex;

// Start of every run: reads the file; a new file turns on SCAN_LIVERIES and SCAN_AIRPORTS; otherwise the
// conversion after a version update runs, and a version too old to convert gets a file of defaults (the
// values read stay in memory for this run). File-system errors of the too-old path are thrown.
void gf_initParameters();

// Reads the file into every registered parameter: numbers clamped, missing keys added with their defaults,
// each parameter logged and its control updated; the loaded document is saved back. A missing or unreadable
// file, or one without "parameters", is replaced by defaults (a file that was there is first copied to
// parameters0.xml). True when such a new file was written.
bool gf_readParameters();

// Writes the whole file from the registries, in registry order, with the defaults or the current values;
// the controls show the current values afterwards. With defaults, PROGRAM_VERSION's default becomes the
// running version. A failed write is logged as "saving: <path> failed".
void gf_saveParameters(bool defaults);

// The conversion after a version update, driven by PROGRAM_VERSION's stored value. True when the stored
// version is older than 11.0.2 and cannot be converted. Removes obsolete keys and files that older versions
// left in the current folder (the program's folder); file-system errors of those removals are thrown.
bool gf_convertParameters();

// Rewrites a file that has no "root" whole, from the current values.
void gf_addRootLevel();

// Removes the first element of key; true when there was one (and the file was saved).
bool gf_removeParameter(std::string_view key);

// What a per-key save needs of its parameter.
struct KeySave {
    const Parameter& parameter;
    std::function<std::string()> valueText;          // the current value as the file stores it
    std::function<void()> log;                       // the parameter's log line
    std::function<void(pugi::xml_node)> appendValue; // appendTo(parameters, false), which also logs
};

// The per-key save behind every save() and set(): under parametersFileMutex, assignValue (when given) sets
// the value, then every element of the key gets the current value (an element without "value" gets one),
// or one element is appended. A missing or unreadable file is replaced by a whole write of the current
// values (the unreadable one first copied to parameters0.xml), so no setting in memory is lost; this key is
// added when no registry holds it. A file without "root" is rewritten whole the same way.
void saveParameterKey(const KeySave& save, const std::function<void()>& assignValue = {});

} // namespace zeph
