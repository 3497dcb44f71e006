#include "airports/learned_airport_saver.h"

#include <algorithm>
#include <fmt/format.h>
#include <system_error>

#include "airports/airport_file_format.h"
#include "airports/airport_file_locator.h"
#include "airports/park_airport_file.h"
#include "airports/park_airport_record.h"
#include "airports/stand_use.h"
#include "airports/stands.h"
#include "core/generations.h"
#include "core/log.h"
#include "core/program.h"
#include "core/strings.h"
#include "core/time_text.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

// The stands the learned file keeps. Not handmade: the park file's own uses leave standList, and a stand
// that then holds nothing learned is left out. The copies' uses are numbered afresh: a use that the last
// static calculation used up (number 0) is still learned and goes into the file like every other.
std::vector<ParkPos> lf_learnedStands(bool handmade) {
    std::vector<ParkPos> kept;
    for (ParkPos& stand : standList) {
        if (!handmade) {
            std::erase_if(stand.uses, [](const StandUse& use) { return use.fromParkFile == 1; });
            if (!stand.manual && stand.uses.empty() && !stand.radiusChanged && !stand.cargoChanged) {
                continue;
            }
        }
        kept.push_back(stand);
        gf_numberStandUses(kept.back().uses);
    }
    return kept;
}

// Makes the folder and keeps an incompletely read file aside; the error's text when the save must not go on.
std::string lf_prepareLearnedFile(const fs::path& file) {
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) {
        return error.message();
    }
    if (learnedMergeIncomplete && fs::exists(file, error)) {
        if (!gf_save1GenerationOf(file)) {
            return "the old file could not be kept as its 0 copy";
        }
        gf_logText(fmt::format("{} was not read completely, saved as *.0.xml", file.string()));
    }
    learnedMergeIncomplete = false;
    return {};
}

} // namespace

void lf_saveLearnedAirports() {
    const bool handmade = apfHandmade.load();
    ApfData data;
    data.code = parkAirportRecord.code;
    data.airportName = apfHeader.airport_name;
    data.publisher = apfHeader.publisher;
    data.altitude = apfHeader.altitude;
    data.stands = lf_learnedStands(handmade);
    if (handmade) {
        std::tie(data.qfReal, data.qfSoft) = lf_qualityFactor(data.stands);
    }
    const fs::path file =
        apfLearnedFile.empty() ? lf_learnedFileByPublisher(data.code, data.publisher) : apfLearnedFile;
    const std::string time = gf_utcClockText();
    const std::string problem = lf_prepareLearnedFile(file);
    if (!problem.empty()) {
        gf_logText(fmt::format("{} saving '{}' did not succeed: {}", time, file.string(), problem));
    } else if (gf_writeApf(data, file, 0, simulatorKind.load())) {
        gf_logText(fmt::format("{}{} '{}' saved with {} update{}", time, handmade ? " handmade" : "",
                               file.string(), learnedUpdateCount,
                               gf_plural(static_cast<std::int64_t>(learnedUpdateCount))));
    } else {
        gf_logText(fmt::format("{} saving '{}' did not succeed", time, file.string()));
    }
    learnedUpdateCount = 0;
}

} // namespace zeph
