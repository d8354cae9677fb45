// SPDX-License-Identifier: MIT
#pragma once
// frmAbout: the About box, drawn from the model's fixed places, texts and fonts.

#include <QDialog>
#include <functional>

#include "gui/units.h"

namespace pictavo {
class Host;
}

namespace pictavo::gui {

// Marks a top-level window as a form of the program (not a message box or dialog), so
// that coming back from it to the main window counts as an activation of the main form.
inline constexpr const char* kFormWindowProperty = "pictavoForm";

// Japanese-capable Gothic family for the About box's labels.
inline constexpr const char* kGothicFamily = "IPAPGothic";

class AboutDialog : public QDialog {
public:
    using Runner = std::function<void(const std::function<void()>&)>;
    // Events of the box (its OK button) go through `run`, the program's event dispatcher.
    AboutDialog(Host& host, Runner run, const Units& units, QWidget* parent = nullptr);
};

}  // namespace pictavo::gui
