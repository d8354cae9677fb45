// SPDX-License-Identifier: MIT
#pragma once
// Small picture files that carry a colour profile as each format stores one, for the colour
// tests and the fuzzer's seeds.

#include <QByteArray>

namespace pictavo::test {

enum class JpegColours { Rgb, Grey, Cmyk };

// A 16 x 8 JPEG with `profile` written by libjpeg in as many APP2 chunks as it needs.
[[nodiscard]] QByteArray jpegWithProfile(const QByteArray& profile, JpegColours colours);
// A 2 x 2 bitmap with a V5 header of the colour space given ("DEBM": embedded, "KNIL":
// linked, as the bytes lie in the file), the profile after the pixels (or `offsetPastPixels`
// further).
[[nodiscard]] QByteArray bmpV5(const QByteArray& profile, const char* space, quint32 offsetPastPixels = 0);
// A one-pixel GIF with the profile in the ICCRGBG1 extension's sub-blocks.
[[nodiscard]] QByteArray gifWithProfile(const QByteArray& profile);
// A PNG's header of the colour type given, an iCCP chunk of `profile` compressed with zlib,
// and (empty) picture data.
[[nodiscard]] QByteArray pngWithProfile(const QByteArray& profile, int colourType);

}  // namespace pictavo::test
