// SPDX-License-Identifier: MIT
// Opening pictures on a worker: the open returns once the size is known, the rows arrive
// top to bottom, a new open cancels the one before, nothing acts on half a picture, and a
// picture found broken part way ends as any broken file does.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "commands/commands.h"
#include "imaging/picture_pipeline.h"
#include "imaging/picture_reader.h"
#include "imaging/worker_pool.h"
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

// --- the pool and the pipeline's one job per picture ------------------------------------------

// A gate a task waits at until the test opens it.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    void wait() {
        std::unique_lock lock(mutex);
        opened.wait(lock, [&] { return open; });
    }
    void release() {
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
};

TEST(WorkerPool, TheOpenAndChoresGoBeforeWorkAheadAndTheLastTaskRunsBeforeThePoolGoes) {
    std::vector<std::string> ran;
    std::mutex ranMutex;
    auto note = [&](const char* what) {
        const std::lock_guard lock(ranMutex);
        ran.emplace_back(what);
    };
    Gate ahead, open;
    std::atomic<bool> lateRan{false};
    {
        WorkerPool pool;
        // Work ahead holds its thread; more work ahead waits behind it, while an open and a
        // chore posted after it are done at once on the other threads.
        pool.post(WorkerPool::Priority::Ahead, [&] {
            ahead.wait();
            note("ahead 1");
        });
        pool.post(WorkerPool::Priority::Ahead, [&] { note("ahead 2"); });
        pool.post(WorkerPool::Priority::Open, [&] {
            note("open");
            open.release();
        });
        pool.post(WorkerPool::Priority::Chore, [&] { note("chore"); });
        open.wait();
        auto choreRan = [&] {
            const std::lock_guard lock(ranMutex);
            return std::count(ran.begin(), ran.end(), "chore") == 1;
        };
        while (!choreRan()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        {
            const std::lock_guard lock(ranMutex);
            EXPECT_EQ(std::count(ran.begin(), ran.end(), "ahead 2"), 0) << "behind the work ahead under way";
            EXPECT_EQ(std::count(ran.begin(), ran.end(), "open"), 1);
        }
        // Due in an hour: the pool does not wait for it, but does not drop it either.
        pool.postAfter(std::chrono::hours(1), WorkerPool::Priority::Chore, [&] { lateRan = true; });
        ahead.release();
    }
    EXPECT_TRUE(lateRan) << "what was queued ran before the pool went";
    const std::vector<std::string> aheadOrder(ran.end() - 2, ran.end());
    EXPECT_EQ(aheadOrder, (std::vector<std::string>{"ahead 1", "ahead 2"}));
}

TEST_F(PictureLoading, QuittingDuringALargeDecodeCancelsItAndJoinsEveryWorker) {
    writeJpeg("big.jpg", 3000, 2000);
    std::shared_ptr<Arrival> arrival;
    {
        PicturePipeline pipeline;
        pipeline.decodeAhead({file("big.jpg")});
        const Picture picture = pipeline.open(file("big.jpg"));
        arrival = picture.arrival();
        ASSERT_NE(arrival, nullptr);
    }
    // Every worker is gone, and the decode with them: it ended, one way or the other.
    EXPECT_NE(arrival->end(), Arrival::End::None);
    EXPECT_TRUE(arrival->end() == Arrival::End::Cancelled || arrival->end() == Arrival::End::Whole);
}

// Holds the read of one file until released, and counts the reads of it.
std::atomic<int> bigReads{0};
Gate* heldRead = nullptr;
void holdBigRead(int fd) {
    if (fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename() != "big.jpg") return;
    ++bigReads;
    if (heldRead) heldRead->wait();
}

TEST_F(PictureLoading, AnOpenTakesOverTheWorkAheadOfItsFileInsteadOfReadingItAgain) {
    writeJpeg("big.jpg", 2400, 1800);
    PicturePipeline pipeline;
    Gate gate;
    heldRead = &gate;
    bigReads = 0;
    seams::setBeforePictureRead(holdBigRead);
    pipeline.decodeAhead({file("big.jpg")});
    while (bigReads == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The person asks for it while it is read ahead; the open returns once that very job
    // knows the size.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        gate.release();
    });
    const Picture picture = pipeline.open(file("big.jpg"));
    release.join();
    const QImage whole = *picture.image();
    seams::setBeforePictureRead(nullptr);
    heldRead = nullptr;
    EXPECT_EQ(bigReads, 1) << "one job, one read";
    EXPECT_EQ(whole, decodePicture(readPictureFile(file("big.jpg"))));
    EXPECT_EQ(pipeline.held().hits(), 0u) << "taken over, not found held";
}

// Taken over part way through its decode on the thread for work ahead, the photo goes on
// on an open's thread from the row it reached, without reading the file again: whole, it
// equals the file's picture, and its rows kept arriving in order meanwhile.
TEST_F(PictureLoading, WorkAheadTakenOverPartWayGoesOnFromItsRowsWithoutAnotherRead) {
    writeJpeg("big.jpg", 3000, 2000, 7);
    PicturePipeline pipeline;
    bigReads = 0;
    seams::setBeforePictureRead(holdBigRead);
    for (const int after : {5, 20, 60}) {
        SCOPED_TRACE(after);
        pipeline.setAheadBudget(defaultAheadBudget());  // nothing held from the round before
        bigReads = 0;
        pipeline.decodeAhead({file("big.jpg")});
        std::this_thread::sleep_for(std::chrono::milliseconds(after));
        const Picture picture = pipeline.open(file("big.jpg"));
        std::vector<int> seen;
        if (const auto& arrival = picture.arrival()) {
            while (arrival->end() == Arrival::End::None) {
                seen.push_back(arrival->rows());
                arrival->waitRows(seen.back() + 1, std::chrono::milliseconds(5));
            }
        }
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        const QImage whole = *picture.image();
        EXPECT_EQ(bigReads, 1) << "one read, whichever thread finishes the decode";
        EXPECT_EQ(whole, decodePicture(readPictureFile(file("big.jpg"))));
        pipeline.finishAll();
    }
    seams::setBeforePictureRead(nullptr);
}

// While the person's photo arrives, the one shown before it stays in memory (the window
// goes back to it should the new one be broken): work ahead then takes only what the
// budget holds beside it, and the full budget again once the photo is whole.
std::atomic<int> nextReads{0};
void countNextRead(int fd) {
    if (fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename() == "next.jpg") ++nextReads;
}

TEST_F(PictureLoading, WorkAheadWhileAPhotoArrivesLeavesRoomForThePhotoBefore) {
    writeJpeg("big.jpg", 3000, 2000, 3);
    writeJpeg("next.jpg", 3000, 2000, 4);
    const std::int64_t photo = 3000 * 2000 * 4;
    PicturePipeline pipeline({.aheadBudget = photo * 3 / 2, .arrivesLaterFrom = 0});
    // The photo's decoder is held at its first rows until the work ahead has been asked
    // for, read and weighed.
    Gate decoding;
    std::atomic<bool> held{false};
    pipeline.setOnArrival([&] {
        if (!held.exchange(true)) decoding.wait();
    });
    nextReads = 0;
    seams::setBeforePictureRead(countNextRead);
    const Picture picture = pipeline.open(file("big.jpg"));
    ASSERT_NE(picture.arrival(), nullptr);
    pipeline.decodeAhead({file("next.jpg")});
    for (int i = 0; i < 10000 && nextReads == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // from its read to its weighing
    decoding.release();
    (void)picture.arrival()->whole();
    pipeline.finishAll();
    seams::setBeforePictureRead(nullptr);
    pipeline.setOnArrival({});
    EXPECT_EQ(nextReads, 1);
    EXPECT_FALSE(pipeline.held().holds(file("next.jpg"))) << "asked for while the photo arrived";
    pipeline.decodeAhead({file("next.jpg")});
    pipeline.finishAll();
    EXPECT_TRUE(pipeline.held().holds(file("next.jpg"))) << "asked for once it was whole";
}

// Work ahead asked for while the person's photo arrives holds the rest of that photo back
// from when it is asked, but only a little: stuck in its read, it keeps the photo from
// arriving whole neither for good nor, on the thread for work ahead, at all.
TEST_F(PictureLoading, WorkAheadStuckInItsReadHoldsThePersonsPhotoBackOnlyALittle) {
    writeJpeg("big.jpg", 2400, 1800);
    writeJpeg("photo.jpg", 3000, 2000, 5);
    PicturePipeline pipeline;
    pipeline.setViewSize(QSize(400, 300));
    Gate gate;
    heldRead = &gate;
    bigReads = 0;
    seams::setBeforePictureRead(holdBigRead);
    const struct {
        const char* how;
        bool ahead;  // the person's photo was itself asked for ahead first, and taken over
    } cases[] = {{"opened", false}, {"taken over from work ahead", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        if (c.ahead) pipeline.decodeAhead({file("photo.jpg")});
        const Picture picture = pipeline.open(file("photo.jpg"));
        pipeline.decodeAhead({file("photo.jpg"), file("big.jpg")});
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        if (const auto& arrival = picture.arrival())
            while (arrival->end() == Arrival::End::None && std::chrono::steady_clock::now() < until)
                arrival->waitRows(arrival->rows() + 1, std::chrono::milliseconds(5));
        ASSERT_TRUE(!picture.arrival() || picture.arrival()->end() == Arrival::End::Whole);
        EXPECT_EQ(*picture.image(), decodePicture(readPictureFile(file("photo.jpg"))));
        pipeline.decodeAhead({});
    }
    gate.release();
    pipeline.finishAll();
    seams::setBeforePictureRead(nullptr);
    heldRead = nullptr;
}

TEST_F(PictureLoading, APastedPictureFoundBrokenPartWayEndsInThePasteMessageAndTheViewBefore) {
    writePicture(file("a.bmp"), 40, 30, 0x102030);
    fx.start({});
    fx.open(0);
    // Large enough to arrive while the window goes on; garbage in the middle of its data.
    QImage noise(2000, 1100, QImage::Format_RGB32);
    std::mt19937 random(5);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, 0xFF000000u | (random() & 0xFFFFFF));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(noise.save(&buffer, "PNG"));
    for (qsizetype i = png.size() / 2; i < png.size() / 2 + 4096; ++i) png[i] = char(random() & 0x7F);
    fx.host.otherProgramOffers("image/png", png);
    fx.c().pstBtn.setEnabled(true);
    fx.click(fx.c().pstBtn);
    ASSERT_NE(fx.c().Image1.picture().arrival(), nullptr) << "the paste went on once the size was known";
    EXPECT_TRUE(fx.prompts().empty());
    loader().finish();
    fx.form->dispatch([&] { fx.form->pictureArrived(); });

    EXPECT_EQ(fx.prompts(), std::vector<std::string>{kPasteFailedMessage});
    ASSERT_NE(fx.c().Image1.picture().image(), nullptr);
    EXPECT_EQ(fx.c().Image1.picture().image()->pixel(0, 0) & 0xFFFFFF, 0x102030u) << "the picture before";
}

}  // namespace
