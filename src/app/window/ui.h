#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "state/window_types.h"

// The window layer: windows, controls, painting, the message loop, message boxes and resources, with the
// message numbers and the dispatch of a Windows window procedure. UiBackend is the only code that knows a
// toolkit; uiInit() picks the FLTK or the headless backend once and ui() returns it.

namespace zeph {

enum class ControlKind { PushButton, CheckBox, Edit, DropDownList };

// Window messages, with the numbers Windows gives them. The program's own messages are Msg::App + n.
struct Msg {
    static constexpr unsigned Create = 0x0001;
    static constexpr unsigned Destroy = 0x0002;
    static constexpr unsigned Paint = 0x000F;
    static constexpr unsigned Close = 0x0010;
    static constexpr unsigned Char = 0x0102;
    static constexpr unsigned Command = 0x0111;
    static constexpr unsigned CtlColorEdit = 0x0133;
    static constexpr unsigned CtlColorStatic = 0x0138;
    static constexpr unsigned App = 0x8000;
};

// Notification codes in the high word of a Command's wParam; the low word is the control id and lParam the
// control's handle.
struct Notify {
    static constexpr std::uint16_t Clicked = 0;   // push buttons and check boxes
    static constexpr std::uint16_t SelChange = 1; // drop-down lists, picked by the user
};

constexpr std::uint16_t loWord(std::uintptr_t value) { return static_cast<std::uint16_t>(value & 0xFFFFU); }
constexpr std::uint16_t hiWord(std::uintptr_t value) {
    return static_cast<std::uint16_t>((value >> 16U) & 0xFFFFU);
}
constexpr std::uintptr_t makeWParam(std::uint16_t low, std::uint16_t high) {
    return static_cast<std::uintptr_t>(low) | (static_cast<std::uintptr_t>(high) << 16U);
}

using WndProc = std::intptr_t (*)(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                  std::intptr_t lParam);

// An edit field's hook sees each key as Msg::Char (wParam the character code, 13 for Enter) before the field
// does. The field gets the key only when the hook passes it on with callPrevious. param is the value given to
// subclassEdit.
using EditHook = std::intptr_t (*)(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                   std::intptr_t lParam, void* param);

// The answer to CtlColorEdit and CtlColorStatic: wParam points at it and the window procedure fills it in;
// lParam is the control. An opaque answer gives the control that background.
struct ControlColours {
    bool opaque = false;
    Rgb background{255, 255, 255};
};

// Painting during Msg::Paint (wParam points at the Painter). Coordinates are client pixels. Text is
// anchored at its top-left corner and drawn without a background; control characters show as blanks.
class Painter {
public:
    virtual ~Painter() = default;
    virtual void fillRect(const Rect& area, Rgb colour) = 0;
    // From (x1,y1) up to but not including (x2,y2), as a Windows line.
    virtual void line(int x1, int y1, int x2, int y2, Rgb colour) = 0;
    virtual void text(int x, int y, std::string_view utf8, Rgb colour) = 0;
};

enum class Icon { Exclamation };

// Operations marked "any thread" may be called from every thread: they are queued and applied on the GUI
// thread in call order. Called on the GUI thread they take effect at once, after what is already queued,
// except during a Paint, which never sees a control change. Every other operation belongs to the GUI
// thread: the thread that called uiInit() and runs the message loop.
class UiBackend {
public:
    virtual ~UiBackend() = default;
    UiBackend() = default;
    UiBackend(const UiBackend&) = delete;
    UiBackend& operator=(const UiBackend&) = delete;

    // --- process ---
    // The string resource, "" when there is none.
    virtual std::string loadString(unsigned id) = 0;
    // False when the name is already registered.
    virtual bool registerClass(std::string_view name, WndProc proc, unsigned iconId) = 0;
    // The window has a client area of clientWidth x clientHeight at (x, y). Msg::Create is dispatched
    // before this returns; null on failure (unknown class, or Create answered -1).
    virtual WindowHandle createMainWindow(std::string_view className, std::string_view title, int x, int y,
                                          int clientWidth, int clientHeight) = 0;
    virtual void show(WindowHandle window) = 0;
    // Paints what is invalid now; false for a window that does not exist (or was destroyed).
    virtual bool update(WindowHandle window) = 0;
    // Runs until postQuit; returns its code.
    virtual int runMessageLoop() = 0;
    // GUI thread, once the display is lost: the loop goes on without the toolkit until a quit (its code is
    // returned) or until limit has passed (nothing is returned).
    virtual std::optional<int> runMessageLoopWithoutDisplay(std::chrono::milliseconds limit) = 0;
    // Any thread. Messages are dispatched in the order posted; false for a null window.
    virtual bool postMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;
    // Any thread. The loop ends once the messages posted before have been dispatched.
    virtual void postQuit(int code) = 0;
    // The default handling: Close destroys the window (which dispatches Destroy); every other message gives
    // 0.
    virtual std::intptr_t defWindowProc(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                        std::intptr_t lParam) = 0;
    // The window's client area on the screen.
    virtual Rect windowRect(WindowHandle window) = 0;
    virtual bool isGuiThread() const = 0;

    // --- controls ---
    // During Create or later; null when the parent is not a window. Edits and check boxes ask the window
    // for their colours (CtlColorEdit, CtlColorStatic) here.
    virtual WindowHandle createControl(WindowHandle parent, ControlKind kind, ControlId id,
                                       std::string_view label, const Rect& rect) = 0;
    // Any thread; null when the parent has no control with that id.
    virtual WindowHandle controlById(WindowHandle parent, ControlId id) = 0;

    // Any thread, queued. A handle of the wrong kind is ignored.
    virtual void enable(WindowHandle control, bool enabled) = 0;
    virtual void setText(WindowHandle control, std::string text) = 0;           // edits, and button labels
    virtual void setCheck(WindowHandle control, bool checked) = 0;              // check boxes only
    virtual void comboReset(WindowHandle combo) = 0;                            // empty, nothing selected
    virtual void comboAdd(WindowHandle combo, std::string text) = 0;            // at the end
    virtual void comboSetSelection(WindowHandle combo, int index) = 0;          // -1 or out of range: none
    virtual void comboSelectPrefix(WindowHandle combo, std::string prefix) = 0; // see findComboPrefix
    // A flag and one wake-up, nothing else: the whole window is repainted once, however often this is called.
    virtual void invalidate(WindowHandle window, const Rect* area) = 0;
    virtual void setTopmost(WindowHandle window, bool topmost) = 0;
    // Never waits for the user.
    virtual void messageBox(std::string text, std::string caption, Icon icon) = 0;

    // GUI thread: they see everything queued before the message being handled.
    virtual std::string
    getText(WindowHandle control) = 0;                // an edit's text, a label, a combo's selected entry
    virtual bool isChecked(WindowHandle control) = 0; // false for anything but a check box
    virtual bool isEnabled(WindowHandle control) = 0;
    virtual int comboSelection(WindowHandle combo) = 0; // -1 when nothing is selected
    virtual int comboCount(WindowHandle combo) = 0;
    virtual std::optional<std::string> comboText(WindowHandle combo, int index) = 0;

    // GUI thread. False when the control is not an edit field; a second call replaces the hook.
    virtual bool subclassEdit(WindowHandle edit, EditHook hook, void* param) = 0;
    // The field's own handling of a message its hook passes on: Char types the character (8 erases one;
    // 13 and other control codes change nothing).
    virtual std::intptr_t callPrevious(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                       std::intptr_t lParam) = 0;
};

enum class UiKind { Fltk, Headless };

// CORVANE_UI=fltk or headless decides; otherwise FLTK when DISPLAY is not empty and displayOpens() says the
// X server answers, else headless (a stale DISPLAY would make the toolkit end the process).
UiKind pickUiKind(const char* corvaneUi, const char* display, bool (*displayOpens)());

// True when the X server of DISPLAY accepts a connection.
bool canOpenDisplay();

// What the program does when its display is lost. The FLTK backend calls it on the GUI thread from the
// toolkit's I/O-error path, after the layer has gone without a display: from then on every paint,
// invalidation, control operation and message box does nothing, as on the headless backend. It must not
// return, because Xlib ends the process when its handler returns.
using DisplayLostHandler = void (*)();
void setDisplayLostHandler(DisplayLostHandler handler);
DisplayLostHandler displayLostHandler();

// Picks the backend from the environment once and returns it; later calls return the same one. Call it on
// the thread that will run the message loop, before any other thread uses the layer.
UiBackend& uiInit();

// The backend uiInit() picked; throws std::logic_error before uiInit().
UiBackend& ui();

// --- resources ---
inline constexpr unsigned appTitleStringId = 101;
inline constexpr unsigned appIconId = 100;

// "" when there is no such string.
std::string resourceString(unsigned id);

struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // width * height * 3 bytes, rows from the top
};

// Null when there is no such icon.
const IconImage* resourceIcon(unsigned id);

} // namespace zeph
