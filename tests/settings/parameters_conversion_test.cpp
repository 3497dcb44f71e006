#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/parameters_file.h"
#include "settings/parameters_fixture.h"
#include "support/parameters_files.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using test::ElementList;
using test::fileElements;
using test::ParametersFileBuilder;
using test::ParametersTest;
using test::valuesOf;

const std::vector<std::string> obsoleteKeys = {"CALLSIGN_OBJECTIDS",
                                               "PARK_FAKE",
                                               "SUPPRESS_STUB",
                                               "LOG",
                                               "LEARN_SOFT",
                                               "PROGRAM_INSTALL_PATH",
                                               "LATERAL_RANGE",
                                               "CUSTOM_MAX_PARK",
                                               "MAX_LIVE",
                                               "AIRPORT_RANGE",
                                               "AUTO_RANGE_ABOVE_HEIGHT",
                                               "AIRPORT_HEIGHT",
                                               "MSFS_2020",
                                               "AI_PACKAGE_ORDER"};

const std::string updateFrom = "This is a version update from ";
const std::string tooOld1 =
    "Your previous version was too old to convert the old text box parameters to the newdropbox values.";
const std::string tooOld2 = "Corvane_P3D re-starts with default parameter values ...";

// What an older version left in the program's folder.
const std::vector<std::string> leftovers = {
    "TO_BE_LEARNED_OFFLINE/a.xml", "TO_BE_LEARNED_OFFLINE/sub/b.txt",    "versions.json", "ABCD.xml",
    "input/airports_p3d.xml",      "new_version/install_new_version.exe"};
const std::vector<std::string> keptFiles = {"AB.xml", "ABCDE.xml", "ABCD.XML", "ÄBCD.txt", "input/dbase.enc"};

void seedProgramFolder() {
    for (const auto& name : {leftovers, keptFiles}) {
        for (const std::string& path : name) {
            fs::create_directories(fs::path(path).parent_path().empty() ? "." : fs::path(path).parent_path());
            test::writeFileBytes(path, "x");
        }
    }
}

ParametersFileBuilder storedFile(const std::string& version) {
    ParametersFileBuilder builder;
    builder.storedDefaults(version).without("RANGE").parameter("RANGE", "65");
    for (const std::string& key : obsoleteKeys) {
        builder.parameter(key, "old");
    }
    return builder;
}

std::vector<std::string> namesOf(const ElementList& elements) {
    std::vector<std::string> names;
    for (const auto& element : elements) {
        names.push_back(element.first);
    }
    return names;
}

ElementList withVersion(ElementList elements, const std::string& version) {
    for (auto& [name, value] : elements) {
        if (name == "PROGRAM_VERSION") {
            value = version;
        }
    }
    return elements;
}

TEST_F(ParametersTest, VersionUpdates) {
    enum class Outcome { Nothing, VersionOnly, Converted, TooOld };
    struct Case {
        std::string stored;
        Outcome outcome;
        std::string fromText; // empty: no update line
    };
    const std::vector<Case> cases = {
        {"11.10.5", Outcome::Nothing, ""},        {"", Outcome::VersionOnly, ""},
        {"12.0.0", Outcome::VersionOnly, ""},     {"11.10.6", Outcome::VersionOnly, ""},
        {"11.0.1", Outcome::TooOld, "11.0.1"},    {"10.99.99", Outcome::TooOld, "10.99.99"},
        {"11.0.2", Outcome::Converted, "11.0.2"}, {"11.10.4", Outcome::Converted, "11.10.4"},
        {"garbage", Outcome::TooOld, "0.0.0"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE("stored '" + item.stored + "'");
        test::ProgramDir programFolder;
        seedProgramFolder();
        test::resetParametersForTests(programFolder.path() / "appdata");
        storedFile(item.stored).write(file());
        const ElementList before = fileElements(file());
        markLog();
        gf_initParameters();
        const auto log = logSinceMark();
        const ElementList elements = fileElements(file());

        EXPECT_EQ(RANGE.get(), 65) << "the values read stay in memory";
        EXPECT_EQ(valuesOf(elements, "PROGRAM_VERSION"), std::vector<std::string>{"11.10.5"});
        const bool updateLogged = std::any_of(
            log.begin(), log.end(), [](const std::string& line) { return line.rfind(updateFrom, 0) == 0; });
        EXPECT_EQ(updateLogged, !item.fromText.empty());
        if (!item.fromText.empty()) {
            EXPECT_TRUE(test::contains(log, updateFrom + item.fromText + " -> 11.10.5"));
        }
        EXPECT_EQ(test::contains(log, tooOld1) && test::contains(log, tooOld2),
                  item.outcome == Outcome::TooOld);
        std::size_t removedLines = 0;
        for (const std::string& key : obsoleteKeys) {
            removedLines += test::countLines(log, "Parameter '" + key + "' removed");
        }
        EXPECT_EQ(removedLines, item.outcome == Outcome::Converted ? obsoleteKeys.size() : 0U);

        switch (item.outcome) {
        case Outcome::Nothing:
        case Outcome::VersionOnly:
            EXPECT_EQ(elements, withVersion(before, "11.10.5")) << "only the version changes";
            EXPECT_EQ(elements.size(), 65U + obsoleteKeys.size());
            EXPECT_EQ(valuesOf(elements, "RANGE"), std::vector<std::string>{"65"});
            break;
        case Outcome::Converted:
            EXPECT_EQ(elements.size(), 65U);
            EXPECT_EQ(valuesOf(elements, "RANGE"), std::vector<std::string>{"65"});
            break;
        case Outcome::TooOld:
            EXPECT_EQ(namesOf(elements), test::registryKeys());
            EXPECT_EQ(valuesOf(elements, "RANGE"), std::vector<std::string>{"40"})
                << "the file holds the defaults";
            break;
        }
        const bool removesFiles = item.outcome == Outcome::Converted;
        for (const std::string& path : leftovers) {
            EXPECT_EQ(fs::exists(path), !removesFiles) << path;
        }
        for (const std::string& path : keptFiles) {
            EXPECT_TRUE(fs::exists(path)) << path;
        }
        EXPECT_EQ(test::contains(log, fs::current_path().string()), removesFiles);
        const auto versionErrors = std::count_if(log.begin(), log.end(), [](const std::string& line) {
            return line.rfind("VersionData exception: ", 0) == 0;
        });
        EXPECT_EQ(versionErrors, item.stored == "garbage" ? 1 : 0);
    }
}

TEST_F(ParametersTest, VersionUpdateWithoutTheOldFiles) {
    // Nothing of an older version is left: the conversion still removes the keys and goes on.
    storedFile("11.5.0").write(file());
    gf_initParameters();
    const ElementList elements = fileElements(file());
    EXPECT_EQ(elements.size(), 65U);
    EXPECT_EQ(valuesOf(elements, "PROGRAM_VERSION"), std::vector<std::string>{"11.10.5"});
}

TEST_F(ParametersTest, OldAirportFilesNeedFourCharactersOfAValidName) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"EHAM.xml", true},
        {"ÄBCD.xml", true},
        {"1234.xml", true},
        {"EHA.xml", false},
        {"EHAMX.xml", false},
        {"EHAM.XML", false},
        {"EHAM.xml.bak", false},
        {std::string("AB\xff\xfe.xml"), false},
        {std::string("\xc3\x84\xc3.xml"), false},
    };
    for (const auto& [name, _] : cases) {
        test::writeFileBytes(name, "x");
    }
    fs::create_directory("DIRS.xml");
    storedFile("11.5.0").write(file());
    gf_initParameters();
    for (const auto& [name, removed] : cases) {
        EXPECT_EQ(fs::exists(name), !removed) << name;
    }
    EXPECT_TRUE(fs::is_directory("DIRS.xml")) << "only regular files go";
}

} // namespace
} // namespace zeph
