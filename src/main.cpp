// SPDX-License-Identifier: MIT
// Pictavo: starts the Qt application, the host services and the main form.

#include <sys/stat.h>
#include <unistd.h>

#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "app/form1.h"
#include "app/open_path.h"
#include "base/translation.h"
#include "files/folder_listing.h"
#include "form/form_controls.h"
#include "gui/about_dialog.h"
#include "gui/deferred_icons.h"
#include "gui/first_paint_exit.h"
#include "gui/icons.h"
#include "gui/main_window.h"
#include "program_info.h"
#include "qthost/qt_host.h"
#include "qthost/screen_profile.h"

namespace {

constexpr const char* kHelp =
    "Usage: pictavo [FILE | FOLDER]\n"
    "Browse folders and view JPEG, BMP and GIF pictures.\n"
    "\n"
    "With a folder, Pictavo opens it in its folder browser; with a picture file, it opens\n"
    "the file's folder and shows the picture, which may also be PNG, WebP, TIFF, AVIF,\n"
    "HEIC/HEIF or JPEG XL. Without either it starts in your Pictures folder.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n";

// Qt aborts with a long diagnostic when it finds no display; say it in one sentence.
bool displayAvailable() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The path as given, made absolute; its bytes are kept as they are, since a name need not
// be valid UTF-8.
std::string absolutePath(const std::string& arg) {
    if (!arg.empty() && arg[0] == '/') return arg;
    std::string cwd(4096, '\0');
    while (!::getcwd(cwd.data(), cwd.size())) {
        if (errno != ERANGE) return arg;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    return cwd == "/" ? "/" + arg : cwd + "/" + arg;
}

// Why the path cannot be opened, or "" when it can be read.
std::string unreadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    const int need = S_ISDIR(st.st_mode) ? R_OK | X_OK : R_OK;
    if (::access(path.c_str(), need) != 0) return std::strerror(errno);
    return {};
}

void cannotOpen(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "pictavo: cannot open %s: %s\n", path.c_str(), why.c_str());
}

// At a program's first text, fontconfig reads its whole configuration and the cache of
// every font folder: the largest part of what a window with text costs to show. It is
// done on the other core while Qt starts, and Qt then finds it done.
class FontsSetUpAhead {
public:
    FontsSetUpAhead() {
        try {
            thread_ = std::thread([] { FcInit(); });
        } catch (const std::system_error&) {
            // No thread to be had: Qt sets fontconfig up at the first text, as without this.
        }
    }
    ~FontsSetUpAhead() { wait(); }
    FontsSetUpAhead(const FontsSetUpAhead&) = delete;
    FontsSetUpAhead& operator=(const FontsSetUpAhead&) = delete;
    // Before the first text: a set-up begun meanwhile would do all the work again.
    void wait() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

}  // namespace

int main(int argc, char* argv[]) {
    // Help and version need no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            std::printf(
                "\nWhile a picture is shown, the next and the previous file of the list are\n"
                "decoded ahead, in at most %lld MiB here: the smaller of %lld MiB and an\n"
                "eighth of the physical memory.\n",
                static_cast<long long>(pictavo::defaultAheadBudget() >> 20),
                static_cast<long long>(pictavo::kAheadBudgetCeilingMiB));
            std::printf("\nReport bugs at %s\n", pictavo::kBugReportUrl);
            return 0;
        }
        if (arg == "-v" || arg == "--version") {
            std::printf("%s %s\n%s\n%s\n", pictavo::kProgramTitle, pictavo::kProgramVersion, pictavo::kProgramCopyright,
                        pictavo::kProgramLicence);
            return 0;
        }
    }
    if (!displayAvailable()) {
        std::fprintf(stderr, "%s needs a graphical display (set DISPLAY or WAYLAND_DISPLAY).\n",
                     pictavo::kProgramTitle);
        return 1;
    }
    FontsSetUpAhead fonts;
    // The start folder is read on a worker while Qt and the window are built.
    pictavo::ListingsAhead listings(pictavo::kFilePattern);
    listings.add(pictavo::startFolderPath());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(pictavo::kProgramTitle));
    QApplication::setApplicationVersion(QString::fromLatin1(pictavo::kProgramVersion));
    QApplication::setWindowIcon(pictavo::gui::programIcon());
    QApplication::setStyle(new pictavo::gui::DeferredIconStyle);
    // Chosen once, before any window or text is made.
    const pictavo::Translation translation(pictavo::systemLanguage());
    pictavo::gui::exitAfterFirstPaintWhenAsked();

    // What is left once Qt has taken its own options: at most one path, as raw bytes.
    std::optional<std::string> startPath;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "pictavo: unknown option %s\n%s", arg.c_str(), kHelp);
            return 2;
        } else if (startPath) {
            std::fprintf(stderr, "pictavo: one file or folder at most\n%s", kHelp);
            return 2;
        } else {
            startPath = arg;
        }
    }

    pictavo::QtHost host;
    // Pictures are shown in the screen's colours, followed as a colour manager changes them.
    pictavo::ScreenProfile screenProfile;
    host.pictures().setScreenProfile(screenProfile.profile());
    QObject::connect(&screenProfile, &pictavo::ScreenProfile::changed,
                     [&host](const QByteArray& icc) { host.pictures().setScreenProfile(icc); });
    pictavo::Form1 form(host);
    fonts.wait();
    pictavo::gui::MainWindow window(form);
    host.setMainWindow(&window);
    window.setDecodeAhead(true);
    host.setWindowFactory("frmAbout", [&host, &window](QWidget* parent) -> QDialog* {
        return new pictavo::gui::AboutDialog(
            host, [&window](const std::function<void()>& event) { window.run(event); }, window.units(), parent);
    });

    // A path that cannot be shown is reported in the window and here, and the window comes
    // up all the same.
    std::string path, why;
    std::function<void()> opening;
    if (startPath) {
        path = absolutePath(*startPath);
        opening = [&] { why = pictavo::openStartPath(form.c, path); };
        // And the folder it opens, likewise.
        struct stat st {};
        const bool folder = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        listings.add(folder ? std::filesystem::path(path) : std::filesystem::path(path).parent_path());
    }
    host.files().useListingsAhead(std::move(listings));
    window.start(opening);
    host.files().startedUp();
    if (!why.empty()) {
        const std::string denied = unreadable(path);
        cannotOpen(*startPath, denied.empty() ? why : denied);
    }
    return QApplication::exec();
}
