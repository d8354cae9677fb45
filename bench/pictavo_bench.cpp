// Speed and memory of the work a person waits for, each against a reference measured in
// the same run, printed as one table. The pictures and folders are generated here
// (deterministic, photo-like) and kept in a data folder for later runs. Each time is the
// median of several runs after a warm-up. Nothing here fails a build by speed.
//
//   pictavo_bench [--million] [--quick] [--runs N] [--only ID] [--data DIR]
//
//   --million  also lists a folder of 1,000,000 pictures (generated once; takes a while)
//   --runs N   runs per measurement after the warm-up (7; at least 5 for a fair median)
//   --only ID  runs only the rows of that id (B1 ... B7, A1 ... A6); may be given again
//   --quick    small pictures and folders, one run each: checks that every row still works

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "files/natural_order.h"
#include "files/wildcard.h"
#include "gui/main_window.h"
#include "imaging/decode_ahead.h"
#include "imaging/picture_reader.h"
#include "support/test_host.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using pictavo::Form1;
using pictavo::PathSyntax;
using pictavo::test::TestHost;

namespace {

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
    int folderMatching = 100000, folderOther = 20000;
    std::string pattern = "*.jpg*;*.bmp*;*.gif*";
};

Settings settings;
fs::path binDir;

// --- measuring -------------------------------------------------------------------------

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The median of the runs after one warm-up; each run returns its own time, so that set-up
// between runs is not counted.
double median(const std::function<double()>& run) {
    run();
    std::vector<double> times;
    for (int i = 0; i < settings.runs; ++i) times.push_back(run());
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Ours and its reference in turns, each run of one beside a run of the other, so that a
// change in the machine's load (other programs) falls on both alike. The two medians.
std::pair<double, double> medians(const std::function<double()>& ours, const std::function<double()>& reference) {
    ours();
    reference();
    std::vector<double> a, b;
    for (int i = 0; i < settings.runs; ++i) {
        a.push_back(ours());
        b.push_back(reference());
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

double timed(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return msSince(start);
}

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return -1;
}

// Lets the peak resident size start again from the present size.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// --- the table -------------------------------------------------------------------------

struct Row {
    std::string id, what;
    double ours = 0, reference = 0;
    std::string unit;
    double goal = 0;  // highest ratio that meets the goal; 0: reported only
};

std::vector<Row> table;

void printTable() {
    std::printf("\n%-4s %-52s %12s %12s %7s %7s %s\n", "", "benchmark", "ours", "reference", "ratio", "goal", "met");
    for (const Row& r : table) {
        const double ratio = r.reference > 0 ? r.ours / r.reference : 0;
        char goal[16] = "-";
        if (r.goal > 0) std::snprintf(goal, sizeof goal, "<= %.2f", r.goal);
        const char* met = r.goal <= 0 ? "-" : ratio <= r.goal ? "yes" : "NO";
        std::printf("%-4s %-52s %9.1f %-2s %9.1f %-2s %7.2f %7s %s\n", r.id.c_str(), r.what.c_str(), r.ours,
                    r.unit.c_str(), r.reference, r.unit.c_str(), ratio, goal, met);
    }
    std::fflush(stdout);
}

// --- generated data --------------------------------------------------------------------

// A photo-like picture: soft gradients and shapes with sensor grain, so that it
// compresses like a real photo rather than like a flat colour. The same seed gives the
// same file.
void writePhoto(const fs::path& file, int width, int height, unsigned seed) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    std::uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        unsigned char* line = rgb.data() + static_cast<std::size_t>(y) * width * 3;
        const int cy = (y * 256) / height;
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int grain = static_cast<int>(state & 15) - 8;
            const int cx = (x * 256) / width;
            // Large soft bands, as sky, walls and foliage give.
            const int band = ((cx + cy + static_cast<int>(seed) * 40) & 255) < 128 ? 30 : -20;
            line[x * 3 + 0] = static_cast<unsigned char>(std::clamp(cx / 2 + 60 + band + grain, 0, 255));
            line[x * 3 + 1] = static_cast<unsigned char>(std::clamp(cy / 2 + 70 - band / 2 + grain, 0, 255));
            line[x * 3 + 2] = static_cast<unsigned char>(std::clamp((cx ^ cy) / 3 + 50 + grain, 0, 255));
        }
    }
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90, 0) != 0) {
        std::fprintf(stderr, "cannot write %s: %s\n", file.c_str(), tjGetErrorStr2(tj));
        std::exit(1);
    }
    const fs::path part = file.string() + ".part";
    std::ofstream(part, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg), static_cast<std::streamsize>(size));
    fs::rename(part, file);
    tjFree(jpeg);
    tjDestroy(tj);
}

// A folder of photos, made once.
fs::path photoFolder(const std::string& name, int count, int width, int height) {
    const fs::path folder = settings.data / name;
    fs::create_directories(folder);
    for (int i = 1; i <= count; ++i) {
        const fs::path file = folder / ("photo" + std::to_string(i) + ".jpg");
        if (!fs::exists(file)) {
            std::printf("generating %s\n", file.c_str());
            std::fflush(stdout);
            writePhoto(file, width, height, static_cast<unsigned>(i + width));
        }
    }
    return folder;
}

// A camera's folder: matching pictures with both letter cases of the extension, and side
// files that do not match. Empty files: listing never opens them. Made once.
fs::path manyFolder(const std::string& name, int matching, int other) {
    const fs::path folder = settings.data / name;
    const fs::path ready = settings.data / (name + ".ready");
    if (fs::exists(ready)) return folder;
    std::printf("generating %s (%d files)\n", folder.c_str(), matching + other);
    std::fflush(stdout);
    fs::remove_all(folder);
    fs::create_directories(folder);
    auto touch = [&](const std::string& file) {
        const int fd = ::open((folder / file).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
    };
    for (int i = 0; i < matching; ++i) touch("IMG_" + std::to_string(i) + (i % 3 ? ".JPG" : ".jpg"));
    for (int i = 0; i < other; ++i) touch("IMG_" + std::to_string(i) + (i % 2 ? ".xmp" : ".CR2"));
    std::ofstream{ready};
    return folder;
}

fs::path emptyFolder() {
    const fs::path folder = settings.data / "empty";
    fs::create_directories(folder);
    return folder;
}

// --- the program in this process -------------------------------------------------------

// Counts the paints of one widget, and tells of each when asked to.
class PaintCounter : public QObject {
public:
    int paints = 0;
    std::function<void()> onPaint;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (onPaint) onPaint();
        }
        return QObject::eventFilter(watched, event);
    }
};

// The real main window over a host whose dialogs are scripted, started as the program
// starts, shown offscreen.
struct Program {
    TestHost host{PathSyntax::Posix};
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

    // Runs the event loop until the picture has been painted again.
    void waitForPicture(int paintsBefore) {
        const auto start = Clock::now();
        while (picturePaints.paints == paintsBefore && msSince(start) < 60000)
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
        if (!on) host.files().pictures().setAheadBudget(pictavo::defaultAheadBudget());  // lets go of everything held
    }

    void reportMessages() {
        for (const auto& m : host.messages) std::printf("warning: the program said \"%s\"\n", m.prompt.c_str());
        host.messages.clear();
    }
};

// --- references ------------------------------------------------------------------------

std::vector<unsigned char> readWhole(const fs::path& file) {
    std::vector<unsigned char> bytes(fs::file_size(file));
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return bytes;
}

// libjpeg-turbo alone: read the file and decode it to a 32-bit buffer.
double turboDecode(const fs::path& file) {
    const auto start = Clock::now();
    const auto bytes = readWhole(file);
    tjhandle tj = tjInitDecompress();
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    tjDecompressHeader3(tj, bytes.data(), bytes.size(), &width, &height, &subsamp, &colorspace);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    tjDecompress2(tj, bytes.data(), bytes.size(), pixels.data(), width, 0, height, TJPF_BGRX, 0);
    tjDestroy(tj);
    return msSince(start);
}

// One readdir of the folder: folders apart, the rest matched, both sorted naturally.
double scanFolder(const fs::path& folder, std::size_t* matched = nullptr) {
    const auto start = Clock::now();
    std::vector<std::string> folders, files;
    DIR* dir = ::opendir(folder.c_str());
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            isDir = ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDir)
            folders.emplace_back(e->d_name);
        else if (pictavo::matchesAny(settings.pattern, e->d_name))
            files.emplace_back(e->d_name);
    }
    ::closedir(dir);
    // The quickest natural sort at hand: keys made once per name.
    pictavo::naturalSort(folders);
    pictavo::naturalSort(files);
    if (matched) *matched = files.size();
    return msSince(start);
}

// --- processes -------------------------------------------------------------------------

// Starts a program with extra environment and waits for it to end; the time of its life.
double runProcess(const fs::path& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& extraEnv, std::string* output = nullptr) {
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const auto key = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(extraEnv.begin(), extraEnv.end(), [&](const std::string& x) { return x.rfind(key, 0) == 0; }))
            env.push_back(entry);
    }
    std::vector<char*> envp, argv{const_cast<char*>(program.c_str())};
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argsCopy = args;
    for (auto& a : argsCopy) argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output) {
        if (::pipe(pipeFds) != 0) std::exit(1);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    }
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        std::fprintf(stderr, "cannot start %s\n", program.c_str());
        std::exit(1);
    }
    if (output) {
        ::close(pipeFds[1]);
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) output->append(buffer, static_cast<std::size_t>(n));
        ::close(pipeFds[0]);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double ms = msSince(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "warning: %s ended with status %d\n", program.c_str(), status);
    return ms;
}

// An environment whose pictures folder is the given one (read by Qt from user-dirs.dirs).
std::vector<std::string> startEnvironment(const fs::path& pictures, const std::string& name) {
    const fs::path config = settings.data / ("config-" + name);
    fs::create_directories(config);
    std::ofstream(config / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"" << pictures.native() << "\"\n";
    return {"XDG_CONFIG_HOME=" + config.native(), "QT_QPA_PLATFORM=offscreen", "PICTAVO_EXIT_AFTER_FIRST_PAINT=1"};
}

// "24 MP" for a picture size (--quick makes small ones).
std::string megapixels(int width, int height) {
    char text[32];
    const double mp = static_cast<double>(width) * height / 1e6;
    std::snprintf(text, sizeof text, mp >= 1 ? "%.0f MP" : "%.2f MP", mp);
    return text;
}

// --- the rows --------------------------------------------------------------------------

struct Benchmarks {
    Program& program;
};

void benchOpen(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = photoFolder("photos24", 3, settings.photoW, settings.photoH);
    p.open(photos);
    int row = 0, file = 0;
    const auto [ours, reference] =
        medians([&] { return p.clickToPainted(row++ % 2); },
                [&] { return turboDecode(photos / ("photo" + std::to_string(file++ % 2 + 1) + ".jpg")); });
    p.reportMessages();
    table.push_back({"B1", "click to picture painted, " + megapixels(settings.photoW, settings.photoH) + " JPEG", ours,
                     reference, "ms", 1.05});

    const fs::path large = photoFolder("photos100", 2, settings.largeW, settings.largeH);
    p.open(large);
    row = 0, file = 0;
    const auto [oursLarge, referenceLarge] =
        medians([&] { return p.clickToPainted(row++ % 2); },
                [&] { return turboDecode(large / ("photo" + std::to_string(file++ % 2 + 1) + ".jpg")); });
    p.reportMessages();
    table.push_back({"B2", "click to picture painted, " + megapixels(settings.largeW, settings.largeH) + " JPEG",
                     oursLarge, referenceLarge, "ms", 1.05});
}

double folderChange(Program& p, const fs::path& folder, std::string* count) {
    p.open(emptyFolder());
    const double ms = timed([&] { p.window.run([&] { p.form.c.dirList.setPath(p.host.hostPath(folder)); }); });
    if (count) *count = p.form.c.lstCnt.text();
    Program::settle();
    return ms;
}

void benchFolder(Benchmarks& b) {
    Program& p = b.program;
    const fs::path many = manyFolder("many", settings.folderMatching, settings.folderOther);
    std::string count;
    std::size_t matched = 0;
    const auto [ours, reference] =
        medians([&] { return folderChange(p, many, &count); }, [&] { return scanFolder(many, &matched); });
    p.reportMessages();
    if (count != "0/" + std::to_string(matched))
        std::printf("warning: the count box shows \"%s\" for %zu pictures\n", count.c_str(), matched);
    char what[64];
    std::snprintf(what, sizeof what, "folder change, %d + %d other files", settings.folderMatching,
                  settings.folderOther);
    table.push_back({"B3", what, ours, reference, "ms", 1.5});

    if (!settings.million) return;
    const fs::path million = manyFolder("million", 1000000, 200000);
    const auto [oursMillion, referenceMillion] =
        medians([&] { return folderChange(p, million, &count); }, [&] { return scanFolder(million, &matched); });
    table.push_back({"B3", "folder change, 1,000,000 + 200,000 other files", oursMillion, referenceMillion, "ms", 0});
    p.open(emptyFolder());
}

void benchStart(Benchmarks&) {
    const fs::path pictavo = binDir / ".." / "pictavo";
    const fs::path bare = binDir / "bare_window";
    const fs::path many = manyFolder("many", settings.folderMatching, settings.folderOther);
    const auto emptyEnv = startEnvironment(emptyFolder(), "empty");
    const auto manyEnv = startEnvironment(many, "many");
    const auto [emptyMs, bareMs] =
        medians([&] { return runProcess(pictavo, {}, emptyEnv); }, [&] { return runProcess(bare, {}, emptyEnv); });
    const auto [manyMs, manyReference] = medians([&] { return runProcess(pictavo, {}, manyEnv); },
                                                 [&] { return runProcess(bare, {}, emptyEnv) + scanFolder(many); });
    table.push_back({"B4", "start-up to first paint, empty pictures folder", emptyMs, bareMs, "ms", 1.5});
    char what[64];
    std::snprintf(what, sizeof what, "start-up to first paint, %d + %d files", settings.folderMatching,
                  settings.folderOther);
    table.push_back({"B4", what, manyMs, manyReference, "ms", 1.5});
}

void benchSave(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = photoFolder("photos24", 3, settings.photoW, settings.photoH);
    p.open(photos);
    p.clickToPainted(0);
    const pictavo::Picture shown = p.form.c.Image1.picture();
    const fs::path target = settings.data / "saved.bmp";
    long peakExtraKiB = 0;
    auto save = [&] {
        fs::remove(target);
        const long before = statusKiB("VmRSS");
        resetPeak();
        const double ms = timed([&] { p.host.files().SavePicture(shown, p.host.hostPath(target)); });
        peakExtraKiB = std::max(peakExtraKiB, statusKiB("VmHWM") - before);
        return ms;
    };
    save();
    // The same byte count, made before anything is timed.
    const std::vector<char> data(static_cast<std::size_t>(fs::file_size(target)), 'x');
    const fs::path plain = settings.data / "plain.bin";
    const auto [ours, reference] = medians(save, [&] {
        fs::remove(plain);
        return timed([&] {
            const int fd = ::open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) std::puts("short write");
            ::fsync(fd);
            ::close(fd);
        });
    });
    fs::remove(plain);
    fs::remove(target);
    table.push_back({"B5", "save shown " + megapixels(settings.photoW, settings.photoH) + " picture as bitmap, on disk",
                     ours, reference, "ms", 1.5});
    const double pictureMiB = static_cast<double>(shown.image()->sizeInBytes()) / (1024.0 * 1024.0);
    table.push_back({"B5", "peak memory while saving (one copy of the picture)",
                     static_cast<double>(peakExtraKiB) / 1024.0, pictureMiB, "MB", 1.0});
}

// In a child process, so that nothing else this benchmark did counts: the resident size
// with the window shown and a folder open, then the peak once a 100 MP photo is shown.
int residentChild(const fs::path& folder) {
    Program p;
    p.open(folder);
    p.clickToPainted(0);  // both photos are the same size: this warms what a first click sets up
    p.open(emptyFolder());
    p.open(folder);
    const long before = statusKiB("VmRSS");
    resetPeak();
    p.clickToPainted(1);
    const long peak = statusKiB("VmHWM");
    const auto* image = p.form.c.Image1.picture().image();
    std::printf("%ld %ld %lld\n", before, peak, image ? static_cast<long long>(image->sizeInBytes()) : 0LL);
    return 0;
}

// Runs this program again as one of the children above on a folder: its resident size
// before, its peak (KiB), and the decoded size of the picture shown at the end.
struct ChildFigures {
    long before = 0, peak = 0;
    long long decoded = 0;
};
ChildFigures childFigures(const char* option, const fs::path& folder) {
    std::string out;
    runProcess(binDir / "pictavo_bench", {option, folder.native()}, {"QT_QPA_PLATFORM=offscreen"}, &out);
    ChildFigures f;
    if (std::sscanf(out.c_str(), "%ld %ld %lld", &f.before, &f.peak, &f.decoded) != 3)
        std::printf("warning: %s gave no figures\n", option);
    return f;
}

void benchResident(Benchmarks&) {
    const fs::path large = photoFolder("photos100", 2, settings.largeW, settings.largeH);
    double ours = 0, reference = 0;
    median([&] {
        const ChildFigures f = childFigures("--resident-child", large);
        ours = static_cast<double>(f.peak) / 1024.0;
        reference = (static_cast<double>(f.before) * 1024.0 + static_cast<double>(f.decoded)) / (1024.0 * 1024.0);
        return ours / reference;
    });
    table.push_back({"B6", "peak resident memory, " + megapixels(settings.largeW, settings.largeH) + " JPEG shown",
                     ours, reference, "MB", 1.15});
}

void benchSlideShow(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = photoFolder("photos24", 3, settings.photoW, settings.photoH);
    p.open(photos);
    const double ours = median([&] {
        // Each tick steps from the first photo to the second; the show ends at the last.
        p.clickToPainted(0);
        p.window.run([&] { p.form.c.autoRn.click(); });
        const int before = p.picturePaints.paints;
        const auto start = Clock::now();
        p.window.run([&] { p.form.c.Timer1.tick(); });
        p.waitForPicture(before);
        return msSince(start);
    });
    p.window.run([&] { p.form.c.stpBtn.click(); });
    p.reportMessages();
    table.push_back(
        {"B7", "slide-show tick, " + megapixels(settings.photoW, settings.photoH) + " JPEGs (of the 1000 ms interval)",
         ours, 1000, "ms", 0.3});
}

// --- decoding ahead --------------------------------------------------------------------

constexpr int kSteps = 50;

// 50 different photos of 24 MP for stepping through, made once.
fs::path stepFolder() { return photoFolder("steps24", kSteps + 1, settings.photoW, settings.photoH); }

double floorDecode(const fs::path& folder, int& file) {
    return turboDecode(folder / ("photo" + std::to_string(file++ % 4 + 1) + ".jpg"));
}

void benchAhead(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = stepFolder();
    const std::string size = megapixels(settings.photoW, settings.photoH);
    p.decodeAhead(true);
    p.open(photos);
    int row = 0, file = 0;
    // Rest on a picture, then the arrow key to the next one.
    const auto [down, downFloor] = medians(
        [&] {
            p.clickToPainted(row++ % 4 * 2);
            Program::rest(1000);
            return p.keyToPainted(Qt::Key_Down);
        },
        [&] { return floorDecode(photos, file); });
    table.push_back({"A1", "arrow down after a 1 s rest, " + size + " JPEG", down, downFloor, "ms", 0.1});

    // Reached by arrow down, rest, then back up.
    const auto [up, upFloor] = medians(
        [&] {
            p.clickToPainted(row++ % 4 * 2);
            p.keyToPainted(Qt::Key_Down);
            Program::rest(1000);
            return p.keyToPainted(Qt::Key_Up);
        },
        [&] { return floorDecode(photos, file); });
    table.push_back({"A2", "arrow up after a 1 s rest, " + size + " JPEG", up, upFloor, "ms", 0.1});

    const double tick = median([&] {
        p.clickToPainted(row++ % 4 * 2);
        p.window.run([&] { p.form.c.autoRn.click(); });
        Program::rest(600);  // the show's own timer ticks at 1000 ms
        const int before = p.picturePaints.paints;
        const auto start = Clock::now();
        p.window.run([&] { p.form.c.Timer1.tick(); });
        p.waitForPicture(before);
        const double ms = msSince(start);
        p.window.run([&] { p.form.c.stpBtn.click(); });
        return ms;
    });
    table.push_back({"A3", "slide-show tick, " + size + " JPEGs, decoded ahead", tick, 1000, "ms", 0.05});

    // Other pictures were shown and their neighbours decoded; this one is far from them.
    const auto [cold, coldFloor] = medians(
        [&] {
            const int at = row++ % 4 * 2;
            p.clickToPainted(at);
            Program::rest(1000);
            return p.clickToPainted(at + 20);
        },
        [&] { return floorDecode(photos, file); });
    table.push_back({"A4", "click on a " + size + " JPEG not decoded ahead", cold, coldFloor, "ms", 0.9});
    p.reportMessages();
}

// A few pixels of a picture, spread over it: enough to tell the photos of a folder apart.
struct Fingerprint {
    QSize size;
    std::vector<QRgb> pixels;
    friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
};

Fingerprint fingerprint(const QImage& image) {
    Fingerprint f{image.size(), {}};
    for (int i = 1; i < 8; ++i)
        for (int j = 1; j < 8; ++j) f.pixels.push_back(image.pixel(image.width() * i / 8, image.height() * j / 8));
    return f;
}

// What the viewport must show while each row of the step folder is selected: its file
// decoded by the plain reading code, once.
const std::vector<Fingerprint>& stepFingerprints() {
    static std::vector<Fingerprint> rows;
    if (rows.empty())
        for (int i = 1; i <= kSteps + 1; ++i)
            rows.push_back(fingerprint(pictavo::decodePicture(
                pictavo::readPictureFile(stepFolder() / ("photo" + std::to_string(i) + ".jpg")))));
    return rows;
}

// An X server's key repeat at its default settings: the first repeat 660 ms after the
// press, then 25 a second. When each press of a held key falls due.
double pressDueMs(int press) { return press == 0 ? 0 : 660.0 + (press - 1) * 40.0; }

struct HoldFigures {
    int fewestStepsPainted = kSteps;
    int wrongPictures = 0;
    std::vector<int> aheadHits;  // per run with decoding ahead: steps served by it
};

// The arrow key held down on the first row through kSteps photos, until the last one is
// painted. The repeats reach the window as the X server's do: those that fell due while
// it was busy arrive together, and the steps they ask for wait behind them. Each paint of
// the viewport is checked against the selected file's own picture.
double holdArrowDown(Program& p, bool ahead, HoldFigures& figures) {
    const std::vector<Fingerprint>& expected = stepFingerprints();
    p.decodeAhead(ahead);
    p.clickToPainted(0);
    Program::rest(1000);
    int paintedRow = 0, stepsPainted = 0;
    p.picturePaints.onPaint = [&] {
        const int row = p.form.c.filList.listIndex();
        const QImage* shown = p.form.c.Image1.picture().image();
        if (!shown || row < 0 || row > kSteps || fingerprint(*shown) != expected[static_cast<std::size_t>(row)])
            ++figures.wrongPictures;
        if (row != paintedRow) {
            ++stepsPainted;
            paintedRow = row;
        }
    };
    auto* cache = p.host.files().pictures().ahead();
    const std::uint64_t hitsBefore = cache ? cache->hits() : 0;
    const auto start = Clock::now();
    int pressed = 0;
    while (paintedRow < kSteps && msSince(start) < 600000) {
        while (pressed < kSteps && msSince(start) >= pressDueMs(pressed)) {
            QTest::keyPress(p.files, Qt::Key_Down);
            if (++pressed == kSteps) QTest::keyRelease(p.files, Qt::Key_Down);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    const double ms = msSince(start);
    p.picturePaints.onPaint = nullptr;
    Program::settle();
    figures.fewestStepsPainted = std::min(figures.fewestStepsPainted, stepsPainted);
    if (ahead && cache) figures.aheadHits.push_back(static_cast<int>(cache->hits() - hitsBefore));
    // The picture shown at the end, whole, against the selected file read again by the
    // plain reading code (not through what is held ahead).
    const std::string selected = p.form.c.filList.fileName();
    const QImage fresh = pictavo::decodePicture(pictavo::readPictureFile(stepFolder() / selected));
    const QImage* shown = p.form.c.Image1.picture().image();
    if (!shown || *shown != fresh) std::printf("warning: the picture shown is not %s\n", selected.c_str());
    return ms;
}

void benchHold(Benchmarks& b) {
    Program& p = b.program;
    p.open(stepFolder());
    HoldFigures figures;
    const auto [on, off] =
        medians([&] { return holdArrowDown(p, true, figures); }, [&] { return holdArrowDown(p, false, figures); });
    p.decodeAhead(false);
    p.reportMessages();
    if (figures.fewestStepsPainted < kSteps)
        std::printf("warning: only %d of %d steps were painted as the selection reached them\n",
                    figures.fewestStepsPainted, kSteps);
    std::sort(figures.aheadHits.begin(), figures.aheadHits.end());
    if (!figures.aheadHits.empty())
        std::printf("A5: steps served by decoding ahead, median of the runs: %d of %d\n",
                    figures.aheadHits[figures.aheadHits.size() / 2], kSteps);
    if (figures.wrongPictures > 0)
        std::printf("warning: %d paints showed a picture that is not the selected file's\n", figures.wrongPictures);
    table.push_back(
        {"A5", "arrow held through 50 " + megapixels(settings.photoW, settings.photoH) + " JPEGs (ref: not ahead)", on,
         off, "ms", 1.0});
}

// In a child process: the resident size with the window up and the folder open, then the
// peak while stepping through 100 MP photos with a rest on each; and the decoded size.
int steppingChild(const fs::path& folder) {
    Program p;
    p.open(folder);
    p.clickToPainted(0);
    p.open(emptyFolder());
    p.open(folder);
    const long before = statusKiB("VmRSS");
    resetPeak();
    p.decodeAhead(true);
    p.clickToPainted(0);
    for (int i = 0; i < 3; ++i) {
        Program::rest(1500);
        p.keyToPainted(Qt::Key_Down);
    }
    Program::rest(1500);
    const long peak = statusKiB("VmHWM");
    const auto* image = p.form.c.Image1.picture().image();
    std::printf("%ld %ld %lld\n", before, peak, image ? static_cast<long long>(image->sizeInBytes()) : 0LL);
    return 0;
}

void benchSteppingMemory(Benchmarks&) {
    const double budget = static_cast<double>(pictavo::defaultAheadBudget());
    const auto row = [&](const fs::path& folder, int w, int h) {
        const ChildFigures f = childFigures("--stepping-child", folder);
        table.push_back(
            {"A6", "peak memory stepping " + megapixels(w, h) + " JPEGs (ref: + budget)",
             static_cast<double>(f.peak) / 1024.0,
             (static_cast<double>(f.before) * 1024.0 + static_cast<double>(f.decoded) + budget) / (1024.0 * 1024.0),
             "MB", 1.0});
    };
    row(stepFolder(), settings.photoW, settings.photoH);
    row(photoFolder("photos100", 4, settings.largeW, settings.largeH), settings.largeW, settings.largeH);
}

// The rows in the order printed; later rows join this list.
const std::vector<std::pair<const char*, void (*)(Benchmarks&)>> kBenchmarks{
    {"B1 B2", benchOpen},        {"B3", benchFolder},   {"B4", benchStart},
    {"B5", benchSave},           {"B6", benchResident}, {"B7", benchSlideShow},
    {"A1 A2 A3 A4", benchAhead}, {"A5", benchHold},     {"A6", benchSteppingMemory},
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    binDir = fs::canonical("/proc/self/exe").parent_path();
    settings.data = binDir / "bench-data";
    std::optional<fs::path> child;
    bool stepping = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--million") {
            settings.million = true;
        } else if (arg == "--quick") {
            settings.quick = true;
        } else if (arg == "--only" && i + 1 < argc) {
            settings.only.emplace_back(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            settings.runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--data" && i + 1 < argc) {
            settings.data = argv[++i];
        } else if (arg == "--resident-child" && i + 1 < argc) {
            child = argv[++i];
        } else if (arg == "--stepping-child" && i + 1 < argc) {
            child = argv[++i];
            stepping = true;
        } else {
            std::fprintf(stderr, "usage: pictavo_bench [--million] [--quick] [--runs N] [--only ID] [--data DIR]\n");
            return 2;
        }
    }
    if (settings.quick) {
        settings.runs = 1;
        settings.photoW = 600, settings.photoH = 400;
        settings.largeW = 1250, settings.largeH = 800;
        settings.folderMatching = 1000, settings.folderOther = 200;
        settings.million = false;
        settings.data /= "quick";
    }
    fs::create_directories(settings.data);
    settings.data = fs::canonical(settings.data);
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // Qt wants one, private to the user; the started programs inherit it.
        const fs::path runtime = settings.data / "runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.native()));
    }

    QApplication app(argc, argv);
    if (child) return stepping ? steppingChild(*child) : residentChild(*child);

    Program program;
    Benchmarks benchmarks{program};
    for (const auto& [name, bench] : kBenchmarks) {
        const std::string ids = std::string(" ") + name + " ";
        if (!settings.only.empty() &&
            std::none_of(settings.only.begin(), settings.only.end(),
                         [&](const std::string& id) { return ids.find(" " + id + " ") != std::string::npos; }))
            continue;
        std::printf("running %s\n", name);
        std::fflush(stdout);
        bench(benchmarks);
    }
    printTable();
    return 0;
}
