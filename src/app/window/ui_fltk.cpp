// The FLTK backend of the window layer; the only file that includes FLTK (and Xlib) headers. Only the GUI
// thread touches FLTK: other threads reach it through the shared queues and one Fl::awake() at a time.

#include <algorithm>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include "app/window/queued_backend.h"
#include "app/window/ui_text.h"

namespace zeph {

namespace {

constexpr Fl_Font paintFont = FL_HELVETICA;
constexpr Fl_Fontsize paintFontSize = 13;
constexpr Fl_Fontsize controlFontSize = 12;
constexpr Fl_Fontsize editFontSize = 11; // a 16-pixel field clips FLTK's default size
constexpr int dropDownHeight = 21;       // closed; the list opens below it
// Labels drawn as they are: no '@' symbols and no '&' shortcut marks.
constexpr auto plainLabel = static_cast<Fl_Labeltype>(FL_FREE_LABELTYPE);

Fl_Color flColour(Rgb colour) { return fl_rgb_color(colour.r, colour.g, colour.b); }

void drawPlainLabel(const Fl_Label* label, int x, int y, int w, int h, Fl_Align align) {
    fl_font(label->font, label->size);
    fl_color(label->color);
    fl_draw(label->value, x, y, w, h, align, label->image, 0);
}

void measurePlainLabel(const Fl_Label* label, int& w, int& h) {
    fl_font(label->font, label->size);
    fl_measure(label->value, w, h, 0);
}

// Windows-style painting on the current FLTK drawing surface.
class FltkPainter : public Painter {
public:
    void fillRect(const Rect& area, Rgb colour) override {
        fl_rectf(area.left, area.top, area.width(), area.height(), flColour(colour));
    }

    // A Windows line leaves out its last point; fl_line draws it, so straight lines stop one pixel short.
    void line(int x1, int y1, int x2, int y2, Rgb colour) override {
        if (x1 == x2 && y1 != y2) {
            y2 += y2 > y1 ? -1 : 1;
        } else if (y1 == y2 && x1 != x2) {
            x2 += x2 > x1 ? -1 : 1;
        }
        fl_color(flColour(colour));
        fl_line(x1, y1, x2, y2);
    }

    // fl_draw anchors text at its baseline; Windows at the top-left corner. The plain three-argument
    // fl_draw does no '@' or '&' processing.
    void text(int x, int y, std::string_view utf8, Rgb colour) override {
        fl_font(paintFont, paintFontSize);
        fl_color(flColour(colour));
        const std::string drawn = textAsDrawn(utf8);
        fl_draw(drawn.c_str(), x, y + fl_height() - fl_descent());
    }
};

class FltkUi;
class FlMainWindow;

struct FlControl : UiObject {
    FlMainWindow* parent = nullptr;
    ControlKind kind = ControlKind::PushButton;
    ControlId id = 0;
    // A drop-down's entries as given, and the menu built from them. The layer builds the menu itself:
    // Fl_Menu_::add would read '/', '\\', '_' and '|' as menu structure, and FLTK's own label type '@' as a
    // symbol anywhere in the text.
    std::vector<std::string> entries;
    std::vector<std::string> shownEntries;
    std::vector<Fl_Menu_Item> menu;
    std::unique_ptr<Fl_Widget> widget; // after the menu, so that it goes first
    EditHook hook = nullptr;
    void* hookParam = nullptr;
};

// Selects an entry of a drop-down; -1 or an index out of range selects none.
void selectEntry(FlControl& record, int index) {
    auto* choice = static_cast<Fl_Choice*>(record.widget.get());
    const bool inRange = index >= 0 && index < static_cast<int>(record.entries.size());
    choice->value(inRange ? &record.menu[static_cast<std::size_t>(index)] : nullptr);
    choice->redraw();
}

// Gives the drop-down a fresh menu of its entries, with the given entry selected (-1: none).
void rebuildMenu(FlControl& record, int selection) {
    record.shownEntries.clear();
    record.menu.clear();
    for (const std::string& entry : record.entries) {
        record.shownEntries.push_back(escapeMenuEntry(entry));
    }
    for (const std::string& shown : record.shownEntries) {
        Fl_Menu_Item item{};
        item.label(plainLabel, shown.c_str());
        record.menu.push_back(item);
    }
    record.menu.push_back(Fl_Menu_Item{}); // the end marker
    static_cast<Fl_Choice*>(record.widget.get())->menu(record.menu.data());
    selectEntry(record, selection);
}

class FlMainWindow : public Fl_Double_Window, public UiObject {
public:
    FlMainWindow(FltkUi& ui, WndProc proc, int x, int y, int w, int h)
        : Fl_Double_Window(x, y, w, h), ui(ui), proc(proc) {
        end();
        resizable(nullptr);
    }

    // The widgets belong to their records, not to the group.
    ~FlMainWindow() override {
        for (const auto& control : controls) {
            remove(control->widget.get());
        }
    }

    // The window procedure paints first, then the controls on top. With only a control damaged the
    // double buffer still holds the rest, so only that control is drawn again.
    void draw() override;

    FltkUi& ui;
    WndProc proc;
    bool destroyed = false;
    bool topmost = false;
    std::vector<std::unique_ptr<FlControl>> controls;
    std::unique_ptr<Fl_RGB_Image> icon;
};

// An edit field whose keys go to the hook first.
class FlEdit : public Fl_Input {
public:
    FlEdit(FlControl& record, int x, int y, int w, int h) : Fl_Input(x, y, w, h), record_(record) {}

    int handle(int event) override;

    // callPrevious during the hook: the key goes on to the field.
    bool passOnKey() {
        if (!inHook_) {
            return false;
        }
        passOn_ = true;
        return true;
    }

private:
    FlControl& record_;
    bool inHook_ = false;
    bool passOn_ = false;
};

// A push button whose label is drawn as it is.
class FlPushButton : public Fl_Button {
public:
    FlPushButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {
        clear_flag(SHORTCUT_LABEL);
        labeltype(plainLabel);
        labelsize(controlFontSize);
    }
};

// A small window with the text, an exclamation mark and OK; nothing waits for it.
class FlMessageBox : public Fl_Window {
public:
    FlMessageBox(const std::string& text, const std::string& caption)
        : Fl_Window(380, 130), mark_(12, 14, 48, 48, "!"), text_(72, 12, 296, 70),
          ok_(288, 94, 80, 26, "OK") {
        end();
        copy_label(caption.c_str());
        mark_.box(FL_THIN_UP_BOX);
        mark_.labelfont(FL_HELVETICA_BOLD);
        mark_.labelsize(34);
        mark_.labelcolor(FL_BLUE);
        text_.copy_label(text.c_str());
        text_.labeltype(plainLabel);
        text_.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
        ok_.callback([](Fl_Widget* button, void*) { button->window()->hide(); });
    }

    ~FlMessageBox() override {
        remove(mark_);
        remove(text_);
        remove(ok_);
    }

private:
    Fl_Box mark_;
    Fl_Box text_;
    Fl_Button ok_;
};

struct FlClass {
    WndProc proc = nullptr;
    unsigned iconId = 0;
};

class FltkUi final : public QueuedUiBackend {
public:
    FltkUi();

    std::string loadString(unsigned id) override { return resourceString(id); }
    bool registerClass(std::string_view name, WndProc proc, unsigned iconId) override;
    WindowHandle createMainWindow(std::string_view className, std::string_view title, int x, int y,
                                  int clientWidth, int clientHeight) override;
    void show(WindowHandle window) override;
    bool update(WindowHandle window) override;
    std::intptr_t defWindowProc(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override;
    Rect windowRect(WindowHandle window) override;
    WindowHandle createControl(WindowHandle parent, ControlKind kind, ControlId id, std::string_view label,
                               const Rect& rect) override;
    WindowHandle controlById(WindowHandle parent, ControlId id) override;
    std::string getText(WindowHandle control) override;
    bool isChecked(WindowHandle control) override;
    bool isEnabled(WindowHandle control) override;
    int comboSelection(WindowHandle combo) override;
    int comboCount(WindowHandle combo) override;
    std::optional<std::string> comboText(WindowHandle combo, int index) override;
    bool subclassEdit(WindowHandle edit, EditHook hook, void* param) override;
    std::intptr_t callPrevious(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override;

    std::intptr_t dispatch(FlMainWindow& window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    void paint(FlMainWindow& window);
    using QueuedUiBackend::loseDisplay;

private:
    void waitForEvents() override;
    void wake() override { Fl::awake(); }
    void repaint() override;
    void dispatchPosted(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                        std::intptr_t lParam) override;
    void applyEnable(WindowHandle control, bool enabled) override;
    void applySetText(WindowHandle control, const std::string& text) override;
    void applySetCheck(WindowHandle control, bool checked) override;
    void applyComboReset(WindowHandle combo) override;
    void applyComboAdd(WindowHandle combo, const std::string& text) override;
    void applyComboSetSelection(WindowHandle combo, int index) override;
    void applyComboSelectPrefix(WindowHandle combo, const std::string& prefix) override;
    void applySetTopmost(WindowHandle window, bool topmost) override;
    void applyMessageBox(const std::string& text, const std::string& caption, Icon icon) override;

    FlMainWindow* findWindow(WindowHandle handle) const;
    FlControl* findControl(WindowHandle handle) const;
    FlControl* findControl(WindowHandle handle, ControlKind kind) const;
    // The widget of a control of that kind, or null.
    template <class Widget> Widget* widgetOf(WindowHandle handle, ControlKind kind) const {
        FlControl* record = findControl(handle, kind);
        return record != nullptr ? static_cast<Widget*>(record->widget.get()) : nullptr;
    }
    Fl_Widget* makeWidget(FlControl& record, std::string_view label, const Rect& rect);
    void askColours(FlMainWindow& window, FlControl& record);

    std::map<std::string, FlClass, std::less<>> classes_;
    mutable std::mutex registryMutex_; // windows_ and their control lists; controlById runs on any thread
    std::vector<std::unique_ptr<FlMainWindow>> windows_;
    std::vector<std::unique_ptr<FlMessageBox>> messageBoxes_;
};

// --- Xlib: a lost display, and always on top through the window manager ---

// The backend whose display the I/O-error handler watches; set once, before any other thread starts.
FltkUi* displayOwner = nullptr;

// A lost display (the X server stopped, an X forwarding dropped) closes the program as its close button
// would, instead of letting the toolkit end the process under the run's threads. Never returns: Xlib ends
// the process when its handler returns.
[[noreturn]] int onDisplayLost(Display*) {
    std::fputs("X I/O error: the display is gone, closing down\n", stderr);
    if (displayOwner != nullptr) {
        displayOwner->loseDisplay();
    }
    if (const DisplayLostHandler handler = displayLostHandler()) {
        handler();
    }
    std::_Exit(1);
}

// FLTK's fatal errors on X all come from the display: one that cannot be opened, or its I/O error handler.
[[noreturn]] void onToolkitFatal(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputs("\n", stderr);
    onDisplayLost(nullptr);
}

// Without a window manager nobody answers, and nothing happens.
void sendAlwaysOnTop(Fl_Window& window, bool above) {
    if (!window.shown()) {
        return;
    }
    Display* display = fl_display;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = fl_xid(&window);
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = above ? 1 : 0; // _NET_WM_STATE_ADD or _REMOVE
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1; // from an application
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XFlush(display);
}

// --- callbacks ---

void onWindowCallback(Fl_Widget* widget, void*) {
    // Only the window manager's close asks to close. Escape arrives as a shortcut and is ignored, and the
    // window is never hidden here: FLTK's default would end the loop.
    if (Fl::event() == FL_CLOSE) {
        auto* window = static_cast<FlMainWindow*>(widget);
        window->ui.dispatch(*window, Msg::Close, 0, 0);
    }
}

void onButtonCallback(Fl_Widget* widget, void* data) {
    auto* record = static_cast<FlControl*>(data);
    if (record->kind == ControlKind::CheckBox) {
        // Manual check box: FLTK has flipped the mark already, the window procedure sets it itself.
        auto* box = static_cast<Fl_Check_Button*>(widget);
        box->value(box->value() != 0 ? 0 : 1);
    }
    record->parent->ui.dispatch(*record->parent, Msg::Command, makeWParam(record->id, Notify::Clicked),
                                reinterpret_cast<std::intptr_t>(static_cast<WindowHandle>(record)));
}

void onChoiceCallback(Fl_Widget*, void* data) {
    auto* record = static_cast<FlControl*>(data);
    record->parent->ui.dispatch(*record->parent, Msg::Command, makeWParam(record->id, Notify::SelChange),
                                reinterpret_cast<std::intptr_t>(static_cast<WindowHandle>(record)));
}

// The character code a key gives, 0 for a key without one (arrows, function keys), which goes to the field
// directly, as such keys give no character on Windows either.
char32_t keyCharacter() {
    const int key = Fl::event_key();
    if (key == FL_Enter || key == FL_KP_Enter) {
        return 13;
    }
    if (key == FL_BackSpace) {
        return 8;
    }
    if (key == FL_Tab) {
        return 9;
    }
    if (key == FL_Escape) {
        return 27;
    }
    if (Fl::event_length() <= 0) {
        return 0;
    }
    const auto points =
        codePoints(std::string_view(Fl::event_text(), static_cast<std::size_t>(Fl::event_length())));
    return points.empty() ? 0 : points.front();
}

int FlEdit::handle(int event) {
    if (event == FL_KEYBOARD && record_.hook != nullptr) {
        const char32_t key = keyCharacter();
        if (key != 0) {
            passOn_ = false;
            inHook_ = true;
            record_.hook(&record_, Msg::Char, key, 0, record_.hookParam);
            inHook_ = false;
            if (!passOn_) {
                return 1; // the hook kept the key
            }
        }
    }
    return Fl_Input::handle(event);
}

void FlMainWindow::draw() {
    if ((damage() & ~FL_DAMAGE_CHILD) != 0) {
        fl_rectf(0, 0, w(), h(), FL_BLACK); // the class background
        ui.paint(*this);
    }
    draw_children();
}

// --- the backend ---

FltkUi::FltkUi() {
    claimGuiThread();
    // Once, on the GUI thread, before any other thread can post: Fl::awake needs it.
    Fl::lock();
    Fl::set_labeltype(plainLabel, drawPlainLabel, measurePlainLabel);
    displayOwner = this;
    // The toolkit's own I/O handler, which opening the display installs, and a display that does not open
    // both end in its fatal call: that goes the lost display's way too.
    Fl::fatal = onToolkitFatal;
    // The X library writes to the display's socket without MSG_NOSIGNAL: a display that goes while a request
    // is sent must fail that write and reach the handler below, not end the process with SIGPIPE. The
    // program's own sockets never raise it.
    std::signal(SIGPIPE, SIG_IGN);
    fl_open_display();
    XSetIOErrorHandler(onDisplayLost);
}

bool FltkUi::registerClass(std::string_view name, WndProc proc, unsigned iconId) {
    return classes_.emplace(std::string(name), FlClass{proc, iconId}).second;
}

WindowHandle FltkUi::createMainWindow(std::string_view className, std::string_view title, int x, int y,
                                      int clientWidth, int clientHeight) {
    const auto found = classes_.find(className);
    if (found == classes_.end()) {
        return nullptr;
    }
    Fl_Group::current(nullptr);
    auto created = std::make_unique<FlMainWindow>(*this, found->second.proc, x, y, clientWidth, clientHeight);
    FlMainWindow* window = created.get();
    window->copy_label(std::string(title).c_str());
    window->xclass(std::string(className).c_str());
    if (const IconImage* icon = resourceIcon(found->second.iconId)) {
        window->icon = std::make_unique<Fl_RGB_Image>(icon->rgb.data(), icon->width, icon->height, 3);
        window->Fl_Window::icon(window->icon.get());
    }
    window->callback(onWindowCallback);
    {
        std::lock_guard lock(registryMutex_);
        windows_.push_back(std::move(created));
    }
    if (dispatch(*window, Msg::Create, 0, 0) == -1) {
        defWindowProc(window, Msg::Close, 0, 0);
        return nullptr;
    }
    return window;
}

void FltkUi::show(WindowHandle handle) {
    if (FlMainWindow* window = findWindow(handle);
        window != nullptr && !window->destroyed && !displayLost()) {
        window->show();
        if (window->topmost) {
            sendAlwaysOnTop(*window, true);
        }
    }
}

bool FltkUi::update(WindowHandle handle) {
    FlMainWindow* window = findWindow(handle);
    if (window == nullptr || window->destroyed || displayLost()) {
        return false;
    }
    Fl::flush();
    return true;
}

std::intptr_t FltkUi::defWindowProc(WindowHandle handle, unsigned msg, std::uintptr_t, std::intptr_t) {
    FlMainWindow* window = findWindow(handle);
    if (msg == Msg::Close && window != nullptr && !window->destroyed) {
        dispatch(*window, Msg::Destroy, 0, 0);
        window->destroyed = true;
        if (!displayLost()) {
            window->hide();
        }
    }
    return 0;
}

Rect FltkUi::windowRect(WindowHandle handle) {
    const FlMainWindow* window = findWindow(handle);
    if (window == nullptr) {
        return {};
    }
    return Rect::fromSize(window->x(), window->y(), window->w(), window->h());
}

// --- controls ---

WindowHandle FltkUi::createControl(WindowHandle parent, ControlKind kind, ControlId id,
                                   std::string_view label, const Rect& rect) {
    FlMainWindow* window = findWindow(parent);
    if (window == nullptr || window->destroyed) {
        return nullptr;
    }
    auto record = std::make_unique<FlControl>();
    record->parent = window;
    record->kind = kind;
    record->id = id;
    Fl_Widget* widget = makeWidget(*record, label, rect);
    window->add(widget);
    widget->redraw();
    FlControl* created = record.get();
    {
        std::lock_guard lock(registryMutex_);
        window->controls.push_back(std::move(record));
    }
    if (kind == ControlKind::Edit || kind == ControlKind::CheckBox) {
        askColours(*window, *created);
    }
    return created;
}

Fl_Widget* FltkUi::makeWidget(FlControl& record, std::string_view label, const Rect& rect) {
    Fl_Group::current(nullptr);
    const std::string text(label);
    switch (record.kind) {
    case ControlKind::PushButton:
        record.widget = std::make_unique<FlPushButton>(rect.left, rect.top, rect.width(), rect.height());
        record.widget->copy_label(text.c_str());
        record.widget->callback(onButtonCallback, &record);
        break;
    case ControlKind::CheckBox:
        record.widget = std::make_unique<Fl_Check_Button>(rect.left, rect.top, rect.width(), rect.height());
        record.widget->copy_label(text.c_str());
        record.widget->labeltype(plainLabel);
        record.widget->callback(onButtonCallback, &record);
        break;
    case ControlKind::Edit: {
        auto edit = std::make_unique<FlEdit>(record, rect.left, rect.top, rect.width(), rect.height());
        edit->textsize(editFontSize);
        edit->when(FL_WHEN_NEVER); // edits notify nothing
        edit->value(text.c_str());
        record.widget = std::move(edit);
        break;
    }
    case ControlKind::DropDownList: {
        auto choice = std::make_unique<Fl_Choice>(rect.left, rect.top, rect.width(), dropDownHeight);
        choice->textsize(controlFontSize);
        // Picking the current entry again notifies too; the handlers do not mind.
        choice->when(FL_WHEN_RELEASE | FL_WHEN_NOT_CHANGED);
        choice->callback(onChoiceCallback, &record);
        record.widget = std::move(choice);
        break;
    }
    }
    return record.widget.get();
}

void FltkUi::askColours(FlMainWindow& window, FlControl& record) {
    ControlColours colours;
    const unsigned msg = record.kind == ControlKind::Edit ? Msg::CtlColorEdit : Msg::CtlColorStatic;
    dispatch(window, msg, reinterpret_cast<std::uintptr_t>(&colours),
             reinterpret_cast<std::intptr_t>(static_cast<WindowHandle>(&record)));
    if (colours.opaque) {
        record.widget->color(flColour(colours.background));
    }
}

WindowHandle FltkUi::controlById(WindowHandle parent, ControlId id) {
    std::lock_guard lock(registryMutex_);
    for (const auto& window : windows_) {
        if (window.get() != parent) {
            continue;
        }
        for (const auto& control : window->controls) {
            if (control->id == id) {
                return control.get();
            }
        }
    }
    return nullptr;
}

std::string FltkUi::getText(WindowHandle handle) {
    const FlControl* record = findControl(handle);
    if (record == nullptr) {
        return {};
    }
    if (record->kind == ControlKind::Edit) {
        return static_cast<const Fl_Input*>(record->widget.get())->value();
    }
    if (record->kind == ControlKind::DropDownList) {
        return comboText(handle, comboSelection(handle)).value_or(std::string());
    }
    const char* label = record->widget->label();
    return label != nullptr ? label : "";
}

bool FltkUi::isChecked(WindowHandle handle) {
    const auto* box = widgetOf<Fl_Check_Button>(handle, ControlKind::CheckBox);
    return box != nullptr && box->value() != 0;
}

bool FltkUi::isEnabled(WindowHandle handle) {
    if (const FlControl* record = findControl(handle)) {
        return record->widget->active() != 0;
    }
    const FlMainWindow* window = findWindow(handle);
    return window != nullptr && !window->destroyed;
}

int FltkUi::comboSelection(WindowHandle handle) {
    const auto* choice = widgetOf<Fl_Choice>(handle, ControlKind::DropDownList);
    return choice == nullptr ? -1 : choice->value();
}

int FltkUi::comboCount(WindowHandle handle) {
    const FlControl* record = findControl(handle, ControlKind::DropDownList);
    return record == nullptr ? 0 : static_cast<int>(record->entries.size());
}

std::optional<std::string> FltkUi::comboText(WindowHandle handle, int index) {
    const FlControl* record = findControl(handle, ControlKind::DropDownList);
    if (record == nullptr || index < 0 || index >= static_cast<int>(record->entries.size())) {
        return std::nullopt;
    }
    return record->entries[static_cast<std::size_t>(index)];
}

bool FltkUi::subclassEdit(WindowHandle handle, EditHook hook, void* param) {
    FlControl* record = findControl(handle, ControlKind::Edit);
    if (record != nullptr) {
        record->hook = hook;
        record->hookParam = param;
    }
    return record != nullptr;
}

std::intptr_t FltkUi::callPrevious(WindowHandle handle, unsigned msg, std::uintptr_t wParam, std::intptr_t) {
    auto* edit = widgetOf<FlEdit>(handle, ControlKind::Edit);
    if (edit == nullptr || msg != Msg::Char || edit->passOnKey()) {
        return 0;
    }
    // Outside a key event: the field's own handling, at the end of its text.
    std::string text = edit->value();
    if (wParam == 8) {
        eraseLastCodePoint(text);
    } else if (wParam >= 0x20 && wParam != 0x7F) {
        text += utf8Of(static_cast<char32_t>(wParam));
    }
    edit->value(text.c_str());
    return 0;
}

// --- queued operations, applied on the GUI thread ---

void FltkUi::applyEnable(WindowHandle handle, bool enabled) {
    if (FlControl* record = findControl(handle); record != nullptr && enabled) {
        record->widget->activate();
    } else if (record != nullptr) {
        record->widget->deactivate();
    }
}

void FltkUi::applySetText(WindowHandle handle, const std::string& text) {
    FlControl* record = findControl(handle);
    if (record == nullptr || record->kind == ControlKind::DropDownList) {
        return;
    }
    if (record->kind == ControlKind::Edit) {
        static_cast<Fl_Input*>(record->widget.get())->value(text.c_str());
    } else {
        record->widget->copy_label(text.c_str());
        record->widget->redraw();
    }
}

void FltkUi::applySetCheck(WindowHandle handle, bool checked) {
    if (auto* box = widgetOf<Fl_Check_Button>(handle, ControlKind::CheckBox)) {
        box->value(checked ? 1 : 0);
    }
}

void FltkUi::applyComboReset(WindowHandle handle) {
    if (FlControl* record = findControl(handle, ControlKind::DropDownList)) {
        record->entries.clear();
        rebuildMenu(*record, -1);
    }
}

void FltkUi::applyComboAdd(WindowHandle handle, const std::string& text) {
    if (FlControl* record = findControl(handle, ControlKind::DropDownList)) {
        const int selection = static_cast<Fl_Choice*>(record->widget.get())->value();
        record->entries.push_back(text);
        rebuildMenu(*record, selection);
    }
}

void FltkUi::applyComboSetSelection(WindowHandle handle, int index) {
    if (FlControl* record = findControl(handle, ControlKind::DropDownList)) {
        selectEntry(*record, index);
    }
}

void FltkUi::applyComboSelectPrefix(WindowHandle handle, const std::string& prefix) {
    if (FlControl* record = findControl(handle, ControlKind::DropDownList)) {
        if (const int found = findComboPrefix(record->entries, prefix); found >= 0) {
            selectEntry(*record, found);
        }
    }
}

void FltkUi::applySetTopmost(WindowHandle handle, bool topmost) {
    if (FlMainWindow* window = findWindow(handle)) {
        window->topmost = topmost;
        sendAlwaysOnTop(*window, topmost);
    }
}

void FltkUi::applyMessageBox(const std::string& text, const std::string& caption, Icon) {
    auto box = std::make_unique<FlMessageBox>(text, caption);
    box->show();
    messageBoxes_.push_back(std::move(box));
}

// --- the loop's side ---

void FltkUi::waitForEvents() {
    Fl::wait();
    // A message box closed by OK or by the window manager goes away here, outside its own callback.
    std::erase_if(messageBoxes_, [](const std::unique_ptr<FlMessageBox>& box) { return !box->shown(); });
}

void FltkUi::repaint() {
    if (displayLost()) {
        return;
    }
    std::lock_guard lock(registryMutex_);
    for (const auto& window : windows_) {
        if (!window->destroyed) {
            window->redraw();
        }
    }
}

void FltkUi::paint(FlMainWindow& window) {
    FltkPainter painter;
    setPainting(true);
    dispatch(window, Msg::Paint, reinterpret_cast<std::uintptr_t>(&painter), 0);
    setPainting(false);
}

void FltkUi::dispatchPosted(WindowHandle handle, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (FlMainWindow* window = findWindow(handle)) {
        dispatch(*window, msg, wParam, lParam);
    }
}

std::intptr_t FltkUi::dispatch(FlMainWindow& window, unsigned msg, std::uintptr_t wParam,
                               std::intptr_t lParam) {
    if (window.destroyed || window.proc == nullptr) {
        return 0;
    }
    return window.proc(&window, msg, wParam, lParam);
}

FlMainWindow* FltkUi::findWindow(WindowHandle handle) const {
    std::lock_guard lock(registryMutex_);
    for (const auto& window : windows_) {
        if (window.get() == handle) {
            return window.get();
        }
    }
    return nullptr;
}

FlControl* FltkUi::findControl(WindowHandle handle) const {
    if (handle == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(registryMutex_);
    for (const auto& window : windows_) {
        for (const auto& control : window->controls) {
            if (control.get() == handle) {
                return control.get();
            }
        }
    }
    return nullptr;
}

FlControl* FltkUi::findControl(WindowHandle handle, ControlKind kind) const {
    FlControl* record = findControl(handle);
    return record != nullptr && record->kind == kind ? record : nullptr;
}

} // namespace

bool canOpenDisplay() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    return true;
}

std::unique_ptr<UiBackend> makeFltkBackend() { return std::make_unique<FltkUi>(); }

} // namespace zeph
