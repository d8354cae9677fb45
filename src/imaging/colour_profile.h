// SPDX-License-Identifier: MIT
#pragma once
// The colour profile a picture file carries, found in its bytes before it is decoded: JPEG
// APP2 ICC_PROFILE chunks, a BMP V5 header's embedded profile, GIF's ICCRGBG1 application
// extension and PNG's iCCP chunk. The bytes are untrusted: whatever is broken, cut short or
// too large gives no profile, and the picture is shown as sRGB.

#include <QByteArray>
#include <cstdint>
#include <optional>

namespace pictavo {

// A larger profile is ignored: real ones are a few kilobytes, the largest (printers' LUTs)
// a few hundred.
inline constexpr qsizetype kMaxProfileBytes = 4 * 1024 * 1024;

struct PictureColours {
    // The embedded ICC profile as stored (not yet checked); empty when there is none.
    QByteArray profile;
    // The picture's pixels are grey (a one-channel JPEG, a grey PNG): the decoder writes them
    // with red = green = blue, and only a grey profile fits them.
    bool grey = false;
};

// What a picture file says of its colours. A CMYK JPEG's profile is dropped: its pixels are
// converted to RGB without one, so a CMYK profile would describe the wrong numbers.
[[nodiscard]] PictureColours pictureColours(const QByteArray& fileBytes);

// Where a bitmap's embedded profile lies in its file, as its V5 header (in `headers`, the
// file's first bytes) says: the profile may follow the pixels. Nothing when there is none.
struct ProfilePlace {
    std::uint64_t offset = 0, size = 0;
};
[[nodiscard]] std::optional<ProfilePlace> bmpProfilePlace(const QByteArray& headers);

}  // namespace pictavo
