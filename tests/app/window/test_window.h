#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/window/ui.h"

namespace zeph::test {

struct ControlToMake {
    ControlKind kind;
    ControlId id;
    std::string label;
    Rect rect;
};

inline constexpr Rgb testBackground{153, 204, 255};

// The window procedure of the layer's tests. On Create it makes the given controls; it answers CtlColor
// with an opaque light blue and paints with paint. Every message goes to onMessage first, which may answer
// it; messages nobody answers go to defWindowProc. One may live at a time.
class TestWindow {
public:
    explicit TestWindow(std::vector<ControlToMake> controls = {});
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    // Registers the class (once per backend reset) and creates and shows the window; null on failure.
    WindowHandle create(int x = 400, int y = 20, int width = 880, int height = 476);
    WindowHandle window() const { return window_; }
    WindowHandle control(ControlId id) const;

    std::function<std::optional<std::intptr_t>(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)>
        onMessage;
    std::function<void(Painter&)> paint;

    static constexpr const char* className = "LayerTestWindow";

private:
    static std::intptr_t proc(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t handle(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

    std::vector<ControlToMake> controls_;
    WindowHandle window_ = nullptr;
};

} // namespace zeph::test
