// SPDX-License-Identifier: MIT
// The start-up reference: the least a Qt Widgets program does to show a main window,
// ended after its first paint exactly as Pictavo is when the benchmark starts it. Given a
// folder and patterns, it first lists the folder as folder_floor.h does, on one thread.

#include <QApplication>
#include <QMainWindow>

#include "folder_floor.h"
#include "gui/first_paint_exit.h"

int main(int argc, char* argv[]) {
    std::size_t listed = 0;
    if (argc == 3) listed = bench::listFolderFloor(argv[1], argv[2]).files.size();
    QApplication app(argc, argv);
    pictavo::gui::exitAfterFirstPaintWhenAsked();
    QMainWindow window;
    // The count is kept where the window would show it, so that the listing is used.
    window.setWindowTitle(QString::number(listed));
    window.resize(422, 300);
    window.show();
    return QApplication::exec();
}
