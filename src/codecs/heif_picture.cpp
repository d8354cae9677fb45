// SPDX-License-Identifier: MIT
#include "codecs/heif_picture.h"

#include <libheif/heif.h>

#include <algorithm>
#include <memory>

#include "base/errors.h"
#include "imaging/decoded_rows.h"

namespace pictavo {

namespace {

// The longest side of a HEIF picture: that of a square of 4-byte pixels filling the
// allocation bound. libheif bounds each side, not the area, of what it allocates.
constexpr int kLongestSide = 16384;
static_assert(4LL * kLongestSide * kLongestSide <= kPictureLimitBytes);
// How much larger than the shown picture its stored canvas may be, for a crop (clap).
constexpr int kCropRoom = 1024;

void check(const heif_error& error) {
    if (error.code == heif_error_Ok) return;
    if (error.code == heif_error_Memory_allocation_error || error.subcode == heif_suberror_Security_limit_exceeded)
        throw HostError("The picture is too large");
    throw HostError(std::string("The picture file is damaged: ") + (error.message ? error.message : ""));
}

struct Release {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
    void operator()(const heif_image* i) const { heif_image_release(i); }
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// A parsed file and its primary image; nothing decoded yet. libheif reads the boxes only,
// keeping its own bounds on their counts and sizes, and refuses item data that lies past
// the end of the bytes. The bytes must outlive it.
class Primary {
public:
    explicit Primary(const QByteArray& bytes) {
        static const bool initialised = (heif_init(nullptr), true);  // once, whatever thread comes first
        (void)initialised;
        context_.reset(heif_context_alloc());
        if (!context_) throw HostError("There is not enough memory for the picture");
        heif_context_set_maximum_image_size_limit(context_.get(), kLongestSide);
        // Pictures are decoded several at a time already; one tile thread each is enough.
        heif_context_set_max_decoding_threads(context_.get(), 1);
        check(heif_context_read_from_memory_without_copy(context_.get(), bytes.constData(), size_t(bytes.size()),
                                                         nullptr));
        heif_image_handle* handle = nullptr;
        check(heif_context_get_primary_image_handle(context_.get(), &handle));
        handle_.reset(handle);
        // A grid's canvas is sized by its own header, not by the size checked against the
        // bound: hold it to the checked size (with room for a crop), and to the side of a
        // square of the bound, so that a small file cannot make libheif fill gigabytes.
        const QSize checked = size();
        heif_context_set_maximum_image_size_limit(
            context_.get(), std::min(std::max(checked.width(), checked.height()) + kCropRoom, kLongestSide));
    }
    [[nodiscard]] const heif_image_handle* handle() const { return handle_.get(); }
    [[nodiscard]] QSize size() const {
        return {heif_image_handle_get_width(handle_.get()), heif_image_handle_get_height(handle_.get())};
    }

private:
    std::unique_ptr<heif_context, Release> context_;
    std::unique_ptr<const heif_image_handle, Release> handle_;
};

}  // namespace

bool isHeifPicture(const QByteArray& bytes) {
    return heif_check_filetype(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               int(std::min<qsizetype>(bytes.size(), 64))) == heif_filetype_yes_supported;
}

QSize heifPictureSize(const QByteArray& bytes) {
    const QSize size = Primary(bytes).size();
    if (size.isEmpty()) throw HostError("The picture file is damaged");
    return size;
}

QImage decodeHeifPicture(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory) {
    const Primary primary(bytes);
    const QSize size = primary.size();
    const bool alpha = heif_image_handle_has_alpha_channel(primary.handle()) != 0;
    // Before anything is decoded: a header that claims a huge picture takes no memory.
    QImage target = decodeTarget(size, alpha, limitBytes, memory);

    std::unique_ptr<heif_decoding_options, Release> options(heif_decoding_options_alloc());
    if (!options) throw HostError("There is not enough memory for the picture");
    options->convert_hdr_to_8bit = 1;
    options->strict_decoding = 1;  // a damaged file is refused, not shown with made-up parts
    heif_image* decodedImage = nullptr;
    check(heif_decode_image(primary.handle(), &decodedImage, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
    // libheif hands over the colours as stored: multiplied by their alpha when the file says so.
    const bool premultiplied = alpha && heif_image_is_premultiplied_alpha(decodedImage) != 0;
    const std::unique_ptr<const heif_image, Release> decoded(decodedImage);
    int stride = 0;
    const std::uint8_t* pixels = heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    if (!pixels || heif_image_get_width(decoded.get(), heif_channel_interleaved) != size.width() ||
        heif_image_get_height(decoded.get(), heif_channel_interleaved) != size.height())
        throw HostError("The picture file is damaged");
    const RgbRows rows(target, premultiplied);
    for (int y = 0; y < size.height(); ++y) rows.put(0, y, pixels + std::int64_t(y) * stride, size.width());
    return target;
}

QByteArray heifIccProfile(const QByteArray& bytes) {
    const Primary primary(bytes);
    const size_t size = heif_image_handle_get_raw_color_profile_size(primary.handle());
    if (size == 0) return {};
    QByteArray profile(qsizetype(size), Qt::Uninitialized);
    check(heif_image_handle_get_raw_color_profile(primary.handle(), profile.data()));
    return profile;
}

}  // namespace pictavo
