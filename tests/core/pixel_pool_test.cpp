// SPDX-License-Identifier: MIT
// Memory kept for the next picture: it serves pictures of the same or a smaller size, stays
// within its limit, outlives nobody's picture, and never lets an old picture show through.

#include "imaging/pixel_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <thread>

#include "imaging/picture_pipeline.h"
#include "imaging/picture_reader.h"
#include "support/core_test.h"

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

QImage noise(int w, int h, unsigned seed) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, rng());
    return image;
}

TEST(PixelPool, APictureLetGoServesTheNextOfTheSameOrASmallerSize) {
    PixelPool pool;
    pool.setLimit(64 * kMiB);
    QImage first = pool.picture({400, 300});
    ASSERT_FALSE(first.isNull());
    ASSERT_EQ(first.format(), QImage::Format_RGB32);
    const uchar* memory = first.constBits();
    first.fill(Qt::red);
    QImage copy = first;
    first = QImage();
    EXPECT_EQ(pool.spareBytes(), 0) << "a copy still shows it";
    copy = QImage();
    EXPECT_GE(pool.spareBytes(), 400 * 300 * 4);

    // Turned, and then smaller: the same memory.
    QImage turned = pool.picture({300, 400});
    EXPECT_EQ(turned.constBits(), memory);
    EXPECT_EQ(pool.spareBytes(), 0);
    turned = QImage();
    QImage smaller = pool.picture({390, 300});
    EXPECT_EQ(smaller.constBits(), memory);
    EXPECT_EQ(smaller.bytesPerLine(), 390 * 4);
    smaller = QImage();

    // Far smaller would pin far more than it needs; larger does not fit.
    const QImage tiny = pool.picture({40, 30});
    const QImage larger = pool.picture({420, 300});
    EXPECT_NE(tiny.constBits(), memory);
    EXPECT_NE(larger.constBits(), memory);
    EXPECT_GE(pool.spareBytes(), 400 * 300 * 4);
    EXPECT_TRUE(pool.picture({0, 10}).isNull());
}

TEST(PixelPool, SparesStayWithinTheLimitAndGoWhenAskedOrWhenThePoolGoes) {
    PixelPool pool;
    (void)pool.picture({100, 100});
    EXPECT_EQ(pool.spareBytes(), 0) << "no limit set: nothing is kept";

    pool.setLimit(100 * 100 * 4 + 8192);
    QImage a = pool.picture({100, 100});
    QImage b = pool.picture({100, 100});
    a = QImage();
    b = QImage();
    EXPECT_GE(pool.spareBytes(), 100 * 100 * 4);
    EXPECT_LE(pool.spareBytes(), 100 * 100 * 4 + 8192) << "the second did not fit";
    pool.setLimit(100);
    EXPECT_EQ(pool.spareBytes(), 0);

    pool.setLimit(kMiB);
    QByteArray bytes = pool.bytes(1000);
    const char* data = bytes.constData();
    QByteArray shared = bytes;
    pool.giveBack(std::move(bytes));
    EXPECT_EQ(pool.spareBytes(), 0) << "still in use elsewhere";
    pool.giveBack(std::move(shared));
    EXPECT_GT(pool.spareBytes(), 0);
    const QByteArray again = pool.bytes(900);
    EXPECT_EQ(again.constData(), data);
    EXPECT_EQ(again.size(), 900);
    (void)pool.picture({10, 10});
    pool.trim();
    EXPECT_EQ(pool.spareBytes(), 0);

    // A picture may outlive the pool and another thread may let it go.
    QImage left;
    {
        PixelPool gone;
        gone.setLimit(kMiB);
        left = gone.picture({64, 64});
    }
    left.fill(Qt::blue);
    std::thread([image = std::move(left)]() mutable { image = QImage(); }).join();
}

TEST(PixelPool, ADecodeIntoUsedMemoryShowsOnlyTheNewPicture) {
    const QImage picture = noise(64, 48, 1);
    QImage grey(64, 48, QImage::Format_Grayscale8);
    grey.fill(90);
    const std::pair<const char*, QByteArray> files[] = {
        {"baseline", test::jpegOf(picture)},
        {"progressive", test::jpegOf(picture, true)},
        {"grey", test::jpegOf(grey)},
        {"turned", test::jpegOf(picture, false, QImageIOHandler::TransformationRotate90)},
    };
    for (const auto& [kind, bytes] : files) {
        PixelPool pool;
        pool.setLimit(kMiB);
        // The memory a picture of other content had, still holding its pixels.
        {
            QImage before = pool.picture({64, 48});
            before.fill(Qt::white);
        }
        ASSERT_GT(pool.spareBytes(), 0) << kind;
        bool asked = false;
        const QImage decoded = decodePicture(bytes, 64 * kMiB, [&](QSize size) {
            asked = true;
            return pool.picture(size);
        });
        const QImage fresh = decodePicture(bytes);
        EXPECT_TRUE(asked) << kind;
        EXPECT_EQ(decoded, fresh) << kind;
        if (std::string_view(kind) == "turned") {
            EXPECT_EQ(fresh.size(), QSize(48, 64));
        }
    }
}

// --- through the decoding ahead -------------------------------------------------------------

class SpareMemory : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i) {
            const fs::path f = folder.path() / QStringLiteral("p%1.jpg").arg(i).toStdString();
            test::writeBytes(f, test::jpegOf(noise(80, 60, unsigned(i))).toStdString());
            files.push_back(f);
        }
    }
    static constexpr std::int64_t kPicture = 80 * 60 * 4;

    test::TempDir folder;
    std::vector<fs::path> files;
};

TEST_F(SpareMemory, StaysWithinTheBudgetServesAnOpenAndGoesWhenIdle) {
    using namespace std::chrono_literals;
    // Room for two pictures besides the shown one; idle soon.
    PicturePipeline pipeline({.aheadBudget = 2 * kPicture + 3 * 8192, .spareMemoryIdle = 100ms});
    HeldPictures& ahead = pipeline.held();
    auto within = [&] { return ahead.heldBytes() + ahead.spareBytes() <= ahead.budget(); };
    std::set<const uchar*> used;
    for (int i = 0; i < 4; ++i) {
        const QImage shown = *pipeline.open(files[std::size_t(i)]).image();
        EXPECT_EQ(shown, decodePicture(readPictureFile(files[std::size_t(i)]))) << i;
        used.insert(shown.constBits());
        std::vector<fs::path> next{files[std::size_t(i) + 1]};
        if (i > 0) next.push_back(files[std::size_t(i) - 1]);
        pipeline.decodeAhead(next);
        pipeline.finishAll();
        EXPECT_TRUE(within()) << i;
    }
    // Far from the neighbours: no new memory, and only the file's own picture.
    const QImage far = *pipeline.open(files[0]).image();
    EXPECT_EQ(far, decodePicture(readPictureFile(files[0])));
    EXPECT_TRUE(used.count(far.constBits()));
    EXPECT_TRUE(within());
    ASSERT_GT(ahead.spareBytes(), 0);

    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ahead.spareBytes() > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ahead.spareBytes(), 0);
    EXPECT_TRUE(ahead.holds(files[0])) << "the shown picture stays";
}

}  // namespace
