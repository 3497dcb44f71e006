// The files of the user's airport folders, three texts from one input: a link file CODE.txt in my_thirdparty,
// an airport file in my_ORBX, and my_park_airports.txt. A link read stays inside the data tree and its
// learned file too; a file counts as scan-made only as the scan writes them, and only those are removed; the
// park airports read come back unchanged after the list is written and read again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "airports/addon_airport_files.h"
#include "airports/airport_database.h"
#include "airports/airport_file_locator.h"
#include "airports/park_airport_list.h"
#include "airports/scan_log.h"
#include "fuzz/fuzz_airports.h"
#include "fuzz/fuzz_support.h"
#include "settings/data_tree.h"

namespace {

namespace fs = std::filesystem;
using zeph::fuzz::check;

void writeText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

// No absolute path and no ".." element, with either slash.
bool staysInside(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.starts_with('/') || (path.size() > 1 && path[1] == ':')) {
        return false;
    }
    for (const auto& part : fs::path(path)) {
        if (part == "..") {
            return false;
        }
    }
    return true;
}

void setUp() {
    static const bool ready = [] {
        zeph::fuzz::addKnownAirports({{"EGLL", "", 51.47, -0.45, 83, 3},
                                      {"EHAM", "", 52.31, 4.76, -11, 3},
                                      {"LFPG", "", 49.01, 2.55, 392, 3}});
        return true;
    }();
    (void)ready;
    fs::remove_all(zeph::airportsDir);
    fs::create_directories(zeph::myThirdpartyDir);
    fs::create_directories(zeph::myOrbxDir);
}

void readLink(const std::string& text, const std::string& publisher) {
    const fs::path file = zeph::myThirdpartyDir / "EHAM.txt";
    writeText(file, text);
    std::string reference;
    if (zeph::lf_readLinkFile(file, reference)) {
        check(staysInside(reference) && zeph::lf_stockArchiveFile("EHAM") == reference);
        const fs::path learned = zeph::lf_archivePathOf(reference, publisher);
        check(learned.empty() || (learned.is_relative() && staysInside(learned.string())));
    } else {
        check(reference.empty());
    }
    check(!zeph::lf_isScanMadeFile(file) || reference.starts_with("archive/"));
}

void removeScanMade(const std::string& text) {
    const fs::path file = zeph::myOrbxDir / "EGLL.xml";
    writeText(file, text);
    const bool scanMade = zeph::lf_isScanMadeFile(file);
    zeph::lf_removeScanMadeFiles(zeph::myOrbxDir);
    check(fs::exists(file) != scanMade);
    const std::lock_guard lock(zeph::scanLogMutex);
    zeph::scanLog.clear();
}

// The first park airport, after the list was written; empty when there is none.
std::optional<zeph::ParkAirport> writeFirstEntry() {
    const std::lock_guard lock(zeph::parkAirportListMutex);
    if (zeph::parkAirportList.empty()) {
        return std::nullopt;
    }
    check(zeph::gf_writeMyParkAirports());
    return zeph::parkAirportList.front();
}

void readParkAirports(const std::string& text) {
    writeText(zeph::myParkAirportsFile, text);
    fs::remove(zeph::myThirdpartyDir / "EHAM.txt");
    if (!zeph::lf_readMyParkAirports()) {
        return;
    }
    const std::optional<zeph::ParkAirport> written = writeFirstEntry();
    if (!written) {
        return;
    }
    check(zeph::lf_readMyParkAirports());
    const std::lock_guard lock(zeph::parkAirportListMutex);
    check(std::any_of(zeph::parkAirportList.begin(), zeph::parkAirportList.end(), [&](const auto& entry) {
        return entry.code == written->code && entry.reservedStand == written->reservedStand;
    }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zeph::fuzz::InOwnFolder inFolder("fuzz_airport_folders");
    setUp();
    FuzzedDataProvider input(data, size);
    const std::string link = input.ConsumeRandomLengthString(300);
    const std::string publisher = input.ConsumeRandomLengthString(40);
    const std::string airportFile = input.ConsumeRandomLengthString(2000);
    const std::string parkAirports = input.ConsumeRemainingBytesAsString();
    readLink(link, publisher);
    removeScanMade(airportFile);
    readParkAirports(parkAirports);
    return 0;
}
