// SPDX-License-Identifier: MIT
#include "gui/control_widgets.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QSignalBlocker>
#include <algorithm>

#include "base/translation.h"

namespace pictavo::gui {

namespace {

// What each group of the top strip outlines, for screen readers.
const char* frameName(int index) {
    switch (index) {
        case 0: return QT_TRANSLATE_NOOP("pictavo", "Position and slide show");
        case 1: return QT_TRANSLATE_NOOP("pictavo", "Picture commands");
        case 2: return QT_TRANSLATE_NOOP("pictavo", "Wall paper");
        default: return QT_TRANSLATE_NOOP("pictavo", "Spare group");
    }
}

QString nameOf(const Control& control) { return QString::fromStdString(control.name()); }

}  // namespace

GroupFrame::GroupFrame(const Frame& frame, QWidget* parent) : QFrame(parent) {
    setObjectName(nameOf(frame));
    setProperty("index", frame.index());
    setAccessibleName(translatedQ(frameName(frame.index())));
    setFrameStyle(QFrame::Box | QFrame::Sunken);
}

PictureButton::PictureButton(const Button& button, Glyph glyph, int side, QWidget* parent)
    : QToolButton(parent), button_(button) {
    setObjectName(nameOf(button));
    setIcon(glyphIcon(glyph));
    setIconSize(QSize(side, side));
}

void PictureButton::follow() {
    const QString tip = QString::fromUtf8(button_.toolTip());
    setToolTip(tip);
    setAccessibleName(tip);
}

CountBox::CountBox(const TextBox& box, QWidget* parent) : QLineEdit(parent), box_(box) {
    setObjectName(nameOf(box));
    setAccessibleName(QCoreApplication::translate("pictavo", "Position/count"));
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
    setTextMargins(0, 0, 0, 0);
    setStyleSheet(QStringLiteral("QLineEdit { padding: 0px; }"));
    baseFont_ = font();
}

void CountBox::follow() {
    const QString shown = QString::fromUtf8(box_.text());
    if (text() == shown) return;
    // Large folders give long texts ("1/100000"): a smaller face, down to one that is
    // still readable, keeps the text in the box's fixed place rather than cutting it.
    QFont face = baseFont_;
    const int room = contentsRect().width() - 4;
    while (face.pointSizeF() > 6 && QFontMetrics(face).horizontalAdvance(shown) > room)
        face.setPointSizeF(face.pointSizeF() - 0.5);
    setFont(face);
    setText(shown);
}

SpeedSlider::SpeedSlider(const Slider& slider, QWidget* parent) : QSlider(Qt::Horizontal, parent), slider_(slider) {
    setObjectName(nameOf(slider));
    setRange(slider.min(), slider.max());
    setPageStep(1);
    setSingleStep(1);
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(1);
}

void SpeedSlider::follow() {
    const QString tip = QString::fromUtf8(slider_.toolTip());
    setToolTip(tip);
    setAccessibleName(tip);
    const QSignalBlocker quiet(this);
    setValue(slider_.value());
}

PanBar::PanBar(const ScrollBar& bar, QWidget* parent)
    : QScrollBar(bar.orientation() == Orientation::Horizontal ? Qt::Horizontal : Qt::Vertical, parent), bar_(bar) {
    setObjectName(nameOf(bar));
    setAccessibleName(bar.orientation() == Orientation::Horizontal
                          ? QCoreApplication::translate("pictavo", "Pan across")
                          : QCoreApplication::translate("pictavo", "Pan up and down"));
    setSingleStep(bar.smallChange());
    setPageStep(bar.largeChange());
    // A dragged thumb moves the picture once, when it is let go.
    setTracking(false);
    setFocusPolicy(Qt::TabFocus);
}

void PanBar::follow() {
    const QSignalBlocker quiet(this);
    setRange(std::min(0, bar_.max()), std::max(0, bar_.max()));
    setValue(bar_.value());
}

}  // namespace pictavo::gui
