// SPDX-License-Identifier: MIT
// A save killed at any step (a crash, a logout, a power cut) leaves the target whole, old or
// new, and nothing behind that the next save into the folder does not remove; and that
// removal never touches a file it has no business with.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <set>
#include <thread>

#include "files/atomic_save.h"
#include "files/file_system.h"
#include "support/private_mount.h"
#include "support/test_host.h"

namespace fs = std::filesystem;
using pictavo::seams::SaveStep;

namespace pictavo::test {
namespace {

// Where the child kills itself: at a step of the save, or while the bytes are written.
enum class KillAt { BeforeWrite, MidWrite, Synced, Linked, Renamed };

KillAt gKillAt;
int gReport = -1;

void killHere() { ::kill(::getpid(), SIGKILL); }

void killAtStep(SaveStep step, int fd) {
    if (gKillAt == KillAt::MidWrite && step == SaveStep::BeforeWrite) {
        // Watches the file grow and kills the writer once part of it is written.
        std::thread([fd] {
            for (struct stat st{}; ::fstat(fd, &st) == 0;)
                if (st.st_size > 0) killHere();
        }).detach();
        return;
    }
    if (gKillAt == KillAt::MidWrite && step == SaveStep::Synced) {
        (void)!::write(gReport, "missed", 6);  // written too fast to be caught
        ::_exit(3);
    }
    if (static_cast<int>(gKillAt) == static_cast<int>(step) + (step == SaveStep::BeforeWrite ? 0 : 1)) killHere();
}

FileSystem posixFiles() { return FileSystem(std::vector<Volume>{{"/", ""}}); }

// Saves in a child process that kills itself at `at`; false when it ended otherwise.
bool saveKilled(const Picture& picture, const fs::path& target, KillAt at, bool anonymous) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        int report[2];
        if (::pipe(report) != 0) return false;
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(report[0]);
            gKillAt = at;
            gReport = report[1];
            seams::setSaveStep(killAtStep);
            seams::setAnonymousFilesRefused(!anonymous);
            try {
                FileSystem files = posixFiles();
                files.SavePicture(picture, target.native());
            } catch (...) {
                ::_exit(2);
            }
            ::_exit(0);
        }
        ::close(report[1]);
        char said[8] = {};
        const bool missed = ::read(report[0], said, sizeof said) > 0;
        ::close(report[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!missed) return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
    return false;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().native());
    return names;
}

TEST(KilledSave, LeavesTheTargetWholeAndTheNextSaveRemovesWhatWasLeft) {
    const TempDir dir;
    const Picture picture = solidPicture(1500, 1000, 0x204080);
    FileSystem files = posixFiles();
    files.SavePicture(picture, (dir.path() / "reference.bmp").native());
    const std::string newBytes = readBytes(dir.path() / "reference.bmp");
    fs::remove(dir.path() / "reference.bmp");

    struct Case {
        KillAt at;
        bool replaced;   // the target holds the new picture
        bool anonymous;  // the file system has anonymous files
        std::size_t leftBehind;
    };
    const Case cases[] = {
        {KillAt::BeforeWrite, false, true, 0}, {KillAt::MidWrite, false, true, 0},
        {KillAt::Synced, false, true, 0},      {KillAt::Linked, false, true, 1},
        {KillAt::Renamed, true, true, 0},      {KillAt::BeforeWrite, false, false, 1},
        {KillAt::MidWrite, false, false, 1},   {KillAt::Synced, false, false, 1},
        {KillAt::Linked, false, false, 1},     {KillAt::Renamed, true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.anonymous ? "anonymous file, " : "named file, ") + "killed at step " +
                     std::to_string(static_cast<int>(c.at)));
        writeBytes(dir.path() / "photo.bmp", "old bytes");
        ASSERT_TRUE(saveKilled(picture, dir.path() / "photo.bmp", c.at, c.anonymous));
        EXPECT_EQ(readBytes(dir.path() / "photo.bmp"), c.replaced ? newBytes : "old bytes");
        EXPECT_EQ(namesIn(dir.path()).size(), 1 + c.leftBehind);

        // Another save into the folder, by a process that is not the killed one.
        seams::setAnonymousFilesRefused(!c.anonymous);
        files.SavePicture(solidPicture(2, 2), (dir.path() / "other.bmp").native());
        seams::setAnonymousFilesRefused(false);
        EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"other.bmp", "photo.bmp"}));
        fs::remove(dir.path() / "other.bmp");
    }
    // A new name that a killed save reached is either whole or absent.
    ASSERT_TRUE(saveKilled(picture, dir.path() / "new.bmp", KillAt::Linked, true));
    EXPECT_EQ(readBytes(dir.path() / "new.bmp"), newBytes);
}

TEST(KilledSave, OnlyOurOwnTemporariesWhoseWriterIsGoneAreRemoved) {
    const TempDir dir;
    const fs::path d = dir.path();
    const std::string gone = ".pictavo-save-4194305-";  // beyond the largest pid Linux gives
    const std::string alive = ".pictavo-save-" + std::to_string(::getpid()) + "-";
    const auto age = [&](const char* name, int minutes) {
        fs::last_write_time(d / name, fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
    };
    struct Entry {
        std::string name;
        bool removed;
    };
    const std::vector<Entry> entries{
        {gone + "Ab12Cd", true},          // its writer is gone
        {".pictavo-save-Ab12Cd", true},   // an earlier version's, long untouched
        {alive + "Ab12Cd", false},        // a save in progress
        {gone + "locked", false},         // written by a process this one cannot see
        {".pictavo-save-Xy34Zw", false},  // an earlier version's, just written
        {gone + "Ab12Cd.bmp", false},     // not of the pattern
        {gone + "Ab1", false},
        {".pictavo-save-12x-Ab12Cd", false},
        {"pictavo-save-1-Ab12Cd", false},
        {gone + "others", false},  // another user's
        {gone + "linked", false},  // a link, and what it points to
        {gone + "folder", false},
        {gone + "fifo00", false},
    };
    for (const Entry& e : entries) writeBytes(d / e.name, "bytes");
    age(".pictavo-save-Ab12Cd", 20);
    age(".pictavo-save-Xy34Zw", 1);
    // Only where the tests run as root can a file be given to another user.
    const bool othersFile = ::chown((d / (gone + "others")).c_str(), 12345, 12345) == 0;
    fs::remove(d / (gone + "linked"));
    fs::create_symlink("kept.bmp", d / (gone + "linked"));
    writeBytes(d / "kept.bmp", "kept");
    fs::remove(d / (gone + "folder"));
    fs::create_directory(d / (gone + "folder"));
    fs::remove(d / (gone + "fifo00"));
    ASSERT_EQ(::mkfifo((d / (gone + "fifo00")).c_str(), 0600), 0);
    // Another process's writer holds its lock.
    const int held = ::open((d / (gone + "locked")).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    FileSystem files = posixFiles();
    files.SavePicture(solidPicture(2, 2), (d / "saved.bmp").native());
    ::close(held);
    for (const Entry& e : entries) {
        if (!othersFile && e.name == gone + "others") continue;
        EXPECT_EQ(fs::symlink_status(d / e.name).type() == fs::file_type::not_found, e.removed) << e.name;
    }
    EXPECT_EQ(readBytes(d / "kept.bmp"), "kept");
}

TEST(KilledSave, WhatWasLeftOnAFullDiskMakesRoomForTheNextSave) {
    const TempDir dir;
    const fs::path disk = dir.path() / "disk";
    fs::create_directory(disk);
    const auto run = withPrivateMount(disk, "tmpfs", "size=1m", [&] {
        writeBytes(disk / "photo.bmp", "old bytes");
        writeBytes(disk / ".pictavo-save-1-Ab12Cd", "alive");  // pid 1 is alive
        fillUp(disk / ".pictavo-save-4194305-Ab12Cd");
        std::string report;
        FileSystem files = posixFiles();
        try {
            files.SavePicture(solidPicture(200, 200), (disk / "photo.bmp").native());
        } catch (const HostError& e) {
            report = e.what();
        }
        report += "|" + readBytes(disk / "photo.bmp").substr(0, 2);
        for (const auto& name : namesIn(disk)) report += "|" + name;
        return report;
    });
    if (!run.mounted) GTEST_SKIP() << "cannot mount a small disk here: " << run.output;
    EXPECT_EQ(run.output, "|BM|.pictavo-save-1-Ab12Cd|photo.bmp");
}

// A save does not read its folder for what killed saves left where the program listed that
// folder: the listing met every name. A folder not listed is read only up to a bound.
TEST(KilledSave, AListingTellsTheNextSaveWhatWasLeftWithoutAFolderRead) {
    constexpr long kBound = 4096;  // entries a save may read of a folder not listed
    struct Case {
        const char* label;
        int files;    // besides the temporaries
        bool listed;  // the program listed the folder before the save
        bool leftoverAfterListing;
        long read;  // entries the save reads; -1: all of them
        bool removed;
    };
    const Case cases[] = {
        {"small, listed", 20, true, false, 0, true},
        {"small, not listed", 20, false, false, -1, true},
        {"beyond the bound, listed", 6000, true, false, 0, true},
        {"beyond the bound, not listed", 6000, false, false, kBound, false},
        {"left after the listing", 20, true, true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const TempDir dir;
        const fs::path d = dir.path();
        writeBytes(d / "IMG_0.jpg", "");
        for (int i = 1; i < c.files; ++i)
            fs::create_hard_link(d / "IMG_0.jpg", d / ("IMG_" + std::to_string(i) + ".jpg"));
        const std::string gone = ".pictavo-save-4194305-Ab12Cd";
        const std::string alive = ".pictavo-save-" + std::to_string(::getpid()) + "-Ab12Cd";
        const std::string nearMiss = ".pictavo-save-4194305-Ab12Cd~";
        for (const auto& name : {alive, nearMiss}) writeBytes(d / name, "bytes");
        if (!c.leftoverAfterListing) writeBytes(d / gone, "bytes");
        FileSystem files = posixFiles();
        if (c.listed) {
            EXPECT_EQ(files.Files(d.native(), "*.jpg").size(), static_cast<std::size_t>(c.files));
        }
        if (c.leftoverAfterListing) writeBytes(d / gone, "bytes");

        const long long before = seams::leftoverEntriesRead();
        files.SavePicture(solidPicture(2, 2), (d / "saved.bmp").native());
        const long long read = seams::leftoverEntriesRead() - before;
        // -1: the whole folder, its names with ".", ".." and the three temporaries.
        EXPECT_EQ(read, c.read >= 0 ? c.read : c.files + 5);
        if (c.read != kBound) {  // which entries come first is the file system's choice
            EXPECT_EQ(!fs::exists(d / gone), c.removed);
        }
        EXPECT_TRUE(fs::exists(d / alive));
        EXPECT_TRUE(fs::exists(d / nearMiss));

        // Whatever stayed, the save after the next listing removes, still without a read.
        (void)files.Files(d.native(), "*.jpg");
        const long long listedBefore = seams::leftoverEntriesRead();
        files.SavePicture(solidPicture(2, 2), (d / "saved.bmp").native());
        EXPECT_EQ(seams::leftoverEntriesRead(), listedBefore);
        EXPECT_FALSE(fs::exists(d / gone));
        EXPECT_TRUE(fs::exists(d / alive));
        EXPECT_TRUE(fs::exists(d / nearMiss));
    }
}

}  // namespace
}  // namespace pictavo::test
