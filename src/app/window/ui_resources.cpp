#include <cmath>
#include <cstdint>

#include "app/window/ui.h"
#include "core/program.h"

// The program's resources: the window title and the window icon.

namespace zeph {

namespace {

constexpr int iconSize = 32;

// A lime-green ring around a red dot on black, the colours of the window's state blocks.
IconImage makeAppIcon() {
    IconImage icon;
    icon.width = iconSize;
    icon.height = iconSize;
    icon.rgb.reserve(iconSize * iconSize * 3);
    const double centre = (iconSize - 1) / 2.0;
    for (int y = 0; y < iconSize; ++y) {
        for (int x = 0; x < iconSize; ++x) {
            const double distance = std::hypot(x - centre, y - centre);
            Rgb colour{0, 0, 0};
            if (distance <= 5.0) {
                colour = Rgb{255, 0, 0};
            } else if (distance >= 10.0 && distance <= 14.5) {
                colour = Rgb{50, 205, 50};
            }
            icon.rgb.push_back(colour.r);
            icon.rgb.push_back(colour.g);
            icon.rgb.push_back(colour.b);
        }
    }
    return icon;
}

} // namespace

std::string resourceString(unsigned id) {
    if (id == appTitleStringId) {
        return std::string(programId);
    }
    return {};
}

const IconImage* resourceIcon(unsigned id) {
    static const IconImage appIcon = makeAppIcon();
    return id == appIconId ? &appIcon : nullptr;
}

} // namespace zeph
