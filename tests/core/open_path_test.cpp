// SPDX-License-Identifier: MIT
// Starting with a path: a folder opens in the browser, a picture opens as a click on its
// name would, and anything else leaves the normal start-up with one reason.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/open_path.h"
#include "form/rules.h"
#include "support/core_test.h"
#include "view/view.h"

namespace {

class OpenWith : public ::testing::Test {
protected:
    FormFixture f;
    void SetUp() override { fs::create_directories(otherFolder()); }
    // A folder on a second drive.
    std::string usb = f.host.addDrive("usb", "USB");
    fs::path otherFolder() const { return fs::path(usb) / "trip"; }
    std::string opened(const fs::path& real) {
        std::string why;
        f.form->dispatch([&] { why = openStartPath(f.c(), f.host.hostPath(real)); });
        return why;
    }
};

TEST_F(OpenWith, AFolderOpensWithItsDriveAndFolderListsFollowing) {
    writePicture(otherFolder() / "b.jpg", 4, 4);
    writePicture(otherFolder() / "a.gif", 4, 4);
    f.start({"home.bmp"});
    EXPECT_EQ(opened(otherFolder()), "");
    auto& c = f.c();
    EXPECT_EQ(c.drvList.drive(), usb);
    EXPECT_EQ(c.dirList.path(), f.host.hostPath(otherFolder()));
    EXPECT_TRUE(c.dirList.rows().back().open);
    EXPECT_EQ(c.filList.names(), (std::vector<std::string>{"a.gif", "b.jpg"}));
    EXPECT_EQ(c.lstCnt.text(), "0/2");
    EXPECT_TRUE(c.Image1.picture().isNull());
    EXPECT_FALSE(c.autoRn.enabled());
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(OpenWith, APictureIsShownAsAClickOnItsNameWould) {
    for (const char* n : {"1.jpg", "2.bmp", "3.jpg"}) writePicture(otherFolder() / n, 8, 6);
    f.start({"home.bmp"});
    EXPECT_EQ(opened(otherFolder() / "2.bmp"), "");
    auto& c = f.c();
    EXPECT_EQ(c.dirList.path(), f.host.hostPath(otherFolder()));
    EXPECT_EQ(c.filList.listIndex(), 1);
    EXPECT_EQ(c.lstCnt.text(), "2/3");
    EXPECT_EQ(c.picPath, f.host.hostPath(otherFolder() / "2.bmp"));
    EXPECT_EQ(c.Image1.picture().widthPx(), 8);
    EXPECT_TRUE(c.SetBtn.enabled());  // a bitmap
    EXPECT_TRUE(c.autoRn.enabled());
    EXPECT_FALSE(c.StatusBar1.panel(2).text.empty());
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(OpenWith, WhatCannotBeOpenedLeavesTheNormalStartAndSaysWhyInTheWindow) {
    writeBytes(otherFolder() / "notes.txt", "text");
    writeBytes(otherFolder() / "broken.jpg", "not a picture");
    f.start({"home.bmp"});
    auto& c = f.c();
    const std::string startFolder = c.dirList.path();

    EXPECT_NE(opened(otherFolder() / "missing"), "");
    EXPECT_EQ(c.dirList.path(), startFolder);
    EXPECT_EQ(c.lstCnt.text(), "0/1");
    EXPECT_EQ(f.prompts(), std::vector<std::string>{kLoadFailedMessage});

    // A file that the list does not show and that is no picture: its folder opens,
    // nothing is selected, and the load-failure message says why, once.
    EXPECT_NE(opened(otherFolder() / "notes.txt"), "");
    EXPECT_EQ(c.dirList.path(), f.host.hostPath(otherFolder()));
    EXPECT_EQ(c.filList.listIndex(), -1);
    EXPECT_EQ(f.host.messages.size(), 2u);

    // A listed file that does not decode: the same message as a click on it.
    EXPECT_NE(opened(otherFolder() / "broken.jpg"), "");
    EXPECT_EQ(f.prompts(), std::vector<std::string>(3, kLoadFailedMessage));
    EXPECT_TRUE(c.Image1.picture().isNull());
}

// What a file manager hands over for the types the desktop entry claims: names the list's
// pattern leaves out are shown all the same, and the list keeps its pattern.
TEST_F(OpenWith, APictureTheListLeavesOutIsShownWithItsPathAndSize) {
    writePicture(otherFolder() / "listed.jpg", 4, 4);
    writePicture(otherFolder() / "scan.bmp", 7, 5);
    fs::rename(otherFolder() / "scan.bmp", otherFolder() / "scan.dib");
    for (const char* name : {"beach.jpeg", "b.JPE", "c.jfif", "photo", ".hidden.jpg"})
        writePicture(otherFolder() / name, 7, 5);
    f.start({"home.bmp"});
    auto& c = f.c();
    const std::string sep(1, c.files.Separator());
    for (const char* name : {"beach.jpeg", "b.JPE", "c.jfif", "scan.dib", "photo", ".hidden.jpg"}) {
        SCOPED_TRACE(name);
        const std::string path = f.host.hostPath(otherFolder() / name);
        EXPECT_EQ(opened(otherFolder() / name), "");
        EXPECT_EQ(c.picPath, path);
        EXPECT_EQ(c.Image1.picture().widthPx(), 7);
        EXPECT_EQ(c.StatusBar1.panel(1).text, c.dirList.path() + sep + name);
        EXPECT_EQ(c.StatusBar1.panel(2).text, sizeText(static_cast<std::int64_t>(fs::file_size(otherFolder() / name))));
        EXPECT_EQ(c.filList.names(), std::vector<std::string>{"listed.jpg"});
        EXPECT_EQ(c.filList.listIndex(), -1);
        EXPECT_EQ(c.lstCnt.text(), "0/1");
        EXPECT_TRUE(c.Cpy.enabled());
        // Laying the window out again keeps the shown file's path.
        f.form->dispatch([&] { f.form->resize(7000, 5000); });
        EXPECT_EQ(c.StatusBar1.panel(1).text, c.dirList.path() + sep + name);
    }
    EXPECT_TRUE(f.host.messages.empty());

    // A click on a listed name forgets the unlisted one.
    f.open(0);
    EXPECT_EQ(c.filList.fileName(), "listed.jpg");
    EXPECT_EQ(c.lstCnt.text(), "1/1");
}

TEST_F(OpenWith, DeletingAPictureTheListLeavesOutKeepsTheCount) {
    writePicture(otherFolder() / "listed.jpg", 4, 4);
    writePicture(otherFolder() / "beach.jpeg", 4, 4);
    f.start({"home.bmp"});
    ASSERT_EQ(opened(otherFolder() / "beach.jpeg"), "");
    f.host.msgBoxAnswers = {MsgResult::Ok};
    f.click(f.c().delBtn);
    EXPECT_FALSE(fs::exists(otherFolder() / "beach.jpeg"));
    EXPECT_EQ(f.c().filList.names(), std::vector<std::string>{"listed.jpg"});
    EXPECT_EQ(f.c().lstCnt.text(), "0/1");
}

TEST_F(OpenWith, ANameThatIsNotUtf8IsOpenedByItsBytes) {
    const fs::path folder = f.host.root() / "odd";
    fs::create_directories(folder);
    writePicture(folder / "x.jpg", 5, 3);
    const std::string name = "\xff\xfe photo \xe9.jpg";
    fs::rename(folder / "x.jpg", folder / name);
    f.start({});
    std::string why;
    f.form->dispatch([&] { why = openStartPath(f.c(), (folder / name).native()); });
    EXPECT_EQ(why, "");
    EXPECT_EQ(f.c().filList.fileName(), name);
    EXPECT_EQ(f.c().Image1.picture().widthPx(), 5);
}

}  // namespace
