#include "core/sim_install.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "support/reg_file_builder.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using test::RegFileBuilder;
using test::ScopedEnv;
using test::TempDir;

const std::string v5 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5";
const std::string v6 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6";

struct InstallCase {
    const char* name;
    bool utf16;
    std::vector<std::string> lines;
    bool installed5;
    bool installed6;
    std::u16string path5;
    std::u16string path6;
};

TEST(SimInstall, InstalledFlagsAndSetupPaths) {
    const std::string longPath(10000, 'p');
    const std::vector<InstallCase> cases = {
        {"UTF-16 file with v6 only",
         true,
         {"[" + v6 + "]", R"("SetupPath"="C:\\P3D\\")"},
         false,
         true,
         u"",
         u"C:\\P3D\\"},
        {"UTF-8 file with both",
         false,
         {"[" + v5 + "]", "\"SetupPath\"=\"/opt/p3d5/\"", "", "[" + v6 + "]", "\"SetupPath\"=\"/opt/p3d6/\""},
         true,
         true,
         u"/opt/p3d5/",
         u"/opt/p3d6/"},
        {"SetupPath as dword", true, {"[" + v6 + "]", "\"SetupPath\"=dword:00000001"}, false, true, u"", u""},
        {"key without SetupPath", true, {"[" + v6 + "]", "\"Other\"=\"x\""}, false, true, u"", u""},
        {"other letter case",
         true,
         {"[hkey_local_machine\\software\\LOCKHEED MARTIN\\prepar3d V6]", "\"setuppath\"=\"/p\""},
         false,
         true,
         u"",
         u"/p"},
        {"v5 deleted after its section",
         true,
         {"[" + v5 + "]", "\"SetupPath\"=\"/p5\"", "[" + v6 + "]", "[-" + v5 + "]"},
         false,
         true,
         u"",
         u""},
        {"SetupPath deleted",
         true,
         {"[" + v6 + "]", "\"SetupPath\"=\"/p\"", "\"SetupPath\"=-"},
         false,
         true,
         u"",
         u""},
        {"hex over three lines before SetupPath",
         true,
         {"[" + v6 + "]", "\"Blob\"=hex:01,02,03,\\", "  04,05,06,\\", "  07,08", "\"SetupPath\"=\"/after\""},
         false,
         true,
         u"",
         u"/after"},
        {"10000-character SetupPath",
         false,
         {"[" + v5 + "]", "\"SetupPath\"=\"" + longPath + "\""},
         true,
         false,
         std::u16string(10000, u'p'),
         u""},
        {"only HKCU",
         true,
         {"[HKEY_CURRENT_USER\\SOFTWARE\\Lockheed Martin\\Prepar3D v6]", "\"SetupPath\"=\"/p\""},
         false,
         false,
         u"",
         u""},
        {"a parent key only",
         true,
         {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin]"},
         false,
         false,
         u"",
         u""},
    };
    TempDir dir;
    ScopedEnv env("CORVANE_REGISTRY_FILE", (dir / "registry.reg").string());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegFileBuilder builder;
        builder.header();
        for (const auto& line : c.lines) {
            builder.line(line);
        }
        if (c.utf16) {
            builder.writeUtf16(dir / "registry.reg");
        } else {
            builder.writeUtf8(dir / "registry.reg");
        }
        EXPECT_EQ(gf_isP3DInstalled(5), c.installed5);
        EXPECT_EQ(gf_isP3DInstalled(6), c.installed6);
        EXPECT_EQ(gf_getP3DSetupPath(5), c.path5);
        EXPECT_EQ(gf_getP3DSetupPath(6), c.path6);
    }
}

TEST(SimInstall, HkcuValueIsNotUnderHklm) {
    TempDir dir;
    ScopedEnv env("CORVANE_REGISTRY_FILE", (dir / "registry.reg").string());
    RegFileBuilder()
        .header()
        .key("HKEY_CURRENT_USER\\Software\\Corvane")
        .stringValue("SimConnect_Port_IPv4", "500")
        .writeUtf16(dir / "registry.reg");
    EXPECT_EQ(regGetString(RegHive::CurrentUser, "Software\\Corvane", "SimConnect_Port_IPv4"), u"500");
    EXPECT_EQ(regGetString(RegHive::LocalMachine, "Software\\Corvane", "SimConnect_Port_IPv4"), std::nullopt);
    EXPECT_FALSE(regKeyExists(RegHive::LocalMachine, "Software\\Corvane"));
}

TEST(SimInstall, OtherVersionsHaveNoKey) {
    TempDir dir;
    ScopedEnv env("CORVANE_REGISTRY_FILE", (dir / "registry.reg").string());
    // Keys that a careless mapping of other versions could hit.
    RegFileBuilder()
        .key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v4")
        .stringValue("SetupPath", "/p4")
        .key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6")
        .stringValue("SetupPath", "/p6")
        .writeUtf16(dir / "registry.reg");
    for (int version : {-1, 0, 4, 7, 56}) {
        SCOPED_TRACE(version);
        EXPECT_FALSE(p3dRegistryKey(version).has_value());
        EXPECT_FALSE(gf_isP3DInstalled(version));
        EXPECT_EQ(gf_getP3DSetupPath(version), u"");
    }
    EXPECT_EQ(p3dRegistryKey(5), "SOFTWARE\\Lockheed Martin\\Prepar3D v5");
    EXPECT_EQ(p3dRegistryKey(6), "SOFTWARE\\Lockheed Martin\\Prepar3D v6");
}

TEST(SimInstall, MissingFileOrRandomBytesMeanNotInstalled) {
    TempDir dir;
    ScopedEnv env("CORVANE_REGISTRY_FILE", (dir / "registry.reg").string());
    EXPECT_FALSE(gf_isP3DInstalled(6)) << "missing file";
    EXPECT_EQ(gf_getP3DSetupPath(6), u"") << "missing file";
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        std::string bytes;
        for (int k = 0; k < 4096; ++k) {
            bytes.push_back(static_cast<char>(random() & 0xFF));
        }
        test::writeFileBytes(dir / "registry.reg", bytes);
        EXPECT_FALSE(gf_isP3DInstalled(5));
        EXPECT_FALSE(gf_isP3DInstalled(6));
        EXPECT_EQ(gf_getP3DSetupPath(6), u"");
    }
}

} // namespace
} // namespace zeph
