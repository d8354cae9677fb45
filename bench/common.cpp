// SPDX-License-Identifier: MIT
// The shared part of the benchmark (common.h).

#include "common.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "folder_floor.h"

extern char** environ;

namespace bench {

Settings settings;
fs::path binDir;
std::vector<Row> table;

namespace {

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

}  // namespace

// --- measuring -------------------------------------------------------------------------

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(const std::function<double()>& run) {
    run();
    std::vector<double> times;
    for (int i = 0; i < settings.runs; ++i) times.push_back(run());
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

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

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// --- the table -------------------------------------------------------------------------

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

fs::path profiledFolder(const std::string& name, const fs::path& from, const fs::path& profile) {
    const fs::path folder = settings.data / name;
    fs::create_directories(folder);
    const std::vector<unsigned char> icc = readWhole(profile);
    if (icc.empty() || icc.size() > 65000) {
        std::fprintf(stderr, "cannot read the profile %s\n", profile.c_str());
        std::exit(1);
    }
    for (const auto& entry : fs::directory_iterator(from)) {
        const fs::path file = folder / entry.path().filename();
        if (fs::exists(file)) continue;
        const std::vector<unsigned char> jpeg = readWhole(entry.path());
        const std::size_t length = 2 + 12 + 2 + icc.size();
        std::string out(reinterpret_cast<const char*>(jpeg.data()), 2);
        out += "\xFF\xE2";
        out += static_cast<char>(length >> 8);
        out += static_cast<char>(length & 0xFF);
        out.append("ICC_PROFILE\0\1\1", 14);  // chunk 1 of 1
        out.append(reinterpret_cast<const char*>(icc.data()), icc.size());
        out.append(reinterpret_cast<const char*>(jpeg.data()) + 2, jpeg.size() - 2);
        std::ofstream(file, std::ios::binary).write(out.data(), std::streamsize(out.size()));
    }
    return folder;
}

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

fs::path stepFolder() { return photoFolder("steps24", kSteps + 1, settings.photoW, settings.photoH); }

std::string megapixels(int width, int height) {
    char text[32];
    const double mp = static_cast<double>(width) * height / 1e6;
    std::snprintf(text, sizeof text, mp >= 1 ? "%.0f MP" : "%.2f MP", mp);
    return text;
}

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

double scanFolder(const fs::path& folder, std::size_t* matched) {
    const auto start = Clock::now();
    const FolderFloor list = listFolderFloor(folder.c_str(), settings.pattern);
    if (matched) *matched = list.files.size();
    return msSince(start);
}

// --- processes -------------------------------------------------------------------------

double runProcess(const fs::path& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& extraEnv, std::string* output) {
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

}  // namespace bench
