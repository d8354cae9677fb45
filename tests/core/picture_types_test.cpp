// SPDX-License-Identifier: MIT
// Every picture type a person may be given through Open With, the command line or the
// clipboard: shown with its own pixels and turn, saved as a bitmap of what is shown, and
// refused when cut short or when its header claims a size beyond the allocation bound.

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>
#include <QMimeData>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "app/open_path.h"
#include "codecs/webp_picture.h"
#include "imaging/clipboard_picture.h"
#include "imaging/library_codecs.h"
#include "imaging/picture_formats.h"
#include "imaging/picture_reader.h"
#include "support/core_test.h"
#include "support/encoded_pictures.h"
#include "support/hostile_corpus.h"

using namespace pictavo::test;

namespace {

struct PictureType {
    const char* name;  // the file's name, whose extension tells nothing to the reader
    int tolerance;     // how far a channel of a lossy type may stray from the pattern's
    int orientation;
    std::function<QByteArray()> encode;
};

std::vector<PictureType> pictureTypes() {
    return {
        {"screen.png", 0, kUpright, [] { return qtEncoded(pattern(), "png", -1); }},
        {"web.webp", 60, kUpright, [] { return qtEncoded(pattern(), "webp", 80); }},
        {"web-lossless.webp", 0, kUpright, [] { return qtEncoded(pattern(), "webp", 100); }},
        {"scan.tif", 0, kUpright, [] { return qtEncoded(pattern(), "tiff", -1); }},
        {"scan-turned.tif", 0, kTurnedRight, [] { return qtEncoded(pattern(), "tiff", -1, kTurnedRight); }},
        {"web.avif", 60, kUpright, [] { return heifEncoded(pattern(), true); }},
        {"photo.heic", 60, kUpright, [] { return heifEncoded(pattern(), false); }},
        {"photo-turned.heic", 60, kTurnedRight, [] { return heifEncoded(pattern(), false, kTurnedRight); }},
        {"lossy.jxl", 60, kUpright, [] { return jxlEncoded(pattern(), false); }},
        {"lossless.jxl", 0, kUpright, [] { return jxlEncoded(pattern(), true, kUpright, true); }},
        {"turned.jxl", 0, kTurnedRight, [] { return jxlEncoded(pattern(), true, kTurnedRight); }},
    };
}

// How far apart two pictures' pixels are at the worst channel (all pixels when exact,
// else the centres of the pattern's blocks, away from a lossy coder's blurred edges).
int farthest(const QImage& a, const QImage& b, bool exact) {
    int worst = 0;
    for (int y = exact ? 0 : 4; y < a.height(); y += exact ? 1 : 8)
        for (int x = exact ? 0 : 4; x < a.width(); x += exact ? 1 : 8) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max(
                {worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

TEST(PictureTypes, OpenWithShowsEachTypeTurnedAndSavesWhatIsShownAsABitmap) {
    for (const PictureType& type : pictureTypes()) {
        SCOPED_TRACE(type.name);
        FormFixture f;
        f.start({"a.jpg", "b.bmp"});
        const QByteArray bytes = type.encode();
        writeBytes(f.host.startFolder() / type.name, bytes.toStdString());
        std::string why;
        f.form->dispatch([&] { why = openStartPath(f.c(), f.host.hostPath(f.host.startFolder() / type.name)); });
        ASSERT_EQ(why, "");
        EXPECT_TRUE(f.host.messages.empty());
        EXPECT_EQ(f.c().lstCnt.text(), "0/2");  // the list keeps its pattern and its count
        const QImage& shown = *f.c().Image1.picture().image();
        const QImage expected = shownAs(pattern(), type.orientation);
        ASSERT_EQ(shown.size(), expected.size());
        EXPECT_LE(farthest(shown, expected, type.tolerance == 0), type.tolerance);

        f.host.saveAnswers.push_back((f.host.startFolder() / "saved.bmp").native());
        f.click(f.c().bmp);
        const auto saved = readBytes(f.host.startFolder() / "saved.bmp");
        QImage bitmap;
        ASSERT_TRUE(bitmap.loadFromData(reinterpret_cast<const uchar*>(saved.data()), int(saved.size()), "BMP"));
        ASSERT_EQ(bitmap.size(), shown.size());
        EXPECT_EQ(farthest(bitmap, shown, true), 0);
    }
}

TEST(PictureTypes, PastingEachTypeTakesItsOwnBytes) {
    const std::pair<const char*, QByteArray> offers[] = {
        {"image/webp", qtEncoded(pattern(), "webp", 100)}, {"image/tiff", qtEncoded(pattern(), "tiff", -1)},
        {"image/avif", heifEncoded(pattern(), true)},      {"image/heic", heifEncoded(pattern(), false)},
        {"image/heif", heifEncoded(pattern(), false)},     {"image/jxl", jxlEncoded(pattern(), true)},
    };
    for (const auto& [type, bytes] : offers) {
        SCOPED_TRACE(type);
        QMimeData data;
        data.setData(QString::fromLatin1(type), bytes);
        data.setData(QStringLiteral("text/plain"), "not the picture");
        const ClipboardPicture offered = takeClipboardPicture(data);
        ASSERT_EQ(offered.format, QLatin1String(type));
        EXPECT_EQ(decodeClipboardPicture(offered).size(), pattern().size());
    }
}

// Cut short, lying about its size, or garbage after the type's signature: refused with the
// load-failure reason, and a size beyond the bound before any pixel memory is asked for.
TEST(PictureTypes, DamagedAndLyingFilesOfEachTypeAreRefused) {
    const QByteArray png = qtEncoded(pattern(), "png", -1), webp = qtEncoded(pattern(), "webp", 80),
                     lossless = qtEncoded(pattern(), "webp", 100), tiff = qtEncoded(pattern(), "tiff", -1),
                     heic = heifEncoded(pattern(), false), avif = heifEncoded(pattern(), true),
                     jxl = jxlEncoded(pattern(), false), boxedJxl = jxlEncoded(pattern(), true, kUpright, true);
    const auto garbageAfter = [](const QByteArray& whole, int kept) {
        QByteArray bytes = whole.left(kept);
        for (int i = 0; bytes.size() < whole.size(); ++i) bytes.append(char(i * 151 + 7));
        return bytes;
    };
    const std::pair<const char*, QByteArray> cases[] = {
        {"PNG cut in half", png.left(png.size() / 2)},
        {"PNG without its last 20 bytes", png.left(png.size() - 20)},
        {"PNG claiming 100000 x 100000", pngClaiming(png, 100000, 100000)},
        {"lossy WebP cut in half", webp.left(webp.size() / 2)},
        {"lossy WebP without its last 8 bytes", webp.left(webp.size() - 8)},
        {"lossy WebP claiming 100000 x 100000", webpClaiming(webp, 100000, 100000)},
        {"lossless WebP cut in half", lossless.left(lossless.size() / 2)},
        {"lossless WebP claiming 100000 x 100000", webpClaiming(lossless, 100000, 100000)},
        {"TIFF cut in half", tiff.left(tiff.size() / 2)},
        {"TIFF claiming 100000 x 100000", tiffClaiming(tiff, 100000, 100000)},
        {"HEIC cut in half", heic.left(heic.size() / 2)},
        {"HEIC without its last 8 bytes", heic.left(heic.size() - 8)},
        {"HEIC claiming 100000 x 100000", heifClaiming(heic, 100000, 100000)},
        {"HEIC claiming 30000 x 30000", heifClaiming(heic, 30000, 30000)},
        {"HEIC of garbage after its file type", garbageAfter(heic, 32)},
        {"AVIF cut in half", avif.left(avif.size() / 2)},
        {"AVIF without its last 8 bytes", avif.left(avif.size() - 8)},
        {"AVIF claiming 100000 x 100000", heifClaiming(avif, 100000, 100000)},
        {"AVIF of garbage after its file type", garbageAfter(avif, 32)},
        {"JPEG XL cut in half", jxl.left(jxl.size() / 2)},
        {"JPEG XL without its last 8 bytes", jxl.left(jxl.size() - 8)},
        {"JPEG XL claiming 100000 x 100000", jxlClaiming(100000, 100000)},
        {"JPEG XL of garbage after its signature", garbageAfter(jxl, 2)},
        {"JPEG XL container cut in half", boxedJxl.left(boxedJxl.size() / 2)},
        {"JPEG XL container of garbage after its signature", garbageAfter(boxedJxl, 12)},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        bool memoryAsked = false;
        const PictureMemory memory = [&](QSize size) {
            memoryAsked = true;
            return QImage(size, QImage::Format_RGB32);
        };
        const auto started = std::chrono::steady_clock::now();
        EXPECT_THROW((void)decodePicture(bytes, std::int64_t(kPictureAllocationLimitMiB) * 1024 * 1024, memory),
                     HostError);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
        if (QByteArray(what).contains("claiming")) {
            EXPECT_THROW((void)checkPicture(bytes), HostError);
            EXPECT_FALSE(memoryAsked);
        }
    }
}

// The decoder that gives an opaque WebP by rows: a damaged file fails and a lying one is not
// taken, rather than leave rows unwritten, and a stop asked for between slices is heard.
TEST(PictureTypes, WebPByRowsFailsOnDamageAndStopsWhenAsked) {
    const QByteArray webp = qtEncoded(pattern(), "webp", 80);
    ASSERT_EQ(pictavo::webpOpaqueStillSize(webp), pattern().size());
    QImage clear(32, 16, QImage::Format_ARGB32);
    clear.fill(qRgba(1, 2, 3, 100));
    EXPECT_FALSE(pictavo::webpOpaqueStillSize(qtEncoded(clear, "webp", 80)).isValid()) << "left to Qt";

    QImage big(256, 256, QImage::Format_RGB32);
    std::uint32_t seed = 1;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) big.setPixel(x, y, 0xFF000000u | ((seed = seed * 1664525u + 1013904223u) >> 8));
    const QByteArray several = qtEncoded(big, "webp", 100);  // lossless: slices of 64 KiB
    ASSERT_GT(several.size(), 2 * 64 * 1024);
    const struct {
        const char* what;
        QByteArray bytes;
    } damaged[] = {
        {"cut in half", several.left(several.size() / 2)},
        {"without its last 8 bytes", webp.left(webp.size() - 8)},
        {"garbage after its headers", several.left(40) + QByteArray(several.size() - 40, '\x5A')},
    };
    EXPECT_FALSE(pictavo::webpOpaqueStillSize(webpClaiming(webp, 64, 32)).isValid())
        << "a canvas its picture does not fill";
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        const QSize size = pictavo::webpOpaqueStillSize(bytes);
        ASSERT_TRUE(size.isValid()) << "taken for an opaque still by its headers";
        QImage into(size, QImage::Format_RGB32);
        EXPECT_THROW((void)pictavo::decodeWebpRows(bytes, into.bits(), into.bytesPerLine(), [](int) { return true; }),
                     HostError);
    }

    QImage into(big.size(), QImage::Format_RGB32);
    int calls = 0;
    EXPECT_FALSE(pictavo::decodeWebpRows(several, into.bits(), into.bytesPerLine(), [&](int) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
    std::vector<int> told;
    EXPECT_TRUE(pictavo::decodeWebpRows(several, into.bits(), into.bytesPerLine(), [&](int rows) {
        told.push_back(rows);
        return true;
    }));
    EXPECT_EQ(into, big);
    EXPECT_EQ(told.back(), 256);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
}

// A file may store its colours multiplied by their alpha: shown with its own colours, not
// darkened a second time, and a colour past its alpha (as a lossy coder leaves one) held to
// it rather than wrapping round. Straight alpha alongside, as the same colours. (libjxl's
// encoder here cannot mark a frame premultiplied, so JPEG XL comes with straight alpha only.)
TEST(PictureTypes, ColoursStoredPremultipliedAreShownAsTheyWere) {
    const QRgb warm = qRgba(200, 100, 50, 128), faintRed = qRgba(255, 0, 0, 64);
    QImage straight(32, 16, QImage::Format_ARGB32), premultiplied(32, 16, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            straight.setPixel(x, y, x < 16 ? warm : faintRed);
            // Its own bytes: warm multiplied by its alpha, and a red past its alpha.
            reinterpret_cast<QRgb*>(premultiplied.scanLine(y))[x] = x < 16 ? qRgba(100, 50, 25, 128) : faintRed;
        }
    const std::pair<const char*, QByteArray> cases[] = {
        {"HEIC, premultiplied", heifEncoded(premultiplied, false)},
        {"AVIF, premultiplied", heifEncoded(premultiplied, true)},
        {"HEIC, straight", heifEncoded(straight, false)},
        {"AVIF, straight", heifEncoded(straight, true)},
        {"JPEG XL, straight", jxlEncoded(straight, true)},
    };
    const auto near = [](QRgb p, QRgb q) {
        return std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q)),
                         std::abs(qAlpha(p) - qAlpha(q))}) <= 4;
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        const QImage shown = decodePicture(bytes, std::int64_t(kPictureAllocationLimitMiB) * 1024 * 1024, {})
                                 .convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(shown.size(), straight.size());
        EXPECT_PRED2(near, shown.pixel(8, 8), warm);
        EXPECT_PRED2(near, shown.pixel(24, 8), faintRed);
    }
}

// The colour work that follows reads each type's embedded profile: the one the encoder
// wrote must come back, and a picture without one gives none rather than a made-up one.
TEST(PictureTypes, EachTypeGivesItsEmbeddedColourProfile) {
    QImage tagged = pattern();
    tagged.setColorSpace(QColorSpace::DisplayP3);
    const std::pair<const char*, QByteArray> withProfile[] = {
        {"PNG", qtEncoded(tagged, "png", -1)},    {"TIFF", qtEncoded(tagged, "tiff", -1)},
        {"WebP", qtEncoded(tagged, "webp", 100)}, {"HEIC", heifEncoded(tagged, false)},
        {"AVIF", heifEncoded(tagged, true)},      {"JPEG XL", jxlEncoded(tagged, true)},
    };
    for (const auto& [type, bytes] : withProfile) {
        SCOPED_TRACE(type);
        EXPECT_EQ(QColorSpace::fromIccProfile(pictureIccProfile(bytes)), QColorSpace(QColorSpace::DisplayP3));
    }
    EXPECT_TRUE(pictureIccProfile(qtEncoded(pattern(), "webp", 100)).isEmpty());
    EXPECT_TRUE(pictureIccProfile(heifEncoded(pattern(), false)).isEmpty());
}

}  // namespace

// Only bytes that may be a HEIF or JPEG XL picture have the program load the decoders'
// module: every such picture does, and no other picture does.
TEST(PictureTypes, OnlyHeifAndJpegXlPicturesAskForTheDecodersModule) {
    for (const PictureType& type : pictureTypes()) {
        const QByteArray bytes = type.encode();
        const QByteArray kind = pictavo::checkPicture(bytes).format;
        EXPECT_EQ(pictavo::mayBeLibraryPicture(bytes), kind == "heif" || kind == "jxl") << type.name;
    }
    const struct {
        const char* what;
        QByteArray bytes;
        bool may;
    } cases[] = {
        {"a JPEG", QByteArray::fromStdString(jpegBytes(16, 16)), false},
        {"a bitmap", QByteArray::fromStdString(pictureBytes("bmp", 4, 4)), false},
        {"a box file's start, one byte short",
         QByteArray("\0\0\0\x18"
                    "ftypmif",
                    11),
         false},
        {"ftyp elsewhere than the first box",
         QByteArray("\0\0\0\x08"
                    "freeftyp",
                    12),
         false},
        {"a JPEG XL codestream's signature", QByteArray("\xFF\x0A", 2), true},
        {"a JPEG XL container's signature", QByteArray("\0\0\0\x0CJXL \r\n\x87\n", 12), true},
        {"the container's signature cut short", QByteArray("\0\0\0\x0CJXL \r\n", 10), false},
    };
    for (const auto& c : cases) EXPECT_EQ(pictavo::mayBeLibraryPicture(c.bytes), c.may) << c.what;
}
