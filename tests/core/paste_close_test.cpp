// SPDX-License-Identifier: MIT
// A pasted picture is not the file on view, and Close takes only its own picture off the
// clipboard.

#include <gtest/gtest.h>

#include <filesystem>

#include "commands/commands.h"
#include "support/form_fixture.h"

namespace fs = std::filesystem;

namespace pictavo::test {
namespace {

TEST(Paste, TheFileThatIsNoLongerShownCannotBeDeletedOrMadeTheWallPaper) {
    FormFixture t;
    t.start({"a-shown.bmp", "b-other.jpg"});
    t.open(0);
    ASSERT_TRUE(t.c().Del.enabled());
    ASSERT_TRUE(t.c().delBtn.enabled());
    ASSERT_TRUE(t.c().SetBtn.enabled());
    const std::string before = readBytes(t.host.startFolder() / "a-shown.bmp");

    t.host.otherProgramCopies(solidPicture(30, 20, 0x10a010));
    t.form->dispatch([&] { t.form->Form_MouseMove(); });
    t.click(t.c().pstBtn);
    EXPECT_EQ(t.c().Image1.picture().widthPx(), 30);
    EXPECT_FALSE(t.c().Del.enabled());
    EXPECT_FALSE(t.c().delBtn.enabled());
    EXPECT_FALSE(t.c().SetBtn.enabled());
    // The pasted picture can be saved; the save dialog names the file it writes.
    EXPECT_TRUE(t.c().svcomBtn.enabled());
    EXPECT_TRUE(t.c().bmp.enabled());
    EXPECT_TRUE(t.c().renm.enabled());

    // A click on a disabled command does nothing: a-shown.bmp is safe.
    t.click(t.c().delBtn);
    t.click(t.c().SetBtn);
    EXPECT_TRUE(t.host.messages.empty());
    EXPECT_TRUE(t.host.wallpaperCalls.empty());
    EXPECT_EQ(readBytes(t.host.startFolder() / "a-shown.bmp"), before);

    // Opening a file shows it again, and the commands act on it again.
    t.open(0);
    EXPECT_TRUE(t.c().Del.enabled());
    EXPECT_TRUE(t.c().delBtn.enabled());
    EXPECT_TRUE(t.c().SetBtn.enabled());
    t.click(t.c().Del);
    EXPECT_FALSE(fs::exists(t.host.startFolder() / "a-shown.bmp"));
}

TEST(Close, LeavesWhatAnotherProgramCopiedSinceOurCopy) {
    FormFixture t;
    t.start({"a.jpg"});
    t.open(0);
    t.click(t.c().cpyBtn);
    t.host.otherProgramCopiesText();  // text from an editor
    t.click(t.c().Cls);
    EXPECT_EQ(t.host.unloaded, std::vector<std::string>{"Form1"});
    EXPECT_EQ(t.host.clipboardClears, 1);  // the copy's own clearing only
    EXPECT_TRUE(t.host.clipboardHasText);

    FormFixture other;
    other.start({});
    const Picture fromBrowser = solidPicture(8, 8, 0x2040ff);
    other.host.otherProgramCopies(fromBrowser);
    other.form->dispatch([&] { other.form->Form_MouseMove(); });
    other.click(other.c().pstBtn);  // pasting reads the picture; it stays the browser's
    other.click(other.c().Cls);
    EXPECT_EQ(other.host.unloaded, std::vector<std::string>{"Form1"});
    EXPECT_EQ(other.host.clipboardClears, 0);
    ASSERT_TRUE(other.host.clipboardPicture.has_value());
    EXPECT_EQ(*other.host.clipboardPicture, fromBrowser);
}

}  // namespace
}  // namespace pictavo::test
