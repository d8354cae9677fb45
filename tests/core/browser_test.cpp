// SPDX-License-Identifier: MIT
// The drive, folder and file lists: what the file list shows, and what a change of drive or
// folder does to the counters and the commands while a picture stays in view.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/core_test.h"
#include "support/permissions.h"

namespace {

// Enabled states of every command, to tell what a step changed.
std::vector<std::pair<std::string, bool>> commandStates(FormControls& c) {
    std::vector<std::pair<std::string, bool>> out;
    for (Control* k :
         std::initializer_list<Control*>{&c.svcomBtn, &c.delBtn, &c.cpyBtn, &c.pstBtn, &c.SetBtn, &c.UnsetBtn,
                                         &c.autoRn, &c.stpBtn, &c.Slider1, &c.Timer1, &c.bmp, &c.renm, &c.Del, &c.Cpy})
        out.emplace_back(k->name(), k->enabled());
    return out;
}

class Browser : public ::testing::Test {
protected:
    FormFixture f;
    fs::path start = f.host.startFolder();

    FormControls& c() { return f.c(); }
    int folderRow(const std::string& name) {
        const auto& rows = c().dirList.rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!rows[i].open && rows[i].name == name) return static_cast<int>(i);
        ADD_FAILURE() << "no folder row " << name;
        return -1;
    }
    int fileRow(const std::string& name) {
        const auto& names = c().filList.names();
        const auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end()) ADD_FAILURE() << "no file row " << name;
        return static_cast<int>(it - names.begin());
    }
    void openFolder(const std::string& name) {
        f.form->dispatch([&] { c().dirList.userOpen(folderRow(name)); });
    }
    void clickFolder(const std::string& name) {
        f.form->dispatch([&] { c().dirList.userSelect(folderRow(name)); });
    }
    // What Play does to the states, without running the show.
    void showRunning() {
        c().Timer1.setEnabled(true);
        c().stpBtn.setEnabled(true);
        c().autoRn.setEnabled(false);
    }
    static std::string offlineDrive() { return "/media/pictavo-offline"; }
};

}  // namespace

TEST_F(Browser, ListsMatchingNamesInNaturalOrderWithoutHiddenOnesOrFolders) {
    for (const char* name : {"IMG_0001.JPG", "x.jpeg", "photo.jpg.bak", ".a.jpg", "img10.jpg", "img2.jpg", "b.GIF",
                             "a.bmp", "notes.txt", "jpg"})
        writeBytes(start / name, "");
    fs::create_directory(start / "x.jpg");
    fs::create_directory(start / ".hidden");
    fs::create_directory(start / "Sub");
    f.start({});

    EXPECT_EQ(c().filList.names(),
              (std::vector<std::string>{"a.bmp", "b.GIF", "img2.jpg", "img10.jpg", "IMG_0001.JPG", "photo.jpg.bak"}));
    EXPECT_EQ(c().lstCnt.text(), "0/6");
    std::vector<std::string> folders;
    for (const auto& row : c().dirList.rows())
        if (!row.open) folders.push_back(row.name);
    EXPECT_EQ(folders, (std::vector<std::string>{"Sub", "x.jpg"}));
}

TEST_F(Browser, AFolderWithoutPicturesCountsZeroOfZero) {
    writePicture(start / "a.jpg", 8, 8);
    fs::create_directory(start / "Empty");
    writeBytes(start / "Empty" / "readme.txt", "");
    f.start({});
    f.open(0);
    openFolder("Empty");
    EXPECT_EQ(c().filList.listCount(), 0);
    EXPECT_EQ(c().lstTotal, "0");
    EXPECT_EQ(c().lstPos, "0");
    EXPECT_EQ(c().lstCnt.text(), "0/0");
    EXPECT_FALSE(c().autoRn.enabled());
    EXPECT_FALSE(c().Slider1.enabled());
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(Browser, AFolderChangeStopsTheShowAndDisablesOnlyWhatNeedsAFile) {
    for (const char* name : {"a.jpg", "b.jpg", "c.bmp"}) writePicture(start / name, 300, 250);
    fs::create_directory(start / "Sub");
    writePicture(start / "Sub" / "1.jpg", 8, 8);
    writePicture(start / "Sub" / "2.jpg", 8, 8);
    f.start({});
    auto& k = c();
    const std::string parent = k.dirList.path();

    for (const std::string shown : {"a.jpg", "c.bmp"}) {
        SCOPED_TRACE(shown);
        f.form->dispatch([&] { k.dirList.setPath(parent); });
        f.open(fileRow(shown));
        ASSERT_TRUE(f.host.messages.empty());
        ASSERT_TRUE(k.delBtn.enabled());
        showRunning();
        const bool bitmap = shown == "c.bmp";
        const Picture picture = k.Image1.picture();
        const std::string picPath = k.picPath, panel1 = k.StatusBar1.panel(1).text, panel2 = k.StatusBar1.panel(2).text,
                          size = k.filSize.text();
        const bool hVisible = k.HScroll1.visible(), vVisible = k.VScroll1.visible();

        openFolder("Sub");

        EXPECT_EQ(k.dirList.path(), f.host.files().Join(parent, "Sub"));
        EXPECT_EQ(k.filList.names(), (std::vector<std::string>{"1.jpg", "2.jpg"}));
        EXPECT_EQ(k.lstCnt.text(), "0/2");
        // Changed: everything that needs a selected file, and the show.
        for (Control* off :
             std::initializer_list<Control*>{&k.delBtn, &k.Del, &k.Cpy, &k.autoRn, &k.Slider1, &k.stpBtn, &k.Timer1})
            EXPECT_FALSE(off->enabled()) << off->name();
        // Kept: the commands that act on the picture still in view. The copy button and
        // its menu item now disagree.
        EXPECT_TRUE(k.cpyBtn.enabled());
        EXPECT_FALSE(k.Cpy.enabled());
        EXPECT_EQ(k.svcomBtn.enabled(), !bitmap);
        EXPECT_EQ(k.bmp.enabled(), !bitmap);
        EXPECT_EQ(k.SetBtn.enabled(), bitmap);
        EXPECT_TRUE(k.renm.enabled());
        EXPECT_TRUE(k.UnsetBtn.enabled());
        EXPECT_EQ(k.Image1.picture(), picture);
        EXPECT_EQ(k.picPath, picPath);
        EXPECT_EQ(k.filSize.text(), size);
        EXPECT_EQ(k.StatusBar1.panel(1).text, panel1);
        EXPECT_EQ(k.StatusBar1.panel(2).text, panel2);
        EXPECT_EQ(k.HScroll1.visible(), hVisible);
        EXPECT_EQ(k.VScroll1.visible(), vVisible);
        EXPECT_TRUE(f.host.messages.empty());
    }
}

TEST_F(Browser, ASingleClickOnAFolderRecountsTheOpenFolder) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) writePicture(start / name, 8, 8);
    fs::create_directory(start / "Sub");
    f.start({});
    f.open(1);
    EXPECT_EQ(c().lstCnt.text(), "2/3");
    showRunning();
    const std::string folder = c().dirList.path();
    writePicture(start / "d.jpg", 8, 8);  // arrives meanwhile

    const int sub = folderRow("Sub");
    clickFolder("Sub");
    EXPECT_EQ(c().dirList.path(), folder);
    EXPECT_EQ(c().dirList.selectedRow(), sub);
    EXPECT_EQ(c().lstCnt.text(), "0/4");
    EXPECT_EQ(c().filList.listIndex(), -1);
    EXPECT_FALSE(c().Timer1.enabled());
    EXPECT_FALSE(c().stpBtn.enabled());
    EXPECT_FALSE(c().delBtn.enabled());
    EXPECT_TRUE(c().cpyBtn.enabled());

    // Opening it is another matter.
    openFolder("Sub");
    EXPECT_EQ(c().dirList.path(), f.host.files().Join(folder, "Sub"));
    EXPECT_EQ(c().lstCnt.text(), "0/0");
}

TEST_F(Browser, ADriveThatIsNotReadyPutsThePreviousDriveBackSilently) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) writePicture(start / name, 8, 8);
    f.start({});
    f.open(1);
    showRunning();
    const std::string drive = c().drvList.drive(), folder = c().dirList.path();
    const auto names = c().filList.names();

    f.form->dispatch([&] { c().drvList.setDrive(offlineDrive()); });

    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(c().drvList.drive(), drive);
    EXPECT_EQ(c().dirList.path(), folder);
    EXPECT_EQ(c().filList.path(), folder);
    EXPECT_EQ(c().filList.names(), names);
    EXPECT_EQ(c().lstCnt.text(), "2/3");
    EXPECT_FALSE(c().Timer1.enabled());
    EXPECT_FALSE(c().stpBtn.enabled());
    // The folder did not change, so nothing else did either.
    EXPECT_TRUE(c().delBtn.enabled());
    EXPECT_TRUE(c().Cpy.enabled());
}

TEST_F(Browser, AFolderThatCannotBeReadIsReportedOnceAndChangesNothing) {
    for (const char* name : {"a.jpg", "b.jpg"}) writePicture(start / name, 8, 8);
    fs::create_directory(start / "Gone");
    f.start({});
    f.open(0);
    const auto states = commandStates(c());
    const std::string folder = c().dirList.path(), count = c().lstCnt.text();
    const auto names = c().filList.names();

    fs::remove(start / "Gone");
    openFolder("Gone");

    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].flags, MsgFlags::OkOnly);
    EXPECT_EQ(c().dirList.path(), folder);
    EXPECT_EQ(c().filList.path(), folder);
    EXPECT_EQ(c().filList.names(), names);
    EXPECT_EQ(c().filList.listIndex(), 0);
    EXPECT_EQ(c().lstCnt.text(), count);
    EXPECT_EQ(commandStates(c()), states);
}

TEST_F(Browser, AFolderWithoutReadPermissionIsReportedOnceAndChangesNothing) {
    const PermissionsEnforced enforced;
    if (!enforced.active()) GTEST_SKIP() << "permission checks cannot be enforced here";
    writePicture(start / "a.jpg", 8, 8);
    fs::create_directory(start / "Locked");
    writePicture(start / "Locked" / "x.jpg", 8, 8);
    fs::permissions(start / "Locked", fs::perms::none);
    f.start({});
    f.open(0);
    const auto states = commandStates(c());
    const std::string folder = c().dirList.path();

    openFolder("Locked");

    EXPECT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(c().dirList.path(), folder);
    EXPECT_EQ(c().filList.path(), folder);
    EXPECT_EQ(c().lstCnt.text(), "1/1");
    EXPECT_EQ(commandStates(c()), states);
}

TEST_F(Browser, NamesThatAreNotUtf8AreListedAndOpenedByTheirBytes) {
    const std::string latin1 = "caf\xe9.jpg", broken = "\xff\xfe-\xc3.bmp";
    // Written under plain names first: the picture writer takes names as Unicode.
    writePicture(start / "1.jpg", 6, 5);
    writePicture(start / "2.bmp", 7, 4);
    fs::rename(start / "1.jpg", start / latin1);
    fs::rename(start / "2.bmp", start / broken);
    f.start({});
    ASSERT_EQ(c().filList.listCount(), 2);
    for (const auto& name : {latin1, broken}) {
        f.open(fileRow(name));
        EXPECT_EQ(c().filList.fileName(), name);
        EXPECT_EQ(c().picPath, f.host.files().Join(c().dirList.path(), name));
        EXPECT_FALSE(c().Image1.picture().isNull());
    }
    EXPECT_EQ(c().Image1.picture().widthPx(), 7);
    EXPECT_TRUE(c().SetBtn.enabled());
    EXPECT_TRUE(f.host.messages.empty());
}

TEST(Drives, EachDriveOpensTheFolderLastOpenedOnIt) {
    FormFixture f;
    const std::string usb = f.host.addDrive("usb", "USB");
    writePicture(fs::path(usb) / "p.gif", 4, 4);
    fs::create_directory(fs::path(usb) / "trip");
    f.start({});
    auto& c = f.c();
    f.form->dispatch([&] { c.drvList.setDrive(usb); });
    EXPECT_EQ(c.drvList.drive(), usb);
    EXPECT_EQ(c.dirList.path(), usb);
    EXPECT_EQ(c.filList.names(), std::vector<std::string>{"p.gif"});
    EXPECT_EQ(c.lstCnt.text(), "0/1");
    f.form->dispatch([&] { c.dirList.setPath(f.host.files().Join(usb, "trip")); });
    f.form->dispatch([&] { c.drvList.setDrive("/"); });
    EXPECT_EQ(c.dirList.path(), f.host.hostPath(f.host.startFolder()));
    EXPECT_EQ(c.lstCnt.text(), "0/0");
    f.form->dispatch([&] { c.drvList.setDrive(usb); });
    EXPECT_EQ(c.dirList.path(), f.host.files().Join(usb, "trip"));
    // The drive's own row in the folder list opens its root, not the folder last opened
    // there, though both are named by the same text; so does the row of "/".
    f.form->dispatch([&] { c.dirList.userOpen(0); });
    EXPECT_EQ(c.dirList.path(), usb);
    EXPECT_EQ(c.filList.names(), std::vector<std::string>{"p.gif"});
    f.form->dispatch([&] { c.drvList.setDrive("/"); });
    f.form->dispatch([&] { c.dirList.userOpen(0); });
    EXPECT_EQ(c.dirList.path(), "/");
    EXPECT_TRUE(f.host.messages.empty());
}

TEST(LargeFolders, CountsAndPositionsBeyondSixteenBits) {
    // A start folder with 32767 names ahead of its one real picture: the last position no
    // longer fits a 16-bit count. The names are links to one empty file, far quicker to
    // make than as many files.
    pictavo::test::TestHost host;
    const fs::path first = host.startFolder() / "p1.jpg";
    std::ofstream(first).flush();
    for (int i = 2; i < 32768; ++i)
        fs::create_hard_link(first, host.startFolder() / std::string("p").append(std::to_string(i)).append(".jpg"));
    writePicture(host.startFolder() / "p32768.jpg", 4, 4);
    Form1 form(host);
    form.dispatch([&] { form.Form_Load(); });
    form.dispatch([&] { form.resize(6450, 4365); });
    EXPECT_EQ(form.c.lstCnt.text(), "0/32768");
    form.dispatch([&] { form.c.filList.userClick(32767); });
    EXPECT_EQ(form.c.filList.fileName(), "p32768.jpg");
    EXPECT_EQ(form.c.lstCnt.text(), "32768/32768");
    EXPECT_FALSE(form.c.autoRn.enabled());
    EXPECT_TRUE(form.c.delBtn.enabled());
    EXPECT_TRUE(host.messages.empty());
}
