#include "state/shell_folders.h"

#include <filesystem>
#include <string>

#include "core/files.h"
#include "settings/data_tree.h"
#include "state/window_port.h"

namespace zeph {

namespace {

// A failed open is told only by its box: the scans go on either way.
bool openOrTell(const std::filesystem::path& file, std::string failure) {
    if (gf_openContainingFolder(file)) {
        return true;
    }
    windowPort().messageBox(std::move(failure), "Corvane");
    return false;
}

} // namespace

bool gf_openParametersFolder() {
    return openOrTell(parametersFile(), "Could not open folder with parameters.xml");
}

bool gf_openManual() {
    return openOrTell(std::filesystem::current_path() / manualFile,
                      "Could not open local folder with Manual");
}

} // namespace zeph
