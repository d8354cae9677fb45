// SPDX-License-Identifier: MIT
// Delete moves the file to the desktop's trash: the home trash for the home's file system,
// a volume's own trash folder on other volumes, and a plain deletion only where a volume
// has no trash. The original path is recorded by its exact bytes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <regex>
#include <sstream>

#include "commands/commands.h"
#include "support/form_fixture.h"
#include "support/permissions.h"
#include "support/private_mount.h"

namespace fs = std::filesystem;

namespace pictavo::test {
namespace {

std::string percentDecoded(const std::string& text) {
    return QByteArray::fromPercentEncoding(QByteArray::fromStdString(text)).toStdString();
}

struct TrashEntry {
    fs::path file;         // the deleted file, now in the trash's "files" folder
    std::string infoText;  // the whole .trashinfo file
    std::string date;      // its DeletionDate
};

// Every entry of a trash folder whose recorded path is `original` (bytes, decoded).
std::vector<TrashEntry> entriesFor(const fs::path& trash, const std::string& original) {
    std::vector<TrashEntry> found;
    std::error_code ec;
    for (const auto& info : fs::directory_iterator(trash / "info", ec)) {
        const std::string text = readBytes(info.path());
        static const std::regex line(R"(\[Trash Info\]\nPath=([^\n]*)\nDeletionDate=([^\n]*)\n)");
        std::smatch m;
        if (!std::regex_search(text, m, line) || percentDecoded(m[1]) != original) continue;
        found.push_back({trash / "files" / info.path().stem(), text, m[2]});
    }
    return found;
}

// A deletion date in local time, to the second, at most a few minutes from now.
void expectRecentDate(const std::string& date) {
    std::tm tm{};
    std::istringstream in(date);
    in >> std::get_time(&tm, "%Y-%m-%dT%H:%M:%S");
    ASSERT_FALSE(in.fail()) << date;
    ASSERT_EQ(date.size(), 19u) << date;
    tm.tm_isdst = -1;
    EXPECT_LT(std::abs(std::difftime(std::mktime(&tm), std::time(nullptr))), 300) << date;
}

int rowOf(FormFixture& t, const std::string& name) {
    const auto names = t.c().filList.names();
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

TEST(Trash, DeleteMovesTheFileToTheHomeTrashAndEveryDeletionCanBeTakenBack) {
    FormFixture t;
    struct stat home {
    }, folder{};
    const char* homeDir = std::getenv("HOME");
    ASSERT_TRUE(homeDir);
    ASSERT_EQ(::stat(homeDir, &home), 0);
    ASSERT_EQ(::stat(t.host.startFolder().c_str(), &folder), 0);
    if (home.st_dev != folder.st_dev) GTEST_SKIP() << "the temporary folder is not on the home's file system";

    const std::string odd = "caf\xE9 \xFF#%.jpg";  // Latin-1 bytes, a blank, '#' and '%'
    t.start({"a.jpg"});
    const fs::path file = t.host.startFolder() / odd;
    const std::string original = file.native();
    for (int round = 0; round < 2; ++round) {
        // Qt's writer would take the name as text; the bytes come in by a rename.
        writePicture(t.host.startFolder() / "new.jpg", 20 + round, 20);
        fs::rename(t.host.startFolder() / "new.jpg", file);
        const std::string bytes = readBytes(file);
        t.form->dispatch([&] { t.c().filList.refresh(); });
        t.open(rowOf(t, odd));
        t.click(t.c().delBtn);

        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(t.c().StatusBar1.panel(1).text, kDeletedText);
        EXPECT_EQ(t.c().filList.names(), std::vector<std::string>{"a.jpg"});
        const auto entries = entriesFor(homeTrash(), original);
        ASSERT_EQ(entries.size(), static_cast<std::size_t>(round + 1));
        // The same name deleted twice: both files stay in the trash.
        bool found = false;
        for (const auto& e : entries) found = found || readBytes(e.file) == bytes;
        EXPECT_TRUE(found) << "the deleted bytes are not in the trash";
        for (const auto& e : entries) {
            // The home trash records the whole path, its bytes beyond ASCII percent-encoded.
            EXPECT_NE(e.infoText.find("/caf%E9%20%FF%23%25.jpg\n"), std::string::npos) << e.infoText;
            EXPECT_EQ(e.infoText.find('\xFF'), std::string::npos);
            expectRecentDate(e.date);
        }
    }
    EXPECT_TRUE(fs::exists(t.host.startFolder() / "a.jpg"));
}

// The trash folder of a second volume, relative to the volume's top.
struct VolumeTrash {
    const char* name;
    const char* prepare;  // what the volume holds before the deletion
    std::string folder;   // where the file is to go
};

TEST(Trash, ASecondVolumeKeepsDeletedFilesInItsOwnTrash) {
    const std::string uid = std::to_string(::geteuid());
    const std::vector<VolumeTrash> kinds{
        {"its own .Trash-$uid", "user", ".Trash-" + uid},
        {"a shared .Trash with the sticky bit", "shared", ".Trash/" + uid},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        FormFixture t;
        const fs::path volume = t.host.startFolder();
        const fs::path copy = t.host.root() / "after";
        // ramfs is what a person's own volumes look like to GIO; tmpfs counts as a
        // system mount, whose files are deleted outright (next test).
        const auto run = withPrivateMount(volume, "ramfs", "mode=0755", [&] {
            if (std::string(kind.prepare) == "user") {
                fs::create_directory(volume / kind.folder);
                fs::permissions(volume / kind.folder, fs::perms::owner_all, fs::perm_options::replace);
            } else {
                fs::create_directory(volume / ".Trash");
                fs::permissions(volume / ".Trash", fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
            }
            t.start({"new.jpg", "y.jpg"});
            fs::rename(volume / "new.jpg", volume / "x\xFF.jpg");
            t.form->dispatch([&] { t.c().filList.refresh(); });
            t.open(rowOf(t, "x\xFF.jpg"));
            t.click(t.c().Del);
            snapshot(volume, copy);
            return t.c().lstCnt.text() + "|" + t.c().StatusBar1.panel(1).text;
        });
        if (!run.mounted) GTEST_SKIP() << "cannot mount a second volume here: " << run.output;
        EXPECT_EQ(run.output, std::string("0/1|") + kDeletedText);
        EXPECT_FALSE(fs::exists(copy / "x\xFF.jpg"));
        EXPECT_TRUE(fs::exists(copy / "y.jpg"));
        // A volume's trash records the path from the volume's top.
        const auto entries = entriesFor(copy / kind.folder, "x\xFF.jpg");
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].file, copy / kind.folder / "files" / "x\xFF.jpg");
        EXPECT_TRUE(fs::is_regular_file(entries[0].file));
        EXPECT_NE(entries[0].infoText.find("Path=x%FF.jpg\n"), std::string::npos) << entries[0].infoText;
        expectRecentDate(entries[0].date);
        EXPECT_TRUE(entriesFor(homeTrash(), (volume / "x\xFF.jpg").native()).empty());
    }
}

TEST(Trash, AnExt4VolumeUsesItsTrashUntilItIsFull) {
    FormFixture t;
    const fs::path volume = t.host.startFolder();
    const fs::path copy = t.host.root() / "after";
    const std::string trash = ".Trash-" + std::to_string(::geteuid());
    const auto run = withPrivateDisk(t.host.root() / "disk.img", volume, "4M", [&] {
        t.start({"kept.jpg", "x.jpg", "y.jpg"});
        t.open(rowOf(t, "x.jpg"));
        t.click(t.c().delBtn);
        // Full: GIO would move y.jpg but could not write its .trashinfo.
        fillUp(volume / "filler");
        t.open(rowOf(t, "y.jpg"));
        t.click(t.c().delBtn);
        fs::remove(volume / "filler");
        fs::remove_all(volume / "lost+found");
        snapshot(volume, copy);
        return t.c().lstCnt.text() + "|" + std::to_string(t.host.messages.size());
    });
    if (!run.mounted) GTEST_SKIP() << "cannot mount an ext4 disk here: " << run.output;
    EXPECT_EQ(run.output, "0/1|2");  // two questions, no error
    EXPECT_TRUE(fs::exists(copy / "kept.jpg"));
    EXPECT_FALSE(fs::exists(copy / "x.jpg"));
    EXPECT_FALSE(fs::exists(copy / "y.jpg"));
    const auto x = entriesFor(copy / trash, "x.jpg");
    ASSERT_EQ(x.size(), 1u);
    EXPECT_TRUE(fs::is_regular_file(x[0].file));
    // y.jpg went for good: the trash holds no copy of it that no one could put back.
    EXPECT_FALSE(fs::exists(copy / trash / "files" / "y.jpg"));
    for (const auto& info : fs::directory_iterator(copy / trash / "info"))
        EXPECT_GT(fs::file_size(info.path()), 0u) << info.path();
}

TEST(Trash, AVolumeWithoutAUsableTrashDeletesAsBefore) {
    FormFixture t;
    const fs::path volume = t.host.startFolder();
    const fs::path copy = t.host.root() / "after";
    const auto run = withPrivateMount(volume, "tmpfs", "size=1m", [&] {
        t.start({"x.jpg", "y.jpg"});
        t.open(0);
        t.click(t.c().delBtn);
        snapshot(volume, copy);
        return t.c().lstCnt.text() + "|" + std::to_string(t.host.messages.size());
    });
    if (!run.mounted) GTEST_SKIP() << "cannot mount a system volume here: " << run.output;
    EXPECT_EQ(run.output, "0/1|1");  // the question, and no error
    EXPECT_FALSE(fs::exists(copy / "x.jpg"));
    EXPECT_TRUE(fs::exists(copy / "y.jpg"));
    for (const auto& e : fs::directory_iterator(copy))
        EXPECT_NE(e.path().filename().native().rfind(".Trash", 0), 0u) << e.path();
    EXPECT_TRUE(entriesFor(homeTrash(), (volume / "x.jpg").native()).empty());
}

TEST(Trash, AFileInAFolderThatMayNotBeChangedStaysAndTheReasonIsShown) {
    FormFixture t;
    const PermissionsEnforced enforced;
    if (!enforced.active()) GTEST_SKIP() << "permission checks cannot be enforced here";
    t.start({"a.jpg", "b.jpg"});
    t.open(0);
    fs::permissions(t.host.startFolder(), fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    t.click(t.c().delBtn);
    fs::permissions(t.host.startFolder(), fs::perms::owner_all, fs::perm_options::replace);
    EXPECT_TRUE(fs::exists(t.host.startFolder() / "a.jpg"));
    ASSERT_EQ(t.host.messages.size(), 2u);
    EXPECT_NE(t.host.messages[1].prompt.find("ermission denied"), std::string::npos) << t.host.messages[1].prompt;
    EXPECT_EQ(t.c().lstCnt.text(), "1/2");
    EXPECT_TRUE(t.c().delBtn.enabled());
}

}  // namespace
}  // namespace pictavo::test
