// SPDX-License-Identifier: MIT
#include "codecs/webp_picture.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "base/errors.h"

namespace pictavo {

namespace {

const std::uint8_t* dataOf(const QByteArray& bytes) { return reinterpret_cast<const std::uint8_t*>(bytes.constData()); }

// The file is handed to the decoder a slice at a time: after each, the rows it completed
// can be painted. A slice of a photo's data is a few dozen of its rows.
constexpr std::size_t kSlice = std::size_t(64) * 1024;

}  // namespace

QSize webpOpaqueStillSize(const QByteArray& bytes) {
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(dataOf(bytes), std::size_t(bytes.size()), &features) != VP8_STATUS_OK) return {};
    if (features.has_alpha || features.has_animation || features.width <= 0 || features.height <= 0) return {};
    return {features.width, features.height};
}

bool decodeWebpRows(const QByteArray& bytes, uchar* bits, qsizetype bytesPerLine,
                    const std::function<bool(int rows)>& ready) {
    const QSize size = webpOpaqueStillSize(bytes);
    if (!size.isValid() || bytesPerLine < qsizetype(size.width()) * 4) throw HostError("The picture file is damaged");
    const auto bufferSize = std::size_t(bytesPerLine) * std::size_t(size.height());
    // Straight into the caller's memory: libwebp writes nothing outside it.
    const std::unique_ptr<WebPIDecoder, void (*)(WebPIDecoder*)> decoder(
        WebPINewRGB(MODE_BGRA, bits, bufferSize, int(bytesPerLine)), WebPIDelete);
    if (!decoder) throw std::bad_alloc();
    const auto total = std::size_t(bytes.size());
    int told = 0;
    for (std::size_t fed = 0;;) {
        fed = std::min(total, fed + kSlice);
        const VP8StatusCode status = WebPIUpdate(decoder.get(), dataOf(bytes), fed);
        if (status == VP8_STATUS_OUT_OF_MEMORY) throw std::bad_alloc();
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED) throw HostError("The picture file is damaged");
        // Rows complete so far; none while the headers are not all in. A bitstream of
        // another size than the file's header claims would leave rows unwritten.
        int rows = 0, width = 0, height = 0;
        if (!WebPIDecGetRGB(decoder.get(), &rows, &width, &height, nullptr) || width == 0) {
            rows = 0;
        } else if (width != size.width() || height != size.height()) {
            throw HostError("The picture file is damaged");
        }
        if (status == VP8_STATUS_OK && rows != size.height()) throw HostError("The picture file is damaged");
        told = std::clamp(rows, told, size.height());
        if (!ready(told)) return false;
        if (status == VP8_STATUS_OK) return true;
        if (fed == total) throw HostError("The picture file is truncated");
    }
}

QByteArray webpIccProfile(const QByteArray& bytes) {
    const WebPData data{dataOf(bytes), std::size_t(bytes.size())};
    const std::unique_ptr<WebPDemuxer, void (*)(WebPDemuxer*)> demux(WebPDemux(&data), WebPDemuxDelete);
    if (!demux || !(WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG)) return {};
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) return {};
    QByteArray profile(reinterpret_cast<const char*>(chunk.chunk.bytes), qsizetype(chunk.chunk.size));
    WebPDemuxReleaseChunkIterator(&chunk);
    return profile;
}

}  // namespace pictavo
