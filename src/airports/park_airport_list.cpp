#include "airports/park_airport_list.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "core/atomic_file.h"
#include "core/log.h"
#include "core/strings.h"
#include "core/text_files.h"
#include "settings/data_tree.h"
#include "state/seam_trace.h"

namespace zeph {

std::list<ParkAirport> parkAirportList;
OwnedMutex parkAirportListMutex;

namespace {

constexpr const char* kFileName = "my_park_airports.txt";

std::string lineOf(const ParkAirport& entry) {
    return entry.reservedStand.empty() ? entry.code : entry.code + "," + entry.reservedStand;
}

// The file's lines; a file that is not there gives only the new line. A folder in the file's place is left
// to the write, which then fails. A file that is there but cannot be read throws: writing the new line alone
// over it would lose every other park airport.
std::vector<std::string> readOrStartLines(const std::string& newLine) {
    std::vector<std::string> lines;
    std::error_code error;
    const auto status = std::filesystem::status(myParkAirportsFile, error);
    if (status.type() == std::filesystem::file_type::not_found || std::filesystem::is_directory(status)) {
        lines.push_back(newLine);
        gf_logText(fmt::format("{} created with {}", kFileName, newLine));
        return lines;
    }
    std::ifstream in(myParkAirportsFile, std::ios::binary);
    if (!in) {
        throw std::runtime_error("the file there cannot be read");
    }
    gf_readStreamLines(in, lines);
    if (in.bad()) {
        throw std::runtime_error("the file there cannot be read");
    }
    return lines;
}

bool writeLines(const std::vector<std::string>& lines) {
    return writeFileAtomically(myParkAirportsFile, [&](std::ostream& out) {
        for (const std::string& line : lines) {
            out << line << '\n';
        }
        return static_cast<bool>(out);
    });
}

void logWriteFailure(const std::string& why) {
    gf_logLine(fmt::format("{} could not be written{}", myParkAirportsFile.string(), why));
}

} // namespace

// Minimal stand-in until the park-airport list's reading lands (temporary).
bool lf_readMyParkAirports() {
    noteSeamCall("lf_readMyParkAirports");
    return seamScript().readMyParkAirports;
}

std::vector<std::string>::iterator lf_updateReservedStand(std::vector<std::string>::iterator first,
                                                          std::vector<std::string>::iterator last,
                                                          const ParkAirport& entry, const std::string& newLine) {
    const auto found = std::find_if(first, last, [&](const std::string& line) {
        const auto fields = gf_split(line, ',');
        return !fields.empty() && fields.front() == entry.code;
    });
    if (found != last) {
        *found = newLine;
        gf_logText(fmt::format("{}:{} updated stand", kFileName, newLine));
    }
    return found;
}

bool gf_writeMyParkAirports() {
    assert(parkAirportListMutex.heldByThisThread());
    if (parkAirportList.empty()) {
        logWriteFailure(": no park airport");
        return false;
    }
    try {
        const ParkAirport& entry = parkAirportList.front();
        const std::string newLine = lineOf(entry);
        std::vector<std::string> lines = readOrStartLines(newLine);
        if (lf_updateReservedStand(lines.begin(), lines.end(), entry, newLine) == lines.end()) {
            lines.insert(lines.begin(), newLine);
            gf_logText(fmt::format("{}:{} new entry", kFileName, newLine));
        }
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        if (!writeLines(lines)) {
            logWriteFailure("");
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        logWriteFailure(fmt::format(": {}", e.what()));
        return false;
    }
}

} // namespace zeph
