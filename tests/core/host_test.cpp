// SPDX-License-Identifier: MIT
// The file services under the handlers: paths, Dir, FileLen, Kill, saving bitmaps,
// telling whole JPEG files from cut ones, and the order and pattern of the file list.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "files/natural_order.h"
#include "files/wildcard.h"
#include "imaging/jpeg_check.h"
#include "support/core_test.h"
#include "support/permissions.h"

namespace {

std::string jpegBytes(int w, int h, bool noise, bool progressive = false) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, noise ? rng() : 0xff808080u);
    return pictavo::test::jpegOf(image, progressive).toStdString();
}

bool complete(const std::string& bytes) {
    return pictavo::jpegIsComplete(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

bool hasSaveLeftovers(const fs::path& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().native().rfind(".pictavo-save-", 0) == 0) return true;
    return false;
}

}  // namespace

// --- paths ---------------------------------------------------------------------------------

TEST(Paths, FoldersAreNormalisedTheWayTheFolderListShowsThem) {
    TestHost host;
    const std::string start = host.hostPath(host.startFolder());
    fs::create_directories(host.startFolder() / "Web");
    const std::vector<std::pair<std::string, std::string>> cases{
        {start + "/", start}, {start + "/Web/.././", start}, {start + "//Web//", start + "/Web"}, {"/../..", "/"},
        {"/", "/"},
    };
    for (const auto& [asked, opened] : cases) EXPECT_EQ(host.files().OpenFolder(asked), opened) << asked;
    for (const std::string& bad : {start + "/NoSuchFolder", std::string("Pictures"), std::string()})
        EXPECT_THROW(host.files().OpenFolder(bad), HostError) << bad;
}

TEST(Paths, DriveTextsAndCurrentFolders) {
    TestHost host;
    const std::string usb = host.addDrive("usb", "USB");
    const std::string trip = host.files().Join(usb, "trip");
    fs::create_directory(trip);
    // The deepest mount point holds a path; a name that only starts like one is not on it.
    EXPECT_EQ(host.files().DriveOf(trip + "/a.jpg"), usb);
    EXPECT_EQ(host.files().DriveOf(usb + "x/a.jpg"), "/");
    EXPECT_EQ(host.files().DriveOf("/"), "/");
    EXPECT_TRUE(host.files().IsDriveText(usb));
    EXPECT_FALSE(host.files().IsDriveText(trip));
    EXPECT_EQ(host.files().DriveLabel(usb), usb + " [USB]");

    EXPECT_EQ(host.files().CurrentFolder(usb), usb);
    host.files().SetCurrentFolder(trip + "/");
    EXPECT_EQ(host.files().CurrentFolder(usb), trip);
    EXPECT_EQ(host.files().OpenFolder(usb), trip);
    // A remembered folder that has gone falls back to its drive's root.
    fs::remove_all(trip);
    EXPECT_EQ(host.files().CurrentFolder(usb), usb);
}

TEST(Paths, JoinsAndChainsFromTheRoot) {
    TestHost host;
    const std::string usb = host.addDrive("usb", "USB");
    EXPECT_EQ(host.files().Join("/", "a.bmp"), "/a.bmp");
    EXPECT_EQ(host.files().Join(usb, "a.bmp"), usb + "/a.bmp");
    EXPECT_EQ(host.files().FolderChain(usb + "/trip/.."), (std::vector<std::string>{usb}));
    EXPECT_EQ(host.files().FolderChain(usb + "/trip"), (std::vector<std::string>{usb, usb + "/trip"}));
    EXPECT_EQ(host.files().FolderChain("/tmp"), (std::vector<std::string>{"/", "/tmp"}));
    EXPECT_EQ(host.hostPath(fs::path(usb) / "trip" / ""), usb + "/trip");
}

// --- Dir, FileLen, Kill --------------------------------------------------------------------

class FileServices : public ::testing::Test {
protected:
    TestHost host;
    fs::path folder = host.startFolder();
    std::string at(const std::string& name) { return host.files().Join(host.hostPath(folder), name); }
};

TEST_F(FileServices, DirNamesOnlyNormalFiles) {
    writeBytes(folder / "a.jpg", "x");
    writeBytes(folder / ".hidden.jpg", "x");
    fs::create_directory(folder / "sub.jpg");
    EXPECT_EQ(host.files().Dir(at("a.jpg")), "a.jpg");
    EXPECT_EQ(host.files().Dir(at(".hidden.jpg")), ".hidden.jpg");  // hidden from the list, not from Dir
    EXPECT_EQ(host.files().Dir(at("sub.jpg")), "");
    EXPECT_EQ(host.files().Dir(at("missing.jpg")), "");
    EXPECT_EQ(host.files().Dir(at("a.jpg") + host.files().Separator() + "b.jpg"), "");  // a file is no folder
}

TEST_F(FileServices, FileLenCountsBytesBeyondTwoGigabytes) {
    writeBytes(folder / "five.jpg", "12345");
    EXPECT_EQ(host.files().FileLen(at("five.jpg")), 5);
    // A sparse file costs nothing on disk.
    { std::ofstream(folder / "big.jpg"); }
    fs::resize_file(folder / "big.jpg", 3221225472ULL);
    EXPECT_EQ(host.files().FileLen(at("big.jpg")), 3221225472LL);
    EXPECT_THROW((void)host.files().FileLen(at("missing.jpg")), HostError);
}

TEST_F(FileServices, KillDeletesFilesOnly) {
    writeBytes(folder / "a.jpg", "x");
    fs::create_directory(folder / "sub.jpg");
    host.files().Kill(at("a.jpg"));
    EXPECT_FALSE(fs::exists(folder / "a.jpg"));
    EXPECT_THROW(host.files().Kill(at("a.jpg")), HostError);
    EXPECT_THROW(host.files().Kill(at("sub.jpg")), HostError);
    EXPECT_TRUE(fs::is_directory(folder / "sub.jpg"));
}

// --- saving bitmaps ------------------------------------------------------------------------

TEST_F(FileServices, SavePictureWritesABitmapWhateverTheName) {
    writePicture(folder / "old.jpg", 8, 8);
    host.files().SavePicture(solidPicture(20, 10, 0x20a040), at("old.jpg"));
    const std::string bytes = readBytes(folder / "old.jpg");
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    const Picture back = host.pictures().open(host.real(at("old.jpg")));
    EXPECT_EQ(back.widthPx(), 20);
    EXPECT_EQ(back.heightPx(), 10);
    EXPECT_EQ(back.image()->pixel(3, 3) & 0xffffffu, 0x20a040u);
    EXPECT_FALSE(hasSaveLeftovers(folder));
}

TEST_F(FileServices, AFailedSaveLeavesTheOldFileAndNoLeftovers) {
    writeBytes(folder / "keep.bmp", "old contents");
    fs::create_directory(folder / "dir.bmp");
    writeBytes(folder / "dir.bmp" / "inner.jpg", "x");

    EXPECT_THROW(host.files().SavePicture(solidPicture(4, 4), at("dir.bmp")), HostError);
    EXPECT_TRUE(fs::is_directory(folder / "dir.bmp"));
    EXPECT_EQ(readBytes(folder / "dir.bmp" / "inner.jpg"), "x");
    EXPECT_THROW(host.files().SavePicture(solidPicture(4, 4), at("nowhere") + host.files().Separator() + "x.bmp"),
                 HostError);
    EXPECT_THROW(host.files().SavePicture(Picture(), at("keep.bmp")), HostError);

    // A write that stops half way (a full disk) is the save command's test.
    EXPECT_EQ(readBytes(folder / "keep.bmp"), "old contents");
    EXPECT_FALSE(hasSaveLeftovers(folder));
}

TEST_F(FileServices, SaveIntoAReadOnlyFolderFailsCleanly) {
    const PermissionsEnforced enforced;
    if (!enforced.active()) GTEST_SKIP() << "permission checks cannot be enforced here";
    writeBytes(folder / "keep.bmp", "old contents");
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(host.files().SavePicture(solidPicture(4, 4), at("keep.bmp")), HostError);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(readBytes(folder / "keep.bmp"), "old contents");
}

// --- whole and cut JPEG files --------------------------------------------------------------

TEST(JpegCheck, EveryCutOfAWholeFileIsIncomplete) {
    // Noise makes stuffed 0xFF00 bytes in the compressed data. A camera's thumbnail is a
    // whole JPEG, end marker included, inside an APP1 segment near the start.
    const std::string thumbnail = jpegBytes(8, 8, false);
    std::string app1 = "\xff\xe1";
    const std::size_t length = 2 + 6 + thumbnail.size();
    app1 += static_cast<char>(length >> 8);
    app1 += static_cast<char>(length & 0xFF);
    app1 += std::string("Exif\0\0", 6) + thumbnail;
    std::string withThumbnail = jpegBytes(64, 48, true);
    withThumbnail.insert(2, app1);

    const std::vector<std::pair<const char*, std::string>> files{{"baseline", jpegBytes(64, 48, true)},
                                                                 {"progressive", jpegBytes(64, 48, true, true)},
                                                                 {"thumbnail", withThumbnail}};
    for (const auto& [kind, whole] : files) {
        ASSERT_NE(whole.find(std::string("\xff\x00", 2)), std::string::npos) << kind;
        ASSERT_FALSE(QImage::fromData(QByteArray::fromStdString(whole)).isNull()) << kind;
        EXPECT_TRUE(complete(whole)) << kind;
        for (std::size_t n = 0; n < whole.size(); ++n)
            ASSERT_FALSE(complete(whole.substr(0, n))) << kind << ": " << n << " of " << whole.size() << " bytes";
    }
}

TEST(JpegCheck, TrailingBytesAndOtherFormats) {
    const std::string whole = jpegBytes(8, 8, false);
    EXPECT_TRUE(complete(whole + std::string(1000, '\0')));
    EXPECT_FALSE(complete("GIF89a\x01\x00\x01\x00"));
    EXPECT_FALSE(complete(std::string("\xff\xd8\xff\xd9", 4).substr(0, 3)));
    EXPECT_TRUE(complete(std::string("\xff\xd8\xff\xd9", 4)));
}

// --- order and pattern ---------------------------------------------------------------------

TEST(NaturalOrder, NumbersByValueLettersWithoutCase) {
    std::vector<std::string> names{"img10.jpg", "IMG2.jpg", "img1.jpg",   "b.jpg",     "A.jpg",   "img02.jpg",
                                   "img2.jpg",  "a.jpg",    "img100.jpg", "img9a.jpg", "img9.jpg"};
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return pictavo::naturalLess(a, b); });
    // Equal up to case or leading zeros: the order of the bytes decides, so the order is total.
    EXPECT_EQ(names, (std::vector<std::string>{"A.jpg", "a.jpg", "b.jpg", "img1.jpg", "IMG2.jpg", "img02.jpg",
                                               "img2.jpg", "img9.jpg", "img9a.jpg", "img10.jpg", "img100.jpg"}));
    for (const auto& a : names) {
        EXPECT_FALSE(pictavo::naturalLess(a, a)) << a;
        for (const auto& b : names) {
            if (a == b) continue;
            EXPECT_NE(pictavo::naturalLess(a, b), pictavo::naturalLess(b, a)) << a << " " << b;
        }
    }
    // Digit runs longer than any integer still compare by value.
    EXPECT_TRUE(pictavo::naturalLess("p99999999999999999999999.jpg", "p100000000000000000000000.jpg"));
}

TEST(Wildcards, ThePatternOfTheFileList) {
    const char* pattern = "*.jpg*;*.bmp*;*.gif*";
    for (const char* name : {"IMG_0001.JPG", "a.jpg", "photo.jpg.bak", "x.Bmp", "anim.GIF", ".jpg", "a.b.gif"})
        EXPECT_TRUE(pictavo::matchesAny(pattern, name)) << name;
    for (const char* name : {"x.jpeg", "a.png", "jpg", "a_jpg", "a.jp", "bmp.txt", ""})
        EXPECT_FALSE(pictavo::matchesAny(pattern, name)) << name;
    EXPECT_TRUE(pictavo::wildcardMatch("a?c", "abc"));
    EXPECT_FALSE(pictavo::wildcardMatch("a?c", "ac"));
    EXPECT_TRUE(pictavo::wildcardMatch("*a*b*c*", "xxaxxbxxcxx"));
    EXPECT_FALSE(pictavo::wildcardMatch("*a*b*c", "xxaxxbxxcxx"));
    EXPECT_FALSE(pictavo::matchesAny(";;", "a.jpg"));
    // Bytes beyond ASCII match themselves.
    EXPECT_TRUE(pictavo::matchesAny(pattern, "\xe5\x86\x99\xe7\x9c\x9f.jpg"));
}
