#pragma once
// A world file: a JSON object whose keys are the controls that set the world up ("setUser", "setGround",
// "setClock", "refuseTitles", "installedTitles", "addTraffic", "setSimRunning", "setStaticCg"), each with the
// arguments that control takes (addTraffic and setStaticCg also take an array of them).
#include <stdexcept>
#include <string>

#include "simstandin/standin.h"

namespace zeph::standin {

// A world file that cannot be used; the text names the file and the field.
class WorldFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void loadWorldFile(SimStandin& standin, const std::string& path);

} // namespace zeph::standin
