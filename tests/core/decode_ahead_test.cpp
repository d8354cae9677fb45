// SPDX-License-Identifier: MIT
// Pictures decoded ahead, through the real reading code and real files: stepping takes the
// neighbour decoded meanwhile, and a file that changed after it was decoded is never shown.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "files/atomic_save.h"
#include "form/rules.h"
#include "imaging/picture_reader.h"
#include "support/core_test.h"
#include "view/view.h"

namespace {

constexpr unsigned kRed = 0xc80a0a, kGreen = 0x0ac80a, kBlue = 0x0a0ac8, kGrey = 0x808080;

class DecodeAhead : public ::testing::Test {
protected:
    // Three bitmaps of one size in three colours, so that a rewrite keeps the file's size.
    void SetUp() override {
        writePicture(file("a.bmp"), 40, 30, kRed);
        writePicture(file("b.bmp"), 40, 30, kGreen);
        writePicture(file("c.bmp"), 40, 30, kBlue);
        fx.start({});
        // As in the window, which asks after its first paint.
        wish({});
    }
    fs::path file(const std::string& name) { return fx.host.startFolder() / name; }
    std::string path(const std::string& name) { return fx.host.hostPath(file(name)); }
    void wish(const std::vector<std::string>& paths) {
        fx.host.pictures().decodeAhead(fx.host.files().toNative(paths));
    }

    // What the window does once the picture is painted, waited for.
    void restOnPicture() {
        decodeLikelyNext(fx.c());
        fx.host.pictures().finishAll();
    }
    bool held(const std::string& name) { return fx.host.pictures().held().holds(file(name)); }
    unsigned shownColour() {
        const QImage* image = fx.c().Image1.picture().image();
        return image ? image->pixel(0, 0) & 0xFFFFFF : 0;
    }
    // The file system's timestamps move in coarse steps: a change right after a read could
    // keep every time the same.
    static void letTheClockMove() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

    FormFixture fx;
};

TEST_F(DecodeAhead, SteppingTakesTheNeighboursDecodedMeanwhile) {
    fx.open(0);
    restOnPicture();
    EXPECT_TRUE(held("b.bmp"));
    EXPECT_FALSE(held("c.bmp"));

    fx.open(1);
    EXPECT_EQ(fx.host.pictures().held().hits(), 1u);
    EXPECT_EQ(shownColour(), kGreen);
    EXPECT_EQ(fx.c().lstCnt.text(), "2/3");

    // Going back finds the picture shown before.
    restOnPicture();
    EXPECT_TRUE(held("a.bmp"));
    EXPECT_TRUE(held("c.bmp"));
    fx.open(0);
    EXPECT_EQ(fx.host.pictures().held().hits(), 2u);
    EXPECT_EQ(shownColour(), kRed);
    EXPECT_TRUE(fx.prompts().empty());
}

TEST_F(DecodeAhead, AFileRewrittenOrReplacedAfterItsDecodeIsReadAfresh) {
    fx.open(0);
    restOnPicture();
    ASSERT_TRUE(held("b.bmp"));
    letTheClockMove();
    // Same size, new bytes, same inode.
    const std::string grey = [&] {
        writePicture(file("grey.bmp"), 40, 30, kGrey);
        return readBytes(file("grey.bmp"));
    }();
    fs::remove(file("grey.bmp"));
    ASSERT_EQ(grey.size(), fs::file_size(file("b.bmp")));
    {
        std::fstream out(file("b.bmp"), std::ios::in | std::ios::out | std::ios::binary);
        out.write(grey.data(), static_cast<std::streamsize>(grey.size()));
    }
    fx.open(1);
    EXPECT_EQ(shownColour(), kGrey);

    // Replaced by a rename, as editors save.
    restOnPicture();
    ASSERT_TRUE(held("c.bmp"));
    letTheClockMove();
    writePicture(file("new.bmp"), 40, 30, kRed);
    fs::rename(file("new.bmp"), file("c.bmp"));
    fx.open(2);
    EXPECT_EQ(shownColour(), kRed);
    EXPECT_EQ(fx.host.pictures().held().hits(), 0u);
    EXPECT_TRUE(fx.prompts().empty());
}

TEST_F(DecodeAhead, AFileTurnedIntoAFifoOrDeletedAfterItsDecodeEndsInTheMessage) {
    fx.open(1);
    restOnPicture();
    ASSERT_TRUE(held("c.bmp"));
    fs::remove(file("c.bmp"));
    ASSERT_EQ(::mkfifo(file("c.bmp").c_str(), 0600), 0);
    fx.open(2);
    EXPECT_EQ(fx.prompts(), std::vector<std::string>{kLoadFailedMessage});
    EXPECT_EQ(shownColour(), kGreen);  // the picture shown before stays

    fx.host.messages.clear();
    fx.open(1);
    restOnPicture();
    ASSERT_TRUE(held("a.bmp"));
    EXPECT_FALSE(held("c.bmp"));  // a FIFO is never decoded
    fs::remove(file("a.bmp"));
    fx.open(0);
    EXPECT_EQ(fx.prompts(), std::vector<std::string>{kLoadFailedMessage});
}

TEST_F(DecodeAhead, SavingOverAHeldFileShowsWhatWasSaved) {
    fx.open(0);
    restOnPicture();
    ASSERT_TRUE(held("b.bmp"));
    fx.host.files().SavePicture(test::solidPicture(40, 30, kGrey), path("b.bmp"));
    EXPECT_FALSE(held("b.bmp"));
    fx.open(1);
    EXPECT_EQ(shownColour(), kGrey);
}

TEST_F(DecodeAhead, ANeighbourThatFailsIsNotHeldAndOpensWithTheUsualMessage) {
    // A JPEG cut short inside its data.
    writePicture(file("d.jpg"), 64, 64, kBlue);
    const std::string whole = readBytes(file("d.jpg"));
    writeBytes(file("d.jpg"), whole.substr(0, whole.size() / 2));
    fx.c().filList.refresh();
    fx.open(2);
    restOnPicture();
    EXPECT_FALSE(held("d.jpg"));
    EXPECT_TRUE(held("b.bmp"));
    fx.open(3);
    EXPECT_EQ(fx.prompts(), std::vector<std::string>{kLoadFailedMessage});
    EXPECT_EQ(shownColour(), kBlue);
}

TEST_F(DecodeAhead, LeavingTheFolderLetsGoOfItsPictures) {
    fx.open(0);
    restOnPicture();
    ASSERT_TRUE(held("b.bmp"));
    const fs::path other = fx.host.startFolder() / "other";
    fs::create_directory(other);
    fx.form->dispatch([&] { fx.c().dirList.setPath(fx.host.hostPath(other)); });
    EXPECT_FALSE(held("b.bmp"));
}

TEST_F(DecodeAhead, HoldsNoMoreThanTheBudget) {
    const std::int64_t picture = 40 * 30 * 4;
    fx.host.pictures().setAheadBudget(picture * 3 / 2);
    fx.open(1);
    restOnPicture();
    EXPECT_TRUE(held("c.bmp"));  // the next one comes first
    EXPECT_FALSE(held("a.bmp"));

    fx.host.pictures().setAheadBudget(picture - 1);
    fx.open(1);
    restOnPicture();
    EXPECT_FALSE(held("a.bmp"));
    EXPECT_FALSE(held("c.bmp"));
    fx.open(2);
    EXPECT_EQ(shownColour(), kBlue);
}

// The photo ahead in the way the person steps comes first, up as well as down, when the
// budget holds only one.
TEST_F(DecodeAhead, TheNeighbourInTheWayOfTheLastStepComesFirst) {
    fx.host.pictures().setAheadBudget(40 * 30 * 4 * 3 / 2);
    const struct {
        const char* steps;
        std::vector<int> rows;
        const char* first;
        const char* notHeld;
    } cases[] = {{"down", {0, 1}, "c.bmp", "a.bmp"}, {"up", {2, 1}, "a.bmp", "c.bmp"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        for (const int row : c.rows) fx.open(row);
        fx.host.pictures().setAheadBudget(40 * 30 * 4 * 3 / 2);  // lets go of all held so far
        restOnPicture();
        EXPECT_TRUE(held(c.first));
        EXPECT_FALSE(held(c.notHeld));
    }
}

TEST_F(DecodeAhead, AJumpReusesAHeldPicturesMemoryAndShowsOnlyTheNewFile) {
    const std::pair<const char*, unsigned> jpegs[] = {
        {"j0.jpg", kRed}, {"j1.jpg", kGreen}, {"j2.jpg", kBlue}, {"j3.jpg", kGrey}};
    for (const auto& [name, colour] : jpegs) writePicture(file(name), 64, 48, colour);
    fx.c().filList.refresh();
    fx.open(3);  // j0
    restOnPicture();
    ASSERT_TRUE(held("j1.jpg"));

    fx.open(6);  // j3: not a neighbour
    EXPECT_FALSE(held("j1.jpg")) << "its memory went to the picture opened";
    const QImage fresh = decodePicture(readPictureFile(file("j3.jpg")));
    ASSERT_NE(fx.c().Image1.picture().image(), nullptr);
    EXPECT_EQ(*fx.c().Image1.picture().image(), fresh);
    EXPECT_EQ(fx.host.pictures().held().hits(), 0u);
}

// Holds the read of b.bmp (the work ahead) until released; the reads of opens pass.
std::atomic<bool> workerInRead{false}, releaseWorker{false};
void holdWorker(int fd) {
    if (fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename() != "b.bmp") return;
    workerInRead = true;
    while (!releaseWorker) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST_F(DecodeAhead, OpeningAnotherFileNeitherWaitsForAheadWorkNorKeepsIt) {
    fx.open(0);
    workerInRead = false;
    releaseWorker = false;
    seams::setBeforePictureRead(holdWorker);
    wish({path("b.bmp")});
    while (!workerInRead) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    fx.open(2);  // would never return if it waited for the worker
    EXPECT_EQ(shownColour(), kBlue);
    releaseWorker = true;
    fx.host.pictures().finishAll();
    seams::setBeforePictureRead(nullptr);
    EXPECT_FALSE(held("b.bmp"));
}

}  // namespace
