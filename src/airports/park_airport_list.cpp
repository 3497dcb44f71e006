#include "airports/park_airport_list.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <exception>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <unordered_set>

#include <fmt/format.h>

#include "airports/airport_database.h"
#include "core/atomic_file.h"
#include "core/log.h"
#include "core/strings.h"
#include "core/text_files.h"
#include "settings/data_tree.h"
#include "state/status_line.h"

namespace zeph {

std::list<ParkAirport> parkAirportList;
OwnedMutex parkAirportListMutex;

namespace {

constexpr const char* kFileName = "my_park_airports.txt";
// More park airports than this cost the traffic thread noticeable time on every check.
constexpr std::size_t kManyParkAirports = 3000;

// A stand id is free text. One that the line cannot hold as it is (a comma, '%', a control character, or a
// blank at either end, which the reader trims) is written with those bytes as %XX, and its line gets this
// third field. A line of three fields was skipped as wrong syntax before, so every line written before
// reads as it did, '%' in its id included.
constexpr std::string_view kEscapedMark = "escaped";

bool mustEscape(std::string_view id, std::size_t at) {
    const auto byte = static_cast<unsigned char>(id[at]);
    const bool atEnd = at == 0 || at + 1 == id.size();
    return byte == ',' || byte == '%' || byte < 0x20 || byte == 0x7F || (byte == ' ' && atEnd);
}

std::string escapeStandId(std::string_view id) {
    std::string escaped;
    for (std::size_t at = 0; at < id.size(); ++at) {
        escaped += mustEscape(id, at) ? fmt::format("%{:02X}", static_cast<unsigned char>(id[at]))
                                      : std::string(1, id[at]);
    }
    return escaped;
}

// A '%' without two hex digits after it, as a hand-edited line may hold, stays as it is.
std::string unescapeStandId(std::string_view field) {
    std::string id;
    for (std::size_t at = 0; at < field.size(); ++at) {
        unsigned byte = 0;
        const std::string_view digits = field.substr(at + 1, 2);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), byte, 16);
        if (field[at] == '%' && digits.size() == 2 && error == std::errc{} && end == digits.data() + 2) {
            id += static_cast<char>(byte);
            at += 2;
        } else {
            id += field[at];
        }
    }
    return id;
}

std::string lineOf(const ParkAirport& entry) {
    if (entry.reservedStand.empty()) {
        return entry.code;
    }
    const std::string escaped = escapeStandId(entry.reservedStand);
    if (escaped == entry.reservedStand) {
        return entry.code + "," + escaped;
    }
    return fmt::format("{},{},{}", entry.code, escaped, kEscapedMark);
}

// The reserved stand of a line's fields: the second, unescaped when the third marks it so. False for a
// line of more fields, or of three without the mark.
bool reservedStandOf(const std::vector<std::string>& fields, std::string& stand) {
    if (fields.size() == 3 && fields[2] == kEscapedMark) {
        stand = unescapeStandId(fields[1]);
        return true;
    }
    stand = fields.size() == 2 ? fields[1] : std::string();
    return fields.size() <= 2;
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

bool listHas(const std::string& code) {
    return std::any_of(parkAirportList.begin(), parkAirportList.end(),
                       [&](const ParkAirport& entry) { return entry.code == code; });
}

void appendParkAirport(const AirportRecord& airport, std::string reservedStand) {
    parkAirportList.push_back(
        ParkAirport{airport.code, std::move(reservedStand), airport.latitude, airport.longitude, 0.0});
}

// One line of the file; false when its code is no known airport.
bool readParkAirportLine(const std::string& line, std::unordered_set<std::string>& taken) {
    const std::vector<std::string> fields = gf_split(line, ',');
    if (fields.empty()) {
        return true;
    }
    std::string reservedStand;
    if (!reservedStandOf(fields, reservedStand)) {
        gf_logLine(fmt::format("{}:{} wrong syntax, skipped", kFileName, line));
        return true;
    }
    const std::string& code = fields.front();
    if (taken.contains(code)) {
        gf_logLine(fmt::format("{}:{} double, skipped", kFileName, code));
        return true;
    }
    const AirportRecord* airport = gf_findAirport(code);
    if (airport == nullptr) {
        gf_setStatus(fmt::format("airport {} is unknown", code), true);
        return false;
    }
    appendParkAirport(*airport, std::move(reservedStand));
    taken.insert(code);
    return true;
}

// The lines of my_park_airports.txt into the list; false when a code is unknown.
bool readParkAirportsFile() {
    std::ifstream in(myParkAirportsFile, std::ios::binary);
    if (!in) {
        gf_logText(fmt::format("{} not found", myParkAirportsFile.string()));
        return true;
    }
    std::vector<std::string> lines;
    gf_readStreamLines(in, lines);
    if (in.bad()) {
        throw std::runtime_error(fmt::format("{} could not be read", myParkAirportsFile.string()));
    }
    std::unordered_set<std::string> taken;
    bool result = true;
    for (const std::string& line : lines) {
        result = readParkAirportLine(line, taken) && result;
    }
    return result;
}

} // namespace

bool lf_readMyParkAirports() {
    const std::lock_guard lock(parkAirportListMutex);
    try {
        parkAirportList.clear();
        const bool result = readParkAirportsFile();
        const std::size_t count = parkAirportList.size();
        if (count > 0) {
            gf_logText(fmt::format("{} park airport{} read from '{}'", count, gf_plural(count), kFileName));
        }
        if (count > kManyParkAirports) {
            gf_setStatus(
                fmt::format("Warning: There are a lot of airports ({}), that will cost Corvane much cpu "
                            "time and may cause stutters",
                            count),
                true);
        }
        lf_addMyThirdpartyAirports();
        return result;
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("lf_readMyParkAirports: {}", e.what()));
        return false;
    }
}

void lf_addMyThirdpartyAirports() {
    const std::size_t before = parkAirportList.size();
    std::vector<std::filesystem::path> files;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(myThirdpartyDir)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    // Listed in name order, as the file browser of the user shows them.
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        const std::string code = file.stem().string();
        if (listHas(code)) {
            continue;
        }
        if (const AirportRecord* airport = gf_findAirport(code)) {
            appendParkAirport(*airport, std::string());
        }
    }
    const std::size_t added = parkAirportList.size() - before;
    if (added > 0) {
        gf_logText(
            fmt::format("{} park airport{} added from my_thirdparty folder(-s)", added, gf_plural(added)));
    }
}

std::vector<std::string>::iterator lf_updateReservedStand(std::vector<std::string>::iterator first,
                                                          std::vector<std::string>::iterator last,
                                                          const ParkAirport& entry,
                                                          const std::string& newLine) {
    const auto sameCode = [&](const std::string& line) {
        const auto fields = gf_split(line, ',');
        return !fields.empty() && fields.front() == entry.code;
    };
    const auto found = std::find_if(first, last, sameCode);
    if (found == last) {
        return last;
    }
    // Every line of the code becomes the new one: a second line of the same code, left as it was, would
    // sort before the new one and be read instead of it.
    std::replace_if(found, last, sameCode, newLine);
    gf_logText(fmt::format("{}:{} updated stand", kFileName, newLine));
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
