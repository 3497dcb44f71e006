#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window/ui.h"
#include "app/window/ui_text.h"
#include "support/window_fixture.h"
#include "test_window.h"

namespace zeph {
namespace {

using test::ControlToMake;
using test::TestWindow;

constexpr ControlId buttonId = 32829;
constexpr ControlId boxId = 32771;
constexpr ControlId comboId = 32818;
constexpr ControlId editId = 32828;
constexpr ControlId hookedId = 32839;

const std::vector<ControlToMake> controlSet{
    {ControlKind::PushButton, buttonId, "Unblock", Rect::fromSize(223, 257, 60, 20)},
    {ControlKind::CheckBox, boxId, "", Rect::fromSize(748, 149, 12, 12)},
    {ControlKind::DropDownList, comboId, "", Rect::fromSize(217, 226, 50, 200)},
    {ControlKind::Edit, editId, "", Rect::fromSize(107, 259, 100, 16)},
    {ControlKind::Edit, hookedId, "", Rect::fromSize(217, 343, 50, 16)},
};

// What the hooks of these tests saw, and what they do with a key.
struct HookLog {
    std::vector<std::uintptr_t> keys;
    std::vector<std::string> textsBefore;
    bool passOn = true;
};

std::intptr_t recordingHook(WindowHandle edit, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                            void* param) {
    auto* log = static_cast<HookLog*>(param);
    if (msg == Msg::Char) {
        log->keys.push_back(wParam);
        log->textsBefore.push_back(ui().getText(edit));
    }
    if (log->passOn && wParam != 13) {
        return ui().callPrevious(edit, msg, wParam, lParam);
    }
    return 0;
}

class HeadlessControls : public test::WindowFixture {
protected:
    void SetUp() override {
        ASSERT_NE(window.create(), nullptr);
        headless().clearRecords();
    }

    // The Command messages dispatched since the records were cleared, as (low word, high word).
    std::vector<std::pair<int, int>> commands() {
        std::vector<std::pair<int, int>> found;
        for (const auto& message : headless().dispatched()) {
            if (message.msg == Msg::Command) {
                found.emplace_back(loWord(message.wParam), hiWord(message.wParam));
            }
        }
        return found;
    }

    void fillCombo(const std::vector<std::string>& entries) {
        ui().comboReset(window.control(comboId));
        for (const auto& entry : entries) {
            ui().comboAdd(window.control(comboId), entry);
        }
    }

    TestWindow window{controlSet};
};

TEST_F(HeadlessControls, ControlsAreCreatedAsAsked) {
    for (const ControlToMake& wanted : controlSet) {
        const auto control = headless().control(wanted.id);
        ASSERT_TRUE(control.has_value()) << wanted.id;
        EXPECT_EQ(control->kind, wanted.kind) << wanted.id;
        EXPECT_EQ(control->rect, wanted.rect) << wanted.id;
        EXPECT_EQ(control->text, wanted.kind == ControlKind::DropDownList ? "" : wanted.label) << wanted.id;
        EXPECT_TRUE(control->enabled) << wanted.id;
        EXPECT_EQ(window.control(wanted.id), ui().controlById(window.window(), wanted.id)) << wanted.id;
        EXPECT_NE(window.control(wanted.id), nullptr) << wanted.id;
    }
    EXPECT_EQ(ui().controlById(window.window(), 1), nullptr) << "an id no control has";
    EXPECT_EQ(ui().controlById(nullptr, buttonId), nullptr) << "no parent";
    EXPECT_EQ(ui().createControl(nullptr, ControlKind::Edit, 5, "", Rect{}), nullptr);
}

TEST_F(HeadlessControls, EditsAndCheckBoxesAskTheWindowForTheirColours) {
    // The test window answers opaque light blue.
    struct Case {
        ControlId id;
        bool coloured;
    };
    const Case cases[] = {
        {buttonId, false}, {boxId, true}, {comboId, false}, {editId, true}, {hookedId, true}};
    for (const Case& c : cases) {
        const auto control = headless().control(c.id);
        ASSERT_TRUE(control.has_value()) << c.id;
        EXPECT_EQ(control->background.has_value(), c.coloured) << c.id;
        if (c.coloured) {
            EXPECT_EQ(*control->background, test::testBackground) << c.id;
        }
    }
}

TEST_F(HeadlessControls, ClicksNotifyButtonsAndBoxesOnlyWhenEnabled) {
    struct Case {
        const char* name;
        ControlId id;
        bool disable;
        bool dispatched;
    };
    const Case cases[] = {
        {"push button", buttonId, false, true},
        {"check box", boxId, false, true},
        {"drop-down", comboId, false, false},
        {"edit", editId, false, false},
        {"disabled push button", buttonId, true, false},
        {"disabled check box", boxId, true, false},
        {"unknown id", 1, false, false},
    };
    for (const Case& c : cases) {
        headless().clearRecords();
        ui().enable(window.control(c.id), !c.disable);
        EXPECT_EQ(headless().click(c.id), c.dispatched) << c.name;
        const auto sent = commands();
        if (c.dispatched) {
            EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{c.id, Notify::Clicked}})) << c.name;
            EXPECT_EQ(headless().dispatched().back().lParam,
                      reinterpret_cast<std::intptr_t>(window.control(c.id)))
                << c.name << ": lParam is the control";
        } else {
            EXPECT_TRUE(sent.empty()) << c.name;
        }
        ui().enable(window.control(c.id), true);
    }
}

TEST_F(HeadlessControls, ACheckBoxClickLeavesTheMarkToTheWindow) {
    const WindowHandle box = window.control(boxId);
    for (bool mark : {false, true}) {
        ui().setCheck(box, mark);
        headless().clearRecords();
        ASSERT_TRUE(headless().click(boxId));
        EXPECT_EQ(commands(), (std::vector<std::pair<int, int>>{{boxId, 0}})) << "mark " << mark;
        EXPECT_EQ(ui().isChecked(box), mark) << "the click changed the mark " << mark;
    }
}

TEST_F(HeadlessControls, OnlyCheckBoxesCarryAMark) {
    struct Case {
        ControlId id;
        bool checked;
    };
    const Case cases[] = {{buttonId, false}, {boxId, true}, {comboId, false}, {editId, false}};
    for (const Case& c : cases) {
        ui().setCheck(window.control(c.id), true);
        EXPECT_EQ(ui().isChecked(window.control(c.id)), c.checked) << c.id;
    }
    ui().setCheck(window.control(boxId), false);
    EXPECT_FALSE(ui().isChecked(window.control(boxId)));
}

TEST_F(HeadlessControls, ADropDownSelectsByPrefixWithoutNotifying) {
    fillCombo({"10", "25", "Abc"});
    const WindowHandle combo = window.control(comboId);
    EXPECT_EQ(ui().comboSelection(combo), -1) << "nothing selected after filling";
    struct Case {
        const char* prefix;
        int selection;
    };
    const Case cases[] = {{"2", 1}, {"ab", 2}, {"x", 2}, {"", 0}, {"25", 1}, {"250", 1}};
    for (const Case& c : cases) {
        ui().comboSelectPrefix(combo, c.prefix);
        EXPECT_EQ(ui().comboSelection(combo), c.selection) << "prefix '" << c.prefix << "'";
    }
    EXPECT_TRUE(commands().empty()) << "selecting from code notifies nothing";
}

TEST_F(HeadlessControls, SettingTheSelectionNotifiesNothing) {
    fillCombo({"10", "25", "Abc"});
    const WindowHandle combo = window.control(comboId);
    struct Case {
        int index;
        int selection;
        const char* text;
    };
    const Case cases[] = {{1, 1, "25"}, {2, 2, "Abc"}, {3, -1, ""}, {0, 0, "10"}, {-1, -1, ""}};
    for (const Case& c : cases) {
        ui().comboSetSelection(combo, c.index);
        EXPECT_EQ(ui().comboSelection(combo), c.selection) << "index " << c.index;
        EXPECT_EQ(ui().getText(combo), c.text) << "index " << c.index;
    }
    EXPECT_TRUE(commands().empty());
}

TEST_F(HeadlessControls, PickingAnEntryNotifiesSelChange) {
    fillCombo({"10", "25", "Abc"});
    struct Case {
        int index;
        bool picked;
    };
    const Case cases[] = {{1, true}, {1, true}, {2, true}, {3, false}, {-1, false}};
    for (const Case& c : cases) {
        headless().clearRecords();
        EXPECT_EQ(headless().selectIndex(comboId, c.index), c.picked) << "index " << c.index;
        if (c.picked) {
            EXPECT_EQ(commands(), (std::vector<std::pair<int, int>>{{comboId, Notify::SelChange}}))
                << c.index;
            EXPECT_EQ(ui().comboSelection(window.control(comboId)), c.index);
        } else {
            EXPECT_TRUE(commands().empty()) << "index " << c.index;
        }
    }
    ui().enable(window.control(comboId), false);
    EXPECT_FALSE(headless().selectIndex(comboId, 0)) << "a disabled drop-down";
}

TEST_F(HeadlessControls, EntriesAreKeptLiterally) {
    const std::vector<std::string> entries{"a/b", "R&D", "_x", "@y", "back\\slash|pipe", ""};
    fillCombo(entries);
    const WindowHandle combo = window.control(comboId);
    ASSERT_EQ(ui().comboCount(combo), static_cast<int>(entries.size()));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        EXPECT_EQ(ui().comboText(combo, static_cast<int>(k)), entries[k]) << k;
    }
    EXPECT_EQ(ui().comboText(combo, -1), std::nullopt);
    EXPECT_EQ(ui().comboText(combo, static_cast<int>(entries.size())), std::nullopt);
    ui().comboReset(combo);
    EXPECT_EQ(ui().comboCount(combo), 0);
    EXPECT_EQ(ui().comboSelection(combo), -1);
}

TEST_F(HeadlessControls, OperationsOnTheWrongKindChangeNothing) {
    ui().comboAdd(window.control(editId), "entry");
    ui().setText(window.control(comboId), "text");
    ui().comboSetSelection(window.control(buttonId), 0);
    ui().setText(nullptr, "nothing");
    EXPECT_EQ(ui().comboCount(window.control(editId)), 0);
    EXPECT_EQ(ui().comboText(window.control(editId), 0), std::nullopt);
    EXPECT_EQ(headless().control(comboId)->text, "");
    EXPECT_EQ(ui().comboSelection(window.control(buttonId)), -1);
    EXPECT_EQ(headless().control(editId)->text, "");
    EXPECT_FALSE(ui().subclassEdit(window.control(buttonId), recordingHook, nullptr));
}

TEST_F(HeadlessControls, EnterGoesToTheHookAndNeverIntoTheField) {
    HookLog log;
    ASSERT_TRUE(ui().subclassEdit(window.control(hookedId), recordingHook, &log));
    ui().setText(window.control(hookedId), "EDDF");
    ASSERT_TRUE(headless().pressEnter(hookedId));
    EXPECT_EQ(log.keys, std::vector<std::uintptr_t>{13});
    EXPECT_EQ(log.textsBefore, std::vector<std::string>{"EDDF"});
    EXPECT_EQ(ui().getText(window.control(hookedId)), "EDDF");
    EXPECT_TRUE(headless().control(hookedId)->hooked);
}

TEST_F(HeadlessControls, TheFieldGetsOnlyTheKeysItsHookPassesOn) {
    struct Case {
        const char* name;
        bool hooked;
        bool passOn;
        const char* typed;
        const char* text;
    };
    const Case cases[] = {
        {"passed on", true, true, "a", "a"},
        {"kept by the hook", true, false, "a", ""},
        {"no hook", false, true, "ab/c", "ab/c"},
        {"backspace", true, true, "ab\b", "a"},
        {"umlaut then backspace", true, true, "x\xC3\xA4\b", "x"},
        {"umlaut", true, true, "\xC3\xA4", "\xC3\xA4"},
        {"control codes", true, true, "a\x1b\tb", "ab"},
    };
    for (const Case& c : cases) {
        HookLog log;
        log.passOn = c.passOn;
        const WindowHandle edit = window.control(editId);
        ui().setText(edit, "");
        ui().subclassEdit(edit, c.hooked ? recordingHook : nullptr, &log);
        ASSERT_TRUE(headless().typeText(editId, c.typed)) << c.name;
        EXPECT_EQ(ui().getText(edit), c.text) << c.name;
        EXPECT_EQ(log.keys.size(), c.hooked ? codePoints(c.typed).size() : 0U) << c.name;
    }
}

TEST_F(HeadlessControls, TheHookSeesCharacterCodes) {
    HookLog log;
    ui().subclassEdit(window.control(hookedId), recordingHook, &log);
    headless().typeText(hookedId, "a\xC3\xA4\xE2\x82\xAC");
    EXPECT_EQ(log.keys, (std::vector<std::uintptr_t>{'a', 0xE4, 0x20AC}));
    EXPECT_EQ(log.textsBefore, (std::vector<std::string>{"", "a", "a\xC3\xA4"}));
}

TEST_F(HeadlessControls, ADisabledEditTakesNoKeys) {
    HookLog log;
    ui().subclassEdit(window.control(hookedId), recordingHook, &log);
    ui().enable(window.control(hookedId), false);
    EXPECT_FALSE(headless().typeText(hookedId, "ab"));
    EXPECT_FALSE(headless().pressEnter(hookedId));
    EXPECT_TRUE(log.keys.empty());
    EXPECT_FALSE(ui().isEnabled(window.control(hookedId)));
    EXPECT_FALSE(headless().pressEnter(buttonId)) << "not an edit";
}

TEST_F(HeadlessControls, ButtonLabelsAndEditTextsAreSetAndRead) {
    struct Case {
        ControlId id;
        const char* text;
    };
    const Case cases[] = {{buttonId, "Block"}, {editId, "ABC123"}, {boxId, "label"}, {editId, ""}};
    for (const Case& c : cases) {
        ui().setText(window.control(c.id), c.text);
        EXPECT_EQ(ui().getText(window.control(c.id)), c.text) << c.id;
    }
}

TEST_F(HeadlessControls, MessageBoxesAndTopmostAreRecorded) {
    ui().messageBox("Could not open File Explorer at tblo.zip.", "Corvane", Icon::Exclamation);
    ui().setTopmost(window.window(), true);
    EXPECT_EQ(headless().messageBoxes(),
              (std::vector<MessageBoxRecord>{
                  {"Could not open File Explorer at tblo.zip.", "Corvane", Icon::Exclamation}}));
    EXPECT_TRUE(headless().topmost());
    ui().setTopmost(window.window(), false);
    EXPECT_FALSE(headless().topmost());
    ui().setTopmost(nullptr, true);
    EXPECT_FALSE(headless().topmost()) << "no window";
}

} // namespace
} // namespace zeph
