// SPDX-License-Identifier: MIT
// The cost of showing a photo in its own colours: a 24-megapixel picture converted strip by
// strip on one thread by LittleCMS (what the program uses) and by Qt's QColorTransform, each
// against a floating-point LittleCMS conversion of the same pixels; making a conversion and
// finding it in the cache; reading the profile out of a large JPEG's header.
#include <lcms2.h>

#include <QBuffer>
#include <QColorSpace>
#include <QColorTransform>
#include <QFile>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "imaging/colour_profile.h"
#include "imaging/colour_transforms.h"

namespace {

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
template <typename F>
double medianMs(int runs, F f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        t.push_back(msSince(start));
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

QImage photo(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) row[x] = qRgb(x * 255 / width, y * 255 / height, (x ^ y) & 0xFF);
    }
    return image;
}

constexpr int kStrip = 64;

// Worst and mean difference in levels from LittleCMS's floating-point conversion.
void accuracy(const char* name, const QImage& before, const QImage& after, const QByteArray& icc) {
    cmsHPROFILE in = cmsOpenProfileFromMem(icc.constData(), static_cast<cmsUInt32Number>(icc.size()));
    cmsHPROFILE out = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t =
        cmsCreateTransform(in, TYPE_RGB_FLT, out, TYPE_RGB_FLT, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    int worst = 0;
    double sum = 0;
    long n = 0;
    for (int y = 0; y < before.height(); y += 7)
        for (int x = 0; x < before.width(); x += 3) {
            const QRgb p = before.pixel(x, y), q = after.pixel(x, y);
            const float src[3] = {qRed(p) / 255.f, qGreen(p) / 255.f, qBlue(p) / 255.f};
            float dst[3];
            cmsDoTransform(t, src, dst, 1);
            const int got[3] = {qRed(q), qGreen(q), qBlue(q)};
            for (int c = 0; c < 3; ++c) {
                const int want = int(std::lround(std::clamp(dst[c], 0.f, 1.f) * 255));
                worst = std::max(worst, std::abs(want - got[c]));
                sum += std::abs(want - got[c]);
                ++n;
            }
        }
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(out);
    std::printf("  %-28s worst %d level(s), mean %.3f\n", name, worst, sum / double(n));
}

}  // namespace

int main() {
    QFile f(QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc"));
    if (!f.open(QIODevice::ReadOnly)) return 1;
    const QByteArray adobe = f.readAll();
    const QImage original = photo(6000, 4000);
    std::printf("24 MP (6000 x 4000) Adobe RGB -> sRGB, strips of %d rows, one thread (median of 5):\n", kStrip);

    pictavo::ColourTransforms transforms;
    const auto conversion = transforms.forPicture({adobe, false});
    QImage lcms = original.copy();
    const double lcmsMs = medianMs(5, [&] {
        lcms = original.copy();
        for (int y = 0; y < lcms.height(); y += kStrip)
            conversion->convertRows(lcms.scanLine(y), lcms.bytesPerLine(), lcms.width(),
                                    std::min(kStrip, lcms.height() - y), lcms.format());
    });
    const QColorTransform qt = QColorSpace::fromIccProfile(adobe).transformationToColorSpace(QColorSpace::SRgb);
    QImage viaQt;
    const double qtMs = medianMs(5, [&] {
        viaQt = original.copy();
        for (int y = 0; y < viaQt.height(); y += kStrip) {
            QImage strip(viaQt.scanLine(y), viaQt.width(), std::min(kStrip, viaQt.height() - y), viaQt.bytesPerLine(),
                         viaQt.format());
            strip.applyColorTransform(qt);
        }
    });
    const double copyMs = medianMs(5, [&] { viaQt = original.copy(); });
    std::printf("  the copy alone (in both)     %.1f ms\n", copyMs);
    std::printf("  LittleCMS                    %.1f ms\n", lcmsMs - copyMs);
    std::printf("  QColorTransform              %.1f ms (%.2f x LittleCMS)\n", qtMs - copyMs,
                (qtMs - copyMs) / (lcmsMs - copyMs));
    accuracy("LittleCMS", original, lcms, adobe);
    viaQt = original.copy();
    for (int y = 0; y < viaQt.height(); y += kStrip) {
        QImage strip(viaQt.scanLine(y), viaQt.width(), std::min(kStrip, viaQt.height() - y), viaQt.bytesPerLine(),
                     viaQt.format());
        strip.applyColorTransform(qt);
    }
    accuracy("QColorTransform", original, viaQt, adobe);

    // Making a conversion (a cache miss: the profile parsed, the transform built and checked
    // against the screen's) and finding it again.
    std::vector<QByteArray> profiles;
    for (const char* name : {"AdobeRGB1998", "ProPhotoRGB", "WideGamutRGB", "AppleRGB", "BestRGB", "BetaRGB",
                             "BruceRGB", "ColorMatchRGB", "DonRGB4", "ECI-RGBv1", "NTSC-RGB", "PAL-RGB"}) {
        QFile p(QStringLiteral("/usr/share/color/icc/colord/%1.icc").arg(QLatin1String(name)));
        if (p.open(QIODevice::ReadOnly)) profiles.push_back(p.readAll());
    }
    std::vector<double> made;
    for (const QByteArray& icc : profiles) {
        pictavo::ColourTransforms fresh;
        const auto start = Clock::now();
        (void)fresh.forPicture({icc, false});
        made.push_back(msSince(start));
    }
    std::sort(made.begin(), made.end());
    const double hitMs = medianMs(1001, [&] { (void)transforms.forPicture({adobe, false}); });
    std::printf("Making a conversion: median %.3f ms, worst %.3f ms over %zu profiles; from the cache %.4f ms\n",
                made[made.size() / 2], made.back(), made.size(), hitMs);

    // The profile out of a large JPEG's header.
    QImage big(4800, 3200, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x) row[x] = qRgb((x * 7919 + y * 104729) & 0xFF, (x * y) & 0xFF, x & 0xFF);
    }
    big.setColorSpace(QColorSpace::fromIccProfile(adobe));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    big.save(&buffer, "JPEG", 98);
    QByteArray found;
    const double headerMs = medianMs(101, [&] { found = pictavo::pictureColours(jpeg).profile; });
    std::printf("Profile of a %.1f MB JPEG from its header: %.4f ms (%s)\n", jpeg.size() / 1e6, headerMs,
                found.isEmpty() ? "none found" : "found");
    return 0;
}
