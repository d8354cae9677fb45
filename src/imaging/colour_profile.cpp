// SPDX-License-Identifier: MIT
#include "imaging/colour_profile.h"

#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// clang-format off: jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

namespace pictavo {

namespace {

const unsigned char* at(const QByteArray& b, qsizetype i) {
    return reinterpret_cast<const unsigned char*>(b.data()) + i;
}

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint32_t be32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

// --- JPEG -------------------------------------------------------------------------------

struct JpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg reads the header only (up to the first scan), keeping the APP2 markers, and
// joins the ICC chunks itself, checking their numbering. Plain locals only between
// setjmp and the jump back.
bool readJpegHeader(const QByteArray& bytes, bool* grey, bool* cmyk, JOCTET** icc, unsigned int* iccBytes) {
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); };
    error.pub.output_message = [](j_common_ptr) {};
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    // The saved markers come out of this bound, so that a file of nothing but APP2 markers
    // cannot make libjpeg copy all of it.
    info.mem->max_memory_to_use = 2 * kMaxProfileBytes;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    *grey = info.jpeg_color_space == JCS_GRAYSCALE;
    *cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    // Reports a broken chunk sequence by returning false, not through error_exit.
    if (!*cmyk && !jpeg_read_icc_profile(&info, icc, iccBytes)) *icc = nullptr;
    jpeg_destroy_decompress(&info);
    return true;
}

PictureColours jpegColours(const QByteArray& bytes) {
    bool grey = false, cmyk = false;
    JOCTET* icc = nullptr;
    unsigned int iccBytes = 0;
    PictureColours colours;
    if (!readJpegHeader(bytes, &grey, &cmyk, &icc, &iccBytes)) return colours;
    colours.grey = grey;
    if (icc && iccBytes <= kMaxProfileBytes)
        colours.profile = QByteArray(reinterpret_cast<const char*>(icc), static_cast<qsizetype>(iccBytes));
    std::free(icc);
    return colours;
}

// --- BMP --------------------------------------------------------------------------------

QByteArray bmpProfile(const QByteArray& bytes) {
    const std::optional<ProfilePlace> place = bmpProfilePlace(bytes);
    if (!place || place->offset + place->size > std::uint64_t(bytes.size())) return {};
    return bytes.mid(static_cast<qsizetype>(place->offset), static_cast<qsizetype>(place->size));
}

// --- GIF --------------------------------------------------------------------------------

// The ICCRGBG1 "012" application extension before the first image; its sub-blocks joined.
QByteArray gifProfile(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    if (n < 13) return {};
    qsizetype i = 13;
    const unsigned char flags = *at(bytes, 10);
    if (flags & 0x80) i += 3 * (qsizetype(2) << (flags & 7));  // the global colour table
    while (i + 2 <= n && *at(bytes, i) == 0x21) {
        const bool icc = *at(bytes, i + 1) == 0xFF && i + 14 <= n && *at(bytes, i + 2) == 11 &&
                         std::memcmp(at(bytes, i + 3), "ICCRGBG1012", 11) == 0;
        i += icc ? 14 : 2;
        QByteArray profile;
        // Data sub-blocks: a length byte and that many bytes, up to an empty block.
        while (i < n && *at(bytes, i) != 0) {
            const qsizetype len = *at(bytes, i);
            if (i + 1 + len > n) return {};
            if (icc) {
                if (profile.size() + len > kMaxProfileBytes) return {};
                profile.append(bytes.constData() + i + 1, len);
            }
            i += 1 + len;
        }
        if (i >= n) return {};  // cut short before the block's end
        if (icc) return profile;
        ++i;
    }
    return {};
}

// --- PNG --------------------------------------------------------------------------------

// The iCCP chunk before the first IDAT: a name, a compression method (0, zlib) and the
// compressed profile, inflated to at most kMaxProfileBytes.
PictureColours pngColours(const QByteArray& bytes) {
    PictureColours colours;
    qsizetype i = 8;
    while (i + 12 <= bytes.size()) {
        const std::uint64_t length = be32(at(bytes, i));
        const unsigned char* type = at(bytes, i + 4);
        if (length > std::uint64_t(bytes.size() - i - 12)) break;
        const unsigned char* data = type + 4;
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13)
            colours.grey = (data[9] & 2) == 0;  // types 0 and 4: grey, grey + alpha
        if (std::memcmp(type, "IDAT", 4) == 0) break;
        if (std::memcmp(type, "iCCP", 4) == 0) {
            const void* nul = std::memchr(data, 0, std::min<std::uint64_t>(length, 80));
            if (!nul) break;
            const auto name = static_cast<std::uint64_t>(static_cast<const unsigned char*>(nul) - data);
            if (name + 2 > length || data[name + 1] != 0) break;
            QByteArray profile(kMaxProfileBytes, Qt::Uninitialized);
            z_stream z{};
            if (inflateInit(&z) != Z_OK) break;
            z.next_in = const_cast<unsigned char*>(data + name + 2);
            z.avail_in = static_cast<uInt>(length - name - 2);
            z.next_out = reinterpret_cast<unsigned char*>(profile.data());
            z.avail_out = static_cast<uInt>(profile.size());
            const int result = inflate(&z, Z_FINISH);
            const auto produced = static_cast<qsizetype>(z.total_out);
            inflateEnd(&z);
            if (result == Z_STREAM_END) {
                profile.truncate(produced);
                profile.squeeze();
                colours.profile = profile;
            }
            break;
        }
        i += static_cast<qsizetype>(length) + 12;
    }
    return colours;
}

}  // namespace

PictureColours pictureColours(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xD8")) return jpegColours(bytes);
    if (bytes.startsWith("BM")) return {bmpProfile(bytes), false};
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) return {gifProfile(bytes), false};
    if (bytes.startsWith("\x89PNG\r\n\x1A\n")) return pngColours(bytes);
    return {};
}

// A V5 header (124 bytes) says PROFILE_EMBEDDED ('MBED') and where the profile lies from
// the header's start. A linked profile ('LINK') names a file: never followed.
std::optional<ProfilePlace> bmpProfilePlace(const QByteArray& headers) {
    constexpr qsizetype kHeader = 14, kV5 = 124;
    if (headers.size() < kHeader + kV5 || le32(at(headers, kHeader)) < kV5) return std::nullopt;
    const unsigned char* v5 = at(headers, kHeader);
    if (le32(v5 + 56) != 0x4D424544u) return std::nullopt;  // 'MBED'
    const ProfilePlace place{std::uint64_t(kHeader) + le32(v5 + 112), le32(v5 + 116)};
    if (place.size == 0 || place.size > std::uint64_t(kMaxProfileBytes)) return std::nullopt;
    return place;
}

}  // namespace pictavo
