// SPDX-License-Identifier: MIT
// The start-up reference: the least a Qt Widgets program does to show a main window,
// ended after its first paint exactly as Pictavo is when the benchmark starts it.

#include <QApplication>
#include <QMainWindow>

#include "gui/first_paint_exit.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    pictavo::gui::exitAfterFirstPaintWhenAsked();
    QMainWindow window;
    window.resize(422, 300);
    window.show();
    return QApplication::exec();
}
