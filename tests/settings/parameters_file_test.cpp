#include "settings/parameters_file.h"
#include "settings/range.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/parameters_fixture.h"
#include "support/parameters_files.h"

namespace zeph {
namespace {

using test::ElementList;
using test::fileElements;
using test::ParametersFileBuilder;
using test::ParametersTest;
using test::valuesOf;

const std::string stars(80, '*');
const std::string banner = std::string(34, '*') + " parameters " + std::string(34, '*');

std::vector<std::string> namesOf(const ElementList& elements) {
    std::vector<std::string> names;
    for (const auto& element : elements) {
        names.push_back(element.first);
    }
    return names;
}

// The lines of the file that hold key's elements, as written.
std::vector<std::string> elementLines(const std::filesystem::path& file, const std::string& key) {
    std::vector<std::string> lines;
    for (const std::string& line : test::readFileLines(file)) {
        if (line.find("name=\"" + key + "\"") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST_F(ParametersTest, WholeWriteWithDefaults) {
    gf_setRange(7); // the user's range, as the whole write keeps it
    gf_saveParameters(true);
    const ElementList elements = fileElements(file());
    EXPECT_EQ(namesOf(elements), test::registryKeys());
    EXPECT_EQ(elements.size(), 65U);
    EXPECT_EQ(valuesOf(elements, "PROGRAM_VERSION"), std::vector<std::string>{"11.10.5"});
    EXPECT_EQ(valuesOf(elements, "LAST_EPOCH_TIME:"), std::vector<std::string>{"0"});
    EXPECT_EQ(valuesOf(elements, "RANGE"), std::vector<std::string>{"40"})
        << "defaults, not the value in memory";
    for (const char* absent :
         {"parking_percentage", "MAX_FIT_FL", "ALL_INSTALL_PATH", "CALLSIGN_2_OBJECTID", "tblo"}) {
        EXPECT_TRUE(valuesOf(elements, absent).empty()) << absent;
    }
    EXPECT_EQ(RANGE.get(), 7);
    EXPECT_EQ(PROGRAM_VERSION.getDefault(), "11.10.5");
    EXPECT_EQ(sink().count("setCheck"), 19U);
    EXPECT_EQ(sink().count("showComboValue"), 7U);
    EXPECT_EQ(sink().count("showEditValue"), 1U);
    EXPECT_TRUE(test::contains(sink().calls(), "showComboValue RANGE 7"));
    EXPECT_EQ(test::readFileLines(file()).front(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");

    gf_saveParameters(false);
    EXPECT_EQ(valuesOf(fileElements(file()), "RANGE"), std::vector<std::string>{"7"});
}

TEST_F(ParametersTest, FirstStartWritesDefaultsAndTurnsOnTheScans) {
    SCAN_LIVERIES.setValue(false);
    SCAN_AIRPORTS.setValue(false);
    gf_initParameters();
    const auto log = readLog();
    ASSERT_GE(log.size(), 71U);
    EXPECT_EQ(log[0], "");
    EXPECT_EQ(log[1], banner);
    EXPECT_EQ(banner.size(), 80U);
    EXPECT_EQ(log[2], parametersFileUtf8() + " not found,  create new with default values:");
    EXPECT_EQ(log[3], "RANDOM=true");
    const std::vector<std::string> tail(log.end() - 4, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{stars, "", "SCAN_LIVERIES=true", "SCAN_AIRPORTS=true"}));
    const ElementList elements = fileElements(file());
    EXPECT_EQ(elements.size(), 65U);
    EXPECT_EQ(valuesOf(elements, "SCAN_LIVERIES"), std::vector<std::string>{"true"});
    EXPECT_EQ(valuesOf(elements, "SCAN_AIRPORTS"), std::vector<std::string>{"true"});
    EXPECT_TRUE(SCAN_LIVERIES.get());
    EXPECT_TRUE(SCAN_AIRPORTS.get());
    const auto calls = sink().calls();
    const std::vector<std::string> lastCalls(calls.end() - 3, calls.end());
    EXPECT_EQ(lastCalls,
              (std::vector<std::string>{"setCheck SCAN_LIVERIES true", "setCheck SCAN_AIRPORTS true",
                                        "selectComboEntry RANGE 40"}))
        << "the scans are turned on, then the stored range is the range in use";
    EXPECT_FALSE(std::filesystem::exists(generationFile()));
}

TEST_F(ParametersTest, ReadingClampsAndKeepsTheFile) {
    struct Case {
        std::string key;
        std::string stored;
        std::int32_t read;
    };
    const std::vector<Case> cases = {
        {"MAX_HOLDING_MINUTES", "0", 1},
        {"RANGE", "7", 7},
        {"RANGE", "150", 100},
        {"RANGE", "0", 2},
        {"P3D_VERSION", "4", 5},
        {"P3D_VERSION", "7", 6},
        {"MAX_FIT", "60", 47},
        {"MAX_PARK_SEL", "33", 33},
        {"HOLDING_THRESHOLD_METERS", "abc", 10},
        {"HOLDING_THRESHOLD_METERS", "99999999999", 4000},
        {"HOLDING_THRESHOLD_METERS", "0x10", 16},
        {"CUSTOM_PARKING_PERCENTAGE", "-99999999999", -1},
        {"LAST_EPOCH_TIME:", "-5", 0},
    };
    std::vector<NumParameter<std::int32_t>*> numbers(numParameters.begin(), numParameters.end());
    numbers.insert(numbers.end(), comboParameters.begin(), comboParameters.end());
    for (const auto& item : cases) {
        SCOPED_TRACE(item.key + " " + item.stored);
        ParametersFileBuilder()
            .storedDefaults("11.10.5")
            .without(item.key)
            .parameter(item.key, item.stored)
            .write(file());
        EXPECT_FALSE(gf_readParameters());
        auto found =
            std::find_if(numbers.begin(), numbers.end(), [&](auto* p) { return p->key == item.key; });
        ASSERT_NE(found, numbers.end());
        EXPECT_EQ((*found)->get(), item.read);
        EXPECT_EQ(valuesOf(fileElements(file()), item.key), std::vector<std::string>{item.stored});
    }
}

TEST_F(ParametersTest, ReadingBoolsAndStrings) {
    struct Case {
        std::string stored;
        bool read;
    };
    const std::vector<Case> cases = {{"yes", true},    {"1", true}, {"0", false},  {"Yes", true},
                                     {"false", false}, {"", false}, {"no", false}, {"T", true}};
    for (const auto& item : cases) {
        SCOPED_TRACE("WEEK " + item.stored);
        WEEK.setValue(!item.read);
        sink().clear();
        ParametersFileBuilder()
            .storedDefaults("11.10.5")
            .without("WEEK")
            .parameter("WEEK", item.stored)
            .write(file());
        gf_readParameters();
        EXPECT_EQ(WEEK.get(), item.read);
        EXPECT_TRUE(
            test::contains(sink().calls(), std::string("setCheck WEEK ") + (item.read ? "true" : "false")));
    }
    const std::string awkward = "C:\\a <b> & \"c\" 'd'";
    ParametersFileBuilder()
        .storedDefaults("11.10.5")
        .without("lfolder3")
        .parameter("lfolder3", awkward)
        .write(file());
    gf_readParameters();
    EXPECT_EQ(lfolder[3].get(), awkward);
    lfolder[4].set(awkward + "4");
    gf_saveParameters(false);
    lfolder[3].setValue("");
    lfolder[4].setValue("");
    gf_readParameters();
    EXPECT_EQ(lfolder[3].get(), awkward);
    EXPECT_EQ(lfolder[4].get(), awkward + "4");
}

TEST_F(ParametersTest, MissingKeysAreAddedAndUnknownKeysKept) {
    ParametersFileBuilder()
        .storedDefaults("11.10.5")
        .without("WEEK")
        .without("LAST_EPOCH_TIME:")
        .parameter("LAST_EPOCH_TIME", "77")
        .parameter("OLD_KEY", "kept & <intact>")
        .write(file());
    WEEK.setValue(true);
    const auto oldLine = elementLines(file(), "OLD_KEY");
    ASSERT_EQ(oldLine.size(), 1U);

    gf_readParameters();
    EXPECT_FALSE(WEEK.get());
    ElementList elements = fileElements(file());
    EXPECT_EQ(elements.size(), 67U);
    EXPECT_EQ(valuesOf(elements, "WEEK"), std::vector<std::string>{"false"});
    EXPECT_EQ(valuesOf(elements, "LAST_EPOCH_TIME"), std::vector<std::string>{"77"});
    EXPECT_EQ(valuesOf(elements, "LAST_EPOCH_TIME:"), std::vector<std::string>{"0"});
    EXPECT_EQ(elementLines(file(), "OLD_KEY"), oldLine);

    WEEK.set(true);
    RANGE.set(65);
    BLOCK_CALLSIGN.set("X&Y");
    elements = fileElements(file());
    EXPECT_EQ(valuesOf(elements, "WEEK"), std::vector<std::string>{"true"});
    EXPECT_EQ(valuesOf(elements, "RANGE"), std::vector<std::string>{"65"});
    EXPECT_EQ(valuesOf(elements, "BLOCK_CALLSIGN"), std::vector<std::string>{"X&Y"});
    EXPECT_EQ(elementLines(file(), "OLD_KEY"), oldLine);
}

TEST_F(ParametersTest, RepeatedKeysAndElementsWithoutValue) {
    ParametersFileBuilder()
        .storedDefaults("11.10.5")
        .without("WEEK")
        .without("MAX_FIT")
        .parameter("WEEK", "true")
        .parameterWithoutName("orphan")
        .parameter("WEEK", "false")
        .parameterWithoutValue("MAX_FIT")
        .write(file());
    gf_readParameters();
    EXPECT_TRUE(WEEK.get()) << "the first element counts";
    EXPECT_EQ(MAX_FIT.get(), 0) << "an element without value reads 0";

    WEEK.set(false);
    MAX_FIT.set(30);
    const ElementList elements = fileElements(file());
    EXPECT_EQ(valuesOf(elements, "WEEK"), (std::vector<std::string>{"false", "false"}));
    EXPECT_EQ(valuesOf(elements, "MAX_FIT"), std::vector<std::string>{"30"});
    EXPECT_EQ(valuesOf(elements, "<none>"), std::vector<std::string>{"orphan"});
}

TEST_F(ParametersTest, FileWithoutRootIsRepairedByTheFirstSave) {
    ParametersFileBuilder()
        .withoutRoot()
        .storedDefaults("11.10.5")
        .without("RANGE")
        .parameter("RANGE", "65")
        .write(file());
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(RANGE.get(), 65);
    EXPECT_FALSE(test::parsesWithRoot(file())) << "reading alone does not repair";

    gf_setRange(80);
    markLog();
    AEROWINX.set(true);
    const auto log = logSinceMark();
    ASSERT_GE(log.size(), 4U);
    EXPECT_EQ(log[0], "AEROWINX=true");
    EXPECT_EQ(log[1], "");
    EXPECT_EQ(log[2], "Placing a root level around a new parameters.xml to make it 100% xml compliance");
    EXPECT_TRUE(test::parsesWithRoot(file()));
    const ElementList elements = fileElements(file());
    EXPECT_EQ(namesOf(elements), test::registryKeys());
    EXPECT_EQ(valuesOf(elements, "AEROWINX"), std::vector<std::string>{"true"});
    EXPECT_EQ(valuesOf(elements, "RANGE"), std::vector<std::string>{"80"}) << "current values, not defaults";
}

TEST_F(ParametersTest, RootWithoutParameters) {
    struct Case {
        const char* name;
        std::function<void()> act;
        bool defaultsWritten;
    };
    const std::vector<Case> cases = {
        {"read writes defaults", [] { EXPECT_TRUE(gf_readParameters()); }, true},
        {"per-key save appends parameters", [] { MAX_FIT.set(12); }, false},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        test::writeFileBytes(file(), "<?xml version=\"1.0\"?>\n<root>\n  <meta />\n</root>\n");
        item.act();
        const ElementList elements = fileElements(file());
        if (item.defaultsWritten) {
            EXPECT_EQ(elements.size(), 65U);
            EXPECT_EQ(test::readFileBytes(generationFile()),
                      "<?xml version=\"1.0\"?>\n<root>\n  <meta />\n</root>\n");
        } else {
            EXPECT_EQ(elements, (ElementList{{"MAX_FIT", "12"}}));
        }
    }
}

TEST_F(ParametersTest, DamagedFileIsKeptAsideAndNoValueIsLost) {
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> damage;
        bool keptAside; // else the copy fails and the damaged file must stay as it is
    };
    const auto blockedGeneration = [this](const auto& f) {
        test::writeNotWellFormedFile(f);
        std::filesystem::create_directory(generationFile());
    };
    const std::vector<Case> cases = {
        {"not well-formed", test::writeNotWellFormedFile, true},
        {"empty", test::writeEmptyFile, true},
        {"binary", [](const auto& f) { test::writeFileBytes(f, std::string("\0\xff\xfe<", 4)); }, true},
        {"folder in its place", test::makeFolderInPlaceOf, false},
        {"a folder in the place of 0.xml", blockedGeneration, false},
    };
    const auto prepare = [&](const Case& item) {
        std::filesystem::remove_all(file());
        std::filesystem::remove_all(generationFile());
        item.damage(file());
        return std::filesystem::is_regular_file(file()) ? test::readFileBytes(file()) : "";
    };
    const std::string notKeptAside = "==> " + parametersFileUtf8() +
                                     " failed to load and could not be saved as "
                                     "0.xml; it stays as it is";
    const auto expectKept = [&](const std::string& oldBytes, const std::string& line) {
        EXPECT_EQ(std::filesystem::is_regular_file(file()) ? test::readFileBytes(file()) : "", oldBytes);
        EXPECT_TRUE(test::contains(logSinceMark(), line));
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        // A per-key save writes every value in memory, with its own key even when no registry holds it.
        std::string oldBytes = prepare(item);
        gf_setRange(65);
        markLog();
        parking_percentage.set(45);
        if (item.keptAside) {
            const ElementList elements = fileElements(file());
            EXPECT_EQ(test::readFileBytes(generationFile()), oldBytes);
            EXPECT_EQ(elements.size(), 66U);
            EXPECT_EQ(valuesOf(elements, "RANGE"), std::vector<std::string>{"65"});
            EXPECT_EQ(valuesOf(elements, "parking_percentage"), std::vector<std::string>{"45"});
        } else {
            expectKept(oldBytes, notKeptAside);
        }

        // A read during a run replaces it with defaults, again after keeping a copy.
        oldBytes = prepare(item);
        markLog();
        EXPECT_TRUE(gf_readParameters());
        if (item.keptAside) {
            EXPECT_EQ(test::readFileBytes(generationFile()), oldBytes);
            EXPECT_EQ(fileElements(file()).size(), 65U);
        } else {
            expectKept(oldBytes, notKeptAside + ", default values are used");
        }
        std::filesystem::remove_all(file());
        std::filesystem::remove_all(generationFile());
    }
}

// A folder whose path leaves room for "/parameters.xml" but not for the temp file written beside it, so every
// save fails while the file itself can be read.
std::filesystem::path folderWithoutRoomForTempFiles(const std::filesystem::path& base) {
    constexpr std::size_t fileLength = 4090; // the temp file's name is at least 8 characters longer
    std::filesystem::path folder = base;
    while (folder.native().size() + 200 < fileLength - 15) {
        folder /= std::string(199, 'd');
    }
    folder /= std::string(fileLength - 15 - folder.native().size() - 1, 'e');
    std::filesystem::create_directories(folder);
    return folder;
}

TEST_F(ParametersTest, FailedWritesAreReported) {
    const std::filesystem::path blocker = dir() / "not_a_folder";
    test::writeFileBytes(blocker, "x");
    const std::filesystem::path crowded = folderWithoutRoomForTempFiles(dir() / "crowded");
    const std::string rootless = ParametersFileBuilder().withoutRoot().parameter("WEEK", "true").text();
    struct Case {
        const char* name;
        std::filesystem::path folder;
        std::string bytes; // of the file that is there; empty: none
        std::function<void()> act;
    };
    const std::vector<Case> cases = {
        {"whole write", blocker / "Corvane_P3D", "", [] { gf_saveParameters(false); }},
        {"per-key save without a folder", blocker / "Corvane_P3D", "", [] { WEEK.set(true); }},
        {"read of a missing file", blocker / "Corvane_P3D", "", [] { gf_readParameters(); }},
        {"root repair", blocker / "Corvane_P3D", "", [] { gf_addRootLevel(); }},
        {"loader's save", crowded, ParametersFileBuilder().storedDefaults("11.10.5").without("WEEK").text(),
         [] { EXPECT_FALSE(gf_readParameters()); }},
        {"per-key save", crowded, ParametersFileBuilder().parameter("WEEK", "true").text(),
         [] { WEEK.set(false); }},
        {"removal", crowded, ParametersFileBuilder().parameter("LOG", "1").text(),
         [] { EXPECT_TRUE(gf_removeParameter("LOG")); }},
        {"per-key save that repairs the root", crowded, rootless, [] { WEEK.set(false); }},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        setAppDataDirForTests(item.folder);
        if (!item.bytes.empty()) {
            test::writeFileBytes(file(), item.bytes);
        }
        markLog();
        item.act();
        EXPECT_EQ(test::countLines(logSinceMark(), "==> saving: " + parametersFileUtf8() + " failed"), 1U);
        if (!item.bytes.empty()) {
            EXPECT_EQ(test::readFileBytes(file()), item.bytes) << "the old file stays as it was";
        }
    }
}

TEST_F(ParametersTest, RemovingAKey) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        bool removed;
    };
    const std::vector<Case> cases = {
        {"present",
         [this] {
             ParametersFileBuilder()
                 .parameter("LOG", "1")
                 .parameter("LOG", "2")
                 .parameter("A", "b")
                 .write(file());
         },
         true},
        {"absent", [this] { ParametersFileBuilder().parameter("A", "b").write(file()); }, false},
        {"no parameter element", [this] { ParametersFileBuilder().write(file()); }, false},
        {"no file", [this] { std::filesystem::remove(file()); }, false},
        {"damaged", [this] { test::writeNotWellFormedFile(file()); }, false},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        item.prepare();
        const std::string before = std::filesystem::exists(file()) ? test::readFileBytes(file()) : "";
        markLog();
        EXPECT_EQ(gf_removeParameter("LOG"), item.removed);
        if (item.removed) {
            EXPECT_EQ(logSinceMark(), std::vector<std::string>{"Parameter 'LOG' removed"});
            EXPECT_EQ(fileElements(file()), (ElementList{{"LOG", "2"}, {"A", "b"}}));
        } else {
            EXPECT_EQ(logSinceMark(), std::vector<std::string>{});
            EXPECT_EQ(std::filesystem::exists(file()) ? test::readFileBytes(file()) : "", before);
        }
    }
}

TEST_F(ParametersTest, ReadShowsEveryControl) {
    ParametersFileBuilder()
        .storedDefaults("11.10.5")
        .without("BLOCK_CALLSIGN")
        .parameter("BLOCK_CALLSIGN", "KLM1")
        .write(file());
    DESTINATION.setValue("old");
    gf_readParameters();
    EXPECT_EQ(sink().count("setCheck"), 19U);
    EXPECT_EQ(sink().count("showComboValue"), 7U);
    EXPECT_EQ(sink().calls().back(), "showEditValue BLOCK_CALLSIGN KLM1");
    EXPECT_EQ(DESTINATION.get(), "");
}

} // namespace
} // namespace zeph
