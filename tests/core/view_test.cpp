// SPDX-License-Identifier: MIT
// Opening the selected file: the path, the size text, the commands it offers, the viewport
// fit and panning, and the one message for every file that cannot be shown.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "form/rules.h"
#include "support/core_test.h"
#include "support/permissions.h"
#include "view/view.h"

namespace {

class View : public ::testing::Test {
protected:
    FormFixture f;
    fs::path start = f.host.startFolder();

    FormControls& c() { return f.c(); }
    std::string sep() const { return std::string(1, f.host.files().Separator()); }
    int row(const std::string& name) {
        const auto& names = c().filList.names();
        const auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end()) ADD_FAILURE() << "no file row " << name;
        return static_cast<int>(it - names.begin());
    }
    void open(const std::string& name) { f.open(row(name)); }
};

}  // namespace

TEST(SizeText, KilobytesOfAThousandBytesAndMegabytesOfAThousandKilobytes) {
    const std::vector<std::pair<std::int64_t, const char*>> cases{{0, "0.0KB"},
                                                                  {500, "0.5KB"},
                                                                  {999949, "999.9KB"},
                                                                  {1023999, "1,024.0KB"},
                                                                  {1024000, "1.0MB"},
                                                                  {1048576, "1.0MB"},
                                                                  {1536000, "1.5MB"},
                                                                  {12345678, "12.1MB"},
                                                                  {2147483647, "2,097.2MB"},
                                                                  {3221225472LL, "3,145.7MB"},
                                                                  {1024000000000LL, "1,000,000.0MB"}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(sizeText(bytes), text) << bytes;
}

TEST(ScrollRange, TheExcessRoundedHalfToEven) {
    EXPECT_EQ(scrollRange(3660, 3645.5f), 14);
    EXPECT_EQ(scrollRange(3660, 3644.5f), 16);
    EXPECT_EQ(scrollRange(3645, 3645), 0);
    EXPECT_EQ(scrollRange(3644.5f, 3645), 0);
    EXPECT_EQ(scrollRange(100, 3645), -3545);
    EXPECT_EQ(scrollRange(75000, 3645), 71355);  // beyond 16 bits
}

TEST_F(View, TheOpenedFileIsNamedByFolderSeparatorAndName) {
    writePicture(start / "a.jpg", 10, 10);
    f.start({});
    const std::string folder = c().dirList.path();
    open("a.jpg");
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(c().picPath, folder + sep() + "a.jpg");
    EXPECT_EQ(c().StatusBar1.panel(1).text, folder + sep() + "a.jpg");
    EXPECT_EQ(c().lstCnt.text(), "1/1");
    EXPECT_EQ(f.host.pointers, (std::vector<MousePointer>{MousePointer::Hourglass, MousePointer::Default}));
}

TEST_F(View, TheSizeOfTheFileGoesToTheStatusBar) {
    // Bytes after the end of a JPEG are ignored by the decoder, so padding sets the size.
    writePicture(start / "a.jpg", 10, 10);
    fs::copy_file(start / "a.jpg", start / "b.jpg");
    fs::resize_file(start / "a.jpg", 1023999);
    fs::resize_file(start / "b.jpg", 1024000);
    f.start({});
    open("a.jpg");
    EXPECT_EQ(c().filSize.text(), "1,024.0KB");
    EXPECT_EQ(c().StatusBar1.panel(2).text, "1,024.0KB");
    open("b.jpg");
    EXPECT_EQ(c().filSize.text(), "1.0MB");
    EXPECT_EQ(c().StatusBar1.panel(2).text, "1.0MB");
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(View, OnlyBmpInOneCaseMakesABitmap) {
    for (const char* name : {"x.bmp", "x.Bmp", "x.BMP", "y.jpg", "z.gif"}) writePicture(start / name, 12, 12);
    f.start({});
    for (const std::string name : {"x.bmp", "x.Bmp", "x.BMP", "y.jpg", "z.gif", "x.bmp"}) {
        SCOPED_TRACE(name);
        open(name);
        ASSERT_TRUE(f.host.messages.empty());
        const bool bitmap = name == "x.bmp" || name == "x.BMP";
        EXPECT_EQ(c().svcomBtn.enabled(), !bitmap);
        EXPECT_EQ(c().bmp.enabled(), !bitmap);
        EXPECT_EQ(c().SetBtn.enabled(), bitmap);
        for (Control* on : std::initializer_list<Control*>{&c().renm, &c().delBtn, &c().Del, &c().cpyBtn, &c().Cpy})
            EXPECT_TRUE(on->enabled()) << on->name();
        EXPECT_FALSE(c().stpBtn.enabled());
        EXPECT_FALSE(c().Timer1.enabled());
    }
}

TEST_F(View, TheLastFileOfTheListDisablesPlayAndTheSlider) {
    for (const char* name : {"1.jpg", "2.jpg", "10.jpg"}) writePicture(start / name, 8, 8);
    f.start({});
    open("10.jpg");
    EXPECT_EQ(c().lstCnt.text(), "3/3");
    EXPECT_FALSE(c().autoRn.enabled());
    EXPECT_FALSE(c().Slider1.enabled());
    open("2.jpg");
    EXPECT_EQ(c().lstCnt.text(), "2/3");
    EXPECT_TRUE(c().autoRn.enabled());
    EXPECT_TRUE(c().Slider1.enabled());
    open("10.jpg");
    EXPECT_FALSE(c().autoRn.enabled());
    EXPECT_FALSE(c().Slider1.enabled());
}

TEST_F(View, DuringAShowOnlyCopyAndTheWallPaperOfABitmapAreOffered) {
    for (const char* name : {"a.bmp", "b.jpg", "c.jpg"}) writePicture(start / name, 8, 8);
    f.start({});
    open("b.jpg");
    // What Play leaves: the show running, Play off, the slider on.
    c().Timer1.setEnabled(true);
    c().stpBtn.setEnabled(true);
    c().autoRn.setEnabled(false);
    for (const std::string name : {"c.jpg", "a.bmp"}) {
        SCOPED_TRACE(name);
        open(name);
        ASSERT_TRUE(f.host.messages.empty());
        for (Control* off :
             std::initializer_list<Control*>{&c().svcomBtn, &c().bmp, &c().renm, &c().delBtn, &c().Del, &c().autoRn})
            EXPECT_FALSE(off->enabled()) << off->name();
        for (Control* on :
             std::initializer_list<Control*>{&c().cpyBtn, &c().Cpy, &c().Slider1, &c().stpBtn, &c().Timer1})
            EXPECT_TRUE(on->enabled()) << on->name();
        EXPECT_EQ(c().SetBtn.enabled(), name == "a.bmp");
    }
}

TEST_F(View, APictureAsLargeAsTheViewportShowsBothBarsWithNoRange) {
    // The viewport is 3645 x 2745 twips: 243 x 183 pixels at 15 twips a pixel.
    writePicture(start / "fit.bmp", 243, 183);
    f.start({});
    open("fit.bmp");
    EXPECT_TRUE(c().HScroll1.visible());
    EXPECT_TRUE(c().VScroll1.visible());
    EXPECT_EQ(c().HScroll1.max(), 0);
    EXPECT_EQ(c().VScroll1.max(), 0);
    EXPECT_EQ(c().Image1.place().left, 0);
    EXPECT_EQ(c().Image1.place().top, 0);

    // A viewport one twip larger than the picture hides both.
    c().Picture1.setWidth(3646);
    c().Picture1.setHeight(2746);
    open("fit.bmp");
    EXPECT_FALSE(c().HScroll1.visible());
    EXPECT_FALSE(c().VScroll1.visible());
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(View, AWidePictureIsPannedToItsEndAndANewOneStartsAtTheCorner) {
    // A viewport of 3610 twips and a picture of 374 pixels (5610 twips): 2000 twips more.
    writePicture(start / "wide.jpg", 374, 200);
    writePicture(start / "zz.jpg", 374, 200);
    f.start({});
    f.form->dispatch([&] { f.form->resize(6415, 4365); });
    ASSERT_EQ(c().Picture1.place().width, 3610);
    open("wide.jpg");
    ASSERT_TRUE(c().HScroll1.visible());
    EXPECT_EQ(c().HScroll1.max(), 2000);
    EXPECT_EQ(c().VScroll1.max(), 3000 - 2745);

    f.form->dispatch([&] { c().HScroll1.userScrollTo(2000); });
    EXPECT_EQ(c().Image1.place().left, -2000);
    f.form->dispatch([&] { c().HScroll1.userScrollTo(2000 + 300); });  // the track past the end
    EXPECT_EQ(c().HScroll1.value(), 2000);
    EXPECT_EQ(c().Image1.place().left, -2000);
    f.form->dispatch([&] { c().VScroll1.userScrollTo(c().VScroll1.value() + c().VScroll1.smallChange()); });
    EXPECT_EQ(c().Image1.place().top, -50);

    open("zz.jpg");
    EXPECT_EQ(c().HScroll1.value(), 0);
    EXPECT_EQ(c().VScroll1.value(), 0);
    EXPECT_EQ(c().Image1.place().left, 0);
    EXPECT_EQ(c().Image1.place().top, 0);
    EXPECT_TRUE(f.host.messages.empty());
}

TEST(BigPictures, TwentyMegapixelsOpenAndPanToTheFarCorner) {
    // 75000 x 60000 twips: far beyond a 16-bit scroll range.
    FormFixture f;
    writePicture(f.host.startFolder() / "big.jpg", 5000, 4000);
    f.start({});
    f.open(0);
    ASSERT_TRUE(f.host.messages.empty());
    auto& c = f.c();
    EXPECT_EQ(c.Image1.picture().widthPx(), 5000);
    EXPECT_EQ(c.HScroll1.max(), 75000 - 3645);
    EXPECT_EQ(c.VScroll1.max(), 60000 - 2745);
    EXPECT_TRUE(c.cpyBtn.enabled());
    EXPECT_TRUE(c.delBtn.enabled());
    f.form->dispatch([&] {
        c.HScroll1.userScrollTo(c.HScroll1.max());
        c.VScroll1.userScrollTo(c.VScroll1.max());
    });
    EXPECT_EQ(c.Image1.place().left, -71355);
    EXPECT_EQ(c.Image1.place().top, -57255);
    EXPECT_TRUE(f.host.messages.empty());
}

// --- files that cannot be shown --------------------------------------------------------------

namespace {

std::string le32(std::uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// A bitmap header that claims 100000 x 100000 pixels at 24 bits and carries no pixels.
std::string hugeBitmapHeader() {
    std::string h = "BM" + le32(54) + le32(0) + le32(54);
    h += le32(40) + le32(100000) + le32(100000);
    h += std::string("\x01\x00\x18\x00", 4);  // planes, bits per pixel
    h += le32(0) + le32(0) + le32(2835) + le32(2835) + le32(0) + le32(0);
    return h;
}

std::string noise(std::size_t n) {
    std::mt19937 rng(42);
    std::string s(n, '\0');
    for (auto& ch : s) ch = static_cast<char>(rng());
    return s;
}

struct BadFile {
    const char* label;
    const char* name;                                    // the row clicked; nullptr: the selection is cleared instead
    std::function<void(const fs::path& folder)> before;  // before the list is read
    std::function<void(const fs::path& folder)> after;   // after it is read, before the click
    bool needsPermissions = false;
};

const BadFile kBadFiles[] = {
    {"Empty", "b.jpg", [](const fs::path& d) { writeBytes(d / "b.jpg", ""); }, nullptr},
    {"RandomBytes", "b.gif", [](const fs::path& d) { writeBytes(d / "b.gif", noise(4096)); }, nullptr},
    {"TruncatedJpeg", "b.jpg",
     [](const fs::path& d) {
         writePicture(d / "whole.tmp.jpg", 200, 150);
         const std::string bytes = readBytes(d / "whole.tmp.jpg");
         fs::remove(d / "whole.tmp.jpg");
         // Cut inside the compressed data: the decoder alone would fill the rest with grey.
         writeBytes(d / "b.jpg", bytes.substr(0, bytes.size() - 20));
     },
     nullptr},
    {"HugeBitmapHeader", "b.bmp", [](const fs::path& d) { writeBytes(d / "b.bmp", hugeBitmapHeader()); }, nullptr},
    {"ReplacedByAFolder", "b.jpg", [](const fs::path& d) { writePicture(d / "b.jpg", 8, 8); },
     [](const fs::path& d) {
         fs::remove(d / "b.jpg");
         fs::create_directory(d / "b.jpg");
     }},
    {"DeletedAfterListing", "b.jpg", [](const fs::path& d) { writePicture(d / "b.jpg", 8, 8); },
     [](const fs::path& d) { fs::remove(d / "b.jpg"); }},
    {"NoReadPermission", "b.jpg",
     [](const fs::path& d) {
         writePicture(d / "b.jpg", 8, 8);
         fs::permissions(d / "b.jpg", fs::perms::none);
     },
     nullptr, true},
    {"NothingSelected", nullptr, nullptr, nullptr},
};

class Unshowable : public ::testing::TestWithParam<int> {
protected:
    const BadFile& bad = kBadFiles[GetParam()];
    FormFixture f;
};

}  // namespace

TEST_P(Unshowable, EndsInOneMessageWithThePreviousPictureKeptAndTheShowStopped) {
    const PermissionsEnforced enforced;
    if (bad.needsPermissions && !enforced.active()) GTEST_SKIP() << "permission checks cannot be enforced here";
    const fs::path start = f.host.startFolder();
    writePicture(start / "a.jpg", 50, 40);
    writePicture(start / "c.jpg", 8, 8);
    if (bad.before) bad.before(start);
    f.start({});
    auto& c = f.c();
    f.open(0);
    ASSERT_TRUE(f.host.messages.empty());
    ASSERT_EQ(c.filList.fileName(), "a.jpg");
    c.Timer1.setEnabled(true);  // a show is running
    c.stpBtn.setEnabled(true);
    c.autoRn.setEnabled(false);

    const Picture shown = c.Image1.picture();
    const std::string count = c.lstCnt.text(), size = c.filSize.text(), panel1 = c.StatusBar1.panel(1).text,
                      panel2 = c.StatusBar1.panel(2).text;
    const bool svcom = c.svcomBtn.enabled(), bmp = c.bmp.enabled(), set = c.SetBtn.enabled(), renm = c.renm.enabled(),
               slider = c.Slider1.enabled();
    std::vector<std::pair<std::string, std::string>> files;
    if (bad.after) bad.after(start);
    for (const auto& e : fs::directory_iterator(start))
        if (e.is_regular_file()) files.emplace_back(e.path().filename(), readBytes(e.path()));
    f.host.pointers.clear();

    std::string expectedPath = c.dirList.path() + std::string(1, f.host.files().Separator());
    if (bad.name) {
        const auto& names = c.filList.names();
        const auto it = std::find(names.begin(), names.end(), bad.name);
        ASSERT_NE(it, names.end());
        f.open(static_cast<int>(it - names.begin()));
        expectedPath += bad.name;
    } else {
        f.form->dispatch([&] { c.filList.setListIndex(-1); });
    }

    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].prompt, kLoadFailedMessage);
    EXPECT_EQ(f.host.messages[0].prompt, "ファイルを正常にロードできませんでした");
    EXPECT_EQ(f.host.messages[0].flags, MsgFlags::OkOnly);
    EXPECT_FALSE(f.host.messages[0].title.has_value());
    EXPECT_EQ(c.picPath, expectedPath);  // names what failed
    ASSERT_FALSE(f.host.pointers.empty());
    EXPECT_EQ(f.host.pointers.back(), MousePointer::Default);

    // The previous picture stays, with everything that describes it.
    EXPECT_EQ(c.Image1.picture(), shown);
    EXPECT_EQ(c.lstCnt.text(), count);
    EXPECT_EQ(c.filSize.text(), size);
    EXPECT_EQ(c.StatusBar1.panel(1).text, panel1);
    EXPECT_EQ(c.StatusBar1.panel(2).text, panel2);
    // The show stops; nothing may be deleted or copied.
    for (Control* off :
         std::initializer_list<Control*>{&c.Timer1, &c.stpBtn, &c.delBtn, &c.Del, &c.cpyBtn, &c.Cpy, &c.autoRn})
        EXPECT_FALSE(off->enabled()) << off->name();
    EXPECT_EQ(c.svcomBtn.enabled(), svcom);
    EXPECT_EQ(c.bmp.enabled(), bmp);
    EXPECT_EQ(c.SetBtn.enabled(), set);
    EXPECT_EQ(c.renm.enabled(), renm);
    EXPECT_EQ(c.Slider1.enabled(), slider);
    // No file was harmed.
    for (const auto& [name, bytes] : files) EXPECT_EQ(readBytes(start / name), bytes) << name;
}

INSTANTIATE_TEST_SUITE_P(BadFiles, Unshowable, ::testing::Range(0, static_cast<int>(std::size(kBadFiles))),
                         [](const auto& info) { return std::string(kBadFiles[info.param].label); });
