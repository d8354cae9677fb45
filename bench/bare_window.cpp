// SPDX-License-Identifier: MIT
// The start-up reference: the least a Qt Widgets program does to show a main window,
// ended after its first paint exactly as Pictavo is when the benchmark starts it. Given a
// folder and patterns, it first lists the folder as folder_floor.h does, on one thread.
// Given --label, the window shows one line of text: what any window with text pays for its
// fonts.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <cstring>

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
    if (argc == 2 && std::strcmp(argv[1], "--label") == 0)
        window.setCentralWidget(new QLabel(QStringLiteral("Pictavo")));
    window.resize(422, 300);
    window.show();
    return QApplication::exec();
}
