// SPDX-License-Identifier: MIT
#pragma once
// StatusBar1: four permanent panels (message, size, date, time) at their design widths.
// The panels are placed by hand rather than by QStatusBar's layout so that a narrow window
// clips them instead of refusing to shrink.

#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <array>

#include "controls/controls.h"
#include "gui/units.h"

namespace pictavo::gui {

class StatusPanels : public QStatusBar {
public:
    StatusPanels(const StatusBar& bar, const Units& units, QWidget* parent = nullptr);
    // Shows the panels' texts; the date and time panels are also refreshed every second.
    void follow();
    [[nodiscard]] QLabel* panel(int index) const { return panels_.at(static_cast<std::size_t>(index - 1)); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();
    void showPanel(int index);
    [[nodiscard]] int panelWidth(int index) const;

    const StatusBar& bar_;
    Units units_;
    std::array<QLabel*, 4> panels_{};
    std::array<QString, 4> texts_;
    QTimer clock_;
};

}  // namespace pictavo::gui
