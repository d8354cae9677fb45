// SPDX-License-Identifier: MIT
#pragma once
// The widgets of the simple control kinds. Each one shows its control: follow() takes the
// control's texts and values (the main window keeps place, enabled state and visibility in
// step for every kind), and what the user does comes out as the widget's own Qt signals.

#include <QFont>
#include <QFrame>
#include <QLineEdit>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

#include "controls/controls.h"
#include "gui/icons.h"

namespace pictavo::gui {

// A member of Frame1, outlining one group of the top strip.
class GroupFrame : public QFrame {
public:
    GroupFrame(const Frame& frame, QWidget* parent);
};

// A picture button: its glyph, with the tool tip as its accessible name.
class PictureButton : public QToolButton {
public:
    PictureButton(const Button& button, Glyph glyph, int side, QWidget* parent);
    void follow();

private:
    const Button& button_;
};

// lstCnt: the position/count box, read-only and centred.
class CountBox : public QLineEdit {
public:
    CountBox(const TextBox& box, QWidget* parent);
    void follow();

private:
    const TextBox& box_;
    QFont baseFont_;
};

// Slider1: the show's speed, one tick per second.
class SpeedSlider : public QSlider {
public:
    SpeedSlider(const Slider& slider, QWidget* parent);
    void follow();

private:
    const Slider& slider_;
};

// HScroll1 and VScroll1: panning the picture.
class PanBar : public QScrollBar {
public:
    PanBar(const ScrollBar& bar, QWidget* parent);
    void follow();

private:
    const ScrollBar& bar_;
};

}  // namespace pictavo::gui
