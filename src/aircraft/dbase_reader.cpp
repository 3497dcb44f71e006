#include "aircraft/dbase_reader.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/data_file_crypto.h"
#include "aircraft/regcodes.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/strings.h"
#include "model/records.h"
#include "settings/data_tree.h"

namespace zeph {

namespace {

// Nautical miles per metre.
constexpr double nmPerMetre = 0.0005399568034557236;

pugi::xml_node sectionsOf(const pugi::xml_document& doc) {
    const pugi::xml_node root = doc.child("root");
    return root ? root : doc;
}

void readSimilarTypes(const pugi::xml_document& doc) {
    similarTypeGroups.reserve(64);
    for (const pugi::xml_node similar : sectionsOf(doc).child("similar_types").children("similar")) {
        std::vector<std::string> group = gf_split(lf_xmlAttributeString(similar, "types"), ',');
        std::sort(group.begin(), group.end());
        similarTypeGroups.push_back(std::move(group));
    }
    similarTypeGroups.shrink_to_fit();
}

void readPublishers(const pugi::xml_document& doc) {
    std::vector<std::string> texts;
    for (const pugi::xml_node pub : sectionsOf(doc).child("publishers").children("pub")) {
        texts.push_back(lf_xmlAttributeString(pub, "names"));
    }
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    publisherNames.reserve(640);
    for (const std::string& text : texts) {
        std::vector<std::string> names = gf_split(text, ',');
        // An empty name occurs in every file name: a stray comma would claim every scenery for this
        // publisher. Such names are dropped, and an entry left without one names no publisher.
        if (std::erase(names, std::string()) > 0 || names.empty()) {
            gf_logLine(fmt::format("empty publisher name in '{}' dropped", text));
        }
        if (!names.empty()) {
            names.shrink_to_fit();
            publisherNames.push_back(std::move(names));
        }
    }
    publisherNames.shrink_to_fit();
    gf_logText(fmt::format("{} publishers read", publisherNames.size()));
}

// A category without any wingspan would get 0/0, and a NaN span passes for a found one in every stand
// comparison: such a category takes the mean of all stored types instead.
void computeCategoryHalfSpans() {
    std::array<double, 6> sums{};
    std::array<int, 6> counts{};
    double allSum = 0.0;
    for (const auto& [type, halfSpan] : halfSpanByType) {
        const auto kind = static_cast<std::size_t>(gf_categoryOfType(type));
        sums.at(kind) += halfSpan;
        ++counts.at(kind);
        allSum += halfSpan;
    }
    const double allMean = allSum / static_cast<double>(halfSpanByType.size());
    for (std::size_t kind = 0; kind < categoryHalfSpan.size(); ++kind) {
        if (counts.at(kind) == 0) {
            gf_logLine(fmt::format("no wingspan for category {}, average of all types used",
                                   gf_categoryName(static_cast<std::uint32_t>(kind))));
            categoryHalfSpan.at(kind) = allMean;
        } else {
            categoryHalfSpan.at(kind) = sums.at(kind) / counts.at(kind);
        }
    }
}

void readWingspans(const pugi::xml_document& doc) {
    bool anyValid = false;
    for (const pugi::xml_node wingspan : sectionsOf(doc).child("wingspans").children("wingspan")) {
        const std::string type = lf_xmlAttributeString(wingspan, "type");
        if (!gf_isKnownAircraftType(type)) {
            gf_logLine(fmt::format("wingspan model {} is not valid, skipped", type));
            continue;
        }
        // A span of 0 or below would fit every stand and never come too close; "nan" and "inf" are no
        // lengths. Such a type keeps no span of its own, so it takes its category's mean.
        const double metres = wingspan.attribute("meters").as_double(0.0);
        if (!std::isfinite(metres) || metres <= 0.0) {
            gf_logLine(fmt::format("wingspan '{}' of model {} is not valid, its category's mean used",
                                   wingspan.attribute("meters").value(), type));
            continue;
        }
        anyValid = true;
        const double halfSpan = metres * 0.5 * nmPerMetre;
        halfSpanByType.try_emplace(type, halfSpan); // the first element of a type wins
        maxHalfSpan = std::max(maxHalfSpan, halfSpan);
    }
    if (anyValid) {
        computeCategoryHalfSpans();
    }
}

void readFixes(const pugi::xml_document& doc) {
    for (const pugi::xml_node fix : sectionsOf(doc).child("fixes").children("fx")) {
        const std::string wrong = lf_xmlAttributeString(fix, "wro");
        const std::string correct = lf_xmlAttributeString(fix, "cor");
        if (!gf_isKnownAircraftType(correct)) {
            gf_logLine(fmt::format("wrong fix {} -> {}, the latter is not valid", wrong, correct));
        } else if (!typeFixes.try_emplace(wrong, correct).second) {
            gf_logLine(fmt::format("wrong part of fix: '{}', already exists, skipped", wrong));
        }
    }
}

void readRegistrations(const pugi::xml_document& doc) {
    for (const pugi::xml_node db : sectionsOf(doc).child("dbase").children("db")) {
        RegcodeRecord record{lf_xmlAttributeString(db, "airl"), lf_xmlAttributeString(db, "type"),
                             lf_xmlAttributeString(db, "opr"), db.attribute("cargo").as_bool(false)};
        const std::string reg = lf_xmlAttributeString(db, "reg");
        // Whoever looks a registration up takes its type in place of the reported one; a type the database
        // does not know would drop the aircraft or the livery.
        if (!gf_isKnownAircraftType(record.type)) {
            gf_logLine(fmt::format("regcode {} model {} is not valid, skipped", reg, record.type));
        } else if (!regcodeTable.try_emplace(reg, std::move(record)).second) {
            gf_logLine(fmt::format("regcode {} already exists", reg));
        }
    }
}

void clearDatabase() {
    for (auto* set : {&aircraftTypes, &highPerfTypes, &heavyTypes, &largeTypes, &buzjetTypes,
                      &rotorcraftTypes, &cargoTypes, &airlineCodes, &cargoOperatorCodes, &simAddonAirports}) {
        set->clear();
    }
    similarTypeGroups.clear();
    publisherNames.clear();
    halfSpanByType.clear();
    categoryHalfSpan.fill(0.0);
    maxHalfSpan = 0.0;
    typeFixes.clear();
    thirdPartyAirports.clear();
    regcodeTable.clear();
}

// Each section's codes, into its table or, for a check, into a set that is dropped.
void readRequiredSections(const pugi::xml_document& doc, std::span<const RequiredDbaseSection> sections,
                          bool intoTables) {
    for (const RequiredDbaseSection& required : sections) {
        std::set<std::string> codes;
        lf_readXmlSection(doc, required.section, codes, required.element, required.attribute);
        if (intoTables) {
            *required.target = std::move(codes);
        }
    }
}

} // namespace

const std::array<RequiredDbaseSection, 10> requiredDbaseSections{{
    {"aircrafts", "aircraft", "types", &aircraftTypes},
    {"high_performance", "hpf", "types", &highPerfTypes},
    {"heavy", "hvy", "types", &heavyTypes},
    {"large", "lar", "types", &largeTypes},
    {"buzjet", "bzj", "types", &buzjetTypes},
    {"rotorcraft", "rot", "types", &rotorcraftTypes},
    {"cargo_types", "cargo_type", "types", &cargoTypes},
    {"ICAO_airlines", "ICAO", "codes", &airlineCodes},
    {"cargo_operators", "ICAO", "codes", &cargoOperatorCodes},
    {"simaddonsP3D", "simaddonP3D", "arpts", &simAddonAirports},
}};

std::string lf_xmlAttributeString(pugi::xml_node node, const std::string& name) {
    return node.attribute(name.c_str()).value();
}

void lf_readXmlSection(const pugi::xml_document& doc, const char* section, std::set<std::string>& out,
                       const char* element, const char* attribute) {
    for (const pugi::xml_node node : sectionsOf(doc).child(section).children(element)) {
        for (std::string& piece : gf_split(lf_xmlAttributeString(node, attribute), ',')) {
            if (!piece.empty()) {
                out.insert(std::move(piece));
            }
        }
    }
    if (out.empty()) {
        throw UserErrorException(
            61, fmt::format("In XML file section [{}], element [{}], attribute [{}] is empty.", section,
                            element, attribute));
    }
}

void lf_readThirdPartyAirports(const pugi::xml_document& doc) {
    for (const pugi::xml_node entry : sectionsOf(doc).child("thirdpartiesP3D").children("thirdpartieP3D")) {
        thirdPartyAirports.push_back(ThirdPartyAirport{lf_xmlAttributeString(entry, "pub"),
                                                       gf_split(lf_xmlAttributeString(entry, "arpts"), ',')});
    }
}

void lf_readDbaseDocument(const pugi::xml_document& doc) {
    clearDatabase();
    // The required sections in the order they lie between the optional ones: the type sets, then the
    // airline codes, then the simulator's add-on airports.
    const std::span<const RequiredDbaseSection> required(requiredDbaseSections);
    readRequiredSections(doc, required.first(7), true);
    readSimilarTypes(doc);
    readRequiredSections(doc, required.subspan(7, 2), true);
    readPublishers(doc);
    readWingspans(doc);
    readFixes(doc);
    readRequiredSections(doc, required.subspan(9), true);
    thirdPartyAirports.reserve(200);
    lf_readThirdPartyAirports(doc);
    readRegistrations(doc);
}

void lf_checkDbaseDocument(const pugi::xml_document& doc) {
    readRequiredSections(doc, requiredDbaseSections, false);
}

bool gf_readDbase() {
    if (!std::filesystem::exists(dbaseEncFile)) {
        throw std::runtime_error(fmt::format("{} not available", dbaseEncFile.string()));
    }
    // The plain copy goes on every way out, a thrown error 61 included.
    const ScopedPlainFile plain(dbaseXmlFile);
    if (!gf_streamDecrypt(dbaseEncFile, dbaseXmlFile)) {
        throw std::runtime_error(fmt::format("{} stream decrypt failed", dbaseEncFile.string()));
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result loaded = doc.load_file(dbaseXmlFile.c_str());
    if (!loaded) {
        gf_logLine(fmt::format("'{}' not read because of {}", dbaseXmlFile.string(), loaded.description()));
        return false;
    }
    lf_readDbaseDocument(doc);
    lf_buildRegcodeIndex();
    gf_logText(fmt::format("{} dbase records read", regcodeTable.size()));
    gf_flushLog();
    return true;
}

} // namespace zeph
