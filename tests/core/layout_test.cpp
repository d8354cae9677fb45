// SPDX-License-Identifier: MIT
// Laying the window out when its size changes: the size guards, the places that follow the
// viewport, the scroll ranges that follow the picture, and the first status-bar panel.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "form/layout.h"
#include "support/core_test.h"

namespace {

struct Places {
    Place picture, hscroll, vscroll, dirs, files;
    bool operator==(const Places& o) const {
        auto same = [](const Place& a, const Place& b) {
            return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
        };
        return same(picture, o.picture) && same(hscroll, o.hscroll) && same(vscroll, o.vscroll) && same(dirs, o.dirs) &&
               same(files, o.files);
    }
};

Places places(FormControls& c) {
    return {c.Picture1.place(), c.HScroll1.place(), c.VScroll1.place(), c.dirList.place(), c.filList.place()};
}

class Layout : public ::testing::Test {
protected:
    FormFixture f;
    FormControls& c() { return f.c(); }
    void resize(float w, float h) {
        f.form->dispatch([&] { f.form->resize(w, h); });
    }
    // Opens a photo, which enables the three buttons that a short window takes away.
    void openPhoto() {
        f.open(0);
        ASSERT_TRUE(c().delBtn.enabled() && c().svcomBtn.enabled() && c().cpyBtn.enabled());
    }
    void SetUp() override {
        const fs::path start = f.host.startFolder();
        writePicture(start / "a.jpg", 20, 20);
        writePicture(start / "b.jpg", 374, 300);    // 5610 x 4500 twips
        writePicture(start / "fit.bmp", 243, 183);  // exactly the design viewport
        f.start({});
    }
};

}  // namespace

namespace {

// One row per window size: the places the layout gives, or none for a window too small to
// lay out. Each row is checked on the pure function and on the form after a resize.
struct LayoutRow {
    float width, height;
    std::optional<Places> expected;
};

void expectSamePlace(const Place& got, const Place& want, const char* what, const LayoutRow& row) {
    SCOPED_TRACE(testing::Message() << what << " at " << row.width << " x " << row.height);
    EXPECT_FLOAT_EQ(got.left, want.left);
    EXPECT_FLOAT_EQ(got.top, want.top);
    EXPECT_FLOAT_EQ(got.width, want.width);
    EXPECT_FLOAT_EQ(got.height, want.height);
}

void expectSamePlaces(const Places& got, const Places& want, const LayoutRow& row) {
    expectSamePlace(got.picture, want.picture, "viewport", row);
    expectSamePlace(got.hscroll, want.hscroll, "horizontal bar", row);
    expectSamePlace(got.vscroll, want.vscroll, "vertical bar", row);
    expectSamePlace(got.dirs, want.dirs, "folder list", row);
    expectSamePlace(got.files, want.files, "file list", row);
}

const LayoutRow kLayoutTable[] = {
    // The design window: the design viewport, and the bars overlapping its bottom and right
    // edges a little.
    {6450, 4365,
     Places{{2220, 420, 3645, 2745},
            {2220, 2745 + 390, 3645, 240},
            {3645 + 2200, 420, 255, 2745},
            {75, 720, 2025, 978},
            {60, 1718, 2055, 1467}}},
    // Larger: the viewport and the column grow, two fifths of it for the folders.
    {9000, 7000,
     Places{{2220, 420, 6195, 5380},
            {2220, 5770, 6195, 240},
            {8395, 420, 255, 5380},
            {75, 720, 2025, 2032},
            {60, 720 + 2032 + 20, 2055, 3048}}},
    // Short enough to take the buttons, still laid out.
    {6450, 4619,
     Places{{2220, 420, 3645, 2999},
            {2220, 3389, 3645, 240},
            {5845, 420, 255, 2999},
            {75, 720, 2025, 1079.6f},
            {60, 1819.6f, 2055, 1619.4f}}},
    // The smallest window that is laid out, and one twip less each way.
    {2806, 1921,
     Places{{2220, 420, 1, 301},
            {2220, 691, 1, 240},
            {2201, 420, 255, 301},
            {75, 720, 2025, 0.4f},
            {60, 740.4f, 2055, 0.6f}}},
    {2805, 8000, std::nullopt},
    {8000, 1920, std::nullopt},
};

}  // namespace

TEST_F(Layout, PlacesFollowTheWindowSizeAsTheTableSays) {
    for (const LayoutRow& row : kLayoutTable) {
        const std::optional<WindowLayout> layout = windowLayout(row.width, row.height);
        ASSERT_EQ(layout.has_value(), row.expected.has_value()) << row.width << " x " << row.height;
        // From another size first, so that the form must move every control.
        resize(7777, 6666);
        const Places before = places(c());
        resize(row.width, row.height);
        if (!row.expected) {
            expectSamePlaces(places(c()), before, row);
            continue;
        }
        expectSamePlaces({layout->picture, layout->hscroll, layout->vscroll, layout->folders, layout->files},
                         *row.expected, row);
        expectSamePlaces(places(c()), *row.expected, row);
    }
    // The top strip never moves.
    EXPECT_EQ(c().lstCnt.place().left, 2445);
    EXPECT_EQ(c().Slider1.place().left, 3870);
    EXPECT_EQ(c().drvList.place().top, 405);
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(Layout, TinyWindowsMoveNothingButStillTakeTheButtons) {
    openPhoto();
    const Places before = places(c());
    const std::string panel1 = c().StatusBar1.panel(1).text;
    resize(8000, 1920);
    EXPECT_TRUE(places(c()) == before);
    EXPECT_EQ(c().StatusBar1.panel(1).text, panel1);
    EXPECT_FALSE(c().delBtn.enabled());
    EXPECT_FALSE(c().svcomBtn.enabled());
    EXPECT_FALSE(c().cpyBtn.enabled());
    // The menu items stay as they were.
    EXPECT_TRUE(c().Del.enabled());
    EXPECT_TRUE(c().bmp.enabled());
    EXPECT_TRUE(c().Cpy.enabled());

    openPhoto();
    resize(2805, 8000);
    EXPECT_TRUE(places(c()) == before);
    EXPECT_TRUE(c().delBtn.enabled());  // tall enough

    // One twip more in each direction lays the window out.
    resize(2806, 1921);
    EXPECT_EQ(c().Picture1.place().width, 1);
    EXPECT_EQ(c().Picture1.place().height, 301);
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(Layout, AShortWindowTakesThreeButtonsAndATallerOneDoesNotGiveThemBack) {
    openPhoto();
    resize(6450, 4620);
    EXPECT_TRUE(c().delBtn.enabled());
    EXPECT_TRUE(c().svcomBtn.enabled());
    EXPECT_TRUE(c().cpyBtn.enabled());
    resize(6450, 4619);
    EXPECT_FALSE(c().delBtn.enabled());
    EXPECT_FALSE(c().svcomBtn.enabled());
    EXPECT_FALSE(c().cpyBtn.enabled());
    EXPECT_EQ(c().Picture1.place().height, 4619 - 1620);  // and still laid out
    resize(6450, 9000);
    EXPECT_FALSE(c().delBtn.enabled());
    EXPECT_FALSE(c().svcomBtn.enabled());
    EXPECT_FALSE(c().cpyBtn.enabled());
    EXPECT_TRUE(c().UnsetBtn.enabled());
}

TEST_F(Layout, ScrollBarsFollowTheViewportAroundTheSamePicture) {
    f.open(2);
    ASSERT_EQ(c().filList.fileName(), "fit.bmp");
    EXPECT_TRUE(c().HScroll1.visible());
    EXPECT_TRUE(c().VScroll1.visible());
    resize(6451, 4366);
    EXPECT_FALSE(c().HScroll1.visible());
    EXPECT_FALSE(c().VScroll1.visible());
    resize(6450, 4365);
    EXPECT_TRUE(c().HScroll1.visible());
    EXPECT_TRUE(c().VScroll1.visible());
    EXPECT_EQ(c().HScroll1.max(), 0);
    EXPECT_EQ(c().VScroll1.max(), 0);
    resize(6449, 4364);
    EXPECT_EQ(c().HScroll1.max(), 1);
    EXPECT_EQ(c().VScroll1.max(), 1);
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(Layout, AShrinkingRangePullsThePictureAlong) {
    // 5610 x 4500 twips in a viewport of 3610 x 2745: ranges of 2000 and 1755.
    resize(6415, 4365);
    f.open(1);
    ASSERT_EQ(c().HScroll1.max(), 2000);
    ASSERT_EQ(c().VScroll1.max(), 1755);
    f.form->dispatch([&] {
        c().HScroll1.userScrollTo(2000);
        c().VScroll1.userScrollTo(1755);
    });
    ASSERT_EQ(c().Image1.place().left, -2000);

    resize(7415, 5365);  // 1000 twips more each way
    EXPECT_EQ(c().HScroll1.max(), 1000);
    EXPECT_EQ(c().VScroll1.max(), 755);
    EXPECT_EQ(c().HScroll1.value(), 1000);
    EXPECT_EQ(c().VScroll1.value(), 755);
    EXPECT_EQ(c().Image1.place().left, -1000);
    EXPECT_EQ(c().Image1.place().top, -755);

    // Once the picture fits, it is back at the corner.
    resize(12000, 9000);
    EXPECT_FALSE(c().HScroll1.visible());
    EXPECT_FALSE(c().VScroll1.visible());
    EXPECT_EQ(c().Image1.place().left, 0);
    EXPECT_EQ(c().Image1.place().top, 0);
    EXPECT_TRUE(f.host.messages.empty());
}

// The first panel: the folder before any file was opened, then folder, separator and the
// selected name; at the root the separator doubles.
class StatusLine : public ::testing::Test {
protected:
    FormFixture f;
};

TEST_F(StatusLine, NamesTheFolderUntilAFileWasOpened) {
    writePicture(f.host.startFolder() / "a.jpg", 8, 8);
    fs::create_directory(f.host.startFolder() / "Sub");
    f.start({});
    auto& c = f.c();
    const std::string sep(1, f.host.files().Separator()), folder = c.dirList.path();
    auto resize = [&] { f.form->dispatch([&] { f.form->resize(7000, 5000); }); };

    resize();
    EXPECT_EQ(c.StatusBar1.panel(1).text, folder);
    f.open(0);
    c.StatusBar1.setPanelText(1, "a message of another command");
    resize();
    EXPECT_EQ(c.StatusBar1.panel(1).text, folder + sep + "a.jpg");

    f.form->dispatch([&] { c.dirList.setPath(f.host.files().Join(folder, "Sub")); });
    resize();
    EXPECT_EQ(c.StatusBar1.panel(1).text, f.host.files().Join(folder, "Sub") + sep);

    f.form->dispatch([&] { c.dirList.userOpen(0); });  // the root row
    resize();
    EXPECT_EQ(c.StatusBar1.panel(1).text, "//");
    EXPECT_TRUE(f.host.messages.empty());
}
