// SPDX-License-Identifier: MIT
#include "codecs/jxl_picture.h"

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <QThread>
#include <algorithm>
#include <memory>

#include "base/errors.h"
#include "imaging/decoded_rows.h"

namespace pictavo {

namespace {

// Threads of one decode: pictures are decoded several at a time already, and each
// thread holds working memory of its own.
constexpr int kMostThreads = 2;

struct Release {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

// A decoder given all the bytes, with input closed, so that data that ends early is an
// error rather than a wait for more.
class Decoder {
public:
    Decoder(const QByteArray& bytes, int events) : decoder_(JxlDecoderCreate(nullptr)) {
        if (!decoder_) throw HostError("There is not enough memory for the picture");
        if (JxlDecoderSubscribeEvents(get(), events) != JXL_DEC_SUCCESS ||
            JxlDecoderSetInput(get(), reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size())) !=
                JXL_DEC_SUCCESS)
            throw HostError("The picture file is damaged");
        JxlDecoderCloseInput(get());
    }
    [[nodiscard]] JxlDecoder* get() const { return decoder_.get(); }
    // The next event; the end of the bytes before the picture's end is refused.
    [[nodiscard]] JxlDecoderStatus next() const {
        const JxlDecoderStatus status = JxlDecoderProcessInput(get());
        if (status == JXL_DEC_NEED_MORE_INPUT) throw HostError("The picture file is truncated");
        if (status == JXL_DEC_ERROR) throw HostError("The picture file is damaged");
        return status;
    }
    // Runs to `event`; HostError when the picture ends first.
    void runTo(JxlDecoderStatus event) const {
        for (JxlDecoderStatus status = next(); status != event; status = next())
            if (status == JXL_DEC_SUCCESS) throw HostError("The picture file is damaged");
    }
    [[nodiscard]] JxlBasicInfo basicInfo() const {
        JxlBasicInfo info{};
        if (JxlDecoderGetBasicInfo(get(), &info) != JXL_DEC_SUCCESS) throw HostError("The picture file is damaged");
        return info;
    }

private:
    std::unique_ptr<JxlDecoder, Release> decoder_;
};

struct RunnerRelease {
    void operator()(void* runner) const { JxlThreadParallelRunnerDestroy(runner); }
};

void putPixels(void* rows, size_t x, size_t y, size_t count, const void* pixels) {
    static_cast<const RgbRows*>(rows)->put(std::int64_t(x), std::int64_t(y), static_cast<const std::uint8_t*>(pixels),
                                           std::int64_t(count));
}

}  // namespace

bool isJxlPicture(const QByteArray& bytes) {
    const JxlSignature kind =
        JxlSignatureCheck(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size()));
    return kind == JXL_SIG_CODESTREAM || kind == JXL_SIG_CONTAINER;
}

QSize jxlPictureSize(const QByteArray& bytes) {
    const Decoder decoder(bytes, JXL_DEC_BASIC_INFO);
    decoder.runTo(JXL_DEC_BASIC_INFO);
    const JxlBasicInfo info = decoder.basicInfo();
    return {int(std::min<std::uint32_t>(info.xsize, INT32_MAX)), int(std::min<std::uint32_t>(info.ysize, INT32_MAX))};
}

QImage decodeJxlPicture(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory) {
    // The runner outlives the decoder that uses it.
    const std::unique_ptr<void, RunnerRelease> runner(
        JxlThreadParallelRunnerCreate(nullptr, size_t(std::clamp(QThread::idealThreadCount(), 1, kMostThreads))));
    const Decoder decoder(bytes, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE);
    if (!runner || JxlDecoderSetParallelRunner(decoder.get(), JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS)
        throw HostError("There is not enough memory for the picture");

    decoder.runTo(JXL_DEC_BASIC_INFO);
    const JxlBasicInfo info = decoder.basicInfo();
    // Orientations 5 to 8 turn the picture a quarter, and libjxl hands it over turned.
    const bool quarter = info.orientation >= JXL_ORIENT_TRANSPOSE;
    const std::uint32_t width = quarter ? info.ysize : info.xsize, height = quarter ? info.xsize : info.ysize;
    if (width > INT32_MAX || height > INT32_MAX) throw HostError("The picture is too large");
    const bool alpha = info.alpha_bits > 0;
    // Before anything is decoded: a header that claims a huge picture takes no memory.
    QImage target = decodeTarget(QSize(int(width), int(height)), alpha, limitBytes, memory);
    // libjxl hands over the colours as stored: multiplied by their alpha when the file says so.
    const RgbRows rows(target, alpha && info.alpha_premultiplied);
    const JxlPixelFormat format{alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    if (decoder.next() != JXL_DEC_NEED_IMAGE_OUT_BUFFER ||
        JxlDecoderSetImageOutCallback(decoder.get(), &format, putPixels, const_cast<RgbRows*>(&rows)) !=
            JXL_DEC_SUCCESS)
        throw HostError("The picture file is damaged");
    // The first frame is the picture; any later ones of an animation are left undecoded.
    decoder.runTo(JXL_DEC_FULL_IMAGE);
    return target;
}

QByteArray jxlIccProfile(const QByteArray& bytes) {
    const Decoder decoder(bytes, JXL_DEC_COLOR_ENCODING);
    decoder.runTo(JXL_DEC_COLOR_ENCODING);
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0)
        return {};
    QByteArray profile(qsizetype(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                       reinterpret_cast<std::uint8_t*>(profile.data()), size) != JXL_DEC_SUCCESS)
        return {};
    return profile;
}

}  // namespace pictavo
