// SPDX-License-Identifier: MIT
// Save as bitmap, rename by saving and delete, over real files.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QImage>
#include <filesystem>

#include "commands/commands.h"
#include "support/form_fixture.h"
#include "support/permissions.h"

namespace fs = std::filesystem;

namespace pictavo::test {
namespace {

class SaveCommands : public ::testing::Test {
protected:
    void SetUp() override {
        t.start({"a.jpg", "b.jpg", "c.jpg"}, 40, 30);
        t.open(1);
        t.host.messages.clear();
    }
    std::string inFolder(const std::string& name) { return (t.host.startFolder() / name).native(); }

    FormFixture t;
};

TEST_F(SaveCommands, CancelInTheDialogShowsOnlyTheNotice) {
    t.host.saveAnswers.push_back(std::nullopt);
    t.click(t.c().svcomBtn);
    EXPECT_EQ(t.prompts(), std::vector<std::string>{kBitmapNotice});
    EXPECT_EQ(t.host.messages[0].flags, MsgFlags::OkOnly);
    EXPECT_FALSE(t.host.messages[0].title);
    EXPECT_TRUE(t.c().svcomBtn.enabled());
    EXPECT_EQ(t.c().lstCnt.text(), "2/3");
    ASSERT_EQ(t.host.dialogs.size(), 1u);
    EXPECT_EQ(t.host.dialogs[0].filter, "*.bmp(*.bmp)|*.bmp|");
    EXPECT_EQ(t.host.dialogs[0].flags, 4);
    EXPECT_TRUE(t.host.dialogs[0].cancelError);
}

TEST_F(SaveCommands, DecliningTheOverwriteWritesNothing) {
    const auto before = readBytes(inFolder("a.jpg"));
    for (Command* command : std::initializer_list<Command*>{&t.c().bmp, &t.c().svcomBtn}) {
        t.c().Cpy.setEnabled(false);
        t.host.saveAnswers.push_back(inFolder("a.jpg"));
        t.host.msgBoxAnswers = {MsgResult::Ok, MsgResult::Cancel};
        t.click(*command);
        EXPECT_EQ(t.host.messages.back().prompt, kOverwriteQuestion);
        EXPECT_EQ(t.host.messages.back().flags, MsgFlags::OkCancelExclamation);
        EXPECT_EQ(t.host.messages.back().title, std::optional<std::string>(kOverwriteTitle));
        EXPECT_EQ(readBytes(inFolder("a.jpg")), before);
        EXPECT_TRUE(t.c().svcomBtn.enabled());
        EXPECT_TRUE(t.c().bmp.enabled());
        EXPECT_FALSE(t.c().SetBtn.enabled());
        // Only the button form touches the copy menu item.
        EXPECT_EQ(t.c().Cpy.enabled(), command == &t.c().svcomBtn);
    }
    EXPECT_EQ(t.host.dialogs[0].filter, "*.bmp");
}

TEST_F(SaveCommands, ConfirmedOverwriteReplacesOnceAsABitmap) {
    t.host.saveAnswers.push_back(inFolder("a.jpg"));
    t.host.msgBoxAnswers = {MsgResult::Ok, MsgResult::Ok};
    t.click(t.c().svcomBtn);
    const auto bytes = readBytes(inFolder("a.jpg"));
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    const auto prompts = t.prompts();
    EXPECT_EQ(std::count(prompts.begin(), prompts.end(), std::string(kSavedMessage)), 1);
    EXPECT_EQ(t.c().lstCnt.text(), "2/3");
    EXPECT_FALSE(t.c().svcomBtn.enabled());
    EXPECT_FALSE(t.c().bmp.enabled());
    EXPECT_FALSE(t.c().SetBtn.enabled());
    EXPECT_TRUE(t.c().Cpy.enabled());
}

TEST_F(SaveCommands, ANewFileInTheShownFolderJoinsTheCount) {
    // A ".jpg" name still receives bitmap data with the shown picture's pixels.
    t.host.saveAnswers.push_back(inFolder("new.jpg"));
    t.click(t.c().bmp);
    EXPECT_EQ(t.c().lstCnt.text(), "2/4");
    const auto bytes = readBytes(inFolder("new.jpg"));
    ASSERT_EQ(bytes.substr(0, 2), "BM");
    QImage saved;
    ASSERT_TRUE(
        saved.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "BMP"));
    const QImage& shown = *t.c().Image1.picture().image();
    ASSERT_EQ(saved.size(), shown.size());
    EXPECT_EQ(saved.pixel(5, 5), shown.pixel(5, 5));
    EXPECT_EQ(bytes[28], 24);  // bits per pixel in the header: no transparency, 24 bits

    // The second use opens with the path the first one chose.
    t.open(1);
    t.host.saveAnswers.push_back(std::nullopt);
    t.click(t.c().svcomBtn);
    ASSERT_EQ(t.host.dialogs.size(), 2u);
    EXPECT_EQ(t.host.dialogs[1].fileName, inFolder("new.jpg"));
}

TEST_F(SaveCommands, SavingIntoAnotherFolderLeavesTheCount) {
    fs::create_directory(t.host.root() / "elsewhere");
    t.host.saveAnswers.push_back((t.host.root() / "elsewhere" / "x.bmp").native());
    t.click(t.c().svcomBtn);
    EXPECT_TRUE(fs::exists(t.host.root() / "elsewhere" / "x.bmp"));
    EXPECT_EQ(t.c().lstCnt.text(), "2/3");
}

TEST_F(SaveCommands, RenameProposesTheSelectedNameAndKeepsTheOldFile) {
    t.host.saveAnswers.push_back(inFolder("renamed.gif"));
    t.click(t.c().renm);
    ASSERT_EQ(t.host.dialogs.size(), 1u);
    EXPECT_EQ(t.host.dialogs[0].fileName, "b.jpg");
    EXPECT_EQ(t.host.dialogs[0].filter, "bmp(*.bmp)|*.bmp|gif(*.gif)|*.gif|jpeg(*.jpg)|*.jpg|");
    EXPECT_EQ(t.prompts(), std::vector<std::string>{kSavedMessage});  // no notice first
    EXPECT_TRUE(fs::exists(inFolder("b.jpg")));
    EXPECT_EQ(readBytes(inFolder("renamed.gif")).substr(0, 2), "BM");
    EXPECT_EQ(t.c().lstCnt.text(), "2/4");
    EXPECT_TRUE(t.c().svcomBtn.enabled());
    EXPECT_TRUE(t.c().bmp.enabled());
    EXPECT_FALSE(t.c().SetBtn.enabled());
    EXPECT_EQ(t.c().picPath, inFolder("b.jpg"));
}

// Runs a save with the file-size limit so low that the write fails half-way, as on a
// full disk. The limit applies to root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

TEST_F(SaveCommands, AFailedWriteSaysSoAndKeepsTheOldFile) {
    const auto before = readBytes(inFolder("a.jpg"));
    t.host.saveAnswers.push_back(inFolder("a.jpg"));
    t.host.msgBoxAnswers = {MsgResult::Ok, MsgResult::Ok};
    {
        FileSizeLimit limit(100);
        t.click(t.c().svcomBtn);
    }
    EXPECT_EQ(readBytes(inFolder("a.jpg")), before);
    ASSERT_EQ(t.host.messages.size(), 3u);
    EXPECT_EQ(t.host.messages[2].prompt.rfind(kSaveFailedMessage, 0), 0u);
    EXPECT_NE(t.host.messages[2].prompt.find("large"), std::string::npos);  // the reason
    EXPECT_TRUE(t.c().svcomBtn.enabled());                                  // nothing else changed
    EXPECT_EQ(t.c().lstCnt.text(), "2/3");
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : fs::directory_iterator(t.host.startFolder())) files += e.is_regular_file();
    EXPECT_EQ(files, 3);
}

TEST_F(SaveCommands, AFolderOfTheChosenNameIsNotReplaced) {
    fs::create_directory(t.host.startFolder() / "taken.bmp");
    t.host.saveAnswers.push_back(inFolder("taken.bmp"));
    t.click(t.c().svcomBtn);
    EXPECT_TRUE(fs::is_directory(t.host.startFolder() / "taken.bmp"));
    EXPECT_EQ(t.host.messages.back().prompt.rfind(kSaveFailedMessage, 0), 0u);
}

TEST_F(SaveCommands, AHiddenFileIsNotReplacedWithoutTheQuestion) {
    writeBytes(t.host.startFolder() / ".hidden.bmp", "keep");
    t.host.saveAnswers.push_back(inFolder(".hidden.bmp"));
    t.host.msgBoxAnswers = {MsgResult::Ok, MsgResult::Cancel};
    t.click(t.c().svcomBtn);
    EXPECT_EQ(t.host.messages.back().prompt, kOverwriteQuestion);
    EXPECT_EQ(readBytes(t.host.startFolder() / ".hidden.bmp"), "keep");
}

TEST_F(SaveCommands, ANameTypedWithoutAnExtensionGetsBmp) {
    fs::create_directory(t.host.startFolder() / "v1.2");
    const struct {
        std::string typed, written;
    } cases[] = {
        {"saved", "saved.bmp"},            // listed, so the saved file is seen
        {"v1.2/plain", "v1.2/plain.bmp"},  // a dot in the folder's name is not an extension
        {"kept.jpg", "kept.jpg"},          // an extension the person typed stays
        {"notes.txt", "notes.txt"},       {"trailing.", "trailing."},
    };
    for (const auto& [typed, written] : cases) {
        for (Command* command : std::initializer_list<Command*>{&t.c().bmp, &t.c().svcomBtn, &t.c().renm}) {
            SCOPED_TRACE(typed + " by " + command->name());
            fs::remove(inFolder(written));
            t.host.saveAnswers.push_back(inFolder(typed));
            command->setEnabled(true);
            t.click(*command);
            EXPECT_EQ(readBytes(inFolder(written)).substr(0, 2), "BM");
            // The next use proposes the name the file was saved under.
            EXPECT_EQ(t.c().CommonDialog1.fileName, inFolder(written));
        }
        if (typed != written) {
            EXPECT_FALSE(fs::exists(inFolder(typed)));
        }
    }
    EXPECT_EQ(t.c().lstCnt.text(), "2/5");  // saved.bmp and kept.jpg joined the list
}

class DeleteCommands : public ::testing::Test {
protected:
    FormFixture t;
};

TEST_F(DeleteCommands, CancelChangesNothing) {
    t.start({"a.jpg", "b.jpg"});
    t.open(0);
    t.host.msgBoxAnswers = {MsgResult::Cancel};
    t.click(t.c().delBtn);
    EXPECT_EQ(t.host.messages[0].prompt, kDeleteQuestion);
    EXPECT_EQ(t.host.messages[0].flags, MsgFlags::OkCancelQuestion);
    EXPECT_EQ(t.host.messages[0].title, std::optional<std::string>(kDeleteTitle));
    EXPECT_TRUE(fs::exists(t.host.startFolder() / "a.jpg"));
    EXPECT_TRUE(t.c().delBtn.enabled());
    EXPECT_EQ(t.c().lstCnt.text(), "1/2");
}

TEST_F(DeleteCommands, DeletingTheLastListedFileEmptiesTheList) {
    t.start({"only.bmp"});
    t.open(0);
    t.click(t.c().Del);
    EXPECT_FALSE(fs::exists(t.host.startFolder() / "only.bmp"));
    EXPECT_EQ(t.c().lstCnt.text(), "0/0");
    EXPECT_EQ(t.c().filList.listCount(), 0);
    EXPECT_EQ(t.c().StatusBar1.panel(1).text, kDeletedText);
    EXPECT_EQ(t.host.messages.size(), 1u);  // the question only
    EXPECT_FALSE(t.c().Image1.picture().isNull());
    for (Control* off :
         std::initializer_list<Control*>{&t.c().delBtn, &t.c().Del, &t.c().Cpy, &t.c().renm, &t.c().bmp, &t.c().SetBtn})
        EXPECT_FALSE(off->enabled()) << off->name();
    EXPECT_TRUE(t.c().cpyBtn.enabled());  // still acts on the picture in view
}

TEST_F(DeleteCommands, AVanishedFileIsReportedAndTheCountKept) {
    t.start({"a.bmp", "b.jpg", "c.jpg"});
    t.open(0);
    fs::remove(t.host.startFolder() / "a.bmp");
    t.click(t.c().delBtn);
    EXPECT_EQ(t.prompts(), (std::vector<std::string>{kDeleteQuestion, kAlreadyGoneMessage}));
    EXPECT_EQ(t.host.messages[1].flags, MsgFlags::OkOnly);
    EXPECT_EQ(t.c().lstCnt.text(), "1/3");
    EXPECT_EQ(t.c().filList.listCount(), 2);
    EXPECT_FALSE(t.c().Del.enabled());
    EXPECT_FALSE(t.c().delBtn.enabled());
    EXPECT_FALSE(t.c().SetBtn.enabled());
    EXPECT_TRUE(t.c().renm.enabled());
}

TEST_F(DeleteCommands, AFailingDeleteReportsTheReasonAndChangesNothing) {
    const PermissionsEnforced enforced;
    if (!enforced.active()) GTEST_SKIP() << "permission checks cannot be enforced here";
    t.start({"a.jpg", "b.jpg"});
    t.open(1);
    // A file in a folder that may not be changed can be neither moved nor removed.
    fs::permissions(t.host.startFolder(), fs::perms::owner_read | fs::perms::owner_exec);
    t.click(t.c().delBtn);
    fs::permissions(t.host.startFolder(), fs::perms::owner_all);
    ASSERT_EQ(t.host.messages.size(), 2u);
    EXPECT_NE(t.host.messages[1].prompt.find("Permission denied"), std::string::npos);
    EXPECT_TRUE(fs::exists(t.host.startFolder() / "b.jpg"));
    EXPECT_EQ(t.c().lstCnt.text(), "2/2");
    EXPECT_EQ(t.c().filList.listCount(), 2);
    EXPECT_TRUE(t.c().delBtn.enabled());
    EXPECT_TRUE(t.c().Del.enabled());
}

TEST_F(DeleteCommands, NamesThatAreNotUtf8KeepTheirBytes) {
    t.start({});
    const std::string odd = "caf\xE9-\xFF.jpg";  // Latin-1 bytes
    writePicture(t.host.startFolder() / "tmp.jpg", 20, 20);
    fs::rename(t.host.startFolder() / "tmp.jpg", t.host.startFolder() / odd);
    t.form->dispatch([&] {
        t.c().dirList.refresh();
        t.c().filList.refresh();
    });
    ASSERT_EQ(t.c().filList.names(), std::vector<std::string>{odd});
    t.open(0);
    ASSERT_TRUE(t.host.messages.empty());

    // Saved over by its exact bytes...
    t.host.saveAnswers.push_back((t.host.startFolder() / odd).native());
    t.click(t.c().svcomBtn);
    EXPECT_EQ(readBytes(t.host.startFolder() / odd).substr(0, 2), "BM");
    EXPECT_EQ(t.c().filList.names(), std::vector<std::string>{odd});
    // ...and deleted by them.
    t.host.messages.clear();
    t.open(0);
    t.click(t.c().delBtn);
    EXPECT_FALSE(fs::exists(t.host.startFolder() / odd));
    EXPECT_EQ(t.c().lstCnt.text(), "0/0");
}

}  // namespace
}  // namespace pictavo::test
