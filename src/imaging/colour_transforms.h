// SPDX-License-Identifier: MIT
#pragma once
// Colours as the photo was made: pixels converted by LittleCMS 2 from the picture's embedded
// profile to the screen's, strip by strip, in place, on whichever worker decodes the picture.
// Relative colorimetric intent: colours the screen can show stay exactly as measured, the
// rest are clipped to its gamut (the perceptual intent of the matrix profiles photos carry
// is the same mapping; LUT profiles' perceptual tables differ from maker to maker).

#include <QByteArray>
#include <QColorTransform>
#include <QImage>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/colour_profile.h"

namespace pictavo {

// One conversion between two profiles. Safe to use from several threads at once.
class ColourConversion {
public:
    ~ColourConversion();
    ColourConversion(const ColourConversion&) = delete;
    ColourConversion& operator=(const ColourConversion&) = delete;

    // Converts `rows` rows of `width` pixels in place. `format`: RGB32 or ARGB32 (the alpha
    // byte is left as it is) or ARGB32_Premultiplied (colours taken apart from their alpha
    // and put back, in rows that have a partly transparent pixel). Any other format is left
    // alone.
    void convertRows(uchar* bits, qsizetype bytesPerLine, int width, int rows, QImage::Format format) const;
    // The whole of a 32-bit picture, in place.
    void convert(QImage& image) const;

private:
    friend class ColourTransforms;
    explicit ColourConversion(void* transform) : transform_(transform) {}
    void* transform_;  // cmsHTRANSFORM
    // The same conversion by Qt, for opaque pixels to an sRGB screen where Qt reads the
    // picture's profile (the matrix-and-curves profiles photos carry): within a level of
    // LittleCMS's and about four times as fast, so that a profiled photo takes little
    // longer than one without. LittleCMS does the rest (grey and table-based profiles,
    // other screens, transparency).
    QColorTransform quick_;
};

// The conversions a picture needs to reach the screen, made once per profile and held in a
// small cache (keyed by the profile's SHA-256, whether the picture is grey, and the screen's
// profile). Thread-safe.
class ColourTransforms {
public:
    // Conversions held; past this the least recently used is let go (a conversion still in
    // use lives on with its users).
    static constexpr std::size_t kCached = 16;

    ColourTransforms();
    ~ColourTransforms();
    ColourTransforms(const ColourTransforms&) = delete;
    ColourTransforms& operator=(const ColourTransforms&) = delete;

    // The screen's ICC profile; empty, or one that is not an RGB display profile: sRGB.
    // Conversions made for the screen before stay valid for the pictures that use them.
    void setScreenProfile(const QByteArray& icc);

    // From the picture's profile to the screen's. Null when nothing is to be done: no
    // profile, an ignored one (broken, cut short, too large, of another colour space than the
    // pixels, not a device or colour space profile), or one that gives the screen's colours
    // already (an sRGB picture on an sRGB screen is not converted at all).
    [[nodiscard]] std::shared_ptr<const ColourConversion> forPicture(const PictureColours& colours) const;

    // From the screen's colours back to sRGB, for what leaves the program (a saved bitmap,
    // the clipboard, the wall paper); null when the screen is sRGB.
    [[nodiscard]] std::shared_ptr<const ColourConversion> screenToSrgb() const;

    // How many conversions were made (not found in the cache) so far.
    [[nodiscard]] int made() const;

private:
    struct Entry {
        QByteArray key;
        std::shared_ptr<const ColourConversion> conversion;
    };
    mutable std::mutex mutex_;
    QByteArray screen_;                 // empty: sRGB
    mutable std::vector<Entry> cache_;  // newest first
    mutable std::shared_ptr<const ColourConversion> toSrgb_;
    mutable bool toSrgbMade_ = false;
    mutable int made_ = 0;
};

}  // namespace pictavo
