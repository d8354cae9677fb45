// SPDX-License-Identifier: MIT
#pragma once
// Twips of the control model to the widgets' logical pixels, and back.

#include <QRect>
#include <cmath>

#include "controls/controls.h"

namespace pictavo {
class Host;
}

namespace pictavo::gui {

struct Units {
    // Twips per logical pixel: 15 at 96 DPI.
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
    // Twips per device pixel, as the host counts them: one picture pixel is one device pixel.
    float twipsPerDevicePixelX = 15;
    float twipsPerDevicePixelY = 15;

    [[nodiscard]] int x(double twips) const { return static_cast<int>(std::lround(twips / twipsPerPixelX)); }
    [[nodiscard]] int y(double twips) const { return static_cast<int>(std::lround(twips / twipsPerPixelY)); }

    // Edges are rounded, not sizes, so that controls that touch in twips touch on screen.
    [[nodiscard]] QRect rect(const Place& p) const {
        const int left = x(p.left), top = y(p.top);
        return {left, top, x(p.left + p.width) - left, y(p.top + p.height) - top};
    }

    // Twips to device pixels, for drawing pictures at their natural size.
    [[nodiscard]] int deviceX(float twips) const { return static_cast<int>(std::lround(twips / twipsPerDevicePixelX)); }
    [[nodiscard]] int deviceY(float twips) const { return static_cast<int>(std::lround(twips / twipsPerDevicePixelY)); }

    [[nodiscard]] float twipsX(int pixels) const { return static_cast<float>(pixels * twipsPerPixelX); }
    [[nodiscard]] float twipsY(int pixels) const { return static_cast<float>(pixels * twipsPerPixelY); }
};

// The host counts twips per device pixel (that is what a picture's size in twips rests
// on); the widgets are placed in logical pixels, larger by the device pixel ratio.
[[nodiscard]] Units unitsFor(const Host& host, double devicePixelRatio);

}  // namespace pictavo::gui
