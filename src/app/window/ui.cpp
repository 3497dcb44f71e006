#include "app/window/ui.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "app/window/queued_backend.h"

namespace zeph {

namespace {

std::atomic<UiBackend*> currentBackend{nullptr};
std::atomic<DisplayLostHandler> lostDisplayHandler{nullptr};

} // namespace

UiKind pickUiKind(const char* corvaneUi, const char* display, bool (*displayOpens)()) {
    const std::string_view choice = corvaneUi != nullptr ? corvaneUi : "";
    if (choice == "fltk") {
        return UiKind::Fltk;
    }
    if (choice == "headless") {
        return UiKind::Headless;
    }
    if (display == nullptr || *display == '\0') {
        return UiKind::Headless;
    }
    if (!displayOpens()) {
        std::fprintf(stderr, "DISPLAY %s does not answer, running without a window\n", display);
        return UiKind::Headless;
    }
    return UiKind::Fltk;
}

void setDisplayLostHandler(DisplayLostHandler handler) { lostDisplayHandler.store(handler); }

DisplayLostHandler displayLostHandler() { return lostDisplayHandler.load(); }

UiBackend& uiInit() {
    // Lives to the end of the process: windows and controls are never destroyed before it ends.
    static std::unique_ptr<UiBackend> backend;
    static std::once_flag once;
    std::call_once(once, [] {
        const UiKind kind = pickUiKind(std::getenv("CORVANE_UI"), std::getenv("DISPLAY"), canOpenDisplay);
        backend = kind == UiKind::Fltk ? makeFltkBackend() : makeHeadlessBackend();
        currentBackend = backend.get();
    });
    return *currentBackend.load();
}

UiBackend& ui() {
    UiBackend* backend = currentBackend.load();
    if (backend == nullptr) {
        throw std::logic_error("the window layer is used before uiInit()");
    }
    return *backend;
}

} // namespace zeph
