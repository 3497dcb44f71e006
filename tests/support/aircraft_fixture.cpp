#include "support/aircraft_fixture.h"

#include <array>

#include "aircraft/aircraft_database.h"
#include "aircraft/livery_matcher.h"
#include "aircraft/matching_tables.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/regcodes.h"
#include "model/records.h"
#include "support/livery_tables.h"

namespace zeph::test {
namespace {

struct FleetType {
    const char* type;
    AcKind kind;
    double wingspanMetres;
};

constexpr std::array<FleetType, 8> kFleet{{
    {"B738", AcKind::Large, 35.8},
    {"A320", AcKind::Large, 35.8},
    {"E190", AcKind::Large, 28.7},
    {"B77W", AcKind::Heavy, 64.8},
    {"C172", AcKind::Light, 11.0},
    {"EC35", AcKind::Rotorcraft, 10.2},
    {"LJ45", AcKind::Buzjets, 14.6},
    {"F16", AcKind::HighPerf, 9.96},
}};

void addToCategorySet(const std::string& type, AcKind kind) {
    switch (kind) {
    case AcKind::Large:
        largeTypes.insert(type);
        break;
    case AcKind::Heavy:
        heavyTypes.insert(type);
        break;
    case AcKind::Buzjets:
        buzjetTypes.insert(type);
        break;
    case AcKind::Rotorcraft:
        rotorcraftTypes.insert(type);
        break;
    case AcKind::HighPerf:
        highPerfTypes.insert(type);
        break;
    case AcKind::Light:
        break; // Light is the kind of a type in no set
    }
}

} // namespace

double halfSpanNm(double wingspanMetres) { return wingspanMetres / 2.0 / 1852.0; }

void clearTestAircraft() {
    aircraftTypes.clear();
    largeTypes.clear();
    heavyTypes.clear();
    buzjetTypes.clear();
    rotorcraftTypes.clear();
    highPerfTypes.clear();
    cargoTypes.clear();
    similarTypeGroups.clear();
    airlineCodes.clear();
    cargoOperatorCodes.clear();
    publisherNames.clear();
    halfSpanByType.clear();
    categoryHalfSpan.fill(0.0);
    maxHalfSpan = 0.0;
    typeFixes.clear();
    simAddonAirports.clear();
    thirdPartyAirports.clear();
    regcodeTable.clear();
    lf_buildRegcodeIndex();
    lf_emptyLiveryTables();
    liveryTablesBuilt = false;
    liveryResetRequested.store(false);
    matchStepCounts.fill(0);
}

void installTestAircraft() {
    clearTestAircraft();
    for (const FleetType& entry : kFleet) {
        const std::string type = entry.type;
        aircraftTypes.insert(type);
        addToCategorySet(type, entry.kind);
        halfSpanByType[type] = halfSpanNm(entry.wingspanMetres);
        categoryHalfSpan.at(static_cast<std::size_t>(entry.kind)) = halfSpanNm(entry.wingspanMetres);
    }
    regcodeTable["D-AIMA"] = RegcodeRecord{.airl = "DLH", .type = "A320", .opr = "DLH", .cargo = false};
    regcodeTable["D-AEWG"] = RegcodeRecord{.airl = "DLH", .type = "A320", .opr = "EWG", .cargo = true};
    regcodeTable["PH-BXA"] = RegcodeRecord{.airl = "KLM", .type = "B738", .opr = "TRA", .cargo = false};
    lf_buildRegcodeIndex();
    installTestLiveries(
        {testLivery("TST", "B738", "Test Air B738"), testLivery("ZZZ", "B738", "Generic B738"),
         testLivery("DLH", "A320", "FSLTL_A320_DLH"), testLivery("DLH", "A320", "Lufthansa A320 D-AIMA")});
    // D-AIMA's own livery, as the registration passes would enter it: special, so no other DLH A320 takes it.
    const std::string_view special = *installedTitles.find(std::string_view("Lufthansa A320 D-AIMA"));
    regcodeTitleTable["D-AIMA"] = special;
    specialTitles.push_back(special);
    lf_indexSpecialTitles();
}

} // namespace zeph::test
