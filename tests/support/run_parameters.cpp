#include "support/run_parameters.h"

#include <gtest/gtest.h>

#include "core/program.h"
#include "support/child_process.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"

namespace zeph::test {

namespace fs = std::filesystem;

void writeOneLiveryTree(const fs::path& root) {
    const fs::path aircraft = root / "Generic_B738";
    fs::create_directories(aircraft / "model");
    fs::create_directories(aircraft / "texture.zzz");
    writeFileBytes(aircraft / "b738.air", "");
    writeFileBytes(aircraft / "aircraft.cfg", "[General]\natc_model=B738\n\n[fltsim.0]\ntitle=B738 Generic ZZZ\n"
                                              "sim=b738\nmodel=\ntexture=zzz\natc_parking_codes=ZZZ\n");
}

void seedRunParameters(const fs::path& appDataDir, const fs::path& root) {
    const fs::path liveries = root / "liveries";
    const fs::path scenery = root / "scenery";
    writeOneLiveryTree(liveries);
    fs::create_directories(scenery);
    const fs::path file = appDataDir / "Corvane_P3D" / "parameters.xml";
    if (!fs::exists(file)) {
        fs::create_directories(file.parent_path());
        ParametersFileBuilder().storedDefaults(programVersionText).write(file); // as a first start leaves it
    }
    const ChildResult result =
        runChild("/usr/bin/python3",
                 {CORVANE_SOURCE_DIR "/scripts/seed_parameters.py",
                  file.string(), "SCAN_LIVERIES=true",
                  "lfolder0=" + liveries.string(), "SCAN_AIRPORTS=true", "afolder0=" + scenery.string()},
                 root);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

} // namespace zeph::test
