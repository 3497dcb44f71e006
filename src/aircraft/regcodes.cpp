#include "aircraft/regcodes.h"

#include <algorithm>
#include <exception>
#include <unordered_set>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/data_file_crypto.h"
#include "core/files.h"
#include "core/log.h"
#include "core/strings.h"
#include "core/text_files.h"
#include "core/xml_meta.h"
#include "settings/data_tree.h"

namespace zeph {

namespace {

// Keys shorter than this are searched for in livery titles.
constexpr std::size_t shortKeyLimit = 6;

struct ShortKeyIndex {
    std::unordered_set<std::string, Fnv1aHash, std::equal_to<>> keys;
    std::size_t longest = 0;
};
ShortKeyIndex shortKeys;

// Calls visit with each candidate key of lf_regPrefixes in order until it answers true. The dashed forms are
// built in one buffer, so a look-up makes no string of its own.
template <typename Visit> void forEachCandidate(std::string_view registration, Visit visit) {
    if (registration.size() >= 5 && registration.front() != 'N' &&
        registration.find('-') == std::string_view::npos) {
        std::string key;
        key.reserve(registration.size() + 1);
        key.append(registration.substr(0, 2)).append(1, '-').append(registration.substr(2));
        if (visit(std::string_view(key))) {
            return;
        }
        key[1] = '-';
        key[2] = registration[1];
        if (visit(std::string_view(key))) {
            return;
        }
    }
    visit(registration);
}

std::string liveriesWord(std::size_t count) { return count == 1 ? "livery" : "liveries"; }

bool hasRegcodeLength(const std::string& code) { return code.size() >= 3 && code.size() <= 12; }

// The registrations of a comma-separated list, each trimmed. An empty piece (a trailing comma, a blank list)
// is no registration: entered, it would tie the code "" to a livery.
std::vector<std::string> splitRegistrations(const std::string& list) {
    std::vector<std::string> codes = gf_split(list, ',');
    std::erase(codes, std::string());
    return codes;
}

} // namespace

std::vector<std::string> lf_regPrefixes(const std::string& registration) {
    std::vector<std::string> candidates;
    forEachCandidate(registration, [&](std::string_view key) {
        candidates.emplace_back(key);
        return false;
    });
    return candidates;
}

std::optional<RegcodeInfo> gf_lookupRegcode(const std::string& registration) {
    if (registration.empty()) {
        return std::nullopt;
    }
    std::optional<RegcodeInfo> info;
    forEachCandidate(registration, [&](std::string_view key) {
        const auto found = regcodeTable.find(key);
        if (found != regcodeTable.end()) {
            const RegcodeRecord& record = found->second;
            info = RegcodeInfo{record.airl, record.type, record.opr, record.cargo};
        }
        return info.has_value();
    });
    return info;
}

std::string lf_regcodeAirline(const std::string& registration) {
    const auto info = gf_lookupRegcode(registration);
    return info ? info->airl : std::string();
}

std::string lf_regcodeOperator(const std::string& registration) {
    const auto info = gf_lookupRegcode(registration);
    return info ? info->opr : std::string();
}

void lf_buildRegcodeIndex() {
    shortKeys = ShortKeyIndex{};
    for (const auto& [key, record] : regcodeTable) {
        if (!key.empty() && key.size() < shortKeyLimit) {
            shortKeys.keys.insert(key);
            shortKeys.longest = std::max(shortKeys.longest, key.size());
        }
    }
}

// Each start position from the left, each length from the longest down: at most 5 hash look-ups a
// position, instead of a walk over the whole table for every livery title of the scan. The longest key
// wins at its place, since a shorter one there (N12 in N12AB) is only the start of the registration.
std::optional<std::string> lf_findRegcodeInText(const std::string& text) {
    const std::string_view view(text);
    for (std::size_t start = 0; start < view.size(); ++start) {
        const std::size_t longest = std::min(shortKeys.longest, view.size() - start);
        for (std::size_t length = longest; length >= 1; --length) {
            const auto found = shortKeys.keys.find(view.substr(start, length));
            if (found != shortKeys.keys.end()) {
                return *found;
            }
        }
    }
    return std::nullopt;
}

bool lf_readAIGregcodes(std::list<RegcodeLivery>& out) {
    pugi::xml_document doc;
    if (!doc.load_file(aigRegcodesXmlFile.c_str())) {
        gf_logLine(fmt::format("Failed to load {}", aigRegcodesXmlFile.string()));
        gf_removeFile(aigRegcodesXmlFile);
        return false;
    }
    return lf_readAIGdocument(doc, out);
}

bool lf_readAIGdocument(const pugi::xml_document& doc, std::list<RegcodeLivery>& out) {
    if (!gf_readMeta(doc, false)) {
        return false;
    }
    const pugi::xml_node root = doc.child("root") ? doc.child("root") : static_cast<pugi::xml_node>(doc);
    bool clean = true;
    std::optional<std::string> previousTitle;
    for (const pugi::xml_node livery : root.child("AIG-regcodes").children("livery")) {
        std::string title = livery.attribute("title").value();
        if (title.empty()) {
            continue;
        }
        if (title == previousTitle) {
            gf_logLine(fmt::format("SAME AS PREVIOUS title '{}'", title));
            clean = false;
            continue;
        }
        const std::vector<std::string> regs = splitRegistrations(livery.attribute("reg").value());
        out.push_back(
            RegcodeLivery{title, {regs.begin(), regs.end()}, livery.attribute("special").as_bool(false)});
        previousTitle = std::move(title);
    }
    gf_logText(fmt::format("{} {} read from AIG-regcodes", out.size(), liveriesWord(out.size())));
    return clean;
}

bool lf_parseRegcodeLine(std::string_view line, const std::filesystem::path& file,
                         std::list<RegcodeLivery>& out) {
    const std::vector<std::string> fields = gf_split(std::string(line), ';');
    if (fields.size() >= 4) {
        gf_logLine(fmt::format("{}: wrong format '{}'", file.string(), line));
        return false;
    }
    if (fields.size() <= 1) {
        if (!fields.empty() && !fields.front().empty()) {
            out.push_back(RegcodeLivery{fields.front(), {}, false});
        }
        return true;
    }
    const std::vector<std::string> codes = splitRegistrations(fields[1]);
    if (codes.empty()) {
        return true; // a title with an empty registration field says nothing
    }
    bool clean = true;
    std::list<std::string> kept;
    for (const std::string& code : codes) {
        if (hasRegcodeLength(code)) {
            kept.push_back(code);
        } else {
            gf_logLine(fmt::format("wrong regcode length '{}' in {}", code, file.string()));
            clean = false;
        }
    }
    if (kept.empty()) {
        if (codes.size() > 1) {
            gf_logLine(fmt::format("{} ; regs empty?", file.string()));
        }
        return false;
    }
    // A single registration always makes the livery special; a list does only when marked "#".
    const bool special = codes.size() == 1 || (fields.size() == 3 && fields[2] == "#");
    out.push_back(RegcodeLivery{fields.front(), std::move(kept), special});
    return clean;
}

bool lf_processRegcodeFiles(const std::filesystem::path& folder, std::list<RegcodeLivery>& out) {
    try {
        bool clean = true;
        for (const auto& entry : entriesInNameOrder(folder)) {
            if (!entry.is_regular_file() || !gf_equalsUpper(".TXT", entry.path().extension().string())) {
                continue;
            }
            gf_logText(fmt::format("Processing regcodes file '{}'", entry.path().string()));
            LineFile file{entry.path(), {}};
            if (!file.read(64).ok) {
                continue; // vanished or unreadable: nothing to take from it
            }
            for (const std::string& line : file.lines) {
                if (!line.empty()) {
                    clean = lf_parseRegcodeLine(line, entry.path(), out) && clean;
                }
            }
        }
        gf_logText(fmt::format("{} {}", out.size(), liveriesWord(out.size())));
        return clean;
    } catch (const std::exception& error) {
        gf_logLine(fmt::format("Error reading regcode files in {}, what: {}", folder.string(), error.what()));
        return false;
    }
}

} // namespace zeph
