// SPDX-License-Identifier: MIT
// Colours as the photo was made: the profile a file carries is found, converted to the
// screen's colours as LittleCMS itself converts them, and every profile that is broken,
// too large or of the wrong kind leaves the picture as it is.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <unistd.h>

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QtEndian>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "imaging/bitmap_writer.h"
#include "imaging/colour_profile.h"
#include "imaging/colour_transforms.h"
#include "support/profile_files.h"
#include "support/test_host.h"

namespace pictavo {
namespace {

const QString kColord = QStringLiteral("/usr/share/color/icc/colord/");
const QString kFree = QStringLiteral("/usr/share/color/icc/");

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QByteArray saved(cmsHPROFILE p) {
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    QByteArray bytes(n, '\0');
    cmsSaveProfileToMem(p, bytes.data(), &n);
    cmsCloseProfile(p);
    return bytes;
}

// An RGB profile with the given primaries (x, y), D65 white and the sRGB tone curve.
QByteArray rgbProfile(cmsCIExyYTRIPLE primaries) {
    const cmsCIExyY d65{0.3127, 0.3290, 1.0};
    const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const QByteArray bytes = saved(cmsCreateRGBProfile(&d65, &primaries, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}
// Red and green exchanged: what is stored as red is shown as green.
QByteArray swappedRedGreen() { return rgbProfile({{0.30, 0.60, 1}, {0.64, 0.33, 1}, {0.15, 0.06, 1}}); }
QByteArray displayP3() { return rgbProfile({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}); }
QByteArray linearGrey() {
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    const QByteArray bytes = saved(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    return bytes;
}
QByteArray srgb() { return saved(cmsCreate_sRGBProfile()); }

// LittleCMS's own conversion of the pixels, from `grey` (read from red) or RGB to RGB;
// alpha kept.
std::vector<QRgb> reference(const QByteArray& from, const QByteArray& to, const std::vector<QRgb>& pixels, bool grey) {
    cmsHPROFILE in = cmsOpenProfileFromMem(from.constData(), from.size());
    cmsHPROFILE out = to.isEmpty() ? cmsCreate_sRGBProfile() : cmsOpenProfileFromMem(to.constData(), to.size());
    cmsHTRANSFORM t =
        cmsCreateTransform(in, grey ? TYPE_GRAY_8 : TYPE_RGB_8, out, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
    std::vector<unsigned char> src;
    for (QRgb p : pixels)
        if (grey)
            src.push_back(static_cast<unsigned char>(qRed(p)));
        else
            src.insert(src.end(), {static_cast<unsigned char>(qRed(p)), static_cast<unsigned char>(qGreen(p)),
                                   static_cast<unsigned char>(qBlue(p))});
    std::vector<unsigned char> dst(pixels.size() * 3);
    cmsDoTransform(t, src.data(), dst.data(), static_cast<cmsUInt32Number>(pixels.size()));
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(out);
    std::vector<QRgb> result;
    for (std::size_t i = 0; i < pixels.size(); ++i)
        result.push_back(qRgba(dst[3 * i], dst[3 * i + 1], dst[3 * i + 2], qAlpha(pixels[i])));
    return result;
}
QRgb reference(const QByteArray& from, const QByteArray& to, QRgb pixel, bool grey) {
    return reference(from, to, std::vector<QRgb>{pixel}, grey)[0];
}
std::vector<QRgb> pixelsOf(const QImage& image) {
    std::vector<QRgb> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) pixels.push_back(image.pixel(x, y));
    return pixels;
}

// A picture of random pixels (grey ones with red = green = blue), rows padded past the
// pixels so that a conversion that ignores the stride shows.
QImage randomPicture(int width, int height, QImage::Format format, bool grey, std::vector<uchar>& memory) {
    const qsizetype bpl = width * 4 + 12;
    memory.assign(bpl * height, 0);
    QImage image(memory.data(), width, height, bpl, format);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const quint32 v = random.generate();
            const int r = v & 0xFF, g = grey ? r : v >> 8 & 0xFF, b = grey ? r : v >> 16 & 0xFF;
            const int a = format == QImage::Format_RGB32 ? 255 : int(v >> 24);
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = qRgba(r, g, b, a);
        }
    return image;
}

int distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b)) * 100});  // alpha must not move at all
}

// --- conversions against LittleCMS's own -----------------------------------------------

struct ConversionCase {
    const char* name;
    std::function<QByteArray()> picture;
    std::function<QByteArray()> screen;  // empty: sRGB
    bool grey;
};

// The case's profiles, and its conversion made for its screen.
class Conversion : public ::testing::TestWithParam<ConversionCase> {
protected:
    void SetUp() override {
        picture = GetParam().picture();
        screen = GetParam().screen ? GetParam().screen() : QByteArray();
        transforms.setScreenProfile(screen);
        conversion = transforms.forPicture({picture, GetParam().grey});
        ASSERT_TRUE(conversion);
    }
    QByteArray picture, screen;
    ColourTransforms transforms;
    std::shared_ptr<const ColourConversion> conversion;
};

TEST_P(Conversion, MatchesLittleCmsStripByStripWithAlphaUntouched) {
    const ConversionCase& c = GetParam();
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        std::vector<uchar> memory;
        QImage image = randomPicture(61, 40, format, c.grey, memory);
        const QImage before = image.copy();
        for (int y = 0; y < image.height(); y += 7)
            conversion->convertRows(image.scanLine(y), image.bytesPerLine(), image.width(),
                                    std::min(7, image.height() - y), format);
        const std::vector<QRgb> was = pixelsOf(before), is = pixelsOf(image),
                                expected = reference(picture, screen, was, c.grey);
        int worst = 0, moved = 0;
        for (std::size_t i = 0; i < was.size(); ++i) {
            worst = std::max(worst, distance(is[i], expected[i]));
            moved += is[i] != was[i];
        }
        EXPECT_LE(worst, 1) << c.name << " format " << format;
        EXPECT_GT(moved, image.width() * image.height() / 4) << c.name;
        // The padding past each row's pixels is not touched.
        EXPECT_EQ(memory[image.width() * 4], 0) << c.name;
    }
}

// Colours taken apart from their alpha, converted and put back: a premultiplied pixel ends
// as its straight colour converted by LittleCMS, premultiplied again.
TEST_P(Conversion, PremultipliedPixelsConvertAsTheirStraightColours) {
    const ConversionCase& c = GetParam();
    std::vector<uchar> memory;
    QImage straight = randomPicture(50, 20, QImage::Format_ARGB32, c.grey, memory).copy();
    // One opaque row, converted without taking the alpha apart.
    for (int x = 0; x < straight.width(); ++x) straight.setPixel(x, 3, straight.pixel(x, 3) | 0xFF000000u);
    QImage premultiplied = straight.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<QRgb> unpremultiplied;
    for (int y = 0; y < premultiplied.height(); ++y)
        for (int x = 0; x < premultiplied.width(); ++x)
            unpremultiplied.push_back(qUnpremultiply(reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y))[x]));
    const std::vector<QRgb> expected = reference(picture, screen, unpremultiplied, c.grey);
    conversion->convert(premultiplied);
    for (int y = 0, i = 0; y < premultiplied.height(); ++y)
        for (int x = 0; x < premultiplied.width(); ++x, ++i)
            ASSERT_LE(
                distance(reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y))[x], qPremultiply(expected[i])),
                1)
                << c.name << " at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, Conversion,
    ::testing::Values(
        ConversionCase{"AdobeRgbOnSrgb", [] { return fileBytes(kColord + "AdobeRGB1998.icc"); }, {}, false},
        ConversionCase{"ProPhotoOnSrgb", [] { return fileBytes(kColord + "ProPhotoRGB.icc"); }, {}, false},
        ConversionCase{"WideGamutOnSrgb", [] { return fileBytes(kColord + "WideGamutRGB.icc"); }, {}, false},
        ConversionCase{"ColordSwappedOnSrgb", [] { return fileBytes(kColord + "SwappedRedAndGreen.icc"); }, {}, false},
        ConversionCase{"MadeSwappedOnSrgb", swappedRedGreen, {}, false},
        ConversionCase{"DisplayP3OnSrgb", displayP3, {}, false},
        ConversionCase{"SrgbOnAdobeScreen", srgb, [] { return fileBytes(kColord + "AdobeRGB1998.icc"); }, false},
        ConversionCase{"DisplayP3OnProPhotoScreen", displayP3, [] { return fileBytes(kColord + "ProPhotoRGB.icc"); },
                       false},
        ConversionCase{"GreyGamma22OnSrgb", [] { return fileBytes(kFree + "Gray.icc"); }, {}, true},
        ConversionCase{"GreyLabLightnessOnSrgb", [] { return fileBytes(kFree + "Gray-CIE_L.icc"); }, {}, true},
        ConversionCase{"GreyLinearOnAdobeScreen", linearGrey, [] { return fileBytes(kColord + "AdobeRGB1998.icc"); },
                       true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MadeProfile, SwappedProfileShowsStoredRedAsGreen) {
    ColourTransforms transforms;
    const auto conversion = transforms.forPicture({swappedRedGreen(), false});
    ASSERT_TRUE(conversion);
    QImage red(4, 2, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    conversion->convert(red);
    EXPECT_EQ(red.pixel(3, 1), qRgb(0, 255, 0));
}

// --- profiles that change nothing, or are ignored -----------------------------------------

QByteArray adobe() { return fileBytes(kColord + "AdobeRGB1998.icc"); }
QByteArray withHeader(QByteArray icc, int at, const char* four) {
    icc.replace(at, 4, four, 4);
    return icc;
}

// Every tag's offset moved past the profile's end.
QByteArray tagsPastTheEnd() {
    QByteArray icc = adobe();
    const int tags = qFromBigEndian<quint32>(icc.constData() + 128);
    for (int i = 0; i < tags; ++i) icc.replace(128 + 4 + 12 * i + 4, 4, "\x00\xFF\xFF\x00", 4);
    return icc;
}

struct IgnoredCase {
    const char* name;
    std::function<QByteArray()> profile;
    bool grey;
    std::function<QByteArray()> screen;
};

class NoConversion : public ::testing::TestWithParam<IgnoredCase> {};

TEST_P(NoConversion, LeavesThePictureAsItIs) {
    const IgnoredCase& c = GetParam();
    ColourTransforms transforms;
    if (c.screen) transforms.setScreenProfile(c.screen());
    EXPECT_FALSE(transforms.forPicture({c.profile(), c.grey})) << c.name;
    EXPECT_FALSE(transforms.forPicture({c.profile(), c.grey})) << c.name << ", asked again from the cache";
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, NoConversion,
    ::testing::Values(
        IgnoredCase{"NoProfile", [] { return QByteArray(); }, false, {}},
        IgnoredCase{"SrgbOnSrgbScreen", [] { return fileBytes(kColord + "sRGB.icc"); }, false, {}},
        IgnoredCase{"AnotherMakersSrgbOnSrgbScreen", srgb, false, [] { return fileBytes(kColord + "sRGB.icc"); }},
        IgnoredCase{"AdobeOnAdobeScreen", adobe, false, adobe},
        IgnoredCase{"Garbage", [] { return QByteArray(3000, 'x'); }, false, {}},
        IgnoredCase{"CutShort", [] { return fileBytes(kColord + "ProPhotoRGB.icc").left(300); }, false, {}},
        IgnoredCase{"TagTableCutShort", [] { return adobe().left(160); }, false, {}},
        IgnoredCase{"TagsPointPastTheEnd", tagsPastTheEnd, false, {}},
        IgnoredCase{"Oversize", [] { return adobe().leftJustified(kMaxProfileBytes + 1, '\0'); }, false, {}},
        IgnoredCase{"RgbProfileOnGreyPicture", adobe, true, {}},
        IgnoredCase{"GreyProfileOnColourPicture", [] { return fileBytes(kFree + "Gray.icc"); }, false, {}},
        IgnoredCase{"CmykProfile", [] { return withHeader(adobe(), 16, "CMYK"); }, false, {}},
        IgnoredCase{"LabProfile", [] { return fileBytes(kFree + "ITULab.icc"); }, false, {}},
        IgnoredCase{"DeviceLink", [] { return withHeader(adobe(), 12, "link"); }, false, {}},
        IgnoredCase{"AbstractProfile", [] { return withHeader(adobe(), 12, "abst"); }, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the screen's profile and the cache --------------------------------------------------

TEST(ScreenColours, AScreenProfileThatCannotTakeColoursInIsSrgb) {
    for (const QByteArray& bad : {fileBytes(kFree + "Gray.icc"), QByteArray("junk"), adobe().left(200)}) {
        ColourTransforms transforms;
        transforms.setScreenProfile(bad);
        EXPECT_FALSE(transforms.screenToSrgb());
        EXPECT_FALSE(transforms.forPicture({fileBytes(kColord + "sRGB.icc"), false}));
    }
}

TEST(ScreenColours, WhatLeavesTheProgramIsSrgbAgain) {
    ColourTransforms transforms;
    EXPECT_FALSE(transforms.screenToSrgb()) << "an sRGB screen needs nothing";
    transforms.setScreenProfile(adobe());
    const auto back = transforms.screenToSrgb();
    ASSERT_TRUE(back);
    QImage image(3, 1, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(200, 30, 60), qRgb(0, 255, 0), qRgb(90, 90, 90)};
    for (int x = 0; x < 3; ++x) image.setPixel(x, 0, colours[x]);
    back->convert(image);
    for (int x = 0; x < 3; ++x) EXPECT_LE(distance(image.pixel(x, 0), reference(adobe(), {}, colours[x], false)), 1);
    transforms.setScreenProfile({});
    EXPECT_FALSE(transforms.screenToSrgb()) << "the screen went back to sRGB";
}

TEST(ScreenColours, ConversionsAreMadeOncePerProfileAndScreen) {
    ColourTransforms transforms;
    const PictureColours photo{adobe(), false};
    const auto first = transforms.forPicture(photo);
    EXPECT_EQ(transforms.forPicture(photo), first);
    EXPECT_EQ(transforms.made(), 1);
    // The least recently used is let go past the bound; one in use stays whole.
    for (std::size_t i = 0; i < ColourTransforms::kCached; ++i)
        (void)transforms.forPicture(
            {rgbProfile({{0.64, 0.33, 1}, {0.30, 0.60 + 0.001 * i, 1}, {0.15, 0.06, 1}}), false});
    EXPECT_EQ(transforms.made(), 1 + int(ColourTransforms::kCached));
    EXPECT_NE(transforms.forPicture(photo), first);
    EXPECT_EQ(transforms.made(), 2 + int(ColourTransforms::kCached));
    // A new screen: new conversions, the old one still converts for whoever holds it.
    transforms.setScreenProfile(adobe());
    EXPECT_FALSE(transforms.forPicture(photo));
    QImage red(1, 1, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    first->convert(red);
    EXPECT_EQ(red.pixel(0, 0), reference(adobe(), {}, qRgb(255, 0, 0), false));
}

// --- the profile a file carries ------------------------------------------------------------

// Any bytes will do to show they come out whole; 150 kB takes three JPEG chunks.
QByteArray bigBlob() {
    QByteArray b(150000, '\0');
    for (qsizetype i = 0; i < b.size(); ++i) b[i] = char(i * 7 % 251);
    return b;
}

struct FileCase {
    const char* name;
    std::function<QByteArray()> file;
    std::function<QByteArray()> expected;  // the profile found; empty: none
    bool grey;
};

class CarriedProfile : public ::testing::TestWithParam<FileCase> {};

TEST_P(CarriedProfile, IsFoundWholeOrNotAtAll) {
    const FileCase& c = GetParam();
    const PictureColours colours = pictureColours(c.file());
    const QByteArray expected = c.expected ? c.expected() : QByteArray();
    EXPECT_EQ(colours.profile.size(), expected.size()) << c.name;
    EXPECT_TRUE(colours.profile == expected) << c.name;
    EXPECT_EQ(colours.grey, c.grey) << c.name;
}

QByteArray jpegChunkTwice() {
    // The third chunk numbered as the second again: libjpeg refuses the set.
    QByteArray j = test::jpegWithProfile(bigBlob(), test::JpegColours::Rgb);
    const qsizetype second = j.indexOf("ICC_PROFILE", j.indexOf("ICC_PROFILE") + 1);
    const qsizetype third = j.indexOf("ICC_PROFILE", second + 1);
    j[third + 12] = j[second + 12];
    return j;
}

INSTANTIATE_TEST_SUITE_P(
    Files, CarriedProfile,
    ::testing::Values(
        FileCase{"JpegOneChunk", [] { return test::jpegWithProfile(adobe(), test::JpegColours::Rgb); }, adobe, false},
        FileCase{"JpegThreeChunks", [] { return test::jpegWithProfile(bigBlob(), test::JpegColours::Rgb); }, bigBlob,
                 false},
        FileCase{"JpegChunkNumberedTwice", jpegChunkTwice, {}, false},
        FileCase{"JpegWithout", [] { return test::jpegWithProfile({}, test::JpegColours::Rgb); }, {}, false},
        FileCase{"GreyJpeg", [] { return test::jpegWithProfile(linearGrey(), test::JpegColours::Grey); }, linearGrey,
                 true},
        FileCase{"CmykJpegProfileDropped",
                 [] { return test::jpegWithProfile(adobe(), test::JpegColours::Cmyk); },
                 {},
                 false},
        FileCase{"JpegCutInItsHeader",
                 [] { return test::jpegWithProfile(bigBlob(), test::JpegColours::Rgb).left(70000); },
                 {},
                 false},
        FileCase{"BmpEmbedded", [] { return test::bmpV5(adobe(), "DEBM"); }, adobe, false},
        FileCase{"BmpLinkedNeverFollowed", [] { return test::bmpV5("/etc/passwd", "KNIL"); }, {}, false},
        FileCase{"BmpProfilePastTheEnd", [] { return test::bmpV5(adobe(), "DEBM", 1); }, {}, false},
        FileCase{"BmpSrgbSaysNothing", [] { return test::bmpV5({}, "BGRs"); }, {}, false},
        FileCase{"GifExtension", [] { return test::gifWithProfile(adobe()); }, adobe, false},
        FileCase{
            "GifCutInTheExtension", [] { return test::gifWithProfile(adobe()).left(13 + 6 + 14 + 300); }, {}, false},
        FileCase{"PngIccp", [] { return test::pngWithProfile(adobe(), 2); }, adobe, false},
        FileCase{"GreyPngIccp", [] { return test::pngWithProfile(linearGrey(), 0); }, linearGrey, true},
        FileCase{"PngIccpInflatesPastTheBound",
                 [] { return test::pngWithProfile(QByteArray(kMaxProfileBytes + 1, '\0'), 6); },
                 {},
                 false},
        FileCase{"PngIccpCutShort", [] { return test::pngWithProfile(adobe(), 2).left(60); }, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Qt writes a PNG's colour space as an iCCP chunk: the same profile comes out.
TEST(PngProfile, QtsOwnColourSpaceIsFound) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.setColorSpace(QColorSpace::AdobeRgb);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    EXPECT_EQ(pictureColours(png).profile, image.colorSpace().iccProfile());
}

// --- the saved bitmap carries sRGB ----------------------------------------------------------

TEST(SavedBitmap, EachRowIsConvertedAsItIsWritten) {
    ColourTransforms transforms;
    transforms.setScreenProfile(adobe());
    const auto toSrgb = transforms.screenToSrgb();
    ASSERT_TRUE(toSrgb);
    const test::TempDir dir;
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB888}) {
        std::vector<uchar> memory;
        QImage image = randomPicture(33, 9, QImage::Format_RGB32, false, memory).convertToFormat(format).copy();
        const QImage before = image.copy();
        const std::string path = (dir.path() / "saved.bmp").string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(writeBitmap(fd, image, toSrgb.get()), 0);
        ::close(fd);
        const QImage read(QString::fromStdString(path));
        ASSERT_EQ(read.size(), image.size());
        const std::vector<QRgb> written = pixelsOf(read), expected = reference(adobe(), {}, pixelsOf(image), false);
        for (std::size_t i = 0; i < written.size(); ++i)
            ASSERT_LE(distance(written[i], expected[i]), 1) << "format " << format << " pixel " << i;
        EXPECT_EQ(image, before) << "the picture itself is not changed";
    }
}

}  // namespace
}  // namespace pictavo
