// SPDX-License-Identifier: MIT
#pragma once
// Panning by hand over the viewport: the wheel pans up and down (across with Shift, or with
// a horizontal wheel or touchpad), and a drag with the left button moves the picture with
// the pointer. Every move goes through the scroll bars' values, as the user's own scroll,
// so their ranges, their ends and the picture's place stay theirs alone.

#include <QObject>
#include <QPoint>
#include <cstdint>
#include <functional>

#include "controls/controls.h"
#include "gui/units.h"

class QWidget;

namespace pictavo::gui {

// The value a scroll bar takes when the pointer has moved `movedPixels` (logical pixels)
// since the drag began at `startValue`: the picture follows the pointer.
[[nodiscard]] std::int64_t draggedValue(std::int32_t startValue, int movedPixels, double twipsPerPixel);

// The value after a wheel turn. A touchpad's pixel delta moves the picture by as many
// pixels; a wheel's notch (120 eighths of a degree) moves it by the desktop's lines per
// notch, a line being one track step of the bar.
[[nodiscard]] std::int64_t wheeledValue(std::int32_t value, int angleDelta, int pixelDelta, int linesPerNotch,
                                        std::int32_t trackStep, double twipsPerPixel);

class HandPanning : public QObject {
public:
    using Run = std::function<void(const std::function<void()>&)>;
    // Watches `view`; `run` passes each move into the model as one window event.
    HandPanning(QWidget* view, ScrollBar& across, ScrollBar& upDown, const Units& units, Run run);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scroll(ScrollBar& bar, std::int64_t value);
    [[nodiscard]] bool pannable() const;
    void showHand();

    QWidget* view_;
    ScrollBar& across_;
    ScrollBar& upDown_;
    const Units& units_;
    Run run_;
    bool dragging_ = false;
    QPoint pressedAt_;
    std::int32_t pressedAcross_ = 0;
    std::int32_t pressedUpDown_ = 0;
};

}  // namespace pictavo::gui
