#include "core/files.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/log_fixture.h"
#include "support/recording_shell_open.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using test::ScopedEnv;
using test::TempDir;
namespace fs = std::filesystem;

// One entry of a test folder: 'f' file, 'd' folder, 'l' symbolic link to target.
struct Entry {
    char kind;
    std::string name;
    std::string target = {};
};

void makeEntries(const fs::path& root, const std::vector<Entry>& entries) {
    fs::create_directories(root);
    for (const auto& e : entries) {
        fs::path path = root / e.name;
        if (e.kind == 'f') {
            test::writeFileBytes(path, "x");
        } else if (e.kind == 'd') {
            fs::create_directory(path);
        } else {
            fs::create_symlink(e.target, path);
        }
    }
}

// Everything below root, links not followed, as sorted relative names.
std::vector<std::string> remainingEntries(const fs::path& root) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        names.push_back(entry.path().lexically_relative(root).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Files : public test::LogFixture {
protected:
    // The log lines written since the last call.
    std::vector<std::string> newLogLines() {
        auto lines = readLog();
        std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(seen_), lines.end());
        seen_ = lines.size();
        return fresh;
    }

    void expectOneLineOrNone(const std::string& prefix) {
        auto lines = newLogLines();
        if (prefix.empty()) {
            EXPECT_TRUE(lines.empty()) << lines.front();
            return;
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind(prefix, 0), 0u) << lines[0];
    }

private:
    std::size_t seen_ = 0;
};

struct RemoveCase {
    const char* name;
    std::vector<Entry> entries;
    std::vector<std::string> remaining;
    std::string logPrefix; // empty: no log line
};

TEST_F(Files, RemoveFilesFromDirectory) {
    TempDir outside;
    test::writeFileBytes(outside / "keep.txt", "keep");
    const std::string stopLine = "==> gf_removeFilesFromDirectory exception: ";
    const std::vector<RemoveCase> cases = {
        {"file and empty sub-folder", {{'f', "a.txt"}, {'d', "sub"}}, {}, ""},
        {"non-empty sub-folder stops the walk",
         {{'f', "a.txt"}, {'d', "b"}, {'f', "b/x"}, {'f', "c.txt"}},
         {"b", "b/x", "c.txt"},
         stopLine},
        {"name order ignores letter case",
         {{'f', "B.txt"}, {'d', "a"}, {'f', "a/x"}, {'f', "c.txt"}},
         {"B.txt", "a", "a/x", "c.txt"},
         stopLine},
        {"link to an outside folder", {{'l', "link", outside.path().string()}, {'f', "z.txt"}}, {}, ""},
        {"dangling link", {{'l', "dead", "/nonexistent/target"}}, {}, ""},
        {"name that is not UTF-8", {{'f', "\xFF\xFE.bin"}}, {}, ""},
        {"empty folder", {}, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path box = dir() / "box";
        makeEntries(box, c.entries);
        gf_removeFilesFromDirectory(box);
        EXPECT_EQ(remainingEntries(box), c.remaining);
        expectOneLineOrNone(c.logPrefix);
        fs::remove_all(box);
    }
    EXPECT_EQ(remainingEntries(outside.path()), std::vector<std::string>{"keep.txt"});
}

TEST_F(Files, RemoveFilesFromDirectoryThatIsNoFolder) {
    test::writeFileBytes(dir() / "plain", "x");
    struct Case {
        const char* name;
        fs::path folder;
    };
    const std::vector<Case> cases = {{"missing folder", dir() / "missing"},
                                     {"a regular file", dir() / "plain"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NO_THROW(gf_removeFilesFromDirectory(c.folder));
        EXPECT_NO_THROW(gf_removeXMLFilesFromDirectory(c.folder));
        expectOneLineOrNone("");
    }
    EXPECT_TRUE(fs::exists(dir() / "plain"));
}

TEST_F(Files, RemoveXmlFilesFromTblo) {
    TempDir outside;
    test::writeFileBytes(outside / "target.xml", "keep");
    const std::string stopLine = "==> gf_removeXMLFilesFromDirectory exception: ";
    const std::vector<RemoveCase> cases = {
        {"XML in any case",
         {{'f', "a.XML"}, {'f', "b.xml"}, {'f', "c.Xml"}, {'f', "d.txt"}, {'f', "XML"}},
         {"XML", "d.txt"},
         ""},
        {"only the last extension counts",
         {{'f', "x.xml.bak"}, {'f', ".xml"}, {'f', "e.XmL"}, {'f', "f.xmll"}},
         {".xml", "f.xmll", "x.xml.bak"},
         ""},
        {"link named .xml goes, its target stays",
         {{'l', "link.xml", (outside / "target.xml").string()}},
         {},
         ""},
        {"non-empty folder named .xml stops the walk",
         {{'d', "m.xml"}, {'f', "m.xml/inner.txt"}, {'f', "n.xml"}, {'f', "a.xml"}},
         {"m.xml", "m.xml/inner.txt", "n.xml"},
         stopLine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeEntries(dir() / "tblo", c.entries);
        gf_removeXMLFilesFromDirectory();
        EXPECT_EQ(remainingEntries(dir() / "tblo"), c.remaining);
        expectOneLineOrNone(c.logPrefix);
        fs::remove_all(dir() / "tblo");
    }
    EXPECT_TRUE(fs::exists(outside / "target.xml"));

    makeEntries(dir() / "other", {{'f', "a.xml"}, {'f', "b.txt"}});
    gf_removeXMLFilesFromDirectory(dir() / "other");
    EXPECT_EQ(remainingEntries(dir() / "other"), std::vector<std::string>{"b.txt"}) << "explicit folder";
}

TEST_F(Files, CountFilesInDirectory) {
    TempDir outside;
    test::writeFileBytes(outside / "f", "x");
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        std::int64_t expected;
    };
    const std::vector<Case> cases = {
        {"files, not folders or what they hold",
         {{'f', "a"}, {'f', "b.xml"}, {'d', "sub"}, {'f', "sub/c"}},
         2},
        {"empty folder", {}, 0},
        {"link to a file counts as its file", {{'l', "lf", (outside / "f").string()}}, 1},
        {"link to a folder and dangling link",
         {{'l', "ld", outside.path().string()}, {'l', "dead", "/none"}},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeEntries(dir() / "count", c.entries);
        EXPECT_EQ(gf_countFilesInDirectory(dir() / "count"), c.expected);
        fs::remove_all(dir() / "count");
    }
    EXPECT_EQ(gf_countFilesInDirectory(dir() / "missing"), 0);
    test::writeFileBytes(dir() / "plain", "x");
    EXPECT_THROW(gf_countFilesInDirectory(dir() / "plain"), fs::filesystem_error);
}

TEST_F(Files, ListXmlFiles) {
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"xml in any case", {{'f', "EGLL.xml"}, {'f', "LFPG.XML"}, {'f', "readme.txt"}}, {"EGLL", "LFPG"}},
        {"name order", {{'f', "z.xml"}, {'f', "B.xml"}, {'f', "a.xml"}}, {"a", "B", "z"}},
        {"folders are not files", {{'d', "dir.xml"}, {'f', "XML"}}, {}},
    };
    const fs::path folder = dir() / "airports" / "my_thirdparty";
    EXPECT_EQ(gf_listXMLFiles(), std::vector<std::string>{}) << "missing folder";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeEntries(folder, c.entries);
        EXPECT_EQ(gf_listXMLFiles(), c.expected);
        std::vector<std::string> names = {"first"};
        gf_listXMLFiles(names);
        std::vector<std::string> appended = {"first"};
        appended.insert(appended.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(names, appended) << "the out-parameter form appends";
        fs::remove_all(folder);
    }
    test::writeFileBytes(folder, "not a folder");
    EXPECT_THROW(gf_listXMLFiles(), fs::filesystem_error);
}

TEST_F(Files, AppDataPath) {
    struct Case {
        const char* name;
        std::optional<std::string> appData;
        std::optional<std::string> xdgConfigHome;
        std::optional<std::string> home;
        fs::path expected;
    };
    const std::vector<Case> cases = {
        {"CORVANE_APPDATA_DIR wins", "/o/app", "/x", "/h", "/o/app"},
        {"then XDG_CONFIG_HOME", std::nullopt, "/x", "/h", "/x"},
        {"then HOME/.config", std::nullopt, std::nullopt, "/h", "/h/.config"},
        {"none of them", std::nullopt, std::nullopt, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv appData("CORVANE_APPDATA_DIR", c.appData);
        ScopedEnv config("XDG_CONFIG_HOME", c.xdgConfigHome);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(gf_getKnownFolderPath(), c.expected.empty() ? std::nullopt : std::optional(c.expected));
        EXPECT_EQ(gf_getAppDataPath(), c.expected);
        auto lines = newLogLines();
        if (c.expected.empty()) {
            EXPECT_EQ(lines, std::vector<std::string>{"==> Could not find the AppData path"});
        } else {
            EXPECT_TRUE(lines.empty());
        }
    }
}

TEST_F(Files, OpenContainingFolderAsksTheShell) {
    TempDir tmp;
    fs::create_directory(tmp / "a");
    test::writeFileBytes(tmp / "a" / "b.txt", "x");
    test::writeFileBytes(dir() / "name.txt", "x");
    fs::create_directory(dir() / "rel");
    test::writeFileBytes(dir() / "rel" / "c.txt", "x");
    struct Case {
        const char* name;
        fs::path file;
        bool shellResult;
        bool expected;
        std::vector<fs::path> calls;
    };
    const std::vector<Case> cases = {
        {"missing file", tmp / "a" / "none.txt", true, false, {}},
        {"bare file name", "name.txt", true, false, {}},
        {"file in a folder", tmp / "a" / "b.txt", true, true, {tmp / "a"}},
        {"relative path made absolute", "rel/c.txt", true, true, {dir() / "rel"}},
        {"the shell fails", tmp / "a" / "b.txt", false, false, {tmp / "a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingShellOpen recorder(c.shellResult);
        EXPECT_EQ(gf_openContainingFolder(c.file), c.expected);
        EXPECT_EQ(recorder.paths(), c.calls);
    }
}

TEST_F(Files, OpenContainingFolderStartsXdgOpen) {
    TempDir bin;
    TempDir tmp;
    fs::create_directory(tmp / "a");
    test::writeFileBytes(tmp / "a" / "b.txt", "x");
    const fs::path out = bin / "argument.txt";
    test::writeFileBytes(bin / "xdg-open", "#!/bin/sh\nPATH=/usr/bin:/bin\nprintf '%s' \"$1\" > '" +
                                               out.string() + ".part' && mv '" + out.string() + ".part' '" +
                                               out.string() + "'\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    {
        ScopedEnv path("PATH", bin.path().string());
        EXPECT_TRUE(gf_openContainingFolder(tmp / "a" / "b.txt"));
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(5.0 * test::kSlowFactor);
    while (!fs::exists(out) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(test::readFileBytes(out), (tmp / "a").string());

    ScopedEnv noOpener("PATH", tmp.path().string());
    EXPECT_FALSE(gf_openContainingFolder(tmp / "a" / "b.txt")) << "no xdg-open on PATH";
}

} // namespace
} // namespace zeph
