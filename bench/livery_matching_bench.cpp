// The matching tables and the matcher at the size of a large livery collection: 20,000 liveries, an AIG file
// of 30,000 records (half of them installed titles), 2,000 user regcode lines, 120,000 registrations.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/liveries_scanned_file.h"
#include "aircraft/livery_matcher.h"
#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/regcodes.h"
#include "model/records.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "support/sealed_files.h"
#include "support/temp_dir.h"

namespace {

using namespace zeph;
using Clock = std::chrono::steady_clock;

constexpr int kAirlines = 300;
const std::vector<std::string> kTypes{"B738", "A320", "A321", "A319", "B739", "E190", "E175", "CRJ9",
                                      "DH8D", "AT76", "B77W", "B772", "B788", "B789", "A333", "A359",
                                      "B744", "A388", "B763", "C172", "PA28", "C25A", "EC35", "R44"};

std::string airlineCode(int k) {
    return fmt::format("{}{}{}", char('A' + k % 26), char('A' + k / 26 % 26), 'X');
}

std::string registrationOf(int k) { return fmt::format("R{}-{:05}", k % 10, k); }

// The aircraft database's categories, similar groups and registrations.
void fillDatabase() {
    largeTypes = {"B738", "A320", "A321", "A319", "B739", "E190", "E175", "CRJ9", "DH8D", "AT76", "B763"};
    heavyTypes = {"B77W", "B772", "B788", "B789", "A333", "A359", "B744", "A388"};
    buzjetTypes = {"C25A"};
    rotorcraftTypes = {"EC35", "R44"};
    similarTypeGroups = {{"A319", "A320", "A321"}, {"B738", "B739"}, {"B772", "B77W"},
                         {"B788", "B789"},         {"E175", "E190"}, {"A333", "A359"}};
    for (int k = 0; k < 120000; ++k) {
        regcodeTable[registrationOf(k)] = RegcodeRecord{airlineCode(k % kAirlines), kTypes[k % kTypes.size()],
                                                        airlineCode((k + 7) % kAirlines), k % 10 == 0};
    }
    lf_buildRegcodeIndex();
}

std::string titleOf(int k) { return fmt::format("Livery {:05} of a large collection", k); }

// LiveriesScanned.xml, the sealed AIG file and one user regcode file in the current program folder.
void writeInputs() {
    std::mt19937 engine(20000);
    for (int k = 0; k < 20000; ++k) {
        const bool generic = k % 50 == 0;
        scannedLiveries.push_back(
            LiveryData{generic ? "ZZZ" : airlineCode(static_cast<int>(engine() % kAirlines)),
                       kTypes[engine() % kTypes.size()], titleOf(k), k % 20 == 0 ? registrationOf(k) : "", 1,
                       k % 9 == 0});
    }
    std::filesystem::create_directories(outputDir);
    std::filesystem::create_directories(inputDir);
    lf_writeLiveriesScanned();
    scannedLiveries.clear();
    std::string aig = "<root><meta><info name=\"author\" value=\"Corvane_P3D\"/></meta><AIG-regcodes>\n";
    for (int k = 0; k < 30000; ++k) {
        const std::string title = k % 2 == 0 ? titleOf(k * 2 / 3) : fmt::format("Not installed {}", k);
        aig += fmt::format("<livery title=\"{}\" reg=\"{}\"{}/>\n", title, registrationOf(k * 4),
                           k % 10 == 0 ? " special=\"true\"" : "");
    }
    test::writeSealed(aigRegcodesEncFile, aig + "</AIG-regcodes></root>\n");
    std::string user;
    for (int k = 0; k < 2000; ++k) {
        user += fmt::format("{};{}\n", titleOf(k * 10 + 1), registrationOf(k * 4 + 1));
    }
    std::filesystem::create_directories(myRegcodesDir);
    test::writeFileBytes(myRegcodesDir / "user.TXT", user);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::vector<AcProfile> liveProfiles() {
    std::mt19937 engine(100000);
    std::vector<AcProfile> profiles;
    for (int k = 0; k < 100000; ++k) {
        FlightIdentity identity;
        identity.airline = engine() % 5 == 0 ? "QQQ" : airlineCode(static_cast<int>(engine() % kAirlines));
        identity.type = kTypes[engine() % kTypes.size()];
        identity.registration = engine() % 10 < 3 ? registrationOf(static_cast<int>(engine() % 120000)) : "";
        identity.callsign = "BENCH1";
        AcProfile profile;
        static_cast<FlightIdentity&>(profile) = identity;
        profile.kind = static_cast<AcKind>(gf_categoryOfType(identity.type));
        profile.cargo = engine() % 10 == 0 ? 1 : 0;
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

void benchMatcher() {
    MATCHING_DEPTH.setValue(4);
    RANDOM.setValue(true);
    std::vector<AcProfile> profiles = liveProfiles();
    std::vector<AcProfile> unmatched = profiles;
    const auto bulkStart = Clock::now();
    for (AcProfile& profile : unmatched) {
        gf_matchLiveryLive(profile);
    }
    const double mean = secondsSince(bulkStart) * 1e6 / static_cast<double>(profiles.size());
    std::vector<double> micros;
    micros.reserve(profiles.size());
    for (AcProfile& profile : profiles) {
        const auto start = Clock::now();
        gf_matchLiveryLive(profile);
        micros.push_back(secondsSince(start) * 1e6);
    }
    std::size_t found = 0;
    const auto lookupStart = Clock::now();
    for (const AcProfile& profile : profiles) {
        const auto airline = airlineTypeTitles[0].find(profile.airline);
        found += airline != airlineTypeTitles[0].end() && airline->second.contains(profile.type) ? 1 : 0;
    }
    const double lookup = secondsSince(lookupStart) * 1e6 / static_cast<double>(profiles.size());
    std::nth_element(micros.begin(), micros.begin() + micros.size() * 99 / 100, micros.end());
    const std::size_t matched = static_cast<std::size_t>(
        std::ranges::count_if(profiles, [](const AcProfile& profile) { return !profile.livery.empty(); }));
    fmt::print("gf_matchLiveryLive: {} of {} matched ({} with an airline-type entry)\n", matched,
               profiles.size(), found);
    fmt::print("mean match vs one two-level look-up: {:.3f} us vs {:.3f} us = {:.1f}x (target <= 20x)\n",
               mean, lookup, lookup > 0 ? mean / lookup : 0.0);
    fmt::print("p99 of a match: {:.2f} us (target <= 50 us)\n", micros[micros.size() * 99 / 100]);
}

} // namespace

int main() {
    const test::ProgramDir program;
    fillDatabase();
    writeInputs();
    auto start = Clock::now();
    lf_readLiveriesScanned();
    const double read = secondsSince(start);
    scannedLiveries.clear();
    const long rssBefore = peakRssKb();
    start = Clock::now();
    gf_processScannedLiveries();
    const double build = secondsSince(start);
    const long rssGrowthMb = (peakRssKb() - rssBefore) / 1024;
    fmt::print("gf_processScannedLiveries vs lf_readLiveriesScanned: {:.3f} s vs {:.3f} s = {:.2f}x (target "
               "<= 3x)\n",
               build, read, read > 0 ? build / read : 0.0);
    fmt::print("resident set growth during the build: {} MB (target <= 200 MB)\n", rssGrowthMb);
    start = Clock::now();
    lf_processOfflineRegcodes();
    fmt::print("of which the AIG and user regcode pass takes about {:.3f} s\n", secondsSince(start));
    benchMatcher();
    return 0;
}
