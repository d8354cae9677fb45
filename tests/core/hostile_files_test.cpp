// SPDX-License-Identifier: MIT
// Whatever a folder holds and whatever other programs do to it meanwhile: every entry ends in
// a picture or the one load-failure message, nothing waits on another process, nothing dies,
// and no file changes.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "commands/commands.h"
#include "files/atomic_save.h"
#include "files/natural_order.h"
#include "files/wildcard.h"
#include "imaging/picture_reader.h"
#include "platform/system_parameters.h"
#include "slideshow/slideshow.h"
#include "support/core_test.h"
#include "support/hostile_corpus.h"
#include "view/view.h"

namespace {

enum class Ended { Picture, Refused, OtherError, Died, Hung };

// Loads in a child process, so that a load that blocks or kills fails the test instead of
// freezing or killing the whole run.
Ended loadInChild(const std::function<void()>& load, std::chrono::seconds limit = std::chrono::seconds(5)) {
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 0;
        try {
            load();
        } catch (const HostError&) {
            code = 1;
        } catch (...) {
            code = 2;
        }
        ::_exit(code);
    }
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return Ended::Hung;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!WIFEXITED(status)) return Ended::Died;
    switch (WEXITSTATUS(status)) {
        case 0: return Ended::Picture;
        case 1: return Ended::Refused;
        default: return Ended::OtherError;
    }
}

QImage decode(const std::string& bytes) { return decodePicture(QByteArray::fromStdString(bytes)); }

bool refused(const std::string& bytes) {
    try {
        (void)decode(bytes);
        return false;
    } catch (const HostError&) {
        return true;
    }
}

}  // namespace

// --- special entries and files that change while they are read -------------------------------

TEST(PictureReader, AFifoNamedLikeAPictureIsRefusedWithoutWaitingForAWriter) {
    TestHost host;
    const fs::path fifo = host.startFolder() / "x.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(loadInChild([&] { (void)PicturePipeline().open(fifo); }), Ended::Refused);
}

TEST(PictureReader, DevicesFoldersAndBrokenLinksAreRefused) {
    TestHost host;
    const fs::path d = host.startFolder();
    fs::create_symlink("/dev/zero", d / "zero.jpg");
    fs::create_symlink("loop.jpg", d / "loop.jpg");
    fs::create_symlink("missing.jpg", d / "dangling.jpg");
    fs::create_directory(d / "folder.jpg");
    for (const char* name : {"zero.jpg", "loop.jpg", "dangling.jpg", "folder.jpg"})
        EXPECT_EQ(loadInChild([&] { (void)PicturePipeline().open(d / name); }), Ended::Refused) << name;
}

namespace {
fs::path changing;
std::string changedTo;
void rewriteBeforeRead(int) {
    std::error_code ec;
    fs::resize_file(changing, changedTo.size(), ec);
    writeBytes(changing, changedTo);
}
struct ReadHook {
    explicit ReadHook(void (*hook)(int)) { seams::setBeforePictureRead(hook); }
    ~ReadHook() { seams::setBeforePictureRead(nullptr); }
};
}  // namespace

TEST(PictureReader, AFileThatShrinksGrowsOrChangesDuringTheReadIsRefusedNotMisread) {
    TestHost host;
    const fs::path d = host.startFolder();
    const std::string whole = test::pictureBytes("jpg", 400, 300);
    changing = d / "p.jpg";
    const ReadHook hook(rewriteBeforeRead);
    for (const std::string& next :
         {std::string(), whole.substr(0, 100), whole.substr(0, whole.size() / 2), whole + std::string(5000, 'x')}) {
        writeBytes(changing, whole);
        changedTo = next;
        EXPECT_EQ(loadInChild([&] { (void)PicturePipeline().open(changing); }), Ended::Refused) << next.size();
    }
}

// --- truncated and lying pictures ------------------------------------------------------------

TEST(PictureReader, BitmapsAndGifsCutAnywhereInTheirPictureDataAreRefused) {
    const std::string bmp = test::pictureBytes("bmp", 30, 20);
    const std::string gif = test::pictureBytes("gif", 30, 20);
    ASSERT_EQ(decode(bmp).size(), QSize(30, 20));
    ASSERT_EQ(decode(gif).size(), QSize(30, 20));
    for (std::size_t n = 1; n < bmp.size(); n += 7) EXPECT_TRUE(refused(bmp.substr(0, n))) << "BMP of " << n;
    // The last byte is the trailer, after the first picture's data.
    for (std::size_t n = 1; n + 1 < gif.size(); n += 3) EXPECT_TRUE(refused(gif.substr(0, n))) << "GIF of " << n;
}

TEST(PictureReader, ABitmapWhosePixelsStartPastItsEndIsRefused) {
    std::string bmp = test::pictureBytes("bmp", 30, 20);
    bmp[10] = 0x00;
    bmp[11] = static_cast<char>(0xF0);  // pixel data offset 61440, beyond the file
    EXPECT_TRUE(refused(bmp));
}

TEST(PictureReader, RunLengthBitmapsAreWholeOnlyWithAllTheirRows) {
    // 2 x 2, 8 bits: two rows, each a run of two pixels and an end of line, then the end.
    std::string header("BM\0\0\0\0\0\0\0\0\x3e\0\0\0(\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x08\0\x01\0\0\0", 34);
    header += std::string(12, '\0') + std::string("\x02\0\0\0", 4) + std::string(4, '\0');
    header += std::string("\xff\0\0\0\0\0\xff\0", 8);  // palette of two
    const std::string rows("\x02\x01\x00\x00\x02\x00\x00\x00\x00\x01", 10);
    EXPECT_EQ(decode(header + rows).size(), QSize(2, 2));
    for (std::size_t n = 0; n < 6; n += 2) EXPECT_TRUE(refused(header + rows.substr(0, n))) << n;
    // The end mark may close the last row in place of its end of line, but not come sooner.
    EXPECT_EQ(decode(header + rows.substr(0, 6) + std::string("\x00\x01", 2)).size(), QSize(2, 2));
    EXPECT_TRUE(refused(header + rows.substr(0, 2) + std::string("\x00\x01", 2)));
}

TEST(PictureReader, AGifWhoseDataDecodesToFewerPixelsThanItsFrameIsRefused) {
    // 3 x 1 with 2-bit codes, each code 3 bits: clear, colour 0, colour 1, then the end.
    const std::string head = std::string("GIF89a\x03\x00\x01\x00\x80\x00\x00", 13) + std::string(6, '\x7f') +
                             std::string(",\0\0\0\0\x03\x00\x01\x00\x00\x02", 11);
    const auto gif = [&](std::initializer_list<unsigned> codes) {
        std::string data;
        unsigned bits = 0, count = 0;
        for (const unsigned code : codes) {
            bits |= code << count;
            count += 3;
            for (; count >= 8; count -= 8, bits >>= 8) data += static_cast<char>(bits & 0xFF);
        }
        if (count > 0) data += static_cast<char>(bits);
        return head + static_cast<char>(data.size()) + data + std::string("\0;", 2);
    };
    EXPECT_EQ(decode(gif({4, 0, 1, 0, 5})).size(), QSize(3, 1));
    EXPECT_EQ(decode(gif({4, 0, 6, 5})).size(), QSize(3, 1));  // a code for the pair not yet made
    EXPECT_TRUE(refused(gif({4, 0, 1, 5})));
    EXPECT_TRUE(refused(gif({4, 5})));
}

TEST(PictureReader, ADecompressionBombIsRefusedWhileARealLargePhotoOpens) {
    // A small JPEG whose header claims 16383 x 16383 pixels: within the allocation bound,
    // but far too little data to fill it.
    EXPECT_TRUE(refused(test::jpegClaiming(16383, 16383)));
    EXPECT_TRUE(refused(test::jpegClaiming(65535, 65535)));
    EXPECT_TRUE(refused(test::jpegClaiming(4000, 4000)));
    for (const auto& [label, bytes] : test::hostileContents()) {
        if (label.find("claiming") != std::string::npos) {
            EXPECT_TRUE(refused(bytes)) << label;
        }
    }
    // The same check lets a whole picture of that kind through.
    EXPECT_EQ(decode(test::pictureBytes("jpg", 4000, 3000)).size(), QSize(4000, 3000));
}

TEST(PictureReader, AProgressiveJpegWhoseScansNeedMoreMemoryThanThePictureBoundIsRefusedAsTooLarge) {
    // Refused before the decoder takes the memory, with the message of any picture too large.
    try {
        (void)decode(test::coefficientBomb());
        ADD_FAILURE() << "decoded";
    } catch (const HostError& e) {
        EXPECT_STREQ(e.what(), "The picture is too large");
    }
}

// --- name matching -----------------------------------------------------------------------------

namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The plain definition, by recursion: '*' any run, '?' any one byte, else the same letter.
bool referenceMatch(std::string_view p, std::string_view n) {
    if (p.empty()) return n.empty();
    if (p[0] == '*') return referenceMatch(p.substr(1), n) || (!n.empty() && referenceMatch(p, n.substr(1)));
    if (n.empty()) return false;
    if (p[0] != '?' && asciiLower(p[0]) != asciiLower(n[0])) return false;
    return referenceMatch(p.substr(1), n.substr(1));
}

// Every string of up to `length` letters of the alphabet.
std::vector<std::string> allStrings(std::string_view alphabet, std::size_t length) {
    std::vector<std::string> out{""};
    for (std::size_t begin = 0, l = 0; l < length; ++l) {
        const std::size_t end = out.size();
        for (std::size_t i = begin; i < end; ++i)
            for (const char c : alphabet) out.push_back(out[i] + c);
        begin = end;
    }
    return out;
}

}  // namespace

TEST(NameMatching, AgreesWithTheReferenceOnEveryShortPatternAndName) {
    const auto patterns = allStrings("a*?B\xff", 4);
    const auto names = allStrings("aAb*?\xff\xc3", 4);
    for (const auto& p : patterns)
        for (const auto& n : names) ASSERT_EQ(wildcardMatch(p, n), referenceMatch(p, n)) << p << " / " << n;
}

TEST(NameMatching, NamesThatBeginWithAStarAreListed) {
    TestHost host;
    const fs::path d = host.startFolder();
    for (const char* name : {"*new*.jpg", "*.JPG", "**.gif", "a*b?.bmp", "plain.jpg"}) writePicture(d / name, 4, 4);
    EXPECT_EQ(host.files().Files(host.hostPath(d), "*.jpg*;*.bmp*;*.gif*"),
              (std::vector<std::string>{"**.gif", "*.JPG", "*new*.jpg", "a*b?.bmp", "plain.jpg"}));
}

TEST(NaturalOrder, IsAStrictWeakOrderOverAwkwardNames) {
    std::vector<std::string> names = allStrings("a0A1 \xff", 3);
    for (const char* extra : {"img2", "img10", "img010", "IMG2", "img02x", "0", "00", "9999999999999999999999"})
        names.emplace_back(extra);
    for (const auto& a : names) {
        ASSERT_FALSE(naturalLess(a, a)) << a;
        for (const auto& b : names) {
            const bool ab = naturalLess(a, b), ba = naturalLess(b, a);
            ASSERT_FALSE(ab && ba) << a << " / " << b;
            // Ties broken by the bytes: a total order.
            ASSERT_TRUE(ab || ba || a == b) << a << " / " << b;
        }
    }
    // Transitivity, on a sorted sample checked pairwise against its order.
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return naturalLess(a, b); });
    for (std::size_t i = 0; i < names.size(); i += 7)
        for (std::size_t j = i + 1; j < names.size(); j += 5) ASSERT_TRUE(naturalLess(names[i], names[j]));
}

// --- a whole hostile folder through the handlers ---------------------------------------------

namespace {

std::map<std::string, std::string> regularFiles(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::error_code ec;
        if (!e.is_symlink(ec) && e.is_regular_file(ec) && ::access(e.path().c_str(), R_OK) == 0)
            out[e.path().filename().native()] = readBytes(e.path());
    }
    return out;
}

}  // namespace

TEST(HostileFolder, EveryEntryEndsInAPictureOrTheOneMessageAndNoFileChanges) {
    FormFixture f;
    const fs::path folder = f.host.startFolder();
    const std::vector<HostileEntry> entries = test::makeHostileFolder(folder);
    const auto before = regularFiles(folder);
    f.start({});
    auto& c = f.c();
    std::map<std::string, const HostileEntry*> byName;
    for (const auto& e : entries) byName[e.name] = &e;
    // Every entry but the folder is listed, awkward names included.
    EXPECT_EQ(c.filList.listCount(), static_cast<int>(entries.size()) - 1);

    const std::vector<std::string> names = c.filList.names();
    for (std::size_t row = 0; row < names.size(); ++row) {
        const auto it = byName.find(names[row]);
        ASSERT_NE(it, byName.end()) << names[row];
        const HostileEntry& entry = *it->second;
        const std::size_t messages = f.host.messages.size();
        f.open(static_cast<int>(row));
        const bool message = f.host.messages.size() == messages + 1;
        ASSERT_LE(f.host.messages.size(), messages + 1) << entry.label;
        if (message) {
            EXPECT_EQ(f.host.messages.back().prompt, kLoadFailedMessage) << entry.label;
        } else {
            EXPECT_EQ(c.picPath.substr(c.picPath.size() - entry.name.size()), entry.name) << entry.label;
        }
        if (entry.expected != Outcome::Either) {
            EXPECT_EQ(message, entry.expected == Outcome::Message) << entry.label;
        }
        // A slide show that reaches the next entry from here.
        if (c.autoRn.enabled()) {
            f.click(c.autoRn);
            f.tick();
            EXPECT_LE(f.host.messages.size(), messages + 2) << entry.label;
            if (c.stpBtn.enabled()) f.click(c.stpBtn);
        }
    }
    EXPECT_EQ(regularFiles(folder), before);
}

// --- the outside world changing between the listing and the click ----------------------------

TEST(OutsideWorld, RenamedOrSwappedForAFifoAfterTheListingEndsInTheMessage) {
    FormFixture f;
    const fs::path d = f.host.startFolder();
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) writePicture(d / name, 8, 8);
    f.start({});
    fs::rename(d / "a.jpg", d / "renamed.jpg");
    fs::remove(d / "b.jpg");
    ASSERT_EQ(::mkfifo((d / "b.jpg").c_str(), 0644), 0);
    writePicture(d / "added.jpg", 8, 8);
    f.open(0);
    f.open(1);
    EXPECT_EQ(f.prompts(), (std::vector<std::string>{kLoadFailedMessage, kLoadFailedMessage}));
    // The list now shows what is there.
    EXPECT_EQ(f.c().filList.names(), (std::vector<std::string>{"added.jpg", "b.jpg", "c.jpg", "renamed.jpg"}));
    f.open(3);
    EXPECT_EQ(f.host.messages.size(), 2u);
    EXPECT_EQ(f.c().Image1.picture().widthPx(), 8);
}

TEST(OutsideWorld, TheShownFolderRemovedThenAClickEndsInMessagesNotACrash) {
    FormFixture f;
    const fs::path d = f.host.startFolder() / "gone";
    fs::create_directory(d);
    writePicture(d / "a.jpg", 8, 8);
    writePicture(d / "b.jpg", 8, 8);
    f.start({});
    f.form->dispatch([&] { f.c().dirList.setPath(f.host.hostPath(d)); });
    f.open(0);
    ASSERT_TRUE(f.host.messages.empty());
    fs::remove_all(d);
    f.open(1);
    // The load fails, then re-reading the vanished folder is reported once more.
    ASSERT_GE(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].prompt, kLoadFailedMessage);
    EXPECT_LE(f.host.messages.size(), 2u);
    EXPECT_FALSE(f.c().Timer1.enabled());
}

TEST(OutsideWorld, TheWallPaperIsNeverSetToAFileThatIsGoneOrNotRegular) {
    // A desktop whose settings live in memory only, so that a wrong answer harms nothing.
    const test::TempDir dir;
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const std::string keep = desktop ? desktop : "";
    ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    ASSERT_EQ(::mkfifo((dir.path() / "x.bmp").c_str(), 0644), 0);
    EXPECT_EQ(os::SystemParametersInfoA(20, 0, (dir.path() / "missing.bmp").native(), 1), 0);
    EXPECT_EQ(os::SystemParametersInfoA(20, 0, (dir.path() / "x.bmp").native(), 1), 0);
    ::unsetenv("GSETTINGS_BACKEND");
    if (desktop)
        ::setenv("XDG_CURRENT_DESKTOP", keep.c_str(), 1);
    else
        ::unsetenv("XDG_CURRENT_DESKTOP");
}

TEST(OutsideWorld, TheShownFileDeletedBeforeSaveOrDeleteEndsInWhatTheCommandsSay) {
    FormFixture f;
    const fs::path d = f.host.startFolder();
    writePicture(d / "a.jpg", 8, 8);
    writePicture(d / "b.jpg", 8, 8);
    f.start({});
    f.open(0);
    fs::remove(d / "a.jpg");
    // The picture is still in memory: saving it writes a whole bitmap.
    f.host.saveAnswers.push_back(f.host.hostPath(d / "kept.bmp"));
    f.click(f.c().bmp);
    EXPECT_EQ(f.prompts(), (std::vector<std::string>{kBitmapNotice, kSavedMessage}));
    EXPECT_EQ(QImage(QString::fromStdString((d / "kept.bmp").native())).size(), QSize(8, 8));
    // Deleting what is gone says so, and nothing else is touched.
    f.host.messages.clear();
    f.open(0);
    fs::remove(d / "b.jpg");
    f.click(f.c().delBtn);
    EXPECT_EQ(f.prompts(), (std::vector<std::string>{kDeleteQuestion, kAlreadyGoneMessage}));
    EXPECT_TRUE(fs::exists(d / "kept.bmp"));
}

// --- one rule for every JPEG, whatever its size ---------------------------------------------

namespace {

QImage qtDecode(const std::string& bytes) { return test::qtDecode(QByteArray::fromStdString(bytes)); }

}  // namespace

TEST(HostileJpegs, WholeOnesShowQtsPixelsAndDamagedOrEndlessOnesAreRefused) {
    for (const auto& [label, bytes] : test::hostileContents()) {
        if (bytes.rfind("\xFF\xD8", 0) != 0) continue;
        SCOPED_TRACE(label);
        if (label.rfind("whole ", 0) != 0) {
            EXPECT_TRUE(refused(bytes));
            continue;
        }
        const QImage shown = decode(bytes);
        const QImage expected = qtDecode(bytes);
        ASSERT_EQ(shown.size(), expected.size());
        EXPECT_TRUE(shown == expected) << "pixels differ from Qt's decode";
    }
}
