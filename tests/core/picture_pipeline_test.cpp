// SPDX-License-Identifier: MIT
// Opening pictures on a worker: the open returns once the size is known, the rows arrive
// top to bottom, a new open cancels the one before, nothing acts on half a picture, and a
// picture found broken part way ends as any broken file does.

#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "imaging/picture_pipeline.h"
#include "imaging/picture_reader.h"
#include "support/form_fixture.h"
#include "view/view.h"

namespace fs = std::filesystem;
using namespace pictavo;
using pictavo::test::FormFixture;
using pictavo::test::jpegOf;
using pictavo::test::readBytes;
using pictavo::test::writeBytes;
using pictavo::test::writePicture;

namespace {

// Noise compresses badly, so a JPEG of it takes a while to decode.
QByteArray noiseJpeg(int width, int height, unsigned seed = 1) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) row[x] = 0xFF000000u | (random() & 0xFFFFFF);
    }
    return jpegOf(image);
}

class PictureLoading : public ::testing::Test {
public:
    void TearDown() override { loader().setOnArrival({}); }
    fs::path file(const std::string& name) { return fx.host.startFolder() / name; }
    void writeJpeg(const std::string& name, int width, int height, unsigned seed = 1) {
        writeBytes(file(name), noiseJpeg(width, height, seed).toStdString());
    }
    PicturePipeline& loader() { return fx.host.pictures(); }
    // Runs on the decoder's thread each time rows arrive, with the arriving picture.
    void onRows(std::function<void(Arrival&)> seen) {
        loader().setOnArrival([this, seen = std::move(seen)] {
            const std::lock_guard lock(mutex);
            if (arriving) seen(*arriving);
        });
    }
    Picture open(const std::string& name) {
        Picture picture = loader().open(file(name));
        const std::lock_guard lock(mutex);
        arriving = picture.arrival();
        return picture;
    }

    FormFixture fx;
    std::mutex mutex;
    std::shared_ptr<Arrival> arriving;
};

TEST_F(PictureLoading, AJpegArrivesTopToBottomIntoThePictureItOpensAs) {
    // Large enough that another thread faults its memory in while the rows arrive.
    writeJpeg("big.jpg", 2400, 1800);
    fx.start({});
    std::vector<int> reported;
    onRows([&](Arrival& a) { reported.push_back(a.rows()); });
    const Picture picture = open("big.jpg");
    ASSERT_NE(picture.arrival(), nullptr);
    EXPECT_EQ(QSize(picture.widthPx(), picture.heightPx()), QSize(2400, 1800)) << "known when the open returns";
    const QImage whole = *picture.image();
    loader().setOnArrival({});
    ASSERT_GT(reported.size(), 10u) << "the rows come strip by strip";
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_LT(reported.front(), 1800);
    EXPECT_EQ(reported.back(), 1800);
    EXPECT_EQ(whole, decodePicture(readPictureFile(file("big.jpg"))));
}

TEST_F(PictureLoading, ANewOpenCancelsTheDecodeBeforeIt) {
    writeJpeg("big.jpg", 3000, 2000);
    writePicture(file("small.jpg"), 40, 30);
    fx.start({});
    const Picture big = open("big.jpg");
    const Picture small = open("small.jpg");
    EXPECT_EQ(big.arrival()->whole().isNull(), true) << "no half picture to be had";
    EXPECT_EQ(big.arrival()->end(), Arrival::End::Cancelled);
    EXPECT_LT(big.arrival()->rows(), 2000);
    EXPECT_EQ(small.image()->size(), QSize(40, 30));
}

TEST_F(PictureLoading, ARefusedOpenLeavesThePictureBeforeArriving) {
    writeJpeg("big.jpg", 2000, 1500);
    writeBytes(file("broken.jpg"), "not a picture");
    fx.start({});
    const Picture big = open("big.jpg");
    EXPECT_THROW((void)loader().open(file("broken.jpg")), HostError);
    EXPECT_EQ(big.image()->size(), QSize(2000, 1500));
    EXPECT_EQ(big.arrival()->end(), Arrival::End::Whole);
}

TEST_F(PictureLoading, CommandsActOnTheWholePicture) {
    writeJpeg("big.jpg", 2000, 1500);
    writeJpeg("big2.jpg", 2000, 1500, 2);
    fx.start({});
    fx.open(0);
    fx.host.saveAnswers.push_back(fx.host.hostPath(file("saved.bmp")));
    fx.click(fx.c().svcomBtn);
    const QImage saved = decodePicture(readPictureFile(file("saved.bmp")));
    EXPECT_EQ(saved, decodePicture(readPictureFile(file("big.jpg"))).convertToFormat(saved.format()));

    fx.open(1);
    fx.click(fx.c().cpyBtn);
    ASSERT_TRUE(fx.host.clipboardPicture.has_value() && fx.host.clipboardPicture->arrival());
    EXPECT_EQ(fx.host.clipboardPicture->arrival()->end(), Arrival::End::Whole) << "copied once it had arrived";
}

// The picture shown before is kept only while the new one may still turn out broken: a
// large photo's memory is not held twice after a step to the next.
TEST_F(PictureLoading, ThePictureBeforeIsLetGoOnceTheNewOneIsWhole) {
    writeJpeg("a.jpg", 2000, 1500);
    writeJpeg("b.jpg", 2000, 1500, 2);
    writePicture(file("c.jpg"), 40, 30);
    writeJpeg("d.jpg", 2000, 1500, 3);
    fx.start({});
    const struct {
        int from, to;
        const char* what;
    } steps[] = {{0, 1, "to a photo that arrives in parts"}, {3, 2, "to a small picture, whole at once"}};
    for (const auto& step : steps) {
        fx.open(step.from);
        loader().finish();
        fx.form->dispatch([&] { fx.form->pictureArrived(); });
        const std::weak_ptr<const Arrival> before = fx.c().Image1.picture().arrival();
        ASSERT_FALSE(before.expired()) << step.what;
        fx.open(step.to);
        loader().finish();
        fx.form->dispatch([&] { fx.form->pictureArrived(); });
        // The decoder's own threads let go of it a moment after its end.
        for (int wait = 0; wait < 500 && !before.expired(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(before.expired()) << step.what;
    }
}

// Broken part way, after the open has returned with the picture's size: the person hears
// the one message, and the view goes back to the picture before.
struct Breakage {
    const char* name;
    std::function<void(PictureLoading&)> prepare;  // before the open
    std::function<void(PictureLoading&)> during;   // on the decoder's thread, mid-decode
};

class BrokenPartWay : public PictureLoading, public ::testing::WithParamInterface<Breakage> {};

TEST_P(BrokenPartWay, EndsInTheMessageWithNothingHalfShown) {
    writePicture(file("a.bmp"), 40, 30, 0x102030);
    writeJpeg("b.jpg", 2000, 1500);
    fx.start({});
    fx.open(0);
    const std::string countBefore = fx.c().lstCnt.text();
    GetParam().prepare(*this);
    bool once = false;
    loader().setOnArrival([&] {
        if (!std::exchange(once, true)) GetParam().during(*this);
    });
    fx.open(1);
    ASSERT_NE(fx.c().Image1.picture().arrival(), nullptr);
    EXPECT_TRUE(fx.prompts().empty()) << "the size was known: the open went on";
    loader().finish();
    loader().setOnArrival({});
    fx.form->dispatch([&] { fx.form->pictureArrived(); });

    EXPECT_EQ(fx.prompts(), std::vector<std::string>{kLoadFailedMessage});
    EXPECT_EQ(fx.c().Image1.picture().image()->pixel(0, 0) & 0xFFFFFF, 0x102030u) << "the picture before";
    EXPECT_EQ(fx.c().lstCnt.text(), countBefore);
    EXPECT_FALSE(fx.c().cpyBtn.enabled());
}

INSTANTIATE_TEST_SUITE_P(Pictures, BrokenPartWay,
                         ::testing::Values(Breakage{"CorruptDataInTheMiddle",
                                                    [](PictureLoading& t) {
                                                        // Whole in form (its end marker is there), garbage in the
                                                        // middle of its picture data.
                                                        std::string bytes = readBytes(t.file("b.jpg"));
                                                        std::mt19937 random(7);
                                                        for (std::size_t i = bytes.size() / 2;
                                                             i < bytes.size() / 2 + 4096; ++i)
                                                            bytes[i] = static_cast<char>(random() & 0x7F);
                                                        writeBytes(t.file("b.jpg"), bytes);
                                                    },
                                                    [](PictureLoading&) {}},
                                           Breakage{"CutShort",
                                                    [](PictureLoading& t) {
                                                        const std::string bytes = readBytes(t.file("b.jpg"));
                                                        writeBytes(t.file("b.jpg"),
                                                                   bytes.substr(0, bytes.size() * 3 / 5));
                                                    },
                                                    [](PictureLoading&) {}},
                                           Breakage{"FileReplacedWhileDecoded", [](PictureLoading&) {},
                                                    [](PictureLoading& t) {
                                                        writePicture(t.file("new.jpg"), 2000, 1500, 0x405060);
                                                        fs::rename(t.file("new.jpg"), t.file("b.jpg"));
                                                    }}),
                         [](const ::testing::TestParamInfo<Breakage>& info) { return info.param.name; });

}  // namespace
