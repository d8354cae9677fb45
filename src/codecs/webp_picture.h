// SPDX-License-Identifier: MIT
#pragma once
// Opaque WebP stills through libwebp's incremental decoder: the rows go straight into the
// caller's memory, top to bottom, and are told as they are decoded, so that the part a
// window shows comes first. A WebP with transparency or animation is left to Qt's reader.

#include <QByteArray>
#include <QSize>
#include <QtGlobal>
#include <functional>

namespace pictavo {

// The size of a WebP still without transparency; an invalid size for any other WebP
// (with transparency, animated) and for bytes that libwebp does not take for WebP.
[[nodiscard]] QSize webpOpaqueStillSize(const QByteArray& bytes);

// Decodes such a still into `bits`: a Format_RGB32 picture of its size, `bytesPerLine`
// apart, alpha 0xFF. Calls `ready(rows)` after each slice of the file with how many rows
// from the top are complete: rising, the last call the height. `ready` returns false to
// stop: the decode then returns false. HostError when the data is damaged or cut short.
bool decodeWebpRows(const QByteArray& bytes, uchar* bits, qsizetype bytesPerLine,
                    const std::function<bool(int rows)>& ready);

// The ICC profile of the file's ICCP chunk; empty when it has none.
[[nodiscard]] QByteArray webpIccProfile(const QByteArray& bytes);

}  // namespace pictavo
