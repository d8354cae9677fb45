// SPDX-License-Identifier: MIT
// Saves a 24-megapixel picture as a bitmap over an existing file and kills the saving
// process at a random moment, again and again: is the target always whole (old or new),
// and what is left beside it, right after each kill and after the next save into the
// folder? Once on a file system with anonymous files, once as on one without.
// Run: build/bench/killed_save_probe [folder] [kills]

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "files/atomic_save.h"
#include "files/file_system.h"
#include "support/test_host.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace pictavo;

namespace {

struct Leftovers {
    int files = 0;
    std::uintmax_t bytes = 0;
};

Leftovers leftovers(const fs::path& folder) {
    Leftovers left;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().native().rfind(".pictavo-save-", 0) == 0) {
            ++left.files;
            left.bytes += e.file_size();
        }
    return left;
}

FileSystem posixFiles() { return FileSystem(std::vector<Volume>{{"/", ""}}); }

void probe(const fs::path& folder, int kills, bool anonymous) {
    seams::setAnonymousFilesRefused(!anonymous);
    const Picture picture = test::solidPicture(6000, 4000, 0x336699);
    const fs::path target = folder / "photo.bmp";
    FileSystem files = posixFiles();
    const auto start = Clock::now();
    files.SavePicture(picture, target.native());
    const double saveMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const std::string newBytes = test::readBytes(target);
    const std::string oldBytes = "old picture";

    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> moment(0, saveMs * 1.1);
    int old = 0, fresh = 0, broken = 0, finished = 0, mostLeft = 0, leftAfterKill = 0;
    std::uintmax_t mostBytes = 0;
    for (int i = 0; i < kills; ++i) {
        test::writeBytes(target, oldBytes);
        const pid_t child = ::fork();
        if (child == 0) {
            try {
                FileSystem own = posixFiles();
                own.SavePicture(picture, target.native());
            } catch (...) {
                ::_exit(2);
            }
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(moment(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status)) ++finished;
        const std::string now = test::readBytes(target);
        (now == oldBytes ? old : now == newBytes ? fresh : broken)++;
        const Leftovers left = leftovers(folder);
        leftAfterKill += left.files > 0;
        mostLeft = std::max(mostLeft, left.files);
        mostBytes = std::max(mostBytes, left.bytes);
    }
    const Leftovers before = leftovers(folder);
    files.SavePicture(test::solidPicture(2, 2), (folder / "next.bmp").native());
    const Leftovers after = leftovers(folder);
    fs::remove(folder / "next.bmp");
    std::printf("| %s | %d kills (save %.0f ms; %d had finished) | target old %d, new %d, neither %d |\n",
                anonymous ? "anonymous file" : "named temporary", kills, saveMs, finished, old, fresh, broken);
    std::printf("| | leftovers right after a kill | %d of %d kills; at most %d file(s), %.1f MB |\n", leftAfterKill,
                kills, mostLeft, double(mostBytes) / 1e6);
    std::printf("| | leftovers before / after the next save | %d / %d |\n", before.files, after.files);
}

}  // namespace

int main(int argc, char** argv) {
    const test::TempDir temp;
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : temp.path();
    const int kills = argc > 2 ? std::atoi(argv[2]) : 40;
    std::printf("| file system | probe, count | outcome |\n|---|---|---|\n");
    probe(folder, kills, true);
    probe(folder, kills, false);
    return 0;
}
