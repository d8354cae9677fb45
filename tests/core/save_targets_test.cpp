// SPDX-License-Identifier: MIT
// What a save may replace, and that every save that fails after a name was chosen says so.
// Real entries in temporary folders, their bytes compared before and after.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "commands/commands.h"
#include "support/form_fixture.h"
#include "support/permissions.h"
#include "support/private_mount.h"

namespace fs = std::filesystem;

namespace pictavo::test {
namespace {

class SaveTargets : public ::testing::Test {
protected:
    void SetUp() override {
        t.start({"a.jpg", "b.jpg"}, 40, 30);
        t.open(0);
        t.host.messages.clear();
    }
    fs::path at(const std::string& name) { return t.host.startFolder() / name; }

    // Saves through the button under `path`, answering the overwrite question with `answer`
    // if it comes. Returns the prompts after the notice.
    std::vector<std::string> saveAs(const fs::path& path, MsgResult answer = MsgResult::Ok) {
        t.host.messages.clear();
        t.host.saveAnswers = {path.native()};
        t.host.msgBoxAnswers = {MsgResult::Ok, answer};
        t.click(t.c().svcomBtn);
        auto prompts = t.prompts();
        if (!prompts.empty() && prompts.front() == kBitmapNotice) prompts.erase(prompts.begin());
        return prompts;
    }
    static bool isFailure(const std::string& prompt, const std::string& reason) {
        return prompt.rfind(std::string(kSaveFailedMessage) + "\n", 0) == 0 && prompt.find(reason) != std::string::npos;
    }
    bool noLeftovers(const fs::path& folder) {
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().native().rfind(".pictavo-save-", 0) == 0) return false;
        return true;
    }

    FormFixture t;
};

TEST_F(SaveTargets, EveryFailureAfterTheDialogIsReportedWithItsReason) {
    fs::create_directory(at("locked"));
    writeBytes(at("locked") / "x.bmp", "inside");
    fs::permissions(at("locked"), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    const std::string before = readBytes(at("a.jpg"));
    struct Case {
        const char* what;
        fs::path path;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"a name longer than the file system allows", at(std::string(300, 'n') + ".bmp"), "too long"},
        {"a folder that does not exist", at("missing") / "x.bmp", "No such file"},
        {"a file where a folder should be", at("a.jpg") / "x.bmp", "Not a directory"},
        {"a folder that cannot be searched", at("locked") / "x.bmp", "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool needsPermissions = c.path.parent_path() == at("locked");
        std::optional<PermissionsEnforced> enforced;
        if (needsPermissions) {
            enforced.emplace();
            if (!enforced->active()) continue;
        }
        const auto prompts = saveAs(c.path);
        enforced.reset();
        ASSERT_EQ(prompts.size(), 1u);
        EXPECT_TRUE(isFailure(prompts[0], c.reason)) << prompts[0];
        EXPECT_EQ(t.host.messages.back().flags, MsgFlags::OkOnly);
        EXPECT_TRUE(t.c().svcomBtn.enabled());  // nothing else changed
        EXPECT_EQ(t.c().lstCnt.text(), "1/2");
    }
    fs::permissions(at("locked"), fs::perms::owner_all, fs::perm_options::replace);
    EXPECT_EQ(readBytes(at("locked") / "x.bmp"), "inside");
    EXPECT_EQ(readBytes(at("a.jpg")), before);
    EXPECT_TRUE(noLeftovers(t.host.startFolder()));

    // A cancelled dialog stays silent.
    t.host.messages.clear();
    t.host.saveAnswers = {std::nullopt};
    t.click(t.c().svcomBtn);
    EXPECT_EQ(t.prompts(), std::vector<std::string>{kBitmapNotice});
}

TEST_F(SaveTargets, EntriesThatAreNotRegularFilesAreAskedAboutAndNeverReplaced) {
    ASSERT_EQ(::mkfifo(at("pipe.bmp").c_str(), 0644), 0);
    fs::create_symlink("nowhere.bmp", at("dangling.bmp"));
    fs::create_directory(at("sub"));
    writeBytes(at("sub") / "inner.jpg", "inner");
    fs::create_directory_symlink("sub", at("dirlink.bmp"));
    fs::create_directory(at("folder.bmp"));
    struct Case {
        const char* name;
        const char* reason;
    };
    for (const Case& c : {Case{"pipe.bmp", "Not a regular file"}, Case{"dangling.bmp", "points to nothing"},
                          Case{"dirlink.bmp", "Is a directory"}, Case{"folder.bmp", "Is a directory"}}) {
        SCOPED_TRACE(c.name);
        const auto kind = fs::symlink_status(at(c.name)).type();
        // Declining writes nothing and leaves the states of a declined overwrite.
        auto prompts = saveAs(at(c.name), MsgResult::Cancel);
        EXPECT_EQ(prompts, std::vector<std::string>{kOverwriteQuestion});
        EXPECT_TRUE(t.c().bmp.enabled());
        // Confirming ends in the failure message, with the entry as it was.
        prompts = saveAs(at(c.name), MsgResult::Ok);
        ASSERT_EQ(prompts.size(), 2u);
        EXPECT_EQ(prompts[0], kOverwriteQuestion);
        EXPECT_TRUE(isFailure(prompts[1], c.reason)) << prompts[1];
        EXPECT_EQ(fs::symlink_status(at(c.name)).type(), kind);
    }
    EXPECT_EQ(fs::read_symlink(at("dangling.bmp")), "nowhere.bmp");
    EXPECT_FALSE(fs::exists(at("nowhere.bmp")));
    EXPECT_EQ(fs::read_symlink(at("dirlink.bmp")), "sub");
    EXPECT_EQ(readBytes(at("sub") / "inner.jpg"), "inner");
    EXPECT_TRUE(fs::is_empty(at("folder.bmp")));
    EXPECT_TRUE(noLeftovers(t.host.startFolder()));
    EXPECT_TRUE(noLeftovers(at("sub")));
    EXPECT_EQ(t.c().lstCnt.text(), "1/2");
}

TEST_F(SaveTargets, AReadOnlyFileIsKeptWhoeverRunsTheProgram) {
    // No permissions dropped: the program refuses even where the system would let it.
    writeBytes(at("ro.bmp"), "read-only contents");
    fs::permissions(at("ro.bmp"), fs::perms::owner_read | fs::perms::group_read, fs::perm_options::replace);
    fs::create_symlink("ro.bmp", at("to-ro.bmp"));
    for (const char* name : {"ro.bmp", "to-ro.bmp"}) {
        SCOPED_TRACE(name);
        const auto prompts = saveAs(at(name));
        ASSERT_EQ(prompts.size(), 2u);
        EXPECT_EQ(prompts[0], kOverwriteQuestion);
        EXPECT_TRUE(isFailure(prompts[1], "read-only")) << prompts[1];
    }
    EXPECT_EQ(readBytes(at("ro.bmp")), "read-only contents");
    EXPECT_EQ(fs::status(at("ro.bmp")).permissions(), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_TRUE(fs::is_symlink(at("to-ro.bmp")));
    EXPECT_TRUE(noLeftovers(t.host.startFolder()));
}

TEST_F(SaveTargets, ALinkToAFileStaysALinkAndItsTargetReceivesThePicture) {
    fs::create_directory(t.host.root() / "real");
    const fs::path target = t.host.root() / "real" / "target.bmp";
    writeBytes(target, "old target");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                    fs::perm_options::replace);
    fs::create_symlink("../real/target.bmp", at("link.bmp"));
    fs::create_symlink("link.bmp", at("link-to-link.bmp"));

    auto prompts = saveAs(at("link.bmp"));
    EXPECT_EQ(prompts, (std::vector<std::string>{kOverwriteQuestion, kSavedMessage}));
    EXPECT_TRUE(fs::is_symlink(at("link.bmp")));
    EXPECT_EQ(fs::read_symlink(at("link.bmp")), "../real/target.bmp");
    const std::string saved = readBytes(target);
    EXPECT_EQ(saved.substr(0, 2), "BM");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(t.c().lstCnt.text(), "1/4");  // both links are listed beside a.jpg and b.jpg

    // Through a chain of links too; the temporary file was beside the target.
    writeBytes(target, "old again");
    t.open(0);  // a save leaves the command off until a file is opened
    prompts = saveAs(at("link-to-link.bmp"));
    EXPECT_EQ(prompts, (std::vector<std::string>{kOverwriteQuestion, kSavedMessage}));
    EXPECT_EQ(readBytes(target), saved);
    EXPECT_TRUE(fs::is_symlink(at("link-to-link.bmp")));
    EXPECT_TRUE(noLeftovers(t.host.startFolder()));
    EXPECT_TRUE(noLeftovers(target.parent_path()));
}

TEST_F(SaveTargets, AFullDiskKeepsTheOldFile) {
    const fs::path disk = t.host.root() / "disk";
    fs::create_directory(disk);
    const auto run = withPrivateMount(disk, "tmpfs", "size=64k", [&] {
        writeBytes(disk / "old.bmp", "old contents");
        fillUp(disk / "filler");
        const auto prompts = saveAs(disk / "old.bmp");
        std::string report = readBytes(disk / "old.bmp") + "|" + (noLeftovers(disk) ? "clean" : "leftovers");
        for (const auto& p : prompts) report += "|" + p;
        return report;
    });
    if (!run.mounted) GTEST_SKIP() << "cannot mount a small disk here: " << run.output;
    EXPECT_EQ(run.output.rfind("old contents|clean|" + std::string(kOverwriteQuestion) + "|" + kSaveFailedMessage +
                                   "\nNo space left on device",
                               0),
              0u)
        << run.output;
}

}  // namespace
}  // namespace pictavo::test
