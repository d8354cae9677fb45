// Pictavo: starts the Qt application, the host services and the main form.

#include <QApplication>
#include <cstdio>

#include "app/form1.h"
#include "gui/about_dialog.h"
#include "gui/first_paint_exit.h"
#include "gui/icons.h"
#include "gui/main_window.h"
#include "host/qt_host.h"
#include "program_info.h"

namespace {

// Qt aborts with a long diagnostic when it finds no display; say it in one sentence.
bool displayAvailable() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!displayAvailable()) {
        std::fprintf(stderr, "%s needs a graphical display (set DISPLAY or WAYLAND_DISPLAY).\n", pictavo::kProgramTitle);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(pictavo::kProgramTitle));
    QApplication::setApplicationVersion(QString::fromLatin1(pictavo::kProgramVersion));
    QApplication::setWindowIcon(pictavo::gui::programIcon());
    pictavo::gui::exitAfterFirstPaintWhenAsked();

    pictavo::QtHost host;
    pictavo::Form1 form(host);
    pictavo::gui::MainWindow window(form);
    host.setMainWindow(&window);
    host.setWindowFactory("frmAbout", [&host, &window](QWidget* parent) -> QDialog* {
        return new pictavo::gui::AboutDialog(
            host, [&window](const std::function<void()>& event) { window.run(event); }, window.units(), parent);
    });

    // A starting folder that cannot be opened is reported, and the window comes up all
    // the same.
    window.run([&form] { form.Form_Load(); });
    window.show();
    return QApplication::exec();
}
