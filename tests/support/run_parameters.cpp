#include "support/run_parameters.h"

#include <gtest/gtest.h>

#include "core/program.h"
#include "gen/livery_tree.h"
#include "support/child_process.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"

namespace zeph::test {

namespace fs = std::filesystem;

void writeOneLiveryTree(const fs::path& root) {
    gen::AircraftDir(root / "Generic_B738", gen::Encoding::Utf8, gen::LineEnd::Lf)
        .atcModel("B738")
        .livery(0, "B738 Generic ZZZ", "zzz")
        .parkingCodes("ZZZ")
        .write();
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
                 {CORVANE_SOURCE_DIR "/scripts/seed_parameters.py", file.string(), "SCAN_LIVERIES=true",
                  "lfolder0=" + liveries.string(), "SCAN_AIRPORTS=true", "afolder0=" + scenery.string()},
                 root);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

} // namespace zeph::test
