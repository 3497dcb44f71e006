#include "settings/parameter.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/run_flags.h"
#include "settings/parameter_table.h"
#include "settings/parameters_file.h"
#include "settings/parameters_fixture.h"
#include "settings/xml_parameters.h"

namespace zeph {
namespace {

using test::ParametersTest;

TEST_F(ParametersTest, ConstructionAndLogLines) {
    BoolParameter flag("K", true);
    NumParameter<std::int32_t> number("K", -1, -1, 100);
    StringParameter empty("K", "");
    StringParameter text("K", "a \"b\"");
    EXPECT_TRUE(flag.min);
    EXPECT_TRUE(flag.max);
    EXPECT_TRUE(flag.get());
    EXPECT_EQ(number.get(), -1);
    EXPECT_EQ(text.getMin(), "a \"b\"");
    EXPECT_EQ(text.getMax(), "a \"b\"");

    struct Case {
        const char* name;
        std::function<void()> log;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"bool true", [&] { flag.log(); }, "K=true"},
        {"int -1", [&] { number.log(); }, "K=-1"},
        {"empty string", [&] { empty.log(); }, "K=\"\""},
        {"string with quotes", [&] { text.log(); }, "K=\"a \"b\"\""},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        markLog();
        item.log();
        EXPECT_EQ(logSinceMark(), std::vector<std::string>{item.line});
    }
}

TEST_F(ParametersTest, FailedAppendIsLoggedBeforeTheParameterLine) {
    BoolParameter flag("B", true);
    NumParameter<std::int32_t> number("N", 5, 0, 10);
    StringParameter text("S", "dflt");
    number.setValue(7);
    text.setValue("now");
    struct Case {
        const char* name;
        std::function<void(pugi::xml_node, bool)> append;
        bool defaults;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"bool",
         [&](pugi::xml_node n, bool d) { flag.appendTo(n, d); },
         false,
         {"===> adding xml parameter B with true failed!", "B=true"}},
        {"int, current value shown also when writing defaults",
         [&](pugi::xml_node n, bool d) { number.appendTo(n, d); },
         true,
         {"===> adding xml parameter N with 7 failed!", "N=7"}},
        {"string",
         [&](pugi::xml_node n, bool d) { text.appendTo(n, d); },
         true,
         {"===> adding xml parameter S with now failed!", "S=\"now\""}},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        markLog();
        item.append(pugi::xml_node(), item.defaults);
        EXPECT_EQ(logSinceMark(), item.lines);

        pugi::xml_document document;
        pugi::xml_node parameters = document.append_child("parameters");
        markLog();
        item.append(parameters, item.defaults);
        EXPECT_EQ(logSinceMark(), std::vector<std::string>{item.lines[1]});
        EXPECT_TRUE(parameters.child("parameter"));
    }
    pugi::xml_document document;
    pugi::xml_node parameters = document.append_child("parameters");
    number.appendTo(parameters, true);
    number.appendTo(parameters, false);
    text.appendTo(parameters, true);
    text.appendTo(parameters, false);
    std::vector<std::string> values;
    for (pugi::xml_node element : parameters.children("parameter")) {
        values.emplace_back(element.attribute("value").value());
    }
    EXPECT_EQ(values, (std::vector<std::string>{"5", "7", "dflt", "now"}));
}

TEST_F(ParametersTest, StoppingSilencesTheLogButNotTheSave) {
    struct Case {
        const char* name;
        std::atomic<bool>* flag;
    };
    const std::vector<Case> cases = {{"run stopping", &runStopping}, {"user stopped", &userStopped}};
    int round = 0;
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        gf_saveParameters(false);
        item.flag->store(true);
        markLog();
        ++round;
        WEEK.set(round % 2 == 1);
        MAX_FIT.set(10 + round);
        BLOCK_CALLSIGN.set("ABC" + std::to_string(round));
        gf_logUnlessStopping("anything");
        EXPECT_EQ(logSinceMark(), std::vector<std::string>{});
        const auto elements = test::fileElements(file());
        EXPECT_EQ(test::valuesOf(elements, "WEEK"),
                  std::vector<std::string>{round % 2 == 1 ? "true" : "false"});
        EXPECT_EQ(test::valuesOf(elements, "MAX_FIT"), std::vector<std::string>{std::to_string(10 + round)});
        EXPECT_EQ(test::valuesOf(elements, "BLOCK_CALLSIGN"),
                  std::vector<std::string>{"ABC" + std::to_string(round)});
        item.flag->store(false);
    }
    markLog();
    gf_logUnlessStopping("anything");
    EXPECT_EQ(logSinceMark(), std::vector<std::string>{"anything"});
}

TEST_F(ParametersTest, StringReadTakesTheStoredValueOrTheDefault) {
    struct Case {
        const char* name;
        const char* xml;
        bool found;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"found under root", R"(<root><parameters><parameter name="S" value="x&amp;y"/></parameters></root>)",
         true, "x&y"},
        {"found without root", R"(<parameters><parameter name="S" value="v"/></parameters>)", true, "v"},
        {"without value", R"(<root><parameters><parameter name="S"/></parameters></root>)", true, ""},
        {"other key only", R"(<root><parameters><parameter name="s" value="v"/></parameters></root>)", false,
         "dflt"},
        {"no parameters", R"(<root/>)", false, "dflt"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        StringParameter text("S", "dflt");
        text.setValue("before");
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(item.xml));
        markLog();
        EXPECT_EQ(text.read(document), item.found);
        EXPECT_EQ(text.get(), item.value);
        EXPECT_EQ(logSinceMark(), std::vector<std::string>{"S=\"" + item.value + "\""});
    }
}

TEST(XmlParameters, GettersFollowTheLookUpRule) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(R"(<root><parameters>
        <parameter name="yes" value="yes"/><parameter name="one" value="1"/><parameter name="zero" value="0"/>
        <parameter name="Tee" value="True"/><parameter name="hex" value="0x10"/>
        <parameter name="abc" value="abc"/>
        <parameter name="big" value="99999999999"/><parameter name="neg" value="-99999999999"/>
        <parameter name="bare"/><parameter value="nameless"/><parameter name="twice" value="1"/>
        <parameter name="twice" value="2"/><parameter name="text" value="a &lt;b&gt; &amp; &quot;c&quot;"/>
        </parameters></root>)"));
    struct Case {
        std::string key;
        std::optional<bool> flag;
        std::optional<std::int32_t> number;
        std::optional<std::string> text;
    };
    const std::vector<Case> cases = {
        {"yes", true, 0, "yes"},
        {"one", true, 1, "1"},
        {"zero", false, 0, "0"},
        {"Tee", true, 0, "True"},
        {"hex", false, 16, "0x10"},
        {"abc", false, 0, "abc"},
        {"big", false, 2147483647, "99999999999"},
        {"neg", false, -2147483647 - 1, "-99999999999"},
        {"bare", false, 0, ""},
        {"twice", true, 1, "1"},
        {"text", false, 0, "a <b> & \"c\""},
        {"missing", std::nullopt, std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt, std::nullopt},
        {"YES", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.key);
        EXPECT_EQ(gf_getBoolParameter(document, item.key), item.flag);
        EXPECT_EQ(gf_getIntParameter(document, item.key), item.number);
        EXPECT_EQ(gf_getStringParameter(document, item.key), item.text);
    }
}

TEST(XmlParameters, RootChildAndAppenders) {
    struct Case {
        const char* name;
        const char* xml;
        bool found;
    };
    const std::vector<Case> cases = {
        {"under root", "<root><meta a='1'/></root>", true},
        {"top level", "<meta a='1'/>", true},
        {"root wins over top level", "<root/><meta a='1'/>", false},
        {"missing", "<root><other/></root>", false},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(item.xml));
        EXPECT_EQ(static_cast<bool>(gf_rootChild(document, "meta")), item.found);
    }

    pugi::xml_document document;
    pugi::xml_node parameters = document.append_child("root").append_child("parameters");
    EXPECT_TRUE(gf_appendStringParameter(parameters, "S", "<&\">"));
    EXPECT_TRUE(gf_appendBoolParameter(parameters, "B", false));
    EXPECT_TRUE(gf_appendIntParameter(parameters, "I", -42));
    EXPECT_TRUE(gf_appendBoolAttribute(parameters, "flag", true));
    EXPECT_FALSE(gf_appendIntParameter(pugi::xml_node(), "I", 1));
    EXPECT_FALSE(gf_appendBoolAttribute(pugi::xml_node(), "flag", true));
    EXPECT_EQ(gf_getStringParameter(document, "S"), "<&\">");
    EXPECT_EQ(gf_getStringParameter(document, "B"), "false");
    EXPECT_EQ(gf_getIntParameter(document, "I"), -42);
    EXPECT_STREQ(parameters.attribute("flag").value(), "true");
}

} // namespace
} // namespace zeph
