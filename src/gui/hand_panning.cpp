// SPDX-License-Identifier: MIT
#include "gui/hand_panning.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <cmath>

namespace pictavo::gui {

std::int64_t draggedValue(std::int32_t startValue, int movedPixels, double twipsPerPixel) {
    return startValue - std::llround(movedPixels * twipsPerPixel);
}

std::int64_t wheeledValue(std::int32_t value, int angleDelta, int pixelDelta, int linesPerNotch, std::int32_t trackStep,
                          double twipsPerPixel) {
    if (pixelDelta != 0) return value - std::llround(pixelDelta * twipsPerPixel);
    // Wheels with fine steps send parts of a notch; they add up to the same distance.
    return value - std::llround(static_cast<double>(angleDelta) / 120.0 * linesPerNotch * trackStep);
}

HandPanning::HandPanning(QWidget* view, ScrollBar& across, ScrollBar& upDown, const Units& units, Run run)
    : QObject(view), view_(view), across_(across), upDown_(upDown), units_(units), run_(std::move(run)) {
    view_->installEventFilter(this);
    view_->setMouseTracking(true);
}

bool HandPanning::pannable() const { return across_.visible() || upDown_.visible(); }

void HandPanning::showHand() {
    if (dragging_) {
        view_->setCursor(Qt::ClosedHandCursor);
    } else if (pannable()) {
        view_->setCursor(Qt::OpenHandCursor);
    } else {
        view_->unsetCursor();
    }
}

void HandPanning::scroll(ScrollBar& bar, std::int64_t value) {
    // A hidden bar means the picture fits in that direction: nothing to pan.
    if (!bar.visible() || value == bar.value()) return;
    run_([&bar, value] { bar.userScrollTo(value); });
}

bool HandPanning::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_) return false;
    switch (event->type()) {
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            QPoint angle = wheel->angleDelta(), pixels = wheel->pixelDelta();
            // Shift turns the wheel's up and down into across, as in other viewers.
            if ((wheel->modifiers() & Qt::ShiftModifier) && angle.x() == 0 && pixels.x() == 0) {
                angle = {angle.y(), 0};
                pixels = {pixels.y(), 0};
            }
            const int lines = QApplication::wheelScrollLines();
            if (angle.x() != 0 || pixels.x() != 0)
                scroll(across_, wheeledValue(across_.value(), angle.x(), pixels.x(), lines, across_.largeChange(),
                                             units_.twipsPerPixelX));
            if (angle.y() != 0 || pixels.y() != 0)
                scroll(upDown_, wheeledValue(upDown_.value(), angle.y(), pixels.y(), lines, upDown_.largeChange(),
                                             units_.twipsPerPixelY));
            wheel->accept();
            return true;
        }
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !pannable()) return false;
            dragging_ = true;
            pressedAt_ = mouse->position().toPoint();
            pressedAcross_ = across_.value();
            pressedUpDown_ = upDown_.value();
            showHand();
            return false;  // the viewport still takes the focus
        }
        case QEvent::MouseMove: {
            if (!dragging_) {
                showHand();
                return false;
            }
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint moved = mouse->position().toPoint() - pressedAt_;
            scroll(across_, draggedValue(pressedAcross_, moved.x(), units_.twipsPerPixelX));
            scroll(upDown_, draggedValue(pressedUpDown_, moved.y(), units_.twipsPerPixelY));
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && dragging_) {
                dragging_ = false;
                showHand();
                return true;
            }
            return false;
        default: return false;
    }
}

}  // namespace pictavo::gui
