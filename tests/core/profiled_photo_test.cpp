// SPDX-License-Identifier: MIT
// A photo that carries a colour profile is shown in the screen's colours through the one
// pipeline, whether it arrives whole or row by row, upright or turned, and what leaves the
// program from it is sRGB.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <lcms2.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "imaging/picture_pipeline.h"
#include "support/encoded_pictures.h"
#include "support/form_fixture.h"
#include "support/hostile_corpus.h"

namespace pictavo {
namespace {

QByteArray profileFile(const char* path) {
    QFile f(QString::fromLatin1(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QByteArray adobeRgb() { return profileFile("/usr/share/color/icc/colord/AdobeRGB1998.icc"); }
QByteArray proPhoto() { return profileFile("/usr/share/color/icc/colord/ProPhotoRGB.icc"); }

// Smooth gradients with some noise: a photo's colours, all over the gamut.
QImage photo(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb((x * 255 / width + int(random.bounded(8))) & 255, (y * 255 / height) & 255,
                                ((x + y) * 255 / (width + height) + int(random.bounded(8))) & 255));
    return image;
}

// A JPEG of the picture with the profile in APP2 chunks, an EXIF orientation, and one
// scan or several.
QByteArray jpegOf(const QImage& image, const QByteArray& profile, int orientation, bool progressive) {
    const auto setUp = [&](jpeg_compress_struct& c) {
        c.image_width = JDIMENSION(image.width());
        c.image_height = JDIMENSION(image.height());
        c.input_components = 4;
        c.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 95, TRUE);
        if (progressive) jpeg_simple_progression(&c);
    };
    return test::libjpegEncoded(setUp, [&](jpeg_compress_struct& c) {
        if (orientation > 1) {
            // Exif, big-endian TIFF header, one IFD with the orientation.
            const unsigned char exif[] = {
                'E', 'x', 'i', 'f',  0,    0, 'M', 'M', 0, 42, 0, 0, 0,
                8,   0,   1,   0x01, 0x12, 0, 3,   0,   0, 0,  1, 0, static_cast<unsigned char>(orientation),
                0,   0,   0,   0,    0,    0};
            jpeg_write_marker(&c, JPEG_APP0 + 1, exif, sizeof exif);
        }
        jpeg_write_icc_profile(&c, reinterpret_cast<const JOCTET*>(profile.constData()), unsigned(profile.size()));
        while (c.next_scanline < c.image_height) {
            auto* row = const_cast<JSAMPROW>(image.constScanLine(int(c.next_scanline)));
            jpeg_write_scanlines(&c, &row, 1);
        }
    });
}

QByteArray swappedRedGreen() {
    const cmsCIExyYTRIPLE primaries{{0.30, 0.60, 1}, {0.64, 0.33, 1}, {0.15, 0.06, 1}};
    cmsCIExyY white{0.3127, 0.3290, 1};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(p, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(p, bytes.data(), &size);
    cmsCloseProfile(p);
    return bytes;
}

// The file's stored numbers as Qt's reader gives them: turned, not converted.
QImage storedNumbers(const QByteArray& file) { return test::qtDecode(file); }

// The same, taken by LittleCMS's own transform from one profile to another (empty: sRGB).
QImage converted(QImage image, const QByteArray& from, const QByteArray& to) {
    auto open = [](const QByteArray& icc) {
        return icc.isEmpty() ? cmsCreate_sRGBProfile()
                             : cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    };
    cmsHPROFILE in = open(from), out = open(to);
    cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_BGRA_8, out, TYPE_BGRA_8, INTENT_RELATIVE_COLORIMETRIC, 0);
    for (int y = 0; y < image.height(); ++y)
        cmsDoTransform(t, image.scanLine(y), image.scanLine(y), cmsUInt32Number(image.width()));
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(out);
    return image;
}

// Mean difference per colour channel, in levels.
double meanDistance(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

struct Profiled {
    const char* name;
    QByteArray (*profile)();
    QByteArray (*screen)();
    QSize size;
    int orientation;
    bool progressive;
    int viewWidth = 0;  // the window's view, whose columns are converted first (0: not told)
};
QByteArray none() { return {}; }
QByteArray cutShort() { return adobeRgb().left(300); }

class ProfiledPhoto : public ::testing::TestWithParam<Profiled> {};

TEST_P(ProfiledPhoto, ShowsTheColoursLittleCmsGivesForTheScreen) {
    const Profiled& c = GetParam();
    test::FormFixture fx;
    const QByteArray profile = c.profile();
    ASSERT_FALSE(profile.isEmpty());
    const QByteArray file = jpegOf(photo(c.size.width(), c.size.height()), profile, c.orientation, c.progressive);
    test::writeBytes(fx.host.startFolder() / "p.jpg", file.toStdString());
    const QByteArray screen = c.screen();
    fx.host.pictures().setScreenProfile(screen);
    fx.host.pictures().setViewSize({c.viewWidth, 600});
    const Picture picture = fx.host.pictures().open(fx.host.startFolder() / "p.jpg");
    EXPECT_EQ(picture.arrival() != nullptr, c.size.width() * c.size.height() >= 2'000'000) << "arrives in rows";
    const QImage shown = *picture.image();
    const QImage stored = storedNumbers(file);
    // A profile that cannot be read leaves the numbers as they are (sRGB).
    const bool usable = profile.size() > 300;
    const QImage want = usable ? converted(stored, profile, screen) : stored;
    EXPECT_LE(meanDistance(shown, want), 3.0);
    if (usable) {
        EXPECT_GT(meanDistance(stored, want), 3.0) << "a case where the profile matters";
    }

    // What leaves the program is sRGB, whatever the screen.
    const std::string saved = fx.host.hostPath(fx.host.startFolder() / "saved.bmp");
    fx.host.files().SavePicture(picture, saved);
    const QImage back = QImage(QString::fromStdString(saved)).convertToFormat(QImage::Format_RGB32);
    EXPECT_LE(meanDistance(back, usable ? converted(stored, profile, {}) : stored), 3.0);
}

INSTANTIATE_TEST_SUITE_P(
    Photos, ProfiledPhoto,
    ::testing::Values(Profiled{"AdobeRgbSmall", adobeRgb, none, {64, 48}, 1, false},
                      Profiled{"AdobeRgbArrivingInRows", adobeRgb, none, {2000, 1100}, 1, false},
                      Profiled{"ProPhotoTurnedAndLarge", proPhoto, none, {2000, 1100}, 6, false},
                      Profiled{"AdobeRgbProgressiveAndLarge", adobeRgb, none, {2000, 1100}, 1, true},
                      Profiled{"RedAndGreenExchangedMirrored", swappedRedGreen, none, {120, 80}, 2, false},
                      Profiled{"ProPhotoOnAnAdobeRgbScreen", proPhoto, adobeRgb, {2000, 1100}, 1, false},
                      // Columns in view first, then the rest of each row: every column ends
                      // converted once, turned or not, whatever the view's width.
                      Profiled{"AdobeRgbColumnsInViewFirst", adobeRgb, none, {2000, 1100}, 1, false, 333},
                      Profiled{"ProPhotoTurnedColumnsInViewFirst", proPhoto, none, {1100, 2000}, 8, true, 700},
                      Profiled{"ColumnsFirstOnAnAdobeRgbScreen", proPhoto, adobeRgb, {2000, 1100}, 1, false, 500},
                      Profiled{"ViewWiderThanThePhoto", proPhoto, adobeRgb, {2000, 1100}, 1, false, 4000},
                      Profiled{"CutShortProfileIgnored", cutShort, none, {64, 48}, 1, false}),
    [](const ::testing::TestParamInfo<Profiled>& info) { return info.param.name; });

// Work ahead converts its own strips on its own thread (no other worker is its to take,
// and it must not wait for itself); an open that takes the job over mid-way hands the rest
// to the workers, columns in view first. Either way every pixel ends converted once.
TEST(ProfiledPhotoAhead, DecodedAheadOrTakenOverMidWayShowsTheSameColours) {
    const QByteArray profile = proPhoto();
    const QByteArray file = jpegOf(photo(2400, 1600), profile, 1, false);
    const QImage want = converted(storedNumbers(file), profile, {});
    for (const bool takenOver : {false, true}) {
        SCOPED_TRACE(takenOver ? "taken over" : "decoded ahead, then opened");
        test::FormFixture fx;
        const auto path = fx.host.startFolder() / "p.jpg";
        test::writeBytes(path, file.toStdString());
        PicturePipeline& pictures = fx.host.pictures();
        pictures.setViewSize({300, 200});
        pictures.decodeAhead({path});
        if (!takenOver) pictures.finishAll();
        const Picture picture = pictures.open(path);
        EXPECT_LE(meanDistance(*picture.image(), want), 3.0);
        if (!takenOver) {
            EXPECT_EQ(pictures.held().hits(), 1u);
        }
    }
}

}  // namespace
}  // namespace pictavo
