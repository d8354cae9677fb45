// SPDX-License-Identifier: MIT
// Bytes in as a picture file and as a profile: the profile found (or none), a conversion
// made from it (or none), and a strip converted with it; never a crash, a leak or a hang.
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/colour_profile.h"
#include "imaging/colour_transforms.h"

namespace {
void convertStrip(const std::shared_ptr<const pictavo::ColourConversion>& conversion) {
    if (!conversion) return;
    QImage strip(17, 3, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x) strip.setPixel(x, y, qPremultiply(qRgba(x * 15, y * 80, 200, x * 15)));
    conversion->convert(strip);
    QImage opaque = strip.convertToFormat(QImage::Format_RGB32);
    conversion->convert(opaque);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const pictavo::PictureColours found = pictavo::pictureColours(bytes);
    if (found.profile.size() > pictavo::kMaxProfileBytes) std::abort();
    pictavo::ColourTransforms transforms;
    convertStrip(transforms.forPicture(found));
    // The bytes themselves as a picture's profile, for colour and for grey pixels, and as
    // the screen's.
    convertStrip(transforms.forPicture({bytes, false}));
    convertStrip(transforms.forPicture({bytes, true}));
    transforms.setScreenProfile(bytes);
    convertStrip(transforms.screenToSrgb());
    return 0;
}
