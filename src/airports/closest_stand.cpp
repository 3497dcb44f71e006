#include "airports/closest_stand.h"

#include <ctime>
#include <filesystem>
#include <fmt/format.h>
#include <map>
#include <mutex>
#include <optional>
#include <pugixml.hpp>
#include <vector>

#include "airports/airport_file_locator.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/run_flags.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

constexpr double kNoStandNm = 100.0;
const fs::path kDownloadTarget = "airport.xml";

struct StandPoint {
    std::string id;
    GeoPoint position;
};
// Empty: no file or no "parkpositions".
using StandPoints = std::optional<std::vector<StandPoint>>;

// A download that may go through later (a server error, a time-out, no connection) is tried again after
// this pause: often enough that one bad minute of the site does not hide an airport until the program
// starts again, seldom enough that a site that stays down costs the traffic loop little.
constexpr std::time_t kRetryPauseS = 5 * 60;

// What a download gave for one code: stand points or "no file", for good unless retryAt is set.
struct DownloadedStands {
    StandPoints points;
    std::optional<std::time_t> retryAt;
};

std::mutex downloadedMutex;
std::map<std::string, DownloadedStands> downloadedStands;

// A clock set back more than the pause does not hold the next try off for longer.
bool retryIsDue(const DownloadedStands& known) {
    if (!known.retryAt) {
        return false;
    }
    const std::time_t now = nowUtc();
    return now >= *known.retryAt || *known.retryAt - now > kRetryPauseS;
}

// Removes the download target on every way out.
struct RemoveTarget {
    RemoveTarget() = default;
    RemoveTarget(const RemoveTarget&) = delete;
    RemoveTarget& operator=(const RemoveTarget&) = delete;
    ~RemoveTarget() {
        std::error_code ignored;
        fs::remove(kDownloadTarget, ignored);
    }
};

StandPoints lf_standPointsOf(const fs::path& file) {
    pugi::xml_document doc;
    if (!doc.load_file(file.c_str())) {
        return std::nullopt;
    }
    const pugi::xml_node root = doc.child("root");
    const pugi::xml_node stands = (root ? root : doc.root()).child("parkpositions");
    if (!stands) {
        return std::nullopt;
    }
    std::vector<StandPoint> points;
    for (const pugi::xml_node stand : stands.children("parkpos")) {
        points.push_back(
            {stand.attribute("id").as_string(),
             {stand.attribute("latitude").as_double(), stand.attribute("longitude").as_double()}});
    }
    return points;
}

StandPoints lf_downloadedStandPoints(const std::string& code, const std::string& reference) {
    const std::lock_guard lock(downloadedMutex);
    if (const auto known = downloadedStands.find(code);
        known != downloadedStands.end() && !retryIsDue(known->second)) {
        return known->second.points;
    }
    const RemoveTarget removeTarget;
    StandPoints points;
    DownloadFailure failure = DownloadFailure::None;
    if (lf_downloadAirportFile(reference, kDownloadTarget, &failure).empty()) {
        points = lf_standPointsOf(kDownloadTarget);
    }
    // A download that the run's stop cut short says nothing of the airport: a restarted run asks again.
    if (!points && runIsStopping()) {
        downloadedStands.erase(code);
        return points;
    }
    std::optional<std::time_t> retryAt;
    if (!points && failure == DownloadFailure::Transient) {
        retryAt = nowUtc() + kRetryPauseS;
    }
    downloadedStands[code] = DownloadedStands{points, retryAt};
    return points;
}

double lf_closestStand(const std::string& code, GeoPoint position, std::string& standId) {
    const std::string reference = lf_stockArchiveFile(code);
    if (reference.empty()) {
        return kNoStandNm;
    }
    const StandPoints points = lf_isLocalReference(reference) ? lf_standPointsOf(reference)
                                                              : lf_downloadedStandPoints(code, reference);
    double best = kNoStandNm;
    for (const StandPoint& point : points.value_or(std::vector<StandPoint>{})) {
        const double distance = gf_greatCircleDistance(position, point.position);
        if (distance < best) {
            best = distance;
            standId = point.id;
        }
    }
    return best;
}

} // namespace

double gf_readDestApfForClosestStand(const std::string& code, GeoPoint position, std::string& standId) {
    try {
        return lf_closestStand(code, position, standId);
    } catch (const std::exception& error) {
        gf_logLine(fmt::format("{}: {}", "gf_readDestApfForClosestStand", error.what()));
        return kNoStandNm;
    }
}

void resetDownloadedStandsForTests() {
    const std::lock_guard lock(downloadedMutex);
    downloadedStands.clear();
}

} // namespace zeph
