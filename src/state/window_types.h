#pragma once
#include <cstdint>

// The plain values that the window layer and everything that shows through it share: handles, control ids,
// rectangles and colours. The window layer (app/window/ui.h) derives its windows from UiObject and defines
// the painter.

namespace zeph {

// What a handle points at. Each backend derives its windows and controls from it; nothing outside a backend
// looks inside.
class UiObject {
public:
    virtual ~UiObject() = default;
    UiObject(const UiObject&) = delete;
    UiObject& operator=(const UiObject&) = delete;

protected:
    UiObject() = default;
};

// A window or a control; null means none. Handles stay valid until the backend goes away.
using WindowHandle = UiObject*;

using ControlId = std::uint16_t;

// Right and bottom are outside the rectangle, as on Windows.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr Rect fromSize(int x, int y, int width, int height) {
        return Rect{x, y, x + width, y + height};
    }
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// Draws during a paint; defined by the window layer.
class Painter;

} // namespace zeph
