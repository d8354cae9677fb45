// SPDX-License-Identifier: MIT
// Reading a folder once for both lists, the order made from sort keys, and the bitmap
// written row by row.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include "files/natural_order.h"
#include "support/core_test.h"

namespace {

// --- natural order from keys ----------------------------------------------------------------

// Names built from the pieces where the order is subtle: digit runs with leading zeros,
// letters in both cases, characters just below '0' and above '9', bytes beyond ASCII.
std::vector<std::string> trickyNames(std::size_t count) {
    const std::vector<std::string> pieces{"0",        "00",  "1", "01", "9", "10", "007", "99999999999999999999",
                                          "a",        "A",   "b", "_",  ".", "/",  ":",   "-",
                                          "\xc3\xa9", "\xff"};
    std::mt19937 random(11);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name;
        const auto parts = 1 + random() % 5;
        for (unsigned p = 0; p < parts; ++p) name += pieces[random() % pieces.size()];
        names.push_back(name);
    }
    return names;
}

TEST(NaturalKeys, SortLikeTheComparison) {
    // A large list is sorted in two halves on two threads and merged.
    for (const std::size_t count : {3000, 30000}) {
        auto names = trickyNames(count);
        auto expected = names;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return pictavo::naturalLess(a, b); });
        pictavo::naturalSort(names);
        EXPECT_EQ(names, expected) << count;
    }

    // And pair by pair, including the names that differ only in zeros or case.
    const auto few = trickyNames(300);
    for (const auto& a : few)
        for (const auto& b : few) {
            const int keys = pictavo::naturalKey(a).compare(pictavo::naturalKey(b));
            const bool less = keys != 0 ? keys < 0 : a < b;
            ASSERT_EQ(less, pictavo::naturalLess(a, b)) << a << " | " << b;
        }
}

TEST(NaturalKeys, LongDigitRunsKeepTheirOrderAndNoKeyHoldsAZero) {
    // A digit run's length is written in two bytes, neither of them zero: a zero ends each
    // key in a sort's block of keys. Lengths around a byte's range, up to the longest
    // whose order a key keeps (65,024 digits), and runs of zeros only.
    std::vector<std::string> names;
    for (const std::size_t digits : {0, 1, 254, 255, 256, 511, 65023})
        for (const char* tail : {"", "x", "0"}) {
            names.push_back("p" + std::string(digits, '7') + tail);
            names.push_back("p0" + std::string(digits, '1') + tail);
        }
    for (const auto& name : names)
        EXPECT_EQ(pictavo::naturalKey(name).find('\0'), std::string::npos) << name.size() << " bytes";
    auto expected = names;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return pictavo::naturalLess(a, b); });
    std::shuffle(names.begin(), names.end(), std::mt19937(3));
    pictavo::naturalSort(names);
    EXPECT_TRUE(names == expected);
}

TEST(NaturalKeys, RunsSortedApartMergeIntoOneList) {
    // A large folder's sort ends with a few runs sorted apart (one per rank of its merges,
    // and the last batch, which may be empty), merged at once into the list; a long list
    // in two parts on two threads, cut at a name of the longest run. Equal names may lie
    // in different runs; runs may hold names from all over the order, or each a stretch
    // of its own (cut from the names in order), where one part gets far more than the other.
    struct Case {
        std::vector<std::size_t> sizes;
        bool stretches;
    };
    const std::vector<Case> cases{{{0}, false},
                                  {{1}, false},
                                  {{0, 7, 0}, false},
                                  {{1, 1, 1, 1, 1}, false},
                                  {{400, 3, 1200, 60, 0, 9, 2}, false},
                                  {{0, 0}, false},
                                  {{9000, 4000, 1, 0, 2500}, false},
                                  {{12000}, false},
                                  {{9000, 4000, 1, 0, 2500}, true},
                                  {{3000, 3000, 3000}, true}};
    for (const auto& [sizes, stretches] : cases) {
        std::size_t total = 0;
        for (const std::size_t size : sizes) total += size;
        auto names = trickyNames(total);
        auto expected = names;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return pictavo::naturalLess(a, b); });
        if (stretches) names = expected;
        std::vector<pictavo::NaturalRun> runs;
        auto from = names.begin();
        for (const std::size_t size : sizes) {
            runs.emplace_back(std::vector<std::string>(from, from + static_cast<std::ptrdiff_t>(size)));
            from += static_cast<std::ptrdiff_t>(size);
        }
        EXPECT_TRUE(pictavo::NaturalRun::mergedNames(std::move(runs)) == expected)
            << ::testing::PrintToString(sizes) << (stretches ? " in stretches" : "");
    }
}

// --- one read of a folder -------------------------------------------------------------------

class FolderReads : public ::testing::Test {
protected:
    TestHost host;
    fs::path folder = host.root() / "f";
    std::string at() const { return host.hostPath(folder); }
    const char* pattern = "*.jpg*;*.bmp*;*.gif*";
    void SetUp() override { fs::create_directory(folder); }
};

TEST_F(FolderReads, LinksFollowTheirTargetsAndHiddenEntriesStayOut) {
    fs::create_directory(folder / "sub");
    fs::create_directory(folder / ".hidden");
    writeBytes(folder / "a.jpg", "x");
    writeBytes(folder / ".h.jpg", "x");
    writeBytes(folder / "n.txt", "x");
    fs::create_directory_symlink(folder / "sub", folder / "linked.jpg");
    fs::create_symlink(folder / "a.jpg", folder / "b.jpg");
    fs::create_symlink(folder / "gone", folder / "c.jpg");
    EXPECT_EQ(host.files().SubFolders(at()), (std::vector<std::string>{"linked.jpg", "sub"}));
    EXPECT_EQ(host.files().Files(at(), pattern), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

TEST_F(FolderReads, AFolderOfManyBatchesListsItsPicturesInNaturalOrder) {
    // More names than one batch holds: several runs are keyed and sorted apart, on other
    // threads, and merged, with names of every subtle kind spread over all of them.
    std::set<std::string> names;
    for (std::string name : trickyNames(36000)) {
        std::replace(name.begin(), name.end(), '/', '-');
        names.insert("p" + name);
    }
    std::vector<std::string> pictures;
    std::size_t i = 0;
    for (const std::string& name : names) {
        const bool picture = i++ % 4 != 0;
        writeBytes(folder / (name + (picture ? ".jpg" : ".txt")), "");
        if (picture) pictures.push_back(name + ".jpg");
    }
    std::stable_sort(pictures.begin(), pictures.end(),
                     [](const auto& a, const auto& b) { return pictavo::naturalLess(a, b); });
    const auto listed = host.files().Files(at(), pattern);
    ASSERT_EQ(listed.size(), pictures.size());
    EXPECT_TRUE(listed == pictures) << "the pictures are listed out of natural order";
}

TEST_F(FolderReads, ARepeatedReadServesOnlyOneEventAndNoChangeOfThisProgram) {
    writeBytes(folder / "a.jpg", "x");
    // Outside an event every call reads the folder afresh.
    EXPECT_EQ(host.files().SubFolders(at()), std::vector<std::string>{});
    writeBytes(folder / "b.jpg", "x");
    EXPECT_EQ(host.files().Files(at(), pattern), (std::vector<std::string>{"a.jpg", "b.jpg"}));

    host.files().EventStarted();
    EXPECT_EQ(host.files().SubFolders(at()), std::vector<std::string>{});
    host.files().Kill(host.hostPath(folder / "a.jpg"));
    EXPECT_EQ(host.files().Files(at(), pattern), std::vector<std::string>{"b.jpg"});
    host.files().SavePicture(pictavo::test::solidPicture(2, 2), host.hostPath(folder / "s.bmp"));
    EXPECT_EQ(host.files().Files(at(), pattern), (std::vector<std::string>{"b.jpg", "s.bmp"}));
    host.files().EventEnded();

    writeBytes(folder / "c.jpg", "x");
    EXPECT_EQ(host.files().Files(at(), pattern), (std::vector<std::string>{"b.jpg", "c.jpg", "s.bmp"}));

    // An event nested inside another (one that a message box ran) reads afresh too.
    host.files().EventStarted();
    EXPECT_EQ(host.files().SubFolders(at()), std::vector<std::string>{});
    writeBytes(folder / "d.jpg", "x");
    host.files().EventStarted();
    EXPECT_EQ(host.files().Files(at(), pattern).size(), 4u);
    host.files().EventEnded();
    host.files().EventEnded();
}

TEST_F(FolderReads, AnUnreadableFolderIsReported) {
    EXPECT_THROW(host.files().Files(host.hostPath(folder / "none"), pattern), pictavo::HostError);
    EXPECT_THROW(host.files().SubFolders(host.hostPath(folder / "none")), pictavo::HostError);
}

// --- the bitmap writer ----------------------------------------------------------------------

QImage saveAndRead(TestHost& host, const QImage& image, std::string* bytes = nullptr) {
    const fs::path file = host.root() / "out.bmp";
    host.files().SavePicture(Picture(std::make_shared<const QImage>(image)), host.hostPath(file));
    const std::string data = readBytes(file);
    if (bytes) *bytes = data;
    QImage back;
    back.loadFromData(reinterpret_cast<const uchar*>(data.data()), static_cast<int>(data.size()), "BMP");
    return back;
}

TEST(BitmapWriter, EveryPixelOfOddWidthsAndEveryFormat) {
    TestHost host;
    for (int width : {1, 2, 3, 5, 301}) {
        QImage image(width, 7, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 7 & 0xFF, y * 31 & 0xFF, (x ^ y) & 0xFF));
        std::string bytes;
        const QImage back = saveAndRead(host, image, &bytes);
        ASSERT_EQ(back.size(), image.size()) << width;
        const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
        EXPECT_EQ(bytes.size(), 54 + row * 7) << width;
        EXPECT_EQ(bytes[28], 24);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(back.pixel(x, y) & 0xFFFFFFu, image.pixel(x, y) & 0xFFFFFFu) << width << " " << x << "," << y;
    }

    // Transparent and indexed pictures: the colours without their alpha, 24 bits.
    QImage translucent(4, 3, QImage::Format_ARGB32);
    translucent.fill(qRgba(200, 100, 50, 128));
    const QImage premultiplied = translucent.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::string bytes;
    const QImage back = saveAndRead(host, premultiplied, &bytes);
    EXPECT_EQ(bytes[28], 24);
    EXPECT_NEAR(qRed(back.pixel(1, 1)), 200, 2);
    EXPECT_NEAR(qGreen(back.pixel(1, 1)), 100, 2);
    EXPECT_NEAR(qBlue(back.pixel(1, 1)), 50, 2);

    const QImage indexed = QImage(6, 2, QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
    QImage palette = indexed;
    palette.setColorTable({qRgb(1, 2, 3)});
    palette.fill(0);
    EXPECT_EQ(saveAndRead(host, palette).pixel(5, 1) & 0xFFFFFFu, 0x010203u);
}

}  // namespace
