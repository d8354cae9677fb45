// SPDX-License-Identifier: MIT
// A large uncompressed bitmap arrives by rows read from its file, the rows in view first:
// the pixels are Qt's for the same file, and a file cut short, changed or lying in its
// header ends as any broken picture does.

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "imaging/colour_profile.h"
#include "imaging/picture_formats.h"
#include "imaging/picture_pipeline.h"
#include "imaging/picture_reader.h"
#include "support/encoded_pictures.h"
#include "support/test_host.h"

namespace fs = std::filesystem;
using namespace pictavo;
using pictavo::test::readBytes;
using pictavo::test::TestHost;
using pictavo::test::writeBytes;

namespace {

enum class Fields { Plain, StandardMasks };

struct Layout {
    const char* name;
    int width, height, bits;
    bool topDown;
    Fields fields;
    bool profiled;  // a V5 header with a profile after the pixels
};

void put16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8 & 0xFF);
}
void put32(std::string& s, std::size_t at, std::uint32_t v) {
    put16(s, at, v & 0xFFFF);
    put16(s, at + 2, v >> 16);
}

// A bitmap file written byte by byte as other programs write them, with noise for pixels
// (and for the unused fourth byte at 32 bits).
std::string bitmapFile(const Layout& l, const QByteArray& profile = {}) {
    const std::uint32_t info = l.profiled ? 124 : 40;
    const bool masksAfter = l.fields == Fields::StandardMasks && info == 40;
    const std::uint32_t offset = 14 + info + (masksAfter ? 12 : 0);
    const std::uint32_t stride = (std::uint32_t(l.width) * l.bits + 31) / 32 * 4;
    std::string s(offset + stride * l.height, '\0');
    s[0] = 'B';
    s[1] = 'M';
    put32(s, 10, offset);
    put32(s, 14, info);
    put32(s, 18, std::uint32_t(l.width));
    put32(s, 22, std::uint32_t(l.topDown ? -l.height : l.height));
    put16(s, 26, 1);
    put16(s, 28, std::uint32_t(l.bits));
    put32(s, 30, l.fields == Fields::StandardMasks ? 3 : 0);
    if (l.fields == Fields::StandardMasks) {
        put32(s, 54, 0xFF0000);
        put32(s, 58, 0xFF00);
        put32(s, 62, 0xFF);
    }
    std::mt19937 random(l.width * 7 + l.height);
    for (std::size_t i = offset; i < s.size(); ++i) s[i] = char(random());
    if (l.profiled) {
        put32(s, 14 + 56, 0x4D424544);  // 'MBED'
        put32(s, 14 + 112, std::uint32_t(s.size() - 14));
        put32(s, 14 + 116, std::uint32_t(profile.size()));
        s += profile.toStdString();
    }
    return s;
}

QByteArray adobeRgb() {
    const std::string icc = readBytes("/usr/share/color/icc/colord/AdobeRGB1998.icc");
    return QByteArray::fromStdString(icc);
}

class BitmapRowsTest : public ::testing::Test {
public:
    BitmapRowsTest() { pipeline.setViewSize(QSize(200, kViewRows)); }
    ~BitmapRowsTest() override { pipeline.setOnArrival({}); }
    fs::path file(const std::string& name) { return host.startFolder() / name; }
    // Runs on the decoder's thread each time rows arrive; the first rows may come before
    // the open has returned the picture, and wait for it.
    void onRows(std::function<void(Arrival&)> seen) {
        pipeline.setOnArrival([this, seen = std::move(seen)] {
            std::unique_lock lock(mutex);
            opened.wait_for(lock, std::chrono::seconds(5), [&] { return arriving != nullptr; });
            if (arriving) seen(*arriving);
        });
    }
    Picture open(const fs::path& f) {
        {
            const std::lock_guard lock(mutex);
            arriving.reset();
        }
        Picture picture = pipeline.open(f);
        {
            const std::lock_guard lock(mutex);
            arriving = picture.arrival();
        }
        opened.notify_all();
        return picture;
    }
    // The picture whole, and the work on it over.
    QImage whole(const Picture& picture) {
        QImage image = *picture.image();
        pipeline.finishAll();
        pipeline.setOnArrival({});
        return image;
    }

    static constexpr int kViewRows = 100;
    TestHost host;
    PicturePipeline pipeline{PicturePipeline::Options{.arrivesLaterFrom = 10'000}};
    std::mutex mutex;
    std::condition_variable opened;
    std::shared_ptr<Arrival> arriving;
};

TEST_F(BitmapRowsTest, ArrivesWithQtsPixelsTheRowsInViewFirst) {
    const QByteArray profile = adobeRgb();
    ASSERT_FALSE(profile.isEmpty());
    const Layout layouts[] = {
        {"24-bit bottom-up, rows padded", 601, 400, 24, false, Fields::Plain, false},
        {"24-bit top-down, rows padded", 333, 500, 24, true, Fields::Plain, false},
        {"32-bit bottom-up", 400, 300, 32, false, Fields::Plain, false},
        {"32-bit bit fields top-down", 257, 300, 32, true, Fields::StandardMasks, false},
        {"24-bit V5 with a profile after the pixels", 500, 300, 24, false, Fields::Plain, true},
        {"32-bit V5 bit fields with a profile", 300, 200, 32, false, Fields::StandardMasks, true},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const fs::path f = file(std::string(l.name).substr(0, 6) + std::to_string(l.width) + ".bmp");
        writeBytes(f, bitmapFile(l, profile));
        const QByteArray bytes = QByteArray::fromStdString(readBytes(f));
        QImage expected;
        ASSERT_NO_THROW(expected = decodePicture(bytes));
        const auto conversion = pipeline.colours().forPicture(pictureColours(bytes));
        EXPECT_EQ(conversion != nullptr, l.profiled);
        if (conversion) conversion->convert(expected);

        std::vector<std::pair<int, int>> seen;  // rows, and rows in the first columns
        onRows([&](Arrival& a) { seen.emplace_back(a.rows(), a.firstRows()); });
        const Picture picture = open(f);
        ASSERT_NE(picture.arrival(), nullptr) << "arrives by rows";
        const QImage shown = whole(picture);
        EXPECT_EQ(shown, expected);
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](auto r) { return r.second > 0 && r.first < l.height; }))
            << "some rows were there before the whole";
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    }
}

// An opaque WebP still arrives by rows as a bitmap does, in the pixels Qt's reader gives
// for the same file and in the screen's colours where it carries a profile; one with
// transparency is left to Qt's reader and arrives whole.
TEST_F(BitmapRowsTest, AnOpaqueWebPArrivesByRowsInQtsPixels) {
    std::mt19937 random(29);
    QImage noise(600, 400, QImage::Format_RGB32);  // several slices of the file, lossy or not
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, 0xFF000000u | (random() & 0xFFFFFFu));
    QImage tagged = noise;
    tagged.setColorSpace(QColorSpace::AdobeRgb);
    QImage clear = noise.convertToFormat(QImage::Format_ARGB32);
    clear.setPixel(5, 5, qRgba(10, 20, 30, 128));
    const struct {
        const char* name;
        QByteArray bytes;
        bool byRows;
    } cases[] = {
        {"lossy", test::qtEncoded(noise, "webp", 90), true},
        {"lossless", test::qtEncoded(noise, "webp", 100), true},
        {"lossy with an Adobe RGB profile", test::qtEncoded(tagged, "webp", 90), true},
        {"with transparency", test::qtEncoded(clear, "webp", 90), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path f = file(std::string(c.name).substr(0, 9) + ".webp");
        writeBytes(f, c.bytes.toStdString());
        QImage expected = decodePicture(c.bytes);
        if (const auto conversion = pipeline.colours().forPicture({pictureIccProfile(c.bytes), false}))
            conversion->convert(expected);

        std::vector<std::pair<int, int>> seen;  // rows, and rows in the first columns
        onRows([&](Arrival& a) { seen.emplace_back(a.rows(), a.firstRows()); });
        const Picture picture = open(f);
        EXPECT_EQ(picture.arrival() != nullptr, c.byRows);
        QImage shown = whole(picture);
        shown.setColorSpace(expected.colorSpace());  // the pixels count, not the label Qt's reader puts on
        EXPECT_EQ(shown, expected);
        if (!c.byRows) continue;
        // With a profile the columns in view are converted first: those rows come first.
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](auto r) { return r.second > 0 && r.first < 400; }))
            << "some rows were there before the whole";
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    }
}

// What happens to the file on the first rows' arrival.
void cutInHalf(const fs::path& f) { fs::resize_file(f, fs::file_size(f) / 2); }
void rewriteInPlace(const fs::path& f) {
    writeBytes(f, std::string(fs::file_size(f), 'x'));
    fs::last_write_time(f, fs::last_write_time(f) + std::chrono::seconds(2));
}
void renameOver(const fs::path& f) {
    const fs::path other = f.parent_path() / "other";
    writeBytes(other, readBytes(f));
    fs::rename(other, f);
}

TEST_F(BitmapRowsTest, AFileCutShortOrChangedWhileItsRowsAreReadEndsAsFailed) {
    const struct {
        const char* what;
        void (*change)(const fs::path&);
    } cases[] = {{"cut in half", cutInHalf}, {"rewritten in place", rewriteInPlace}, {"renamed over", renameOver}};
    const Layout l{"24-bit", 600, 400, 24, false, Fields::Plain, false};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path f = file("changing.bmp");
        writeBytes(f, bitmapFile(l));
        bool changed = false;
        onRows([&](Arrival& a) {
            if (changed || a.rows() == 0 || a.rows() == l.height) return;
            changed = true;
            c.change(f);
        });
        const Picture picture = open(f);
        EXPECT_TRUE(whole(picture).isNull());
        EXPECT_TRUE(changed);
        EXPECT_EQ(picture.arrival()->end(), Arrival::End::Failed);
        EXPECT_FALSE(picture.arrival()->failure().empty());
        EXPECT_FALSE(pipeline.held().holds(f)) << "no half picture is kept";
    }
}

TEST_F(BitmapRowsTest, AHeaderThatLiesIsRefusedBeforeAnyRowIsRead) {
    const struct {
        const char* what;
        int width, height;
        std::size_t keep;  // bytes of the file kept
    } cases[] = {
        {"a bomb: more pixels than any picture may have", 30000, 30000, 0},
        {"rows the file does not hold", 4000, 3000, 5000},
        {"pixels that start past the end", 4000, 3000, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Written small, the header then changed: no large file is needed to lie.
        std::string bytes = bitmapFile({"", 200, 100, 24, false, Fields::Plain, false});
        put32(bytes, 18, std::uint32_t(c.width));
        put32(bytes, 22, std::uint32_t(c.height));
        if (c.keep == 40)
            put32(bytes, 10, std::uint32_t(bytes.size() + 1));
        else if (c.keep > 0)
            bytes.resize(c.keep);
        const fs::path f = file("lying.bmp");
        writeBytes(f, bytes);
        EXPECT_THROW((void)pipeline.open(f), HostError);
    }
    EXPECT_EQ(pipeline.held().spareBytes(), 0) << "no memory was taken for any of them";
}

}  // namespace
