// SPDX-License-Identifier: MIT
#include "imaging/decoded_rows.h"

#include <algorithm>

#include "base/errors.h"
#include "imaging/pixel_pool.h"

namespace pictavo {

QImage decodeTarget(QSize size, bool alpha, std::int64_t limitBytes, const PictureMemory& memory) {
    if (size.isEmpty()) throw HostError("The picture file is damaged");
    if (4.0 * size.width() * size.height() > double(limitBytes)) throw HostError("The picture is too large");
    QImage target = alpha    ? QImage(size, QImage::Format_ARGB32_Premultiplied)
                    : memory ? memory(size)
                             : freshPicture(size);
    if (target.isNull() || target.size() != size) throw HostError("There is not enough memory for the picture");
    return target;
}

RgbRows::RgbRows(QImage& target, bool premultiplied)
    : bits_(target.bits()),
      stride_(target.bytesPerLine()),
      width_(target.width()),
      height_(target.height()),
      alpha_(target.hasAlphaChannel()),
      premultiplied_(premultiplied) {}

void RgbRows::put(std::int64_t x, std::int64_t y, const std::uint8_t* pixels, std::int64_t count) const {
    if (y < 0 || y >= height_ || x < 0 || x >= width_) return;
    const std::int64_t n = std::min(count, width_ - x);
    auto* row = reinterpret_cast<QRgb*>(bits_ + y * stride_) + x;
    if (alpha_ && premultiplied_) {
        // Each colour held to its alpha: a lossy coder may push one past it, which the
        // premultiplied format cannot hold (it would blend and save as another colour).
        for (std::int64_t i = 0; i < n; ++i, pixels += 4) {
            const std::uint8_t a = pixels[3];
            row[i] = qRgba(std::min(pixels[0], a), std::min(pixels[1], a), std::min(pixels[2], a), a);
        }
    } else if (alpha_) {
        for (std::int64_t i = 0; i < n; ++i, pixels += 4)
            row[i] = qPremultiply(qRgba(pixels[0], pixels[1], pixels[2], pixels[3]));
    } else {
        for (std::int64_t i = 0; i < n; ++i, pixels += 3) row[i] = qRgb(pixels[0], pixels[1], pixels[2]);
    }
}

}  // namespace pictavo
