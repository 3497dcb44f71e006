#include "platform/registry.h"

#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/reg_file_builder.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using namespace std::string_literals;
using test::RegFileBuilder;
using test::ScopedEnv;
using test::TempDir;

constexpr RegHive LM = RegHive::LocalMachine;
constexpr RegHive CU = RegHive::CurrentUser;

enum class Encoding { Utf16, Utf8, Utf8Bom };

// A registry file in a temp folder that CORVANE_REGISTRY_FILE points at.
class RegistryFile {
public:
    RegistryFile() : env_("CORVANE_REGISTRY_FILE", (dir_ / "registry.reg").string()) {}

    void write(const std::vector<std::string>& lines, Encoding encoding = Encoding::Utf16) const {
        RegFileBuilder builder;
        for (const auto& line : lines) {
            builder.line(line);
        }
        if (encoding == Encoding::Utf16) {
            builder.writeUtf16(path());
        } else {
            builder.writeUtf8(path(), encoding == Encoding::Utf8Bom);
        }
    }
    std::filesystem::path path() const { return dir_ / "registry.reg"; }

private:
    TempDir dir_;
    ScopedEnv env_;
};

struct ValueCase {
    const char* name;
    std::vector<std::string> lines;
    RegHive hive;
    std::string key;
    std::string value;
    std::optional<std::u16string> expected;
};

TEST(Registry, ReadsStringValuesByTheFileRules) {
    const std::vector<ValueCase> cases = {
        {"plain string", {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]", "\"P\"=\"x\""}, LM, "SOFTWARE\\A", "P", u"x"},
        {"escapes", {"[HKLM\\A]", R"("P"="C:\\P3D\\ \"q\"")"}, LM, "A", "P", u"C:\\P3D\\ \"q\""},
        {"escaped quote in the name", {"[HKLM\\A]", R"("a\"b"="v")"}, LM, "A", "a\"b", u"v"},
        {"default value", {"[HKLM\\A]", "@=\"d\""}, LM, "A", "", u"d"},
        {"empty string", {"[HKLM\\A]", "\"P\"=\"\""}, LM, "A", "P", u""},
        {"value name case", {"[HKLM\\A]", "\"setuppath\"=\"x\""}, LM, "A", "SetupPath", u"x"},
        {"key name case", {"[hkey_local_machine\\software\\a]", "\"P\"=\"x\""}, LM, "SOFTWARE\\A", "P", u"x"},
        {"trailing backslash of the header", {"[HKLM\\A\\B\\]", "\"P\"=\"x\""}, LM, "A\\B", "P", u"x"},
        {"trailing backslash of the query", {"[HKLM\\A\\B]", "\"P\"=\"x\""}, LM, "A\\B\\", "P", u"x"},
        {"blanks around =", {"[HKLM\\A]", "  \"P\" = \"x\"  "}, LM, "A", "P", u"x"},
        {"non-ASCII text",
         {"[HKLM\\A]", "\"P\"=\"Pr\xC3\xA9par \xF0\x9F\x9B\xA9\""},
         LM,
         "A",
         "P",
         u"Pr\u00e9par \U0001F6E9"},
        {"later definition wins", {"[HKLM\\A]", "\"P\"=\"1\"", "\"P\"=\"2\""}, LM, "A", "P", u"2"},
        {"string after a dword", {"[HKLM\\A]", "\"P\"=dword:00000001", "\"P\"=\"s\""}, LM, "A", "P", u"s"},
        {"key listed twice",
         {"[HKLM\\A]", "\"P\"=\"1\"", "[HKLM\\B]", "[HKLM\\A]", "\"Q\"=\"2\""},
         LM,
         "A",
         "P",
         u"1"},
        {"HKCU value", {"[HKEY_CURRENT_USER\\S]", "\"Port\"=\"500\""}, CU, "S", "Port", u"500"},
        {"HKCU value is not under HKLM", {"[HKCU\\S]", "\"Port\"=\"500\""}, LM, "S", "Port", std::nullopt},
        {"dword", {"[HKLM\\A]", "\"P\"=dword:00000001"}, LM, "A", "P", std::nullopt},
        {"hex", {"[HKLM\\A]", "\"P\"=hex:41,00"}, LM, "A", "P", std::nullopt},
        {"hex(2)", {"[HKLM\\A]", "\"P\"=hex(2):41,00,00,00"}, LM, "A", "P", std::nullopt},
        {"dword after a string", {"[HKLM\\A]", "\"P\"=\"s\"", "\"P\"=dword:1"}, LM, "A", "P", std::nullopt},
        {"deleted value", {"[HKLM\\A]", "\"P\"=\"s\"", "\"P\"=-"}, LM, "A", "P", std::nullopt},
        {"missing value", {"[HKLM\\A]", "\"Q\"=\"s\""}, LM, "A", "P", std::nullopt},
        {"missing key", {"[HKLM\\A]", "\"P\"=\"s\""}, LM, "B", "P", std::nullopt},
        {"value of a parent only",
         {"[HKLM\\A]", "\"P\"=\"s\"", "[HKLM\\A\\B]"},
         LM,
         "A\\B",
         "P",
         std::nullopt},
        {"deleted key", {"[HKLM\\A]", "\"P\"=\"s\"", "[-HKLM\\A]"}, LM, "A", "P", std::nullopt},
        {"deleted parent", {"[HKLM\\A\\B]", "\"P\"=\"s\"", "[-HKLM\\A]"}, LM, "A\\B", "P", std::nullopt},
        {"key made again after deletion",
         {"[HKLM\\A]", "\"P\"=\"old\"", "[-HKLM\\A]", "[HKLM\\A]", "\"Q\"=\"new\""},
         LM,
         "A",
         "P",
         std::nullopt},
        {"values under a deletion header go nowhere",
         {"[HKLM\\A]", "[-HKLM\\A\\B]", "\"P\"=\"s\""},
         LM,
         "A",
         "P",
         std::nullopt},
        {"values before any key", {"\"P\"=\"s\"", "[HKLM\\A]"}, LM, "A", "P", std::nullopt},
        {"commented-out value", {"[HKLM\\A]", ";\"P\"=\"s\""}, LM, "A", "P", std::nullopt},
        {"bad escape", {"[HKLM\\A]", R"("P"="C:\P3D")"}, LM, "A", "P", std::nullopt},
        {"unterminated quote", {"[HKLM\\A]", "\"P\"=\"abc"}, LM, "A", "P", std::nullopt},
        {"text after the closing quote", {"[HKLM\\A]", "\"P\"=\"a\"b"}, LM, "A", "P", std::nullopt},
        {"unknown type", {"[HKLM\\A]", "\"P\"=qword:1"}, LM, "A", "P", std::nullopt},
        {"bad dword", {"[HKLM\\A]", "\"P\"=\"s\"", "\"P\"=dword:xyz"}, LM, "A", "P", u"s"},
        {"missing =", {"[HKLM\\A]", "\"P\" \"s\""}, LM, "A", "P", std::nullopt},
        {"unterminated header keeps values from the previous key",
         {"[HKLM\\A]", "\"P\"=\"1\"", "[HKLM\\B", "\"P\"=\"2\""},
         LM,
         "A",
         "P",
         u"1"},
        {"foreign hive keeps values from the previous key",
         {"[HKLM\\A]", "\"P\"=\"1\"", "[HKEY_CLASSES_ROOT\\A]", "\"P\"=\"2\""},
         LM,
         "A",
         "P",
         u"1"},
        {"good value after broken ones",
         {"[HKLM\\A]", "\"X\"=\"abc", "\"Y\"=\"\\q\"", "\"Z\"=junk", "\"P\"=\"good\""},
         LM,
         "A",
         "P",
         u"good"},
        {"hex over three lines",
         {"[HKLM\\A]", "\"B\"=hex:01,02,\\", "  03,04,\\", "  05", "\"P\"=\"after\""},
         LM,
         "A",
         "P",
         u"after"},
        {"string line ending in a backslash does not swallow the next",
         {"[HKLM\\A]", "\"X\"=\"C:\\", "\"P\"=\"good\""},
         LM,
         "A",
         "P",
         u"good"},
    };
    RegistryFile file;
    for (const auto& c : cases) {
        for (Encoding encoding : {Encoding::Utf16, Encoding::Utf8, Encoding::Utf8Bom}) {
            SCOPED_TRACE(::testing::Message() << c.name << ", encoding " << static_cast<int>(encoding));
            auto lines = c.lines;
            lines.insert(lines.begin(), "Windows Registry Editor Version 5.00");
            file.write(lines, encoding);
            EXPECT_EQ(regGetString(c.hive, c.key, c.value), c.expected);
        }
    }
}

struct KeyCase {
    const char* name;
    std::vector<std::string> lines;
    RegHive hive;
    std::string key;
    bool exists;
};

TEST(Registry, KeyExistence) {
    const std::vector<KeyCase> cases = {
        {"listed key", {"[HKLM\\A\\B\\C]"}, LM, "A\\B\\C", true},
        {"parent of a listed key", {"[HKLM\\A\\B\\C]"}, LM, "A\\B", true},
        {"grandparent", {"[HKLM\\A\\B\\C]"}, LM, "A", true},
        {"child of a listed key", {"[HKLM\\A\\B]"}, LM, "A\\B\\C", false},
        {"same prefix, other name", {"[HKLM\\A\\BC]"}, LM, "A\\B", false},
        {"other hive", {"[HKCU\\A]"}, LM, "A", false},
        {"HKCU key", {"[HKEY_CURRENT_USER\\A]"}, CU, "a", true},
        {"deleted", {"[HKLM\\A]", "[-HKLM\\A]"}, LM, "A", false},
        {"deleted with its children", {"[HKLM\\A\\B]", "[-HKLM\\A]"}, LM, "A\\B", false},
        {"parent stays when a child goes", {"[HKLM\\A\\B]", "[-HKLM\\A\\B]"}, LM, "A", true},
        {"deleted in other letter case",
         {"[HKLM\\Soft\\P3D]", "[-hklm\\SOFT\\p3d\\]"},
         LM,
         "Soft\\P3D",
         false},
        {"listed again after deletion", {"[HKLM\\A]", "[-HKLM\\A]", "[HKLM\\A]"}, LM, "A", true},
        {"deleting another key", {"[HKLM\\A]", "[-HKLM\\AB]"}, LM, "A", true},
        {"header with text after it", {"[HKLM\\A] x"}, LM, "A", false},
        {"header without a closing bracket", {"[HKLM\\A"}, LM, "A", false},
        {"header of an unknown hive", {"[HKEY_USERS\\A]"}, LM, "A", false},
        {"no header line needed", {"[HKLM\\A]"}, LM, "A", true},
        {"empty file", {}, LM, "A", false},
    };
    RegistryFile file;
    for (const auto& c : cases) {
        for (Encoding encoding : {Encoding::Utf16, Encoding::Utf8}) {
            SCOPED_TRACE(::testing::Message() << c.name << ", encoding " << static_cast<int>(encoding));
            file.write(c.lines, encoding);
            EXPECT_EQ(regKeyExists(c.hive, c.key), c.exists);
        }
    }
}

TEST(Registry, ReadsTheFileAnewAtEveryCall) {
    RegistryFile file;
    file.write({"[HKLM\\A]", "\"P\"=\"1\""});
    EXPECT_EQ(regGetString(LM, "A", "P"), u"1");
    file.write({"[HKLM\\A]", "\"P\"=\"2\""});
    EXPECT_EQ(regGetString(LM, "A", "P"), u"2");
    std::filesystem::remove(file.path());
    EXPECT_FALSE(regKeyExists(LM, "A"));
    EXPECT_EQ(regGetString(LM, "A", "P"), std::nullopt);
}

TEST(Registry, OddBytesAndBadCharactersSpoilOnlyTheirOwnLine) {
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<std::u16string> p;
        std::optional<std::u16string> q;
    };
    auto utf16 = [](std::u16string_view text) {
        std::string bytes = "\xFF\xFE";
        for (char16_t unit : text) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
        return bytes;
    };
    const std::vector<Case> cases = {
        {"UTF-16 with an odd last byte", utf16(u"[HKLM\\A]\r\n\"P\"=\"x\"\r\n\"Q\"=\"y\"") + "z", u"x", u"y"},
        {"lone surrogate in one value", utf16(u"[HKLM\\A]\r\n\"P\"=\"\xD800\"\r\n\"Q\"=\"y\"\r\n"),
         std::nullopt, u"y"},
        {"invalid UTF-8 in one value", "[HKLM\\A]\n\"P\"=\"\xC3\"\n\"Q\"=\"y\"\n", std::nullopt, u"y"},
        {"NUL inside a value", "[HKLM\\A]\n\"P\"=\"a\0b\"\n\"Q\"=\"y\""s, u"a\0b"s, u"y"},
        {"LF line ends without a last one", "[HKLM\\A]\n\"P\"=\"x\"\n\"Q\"=\"y\"", u"x", u"y"},
        {"lone CR line ends", "[HKLM\\A]\r\"P\"=\"x\"", std::nullopt, std::nullopt},
    };
    RegistryFile file;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFileBytes(file.path(), c.bytes);
        EXPECT_EQ(regGetString(LM, "A", "P"), c.p);
        EXPECT_EQ(regGetString(LM, "A", "Q"), c.q);
    }
}

TEST(Registry, FilePathFromTheEnvironment) {
    struct Case {
        const char* name;
        std::optional<std::string> file;
        std::optional<std::string> xdgConfigHome;
        std::optional<std::string> home;
        std::filesystem::path expected;
    };
    const std::vector<Case> cases = {
        {"override", "/r/my.reg", "/x", "/h", "/r/my.reg"},
        {"XDG config home", std::nullopt, "/x", "/h", "/x/corvane/registry.reg"},
        {"home", std::nullopt, std::nullopt, "/h", "/h/.config/corvane/registry.reg"},
        {"empty override", "", "/x", "/h", "/x/corvane/registry.reg"},
        {"relative override", "my.reg", "/x", "/h", "/x/corvane/registry.reg"},
        {"relative XDG config home", std::nullopt, "cfg", "/h", "/h/.config/corvane/registry.reg"},
        {"nothing", std::nullopt, std::nullopt, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv file("CORVANE_REGISTRY_FILE", c.file);
        ScopedEnv config("XDG_CONFIG_HOME", c.xdgConfigHome);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(registryFilePath(), c.expected);
    }
}

TEST(Registry, DefaultFileUnderTheConfigHome) {
    TempDir config;
    ScopedEnv file("CORVANE_REGISTRY_FILE", std::nullopt);
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().string());
    std::filesystem::create_directories(config / "corvane");
    RegFileBuilder()
        .header()
        .key("HKEY_LOCAL_MACHINE\\A")
        .stringValue("P", "x")
        .writeUtf16(config / "corvane" / "registry.reg");
    EXPECT_EQ(regGetString(LM, "A", "P"), u"x");
}

TEST(Registry, MissingOrUnreadableFileHoldsNoKeys) {
    TempDir dir;
    struct Case {
        const char* name;
        std::filesystem::path file;
    };
    const std::vector<Case> cases = {
        {"missing file", dir / "none.reg"},
        {"a folder", dir.path()},
        {"below a file", dir / "plain" / "x.reg"},
    };
    test::writeFileBytes(dir / "plain", "[HKLM\\A]\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv env("CORVANE_REGISTRY_FILE", c.file.string());
        EXPECT_FALSE(regKeyExists(LM, "A"));
        EXPECT_FALSE(regKeyExists(LM, ""));
        EXPECT_EQ(regGetString(LM, "A", "P"), std::nullopt);
    }
}

TEST(Registry, RandomBytesGiveNoKeys) {
    for (unsigned seed = 1; seed <= 50; ++seed) {
        for (std::string prefix : {"", "\xFF\xFE", "\xEF\xBB\xBF"}) {
            SCOPED_TRACE(::testing::Message() << "seed " << seed << ", prefix bytes " << prefix.size());
            std::mt19937 random(seed);
            std::string bytes = prefix;
            for (int k = 0; k < 4096; ++k) {
                bytes.push_back(static_cast<char>(random() & 0xFF));
            }
            RegistryContent content = parseRegistryText(bytes);
            EXPECT_FALSE(content.keyExists(LM, ""));
            EXPECT_FALSE(content.keyExists(CU, ""));
            EXPECT_EQ(content.getString(LM, "SOFTWARE\\Lockheed Martin\\Prepar3D v6", "SetupPath"),
                      std::nullopt);
        }
    }
}

TEST(Registry, ParsesStatementsInFileOrder) {
    using Kind = RegStatement::Kind;
    auto content = parseRegistryText("REGEDIT4\r\n; note\r\n[HKLM\\Soft\\]\r\n\"p\"=\"x\"\r\n@=dword:1\r\n"
                                     "\"q\"=-\r\n[-HKCU\\Old]\r\n[HKEY_USERS\\X]\r\n");
    struct Expected {
        Kind kind;
        std::string name;
    };
    const std::vector<Expected> expected = {{Kind::OpenKey, "SOFT"},  {Kind::SetString, "P"},
                                            {Kind::SetOther, ""},     {Kind::DeleteValue, "Q"},
                                            {Kind::DeleteKey, "OLD"}, {Kind::OtherKey, ""}};
    ASSERT_EQ(content.statements.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(::testing::Message() << "statement " << k);
        EXPECT_EQ(content.statements[k].kind, expected[k].kind);
        EXPECT_EQ(content.statements[k].name, expected[k].name);
    }
    EXPECT_EQ(content.statements[0].hive, LM);
    EXPECT_EQ(content.statements[1].text, u"x");
    EXPECT_EQ(content.statements[4].hive, CU);
}

TEST(Registry, PathologicalInputStaysHarmless) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string deepKey = "[HKLM";
    for (int k = 0; k < 100000; ++k) {
        deepKey += "\\a";
    }
    deepKey += "]\n\"P\"=\"x\"\n";
    std::string longHex = "[HKLM\\A]\n\"B\"=hex:";
    for (int k = 0; k < 100000; ++k) {
        longHex += "00,\\\n  ";
    }
    longHex += "00\n\"P\"=\"x\"\n";
    const std::vector<Case> cases = {
        {"100000 key levels", deepKey},
        {"hex over 100000 lines", longHex},
        {"one million backslashes", "[HKLM\\A]\n\"P\"=\"" + std::string(1000000, '\\')},
        {"one million quotes", "[HKLM\\A]\n" + std::string(1000000, '"')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryContent content = parseRegistryText(c.bytes);
        EXPECT_TRUE(content.keyExists(LM, "A"));
    }
}

} // namespace
} // namespace zeph
