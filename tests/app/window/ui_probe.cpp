// A small program on the window layer that a GUI test drives with xdotool. It prints one line per message
// its window procedure receives (with the check mark after a Command), per call of its edit hook (with the
// field's text) and per message a worker thread posts. Lines on its standard input, handled by a worker:
// "post" posts Msg::App + 5, "box" shows a message box, "top" puts the window on top, and "quit" (or the
// end of the input) ends the probe with exit code 0. SIGTERM and SIGINT close the window (which stays).

#include <cstdint>
#include <iostream>
#include <string>
#include <thread>

#include <poll.h>
#include <unistd.h>

#include "app/window/close_signals.h"
#include "app/window/ui.h"

namespace {

using namespace zeph;

constexpr ControlId pushId = 1001;
constexpr ControlId checkId = 1002;
constexpr ControlId listId = 1003;
constexpr ControlId editId = 1004;
constexpr unsigned workerMsg = Msg::App + 5;
constexpr unsigned quitMsg = Msg::App + 9;

constexpr Rgb black{0, 0, 0};
constexpr Rgb lightBlue{153, 204, 255};
constexpr Rgb limeGreen{50, 205, 50};
constexpr Rgb red{255, 0, 0};
constexpr Rgb yellow{255, 255, 0};
constexpr Rgb white{255, 255, 255};

WindowHandle control(ControlId id);

void say(const std::string& line) { std::cout << line << std::endl; }

void createControls(WindowHandle window) {
    UiBackend& layer = ui();
    layer.createControl(window, ControlKind::PushButton, pushId, "Push", Rect::fromSize(20, 130, 80, 24));
    layer.createControl(window, ControlKind::CheckBox, checkId, "", Rect::fromSize(20, 170, 12, 12));
    const WindowHandle list =
        layer.createControl(window, ControlKind::DropDownList, listId, "", Rect::fromSize(20, 200, 120, 150));
    for (const char* entry : {"a/b", "R&D", "_x", "@y", "10"}) {
        layer.comboAdd(list, entry);
    }
    layer.comboSetSelection(list, 0);
    layer.createControl(window, ControlKind::Edit, editId, "", Rect::fromSize(20, 240, 200, 16));
}

// Every area but the status line is free of yellow, so a test can find the status text's pixels.
void paint(Painter& painter) {
    painter.fillRect(Rect{0, 0, 880, 112}, black);
    painter.fillRect(Rect{397, 30, 425, 112}, red);
    painter.fillRect(Rect{0, 112, 880, 392}, lightBlue);
    painter.fillRect(Rect{0, 392, 880, 448}, black);
    painter.fillRect(Rect{0, 448, 880, 476}, limeGreen);
    painter.line(0, 449, 880, 449, white);
    painter.text(3, 7, "probe", limeGreen);
    painter.text(3, 455, "HELLO probe status line", yellow);
}

std::string commandLine(WindowHandle window, std::uintptr_t wParam) {
    UiBackend& layer = ui();
    const ControlId id = loWord(wParam);
    std::string line = "Command id=" + std::to_string(id) + " code=" + std::to_string(hiWord(wParam));
    if (id == listId) {
        const WindowHandle list = layer.controlById(window, listId);
        const int selection = layer.comboSelection(list);
        line += " sel=" + std::to_string(selection) +
                " text=" + layer.comboText(list, selection).value_or("-") +
                " count=" + std::to_string(layer.comboCount(list)) +
                " first=" + layer.comboText(list, 0).value_or("-");
    } else {
        line += " check=" + std::to_string(layer.isChecked(control(checkId)) ? 1 : 0);
    }
    return line;
}

WindowHandle probeWindow = nullptr;

WindowHandle control(ControlId id) { return ui().controlById(probeWindow, id); }

std::intptr_t editHook(WindowHandle edit, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, void*) {
    say("Hook Char " + std::to_string(wParam) + " text=" + ui().getText(edit));
    if (msg == Msg::Char && wParam == 13) {
        return 0;
    }
    return ui().callPrevious(edit, msg, wParam, lParam);
}

std::intptr_t probeProc(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
    case Msg::Create:
        say("Create");
        probeWindow = window;
        createControls(window);
        ui().subclassEdit(control(editId), editHook, nullptr);
        return 0;
    case Msg::Paint:
        say("Paint");
        paint(*reinterpret_cast<Painter*>(wParam));
        return 0;
    case Msg::CtlColorEdit:
    case Msg::CtlColorStatic: {
        say(msg == Msg::CtlColorEdit ? "CtlColorEdit" : "CtlColorStatic");
        auto* colours = reinterpret_cast<ControlColours*>(wParam);
        colours->opaque = true;
        colours->background = lightBlue;
        return 0;
    }
    case Msg::Command:
        say(commandLine(window, wParam));
        return 0;
    case Msg::Close:
        say("Close"); // the window stays: the probe never destroys it
        return 0;
    case workerMsg:
        say("App+5 from worker w=" + std::to_string(wParam));
        return 0;
    case quitMsg:
        say("Quit");
        ui().postQuit(0);
        return 0;
    default:
        say("Msg " + std::to_string(msg));
        return ui().defWindowProc(window, msg, wParam, lParam);
    }
}

// Reads commands from the standard input until "quit", its end, or the stop request.
void readCommands(const std::stop_token& stop) {
    std::string pending;
    int posts = 0;
    while (!stop.stop_requested()) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, 100) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            ui().postMessage(probeWindow, quitMsg, 0, 0);
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(count));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string command = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (command == "post") {
                ui().postMessage(probeWindow, workerMsg, static_cast<std::uintptr_t>(++posts), 0);
            } else if (command == "box") {
                ui().messageBox("A message & no wait", "Corvane", Icon::Exclamation);
            } else if (command == "top") {
                ui().setTopmost(probeWindow, true);
            } else if (command == "quit") {
                ui().postMessage(probeWindow, quitMsg, 0, 0);
                return;
            }
        }
    }
}

} // namespace

int main() {
    blockCloseSignals();
    UiBackend& layer = uiInit();
    if (!layer.registerClass("ui_probe", probeProc, appIconId)) {
        return 1;
    }
    const WindowHandle window = layer.createMainWindow("ui_probe", "ui_probe", 400, 20, 880, 476);
    if (window == nullptr) {
        return 1;
    }
    layer.show(window);
    layer.update(window);
    const auto watcher = closeOnSignals(window);
    std::jthread reader(readCommands);
    const int code = layer.runMessageLoop();
    watcher->stop();
    return code;
}
