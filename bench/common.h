// SPDX-License-Identifier: MIT
#pragma once
// What every row of the benchmark shares: the settings, timing and medians, the table, the
// generated pictures and folders, the references, and the real main window in this process.

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/form1.h"
#include "app/open_path.h"
#include "gui/main_window.h"
#include "gui/picture_view.h"
#include "imaging/picture_pipeline.h"
#include "support/test_host.h"

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using pictavo::Form1;
using pictavo::test::TestHost;

// --- settings --------------------------------------------------------------------------

struct Settings {
    fs::path data;
    bool million = false;
    bool quick = false;
    std::vector<std::string> only;  // ids of the rows to run; all when empty
    int runs = 7;
    // Picture sizes and folder sizes; --quick shrinks them.
    int photoW = 6000, photoH = 4000;   // 24 MP
    int largeW = 12500, largeH = 8000;  // 100 MP
    int phoneW = 4032, phoneH = 3024;   // 12 MP, a phone's photo
    int folderMatching = 100000, folderOther = 20000;
    std::string pattern = "*.jpg*;*.bmp*;*.gif*";
};

extern Settings settings;
extern fs::path binDir;

// --- measuring -------------------------------------------------------------------------

double msSince(Clock::time_point start);
// The median of the runs after one warm-up; each run returns its own time, so that set-up
// between runs is not counted.
double median(const std::function<double()>& run);
// Ours and its reference in turns, each run of one beside a run of the other, so that a
// change in the machine's load (other programs) falls on both alike. The two medians.
std::pair<double, double> medians(const std::function<double()>& ours, const std::function<double()>& reference);
double timed(const std::function<void()>& work);
long statusKiB(const char* field);
// Lets the peak resident size start again from the present size.
void resetPeak();

// --- the table -------------------------------------------------------------------------

struct Row {
    std::string id, what;
    double ours = 0, reference = 0;
    std::string unit;
    double goal = 0;  // highest ratio that meets the goal; 0: reported only
};

extern std::vector<Row> table;

void printTable();

// --- generated data --------------------------------------------------------------------

// A folder of photos, made once.
fs::path photoFolder(const std::string& name, int count, int width, int height);
// The photos of `from` again, each carrying the colour profile of the ICC file `profile`
// (one APP2 segment after the start marker), in a folder of their own.
fs::path profiledFolder(const std::string& name, const fs::path& from, const fs::path& profile);
// A camera's folder: matching pictures with both letter cases of the extension, and side
// files that do not match. Empty files: listing never opens them. Made once.
fs::path manyFolder(const std::string& name, int matching, int other);
fs::path emptyFolder();

constexpr int kSteps = 50;

// 50 different photos of 24 MP for stepping through, made once.
fs::path stepFolder();

// "24 MP" for a picture size (--quick makes small ones).
std::string megapixels(int width, int height);

// --- references ------------------------------------------------------------------------

// The whole file's bytes.
std::vector<unsigned char> readWhole(const fs::path& file);
// libjpeg-turbo alone: read the file and decode it to a 32-bit buffer.
double turboDecode(const fs::path& file);
// The folder listed as folder_floor.h lists it, in this process.
double scanFolder(const fs::path& folder, std::size_t* matched = nullptr);

// --- processes -------------------------------------------------------------------------

// Starts a program with extra environment and waits for it to end; the time of its life.
double runProcess(const fs::path& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& extraEnv, std::string* output = nullptr);

// --- the program in this process -------------------------------------------------------

// Counts the paints of one widget, and tells of each when asked to, once it is painted: the
// paint is delivered here, so that what the widget then says it showed is this paint's.
class PaintCounter : public QObject {
public:
    int paints = 0;
    std::function<void()> onPaint;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return QObject::eventFilter(watched, event);
        ++paints;
        const bool handled = watched->event(event);
        if (onPaint) onPaint();
        return handled;
    }
};

// The real main window over a host whose dialogs are scripted, started as the program
// starts, shown offscreen.
struct Program {
    TestHost host;
    Form1 form{host};
    pictavo::gui::MainWindow window{form};
    PaintCounter picturePaints;
    QWidget* picture = nullptr;
    QAbstractItemView* files = nullptr;

    Program() {
        window.run([this] { form.Form_Load(); });
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) std::puts("warning: the window was not exposed");
        picture = window.findChild<QWidget*>(QStringLiteral("Picture1"));
        files = window.findChild<QAbstractItemView*>(QStringLiteral("filList"));
        picture->installEventFilter(&picturePaints);
        settle();
    }

    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }

    void open(const fs::path& folder) {
        window.run([&] { form.c.dirList.setPath(host.hostPath(folder)); });
        settle();
    }

    // As in a program just started: nothing decoded ahead, no memory kept from before, and no
    // picture on view whose memory the next open would give back meanwhile.
    void forgetPictures() {
        window.run([&] {
            form.c.shownBefore = {};
            form.c.Image1.setPicture({}, 1, 1);
        });
        host.pictures().setAheadBudget(pictavo::defaultAheadBudget());
        rest(100);  // while the kernel takes the memory back
    }

    // Runs the event loop until the picture has been painted again, the part in view whole.
    void waitForPicture(int paintsBefore) {
        const auto* view = static_cast<const pictavo::gui::PictureView*>(picture);
        const auto start = Clock::now();
        while ((picturePaints.paints == paintsBefore || !view->paintedAllInView()) && msSince(start) < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }

    // A person's click on a row of the file list, until the picture is painted.
    double clickToPainted(int row) {
        files->scrollTo(files->model()->index(row, 0));
        const QRect r = files->visualRect(files->model()->index(row, 0));
        const int before = picturePaints.paints;
        const auto start = Clock::now();
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, r.center());
        waitForPicture(before);
        return msSince(start);
    }

    // A file given as Open With gives it (also one the list's pattern leaves out), until the
    // picture is painted.
    double openWithToPainted(const fs::path& file) {
        const int before = picturePaints.paints;
        const auto start = Clock::now();
        std::string why;
        window.run([&] { why = pictavo::openStartPath(form.c, host.hostPath(file)); });
        if (!why.empty()) std::printf("warning: %s: %s\n", file.c_str(), why.c_str());
        waitForPicture(before);
        return msSince(start);
    }

    // The person's key on the file list, until the picture is painted.
    double keyToPainted(Qt::Key key) {
        const int before = picturePaints.paints;
        const auto start = Clock::now();
        QTest::keyClick(files, key);
        waitForPicture(before);
        return msSince(start);
    }

    // The person looks at the picture for a while; the window is idle meanwhile.
    static void rest(int ms) {
        const auto start = Clock::now();
        while (msSince(start) < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
        }
    }

    void decodeAhead(bool on) {
        window.setDecodeAhead(on);
        if (!on) host.pictures().setAheadBudget(pictavo::defaultAheadBudget());  // lets go of everything held
    }

    void reportMessages() {
        for (const auto& m : host.messages) std::printf("warning: the program said \"%s\"\n", m.prompt.c_str());
        host.messages.clear();
    }
};

// --- the rows --------------------------------------------------------------------------

struct Benchmarks {
    Program& program;
};

// Each adds its rows to the table.
void benchOpen(Benchmarks& b);            // B1 B2: opening a picture
void benchFolder(Benchmarks& b);          // B3: entering a folder
void benchStart(Benchmarks& b);           // B4: start-up
void benchSave(Benchmarks& b);            // B5: saving as bitmap
void benchResident(Benchmarks& b);        // B6: memory with a picture shown
void benchSlideShow(Benchmarks& b);       // B7: the slide show
void benchBitmaps(Benchmarks& b);         // B8: opening a large bitmap
void benchAhead(Benchmarks& b);           // A1 A2 A3 A4: decoding ahead after a rest
void benchHold(Benchmarks& b);            // A5: the arrow key held
void benchSteppingMemory(Benchmarks& b);  // A6: memory while stepping
void benchOtherTypes(Benchmarks& b);      // B9h B9w: opening a phone's HEIC and a WebP

// The child processes of the memory rows (B6, A6): each prints its figures.
int residentChild(const fs::path& folder);
int steppingChild(const fs::path& folder);

}  // namespace bench
