#include "core/xml_meta.h"

#include <optional>

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/program.h"
#include "core/version.h"
#include "support/log_fixture.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"

namespace zeph {

// Names every field when a comparison fails.
void PrintTo(const XmlMeta& meta, std::ostream* out) {
    *out << "{author '" << meta.author << "' version '" << meta.version << "' date '" << meta.date
         << "' p3d '" << meta.p3d << "' msfs '" << meta.msfs << "' kind " << meta.kind << "}";
}

namespace {

constexpr std::time_t kTestNow = 1796541918; // Dec 06, 2026
const std::string kCopyright = "Copyright (c) 2026 Corvane. All rights reserved.";

using InfoList = std::vector<std::pair<std::string, std::string>>;

InfoList infoEntries(pugi::xml_node meta) {
    InfoList entries;
    for (pugi::xml_node info : meta.children("info")) {
        entries.emplace_back(info.attribute("name").value(), info.attribute("value").value());
    }
    return entries;
}

XmlMeta metaFor(std::int32_t kind, std::string p3d, std::string msfs) {
    XmlMeta meta;
    meta.version = gf_versionText(programVersion);
    meta.kind = kind;
    meta.p3d = std::move(p3d);
    meta.msfs = std::move(msfs);
    return meta;
}

TEST(XmlMetaKind, VersionTextsFollowTheKind) {
    struct Case {
        std::int32_t kind;
        std::string p3d;
        std::string msfs;
    };
    const std::vector<Case> cases = {
        {3, "v56", ""}, {1, "", "2020"}, {2, "", "2024"}, {0, "", "2024"}, {-5, "", "2024"}};
    for (const auto& item : cases) {
        SCOPED_TRACE("kind " + std::to_string(item.kind));
        XmlMeta meta = metaFor(9, "old", "old");
        gf_setSimulatorKind(meta, item.kind);
        EXPECT_EQ(meta.kind, item.kind);
        EXPECT_EQ(meta.p3d, item.p3d);
        EXPECT_EQ(meta.msfs, item.msfs);
    }
}

TEST(XmlMetaWrite, EntriesByKind) {
    test::TestClock clock(kTestNow);
    const std::string version = gf_versionText(programVersion);
    const InfoList common = {
        {"author", "Corvane_P3D"}, {"version", version}, {"date", "Dec 06, 2026"}, {"copyright", kCopyright}};
    struct Case {
        const char* name;
        XmlMeta meta;
        InfoList tail;
    };
    const std::vector<Case> cases = {
        {"Prepar3D", metaFor(3, "v56", ""), {{"sim", "3"}}},
        {"MSFS 2020 kind 1", metaFor(1, "", "2020"), {{"sim", "1"}}},
        {"kind 0 with p3d", metaFor(0, "v56", ""), {{"sim", "0"}, {"P3D", "v56"}}},
        {"kind 0 with any p3d text writes v56", metaFor(0, "v5", ""), {{"sim", "0"}, {"P3D", "v56"}}},
        {"kind 0 with msfs", metaFor(0, "", "2024"), {{"sim", "0"}, {"MSFS", "2024"}}},
        {"kind -1 with msfs", metaFor(-1, "", "2020"), {{"sim", "-1"}, {"MSFS", "2020"}}},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        pugi::xml_document document;
        XmlMeta meta = item.meta;
        meta.author = "someone else";
        ASSERT_TRUE(gf_writeMeta(document, meta));
        InfoList expected = common;
        expected.insert(expected.end(), item.tail.begin(), item.tail.end());
        EXPECT_EQ(infoEntries(document.child("root").child("meta")), expected);
    }
}

TEST(XmlMetaWrite, ReadBackGivesTheRecord) {
    test::TestClock clock(kTestNow);
    struct Case {
        const char* name;
        XmlMeta written;
        XmlMeta read;
    };
    XmlMeta prepar3d = metaFor(3, "", "");
    gf_setSimulatorKind(prepar3d, 3);
    const std::string version = gf_versionText(programVersion);
    const std::vector<Case> cases = {
        {"kind 3", prepar3d, {"Corvane_P3D", version, "Dec 06, 2026", "", "", 3}},
        {"kind 0 with p3d", metaFor(0, "v56", ""), {"Corvane_P3D", version, "Dec 06, 2026", "v56", "", 0}},
        {"kind 0 with msfs", metaFor(0, "", "2024"), {"Corvane_P3D", version, "Dec 06, 2026", "", "2024", 0}},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        pugi::xml_document document;
        ASSERT_TRUE(gf_writeMeta(document, item.written));
        for (bool acceptWithoutSim : {false, true}) {
            EXPECT_EQ(gf_readMeta(document, acceptWithoutSim), item.read)
                << "acceptWithoutSim " << acceptWithoutSim;
        }
    }
}

TEST(XmlMetaWrite, WhereTheHeaderGoes) {
    test::TestClock clock(kTestNow);
    struct Case {
        const char* name;
        const char* xml;
        const char* expectedShape; // element names of the document, depth first
    };
    const std::vector<Case> cases = {
        {"empty document gets root and meta", "", "root meta"},
        {"root without meta", "<root><airport/></root>", "root airport meta"},
        {"meta goes last even after an older meta", "<root><meta/><stands/></root>", "root meta stands meta"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(item.xml) || std::string(item.xml).empty());
        ASSERT_TRUE(gf_writeMeta(document, metaFor(3, "v56", "")));
        std::string shape;
        for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
            shape += node.name();
            for (pugi::xml_node child : node.children()) {
                shape += std::string(" ") + child.name();
            }
        }
        EXPECT_EQ(shape, item.expectedShape);
    }
}

TEST(XmlMetaWrite, FailsOnANullNode) {
    EXPECT_FALSE(gf_writeMeta(pugi::xml_node{}, metaFor(3, "v56", "")));
    EXPECT_FALSE(lf_appendInfo(pugi::xml_node{}, "author", "x"));
}

using XmlMetaRead = test::LogFixture;

TEST_F(XmlMetaRead, HeadersOfEveryShape) {
    const std::string copyright = R"(<info name="copyright" value="c" />)";
    auto wrap = [](const std::string& infos) { return "<root><meta>" + infos + "</meta></root>"; };
    auto record = [](std::string version, std::int32_t kind, std::string p3d = "", std::string msfs = "") {
        XmlMeta meta;
        meta.version = std::move(version);
        meta.kind = kind;
        meta.p3d = std::move(p3d);
        meta.msfs = std::move(msfs);
        return meta;
    };
    struct Case {
        std::string name;
        std::string xml;
        bool acceptWithoutSim;
        std::optional<XmlMeta> expected;
        std::vector<std::string> log;
    };
    const std::string onlyVersion = wrap(copyright + R"(<info name="version" value="1.2.3" />)");
    const std::string emptyCopyright = R"(<info name="copyright" value="" /><info name="sim" value="3" />)";
    const std::vector<Case> cases = {
        {"copyright and version, without sim refused", onlyVersion, false, std::nullopt, {}},
        {"copyright and version, without sim accepted", onlyVersion, true, record("1.2.3", -1), {}},
        {"two versions: the first counts",
         wrap(copyright + R"(<info name="version" value="1" /><info name="version" value="2" />
                             <info name="sim" value="3" />)"),
         false,
         record("1", 3),
         {}},
        {"empty copyright", wrap(emptyCopyright), true, std::nullopt, {"==> no copyright info in the file?"}},
        {"missing copyright", wrap(R"(<info name="sim" value="3" />)"), true, std::nullopt, {}},
        {"copyright in other letter case",
         wrap(R"(<info name="Copyright" value="c" /><info name="sim" value="3"/>)"),
         true,
         std::nullopt,
         {}},
        {"a later empty copyright is ignored",
         wrap(copyright + R"(<info name="copyright" value="" /><info name="sim" value="1" />)"),
         false,
         record("", 1),
         {}},
        {"meta directly under the document",
         "<meta>" + copyright + R"(<info name="sim" value="3" /></meta>)",
         false,
         record("", 3),
         {}},
        {"no meta", "<root><airport/></root>", true, std::nullopt, {}},
        {"meta without info", "<root><meta><other/></meta></root>", true, std::nullopt, {}},
        {"info without attributes is ignored",
         wrap("<info/>" + copyright + R"(<info name="sim" value="1" />)"),
         false,
         record("", 1),
         {}},
        {"non-numeric sim reads as 0",
         wrap(copyright + R"(<info name="sim" value="abc" />)"),
         false,
         record("", 0),
         {}},
        {"sim without value reads as 0",
         wrap(copyright + R"(<info name="sim" />)"),
         false,
         record("", 0),
         {}},
        {"P3D alone is enough",
         wrap(copyright + R"(<info name="P3D" value="v56" />)"),
         false,
         record("", -1, "v56"),
         {}},
        {"MSFS alone is enough",
         wrap(copyright + R"(<info name="MSFS" value="2024" />)"),
         false,
         record("", -1, "", "2024"),
         {}},
        {"unknown names are ignored",
         wrap(copyright + R"(<info name="colour" value="red" />)"),
         false,
         std::nullopt,
         {}},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        const auto logBefore = readLog().size();
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(item.xml.c_str()));
        EXPECT_EQ(gf_readMeta(document, item.acceptWithoutSim), item.expected);
        auto log = readLog();
        EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(logBefore), log.end()),
                  item.log);
    }
}

TEST(XmlDeclaration, OneUtf8DeclarationFirstAndTwoBlankIndent) {
    test::TempDir dir;
    test::TestClock clock(kTestNow);
    const std::string start = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <meta>\n";
    struct Case {
        const char* name;
        const char* xml;
        std::string expectedStart;
    };
    const std::vector<Case> cases = {
        {"no declaration", "<root/>", start},
        {"declaration with ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><root/>", start},
        {"declaration without version", "<?xml encoding=\"latin1\"?><root/>", start},
        {"declaration with standalone keeps it", "<?xml version=\"1.1\" standalone=\"yes\"?><root/>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<root>\n  <meta>\n"},
        {"standalone before version", "<?xml standalone=\"no\"?><root/>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<root>\n  <meta>\n"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(item.xml, pugi::parse_default | pugi::parse_declaration));
        ASSERT_TRUE(gf_writeMeta(document, metaFor(3, "v56", "")));
        auto file = dir / "parameters.xml";
        ASSERT_TRUE(gf_addXmlDeclaration(document, file));
        const std::string bytes = test::readFileBytes(file);
        EXPECT_EQ(bytes.substr(0, item.expectedStart.size()), item.expectedStart);
        EXPECT_NE(bytes.find("    <info name=\"author\" value=\"Corvane_P3D\" />\n"), std::string::npos)
            << bytes;

        pugi::xml_document reread;
        ASSERT_TRUE(reread.load_string(bytes.c_str(), pugi::parse_default | pugi::parse_declaration));
        int declarations = 0;
        for (pugi::xml_node node : reread.children()) {
            declarations += node.type() == pugi::node_declaration ? 1 : 0;
        }
        EXPECT_EQ(declarations, 1);
        EXPECT_EQ(reread.first_child().type(), pugi::node_declaration);
    }
}

TEST(XmlDeclaration, DeclarationAfterACommentMovesToTheFront) {
    test::TempDir dir;
    pugi::xml_document document;
    document.append_child(pugi::node_comment).set_value(" note ");
    document.append_child(pugi::node_declaration).append_attribute("version") = "1.0";
    document.append_child("root");
    ASSERT_TRUE(gf_addXmlDeclaration(document, dir / "out.xml"));
    EXPECT_EQ(test::readFileBytes(dir / "out.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- note -->\n<root />\n");
}

TEST(XmlDeclaration, SavingReplacesTheFileWholeOrNotAtAll) {
    test::TempDir dir;
    test::writeFileBytes(dir / "parameters.xml", "old");
    test::writeFileBytes(dir / "parameters.xml.tmp-1-1", "stale");
    pugi::xml_document document;
    document.append_child("root");
    EXPECT_TRUE(gf_addXmlDeclaration(document, dir / "parameters.xml"));
    EXPECT_EQ(test::readFileBytes(dir / "parameters.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root />\n");
    EXPECT_EQ(test::readFileBytes(dir / "parameters.xml.tmp-1-1"), "stale");

    EXPECT_FALSE(gf_addXmlDeclaration(document, dir / "missing" / "parameters.xml"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

} // namespace
} // namespace zeph
