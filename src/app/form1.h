// SPDX-License-Identifier: MIT
#pragma once
// The main window's model: its controls, the wiring of every event to its handler,
// start-up, the clipboard watch, layout and exit.

#include <functional>

#include "form/form_controls.h"

namespace pictavo {

class Form1 {
public:
    explicit Form1(Host& host);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    FormControls c;

    // Runs one window event. An error that no handler traps ends here: one message box
    // with its text, and the program goes on.
    void dispatch(const std::function<void()>& event);

    // The window's outer size in twips (borders, title and menu bar included). Setting
    // it runs Form_Resize.
    [[nodiscard]] float width() const { return width_; }
    [[nodiscard]] float height() const { return height_; }
    void resize(float outerWidth, float outerHeight);

    void Form_Load();
    void Form_Activate();
    void Form_MouseMove();
    void Form_Resize();
    void Cls_Click();
    void Version_Click();
    // More of the picture on view has arrived, or its decode ended: a picture found broken
    // part way is taken off the view and reported; once one is whole, the picture kept to
    // go back to is let go.
    void pictureArrived();

private:
    void clipboardWatch();
    float width_ = 6450;
    float height_ = 4365;
};

}  // namespace pictavo
