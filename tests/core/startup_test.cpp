// SPDX-License-Identifier: MIT
// Start-up, the paste button following the clipboard, Close and Version.

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <memory>

#include "app/about_box.h"
#include "support/core_test.h"

namespace {

class StartUp : public ::testing::Test {
protected:
    FormFixture f;
};

}  // namespace

TEST_F(StartUp, ListsTheStartFolderWithNothingToActOn) {
    const fs::path start = f.host.startFolder();
    writePicture(start / "a.jpg", 8, 8);
    writePicture(start / "b.bmp", 8, 8);
    writeBytes(start / "c.gif", "not decoded before it is clicked");
    writeBytes(start / "notes.txt", "");
    fs::create_directory(start / "Holiday");
    f.start({});
    auto& c = f.c();

    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(c.lstCnt.text(), "0/3");
    EXPECT_EQ(c.lstPos, "0");
    EXPECT_EQ(c.lstTotal, "3");
    EXPECT_EQ(c.filList.listIndex(), -1);
    EXPECT_EQ(c.filList.path(), c.dirList.path());
    EXPECT_EQ(c.drvList.drive(), "/");
    EXPECT_EQ(c.dirList.path(), f.host.hostPath(start));

    EXPECT_TRUE(c.picPath.empty());
    EXPECT_TRUE(c.Image1.picture().isNull());
    EXPECT_TRUE(c.filSize.text().empty());
    EXPECT_FALSE(c.HScroll1.visible());
    EXPECT_FALSE(c.VScroll1.visible());
    EXPECT_EQ(c.StatusBar1.panel(1).text, c.dirList.path());

    for (Control* off :
         std::initializer_list<Control*>{&c.delBtn, &c.cpyBtn, &c.svcomBtn, &c.SetBtn, &c.autoRn, &c.stpBtn, &c.Slider1,
                                         &c.Timer1, &c.Del, &c.bmp, &c.Cpy, &c.renm})
        EXPECT_FALSE(off->enabled()) << off->name();
    for (Control* on : std::initializer_list<Control*>{&c.UnsetBtn, &c.Edit, &c.Cls, &c.Version})
        EXPECT_TRUE(on->enabled()) << on->name();
    EXPECT_EQ(c.Slider1.value(), 1);
}

TEST_F(StartUp, AStartFolderThatCannotBeOpenedIsReportedOnce) {
    fs::remove_all(f.host.startFolder());
    f.start({});
    EXPECT_EQ(f.host.messages.size(), 1u);
    // The program goes on with nothing to act on.
    EXPECT_FALSE(f.c().delBtn.enabled());
    EXPECT_FALSE(f.c().Timer1.enabled());
    EXPECT_TRUE(f.c().UnsetBtn.enabled());
}

TEST(PasteButton, FollowsTheClipboardWhenActivatedAndOnMouseMoves) {
    FormFixture picture;
    picture.host.clipboardPicture = solidPicture(4, 4);
    picture.start({});
    EXPECT_TRUE(picture.c().pstBtn.enabled());
    EXPECT_FALSE(picture.c().cpyBtn.enabled());
    EXPECT_TRUE(picture.c().UnsetBtn.enabled());

    FormFixture text;
    text.host.clipboardHasText = true;
    text.start({});
    EXPECT_FALSE(text.c().pstBtn.enabled());

    FormFixture empty;
    empty.start({});
    EXPECT_FALSE(empty.c().pstBtn.enabled());

    // Another program puts a picture on the clipboard: nothing changes until the mouse
    // crosses the window's free surface.
    empty.host.clipboardPicture = solidPicture(4, 4);
    EXPECT_FALSE(empty.c().pstBtn.enabled());
    empty.form->dispatch([&] { empty.form->Form_MouseMove(); });
    EXPECT_TRUE(empty.c().pstBtn.enabled());
    empty.host.clipboardPicture.reset();
    empty.host.clipboardHasText = true;
    empty.form->dispatch([&] { empty.form->Form_MouseMove(); });
    EXPECT_FALSE(empty.c().pstBtn.enabled());
    empty.host.clipboardPicture = solidPicture(4, 4);
    empty.form->dispatch([&] { empty.form->Form_Activate(); });
    EXPECT_TRUE(empty.c().pstBtn.enabled());
}

TEST(Close, CancelLeavesTheProgramAndTheClipboard) {
    FormFixture f;
    f.host.clipboardPicture = solidPicture(4, 4);
    f.start({});
    f.host.msgBoxAnswers = {MsgResult::Cancel};
    f.click(f.c().Cls);

    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].prompt, "プログラムを終了します。");
    EXPECT_EQ(f.host.messages[0].flags, MsgFlags::OkCancelInformation);
    EXPECT_EQ(static_cast<int>(f.host.messages[0].flags), 65);
    EXPECT_EQ(f.host.messages[0].title, std::optional<std::string>("Pictavo"));
    EXPECT_TRUE(f.host.unloaded.empty());
    EXPECT_EQ(f.host.clipboardClears, 0);
    EXPECT_TRUE(f.host.clipboardPicture.has_value());
}

TEST(Close, OkEmptiesTheClipboardAndUnloadsTheMainWindow) {
    FormFixture f;
    f.start({"a.jpg"});
    f.open(0);
    f.click(f.c().cpyBtn);  // the picture this program put on the clipboard
    ASSERT_TRUE(f.host.clipboardPicture.has_value());
    f.host.clipboardClears = 0;
    f.host.msgBoxAnswers = {MsgResult::Ok};
    f.click(f.c().Cls);

    EXPECT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.clipboardClears, 1);
    EXPECT_FALSE(f.host.clipboardHasText);
    EXPECT_FALSE(f.host.clipboardPicture.has_value());
    EXPECT_EQ(f.host.unloaded, std::vector<std::string>{"Form1"});
}

TEST(Version, ShowsTheAboutBoxAfreshEachTime) {
    FormFixture f;
    f.start({});
    f.click(f.c().Version);
    EXPECT_EQ(f.host.shown, std::vector<std::string>{"frmAbout"});
    about::okBtn_Click(f.host);
    EXPECT_EQ(f.host.unloaded, std::vector<std::string>{"frmAbout"});
    f.click(f.c().Version);
    EXPECT_EQ(f.host.shown, (std::vector<std::string>{"frmAbout", "frmAbout"}));
    EXPECT_TRUE(f.host.messages.empty());
}
