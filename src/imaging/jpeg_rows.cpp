// SPDX-License-Identifier: MIT
#include "imaging/jpeg_rows.h"

#include <QRgb>
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <cstring>
#include <exception>
#include <stdexcept>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "base/errors.h"
#include "imaging/picture_reader.h"

// libjpeg reports a fatal error by calling error_exit, which must not return. It is C
// compiled without exception support, so a C++ exception thrown through its frames is
// undefined: error_exit longjmps instead, to a setjmp in guarded() below, and every frame
// it jumps over (libjpeg's and the step functions') holds only trivially destructible
// locals. The state that outlives a jump is in the heap-allocated Decoder.

namespace pictavo {

namespace {

// Format_RGB32 memory is 0xffRRGGBB in native order; the alpha forms guarantee 0xFF in
// the fourth byte, where the X forms leave it unspecified.
constexpr J_COLOR_SPACE kRgb32Space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// Rows between reports: 16 (an MCU row of most photos), more for a narrow picture, so
// that a report, which may wake the window, stands for enough work to be worth painting.
constexpr int kStripRows = 16;
constexpr int kStripPixels = 128 * 1024;

// A progressive file may repeat scans without end, each a pass over every block: 100,000
// scans of 16 bytes keep a core busy for seconds and show nothing better. Real encoders
// write at most a few dozen; 500 is the limit libjpeg-turbo's own decoders apply
// (djpeg -maxscans, TurboJPEG's TJFLAG_LIMITSCANS).
constexpr int kScanLimit = 500;

// Each scan is a pass over the blocks of its components, and an arithmetic-coded scan or
// one of zeros run together is a few bytes whatever their number: 500 scans of a large
// picture in a file of 100 KB keep a core busy for a minute. libjpeg's own progressive
// script passes over each block five or six times; the passes of all scans together may
// come to 24 for each block of the picture, and to 500 scans of 4096 blocks (a grey
// picture of 512 x 512) for a small one.
constexpr std::uint64_t kPassesPerBlock = 24;
constexpr std::uint64_t kSmallPictureBlocks = 4096;

// The most stray bytes between segments taken for a writer's leftovers.
constexpr int kJunkBytes = 16;

// How the stored picture is turned to be shown: the shown (x, y) is taken from the stored
// column u and row v below, where (u, v) = swap ? (y, x) : (x, y) and each is counted
// from the far edge when mirrored.
struct Turn {
    bool swap, mirrorX, mirrorY;
};

Turn turnFor(int orientation) {
    switch (orientation) {
        case 2: return {false, true, false};  // mirrored left to right
        case 3: return {false, true, true};   // upside down
        case 4: return {false, false, true};  // mirrored top to bottom
        case 5: return {true, false, false};  // mirrored along the main diagonal
        case 6: return {true, false, true};   // turned a quarter clockwise
        case 7: return {true, true, true};    // mirrored along the other diagonal
        case 8: return {true, true, false};   // turned a quarter anticlockwise
        default: return {false, false, false};
    }
}

// The orientation an Exif block gives, 1 to 8, or 0 for none or one that cannot be read.
// It is read as Qt's JPEG reader reads it, so that this decode turns every file as
// decodePicture() does: the IFDs are followed forwards only, at most ten of them, and the
// first orientation tag found decides, which must be one SHORT of 1 to 8. Every read is
// checked against the block's end.
int exifOrientation(const QByteArray& exif) {
    const auto* data = reinterpret_cast<const unsigned char*>(exif.constData());
    const auto size = static_cast<std::size_t>(exif.size());
    constexpr std::size_t kHeader = 6;
    if (size < kHeader || std::memcmp(data, "Exif\0\0", kHeader) != 0) return 0;
    bool little = false;
    std::size_t at = kHeader;
    bool ok = true;
    const auto read = [&](int bytes) -> std::uint32_t {
        if (!ok || at + std::size_t(bytes) > size) {
            ok = false;
            return 0;
        }
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const std::uint32_t byte = data[at + std::size_t(i)];
            value |= little ? byte << (8 * i) : byte << (8 * (bytes - 1 - i));
        }
        at += std::size_t(bytes);
        return value;
    };
    const std::uint32_t order = read(2);
    if (order == 0x4949) {
        little = true;
    } else if (order != 0x4d4d) {
        return 0;
    }
    if (read(2) != 0x2a) return 0;
    std::uint64_t offset = read(4);
    for (int ifd = 0; ok && ifd < 10; ++ifd) {
        if (offset + kHeader < at || offset + kHeader >= size) return 0;
        at = std::size_t(offset + kHeader);
        for (std::uint32_t entries = read(2); ok && entries > 0; --entries) {
            const std::uint32_t tag = read(2);
            const std::uint32_t type = read(2);
            const std::uint32_t count = read(4);
            const std::uint32_t value = read(2);
            if (ok && tag == 0x0112) return type == 3 && count == 1 && value >= 1 && value <= 8 ? int(value) : 0;
            read(2);
        }
        offset = read(4);
        if (!ok || offset == 0) return 0;
    }
    return 0;
}

// Adobe's CMYK, as Photoshop writes it, is stored inverted (0 is full ink); converted as
// Qt's reader converts every four-component JPEG, in place (both are 4 bytes a pixel).
void cmykToRgb32(uchar* row, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x) {
        uchar* pixel = row + std::size_t(x) * 4;
        const int k = pixel[3];
        const QRgb rgb = qRgb(k * pixel[0] / 255, k * pixel[1] / 255, k * pixel[2] / 255);
        std::memcpy(pixel, &rgb, sizeof rgb);
    }
}

}  // namespace

struct JpegRows::Decoder {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX]{};
    int messageCode = 0;
    // Set once the header is read: from then on a warning means damaged picture data.
    bool warningsFail = false;

    const unsigned char* data = nullptr;
    std::size_t length = 0;
    int orientation = 1;
    bool used = false;

    // While decode() runs.
    uchar* bits = nullptr;
    qsizetype bytesPerLine = 0;
    const std::function<bool(int)>* ready = nullptr;
    JSAMPROW* rows = nullptr;  // a strip's row pointers
    uchar* strip = nullptr;    // a strip of stored rows, for a turned picture
    int stripRows = 0;
    JDIMENSION fromRow = 0;  // rows above it are in place already
    bool inOrder = false;
    bool multipleScans = false;
    bool cmyk = false;
    bool finished = false;
    bool stopped = false;
    std::exception_ptr thrown;

    // What the scans read so far gave, for a file of several scans.
    int scansSeen = 0;
    std::uint64_t blocksPassed = 0;                // by the scans so far, counted as each begins
    std::uint64_t firstScanned[MAX_COMPONENTS]{};  // coefficients whose first scan was read, a bit each
    bool endMissing = false;                       // the data ran out without an end marker
    // The first stored row whose data an arithmetic-coded scan did not hold (see below);
    // from it on every row must be of one colour.
    JDIMENSION flatFrom = JDIMENSION(-1);

    ~Decoder() { jpeg_destroy_decompress(&info); }

    // Asks the caller whether to go on; never throws, so that it may be called from
    // within libjpeg. What the caller throws is kept for decode() to throw again.
    bool keepGoing(int rowsDone) noexcept {
        try {
            if ((*ready)(rowsDone)) return true;
            stopped = true;
        } catch (...) {
            thrown = std::current_exception();
        }
        return false;
    }
};

namespace {

using Decoder = JpegRows::Decoder;

Decoder& decoderOf(j_common_ptr info) { return *static_cast<Decoder*>(info->client_data); }

[[noreturn]] void onError(j_common_ptr info) {
    Decoder& d = decoderOf(info);
    (*info->err->format_message)(info, d.message);
    d.messageCode = info->err->msg_code;
    if (d.messageCode == JERR_NO_BACKING_STORE) std::snprintf(d.message, sizeof d.message, "The picture is too large");
    std::longjmp(d.jump, 1);
}

[[noreturn]] void fail(Decoder& d, const char* message) {
    std::snprintf(d.message, sizeof d.message, "%s", message);
    std::longjmp(d.jump, 1);
}

// Warnings are libjpeg's word for data it could not decode: it goes on with grey or
// garbage rows. After the header that is a failure; in the header itself (an unknown JFIF
// revision) the picture is still whole, and so it is with a few stray bytes between
// segments anywhere. The end of the data without an end marker is judged once the rows are read:
// a file that lacks only its end marker is whole.
void onMessage(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    ++info->err->num_warnings;
    const int code = info->err->msg_code;
    Decoder& d = decoderOf(info);
    if (code == JWRN_JPEG_EOF) {
        d.endMissing = true;
        return;
    }
    // A few stray bytes are a writer's leftovers; many after a scan are its data, left over by
    // a decode that lost its way in damaged codes.
    const bool junk = code == JWRN_EXTRANEOUS_DATA && info->err->msg_parm.i[0] <= kJunkBytes;
    if (!d.warningsFail || code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || junk) return;
    onError(info);
}

// The arithmetic decoder fills with zeros once it meets a marker, without a word: that is
// how a whole scan's last bytes are written (trailing zeros are left out), but also what
// a scan cut short reads. Zeros decode to what was most likely so far, which for the
// rest of a picture whose data is left out is only a flat area: every stored row below
// the one where a marker was met must be of one colour. Restart markers belong to the
// data.
void noteMarkerInData(Decoder& d) {
    const jpeg_decompress_struct& info = d.info;
    const int marker = info.unread_marker;
    if (!info.arith_code || marker == 0 || (marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7)) return;
    const JDIMENSION rowsPerIMCU = JDIMENSION(info.max_v_samp_factor * DCTSIZE);
    // Rows of the iMCU row after the one just read may still hold its last blocks, once
    // smoothed: counted from the one after.
    d.flatFrom = std::min(d.flatFrom, (info.input_iMCU_row + 1) * rowsPerIMCU);
}

// Each scan's first pass over a coefficient may come once: a repeat is no picture data, only
// work (libjpeg warns of any other repeat itself).
void noteScan(Decoder& d) {
    const jpeg_decompress_struct& info = d.info;
    if (info.input_scan_number > kScanLimit) fail(d, "The picture has too many scans");
    std::uint64_t blocks = 0;
    for (int c = 0; c < info.num_components; ++c)
        blocks += std::uint64_t(info.comp_info[c].width_in_blocks) * info.comp_info[c].height_in_blocks;
    // One component's scan passes over its own blocks; several together over whole MCUs.
    const jpeg_component_info* only = info.cur_comp_info[0];
    d.blocksPassed += info.comps_in_scan == 1
                          ? std::uint64_t(only->width_in_blocks) * only->height_in_blocks
                          : std::uint64_t(info.MCUs_per_row) * info.MCU_rows_in_scan * unsigned(info.blocks_in_MCU);
    if (d.blocksPassed > kPassesPerBlock * blocks + kScanLimit * kSmallPictureBlocks)
        fail(d, "The picture has too many scans");
    if (info.Ah != 0) return;
    const int from = info.progressive_mode ? info.Ss : 0;
    const int to = info.progressive_mode ? info.Se : DCTSIZE2 - 1;
    const std::uint64_t band =
        (to >= 63 ? ~std::uint64_t(0) : (std::uint64_t(1) << (to + 1)) - 1) & ~((std::uint64_t(1) << from) - 1);
    for (int i = 0; i < info.comps_in_scan; ++i) {
        std::uint64_t& given = d.firstScanned[info.cur_comp_info[i]->component_index];
        if (given & band) fail(d, "The picture data repeats a scan");
        given |= band;
    }
}

// Called while a file of several scans is read in whole, before any row can be had: at
// each scan's start and after each row of blocks.
void onProgress(j_common_ptr info) {
    Decoder& d = decoderOf(info);
    if (d.info.input_scan_number != d.scansSeen) {
        d.scansSeen = d.info.input_scan_number;
        noteScan(d);
    }
    noteMarkerInData(d);
    if (!d.keepGoing(0)) std::longjmp(d.jump, 1);
}

// Whether every coefficient of every component came at full precision: a file of several
// scans that ends early or leaves a scan out leaves part of its picture grey or blurred.
bool scansComplete(const Decoder& d) {
    const jpeg_decompress_struct& info = d.info;
    for (int c = 0; c < info.num_components; ++c) {
        if (!info.progressive_mode) {
            if (d.firstScanned[c] != ~std::uint64_t(0)) return false;
            continue;
        }
        for (int k = 0; k < DCTSIZE2; ++k)
            if (info.coef_bits[c][k] != 0) return false;
    }
    return true;
}

bool oneColour(const uchar* row, JDIMENSION width) {
    quint32 first = 0;
    std::memcpy(&first, row, 4);
    for (JDIMENSION x = 1; x < width; ++x)
        if (std::memcmp(row + std::size_t(x) * 4, &first, 4) != 0) return false;
    return true;
}

// Runs one step of libjpeg work; false when libjpeg gave up or the caller stopped it.
// Nothing here is changed between setjmp and a longjmp back to it.
bool guarded(Decoder& d, void (*step)(Decoder&)) {
    if (setjmp(d.jump) != 0) return false;
    step(d);
    return true;
}

void readHeader(Decoder& d) {
    jpeg_create_decompress(&d.info);
    // A file of several scans keeps every block's coefficients until its rows are made:
    // two bytes for each of 64 a block, more than the picture itself where the colours are
    // stored at full size. Held to the pictures' own bound; beyond it libjpeg gives up
    // (it has no backing store) before it takes the memory.
    d.info.mem->max_memory_to_use = long(kPictureLimitBytes);
    jpeg_mem_src(&d.info, d.data, static_cast<unsigned long>(d.length));
    jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xFFFF);  // Exif
    jpeg_read_header(&d.info, TRUE);
    // Qt's reader keeps libjpeg's defaults (accurate integer IDCT, smooth upsampling);
    // set here all the same, since the pixels must equal its decode.
    d.info.dct_method = JDCT_ISLOW;
    d.info.do_fancy_upsampling = TRUE;
    const J_COLOR_SPACE stored = d.info.jpeg_color_space;
    d.info.out_color_space = stored == JCS_CMYK || stored == JCS_YCCK ? JCS_CMYK : kRgb32Space;
    jpeg_calc_output_dimensions(&d.info);
}

// Writes a strip of stored rows, from `top`, turned into the shown picture.
void writeTurned(Decoder& d, JDIMENSION top, JDIMENSION count) {
    const Turn turn = turnFor(d.orientation);
    const JDIMENSION width = d.info.output_width;
    const JDIMENSION height = d.info.output_height;
    const auto* strip = reinterpret_cast<const quint32*>(d.strip);
    if (!turn.swap) {
        for (JDIMENSION i = 0; i < count; ++i) {
            const JDIMENSION v = turn.mirrorY ? height - 1 - (top + i) : top + i;
            const quint32* from = strip + std::size_t(i) * width;
            auto* to = reinterpret_cast<quint32*>(d.bits + qsizetype(v) * d.bytesPerLine);
            if (turn.mirrorX) {
                std::reverse_copy(from, from + width, to);
            } else {
                std::copy(from, from + width, to);
            }
        }
        return;
    }
    // Each stored column is a shown row: the strip's pixels of one column land side by
    // side in that row, so every shown row is written in one short run per strip.
    for (JDIMENSION u = 0; u < width; ++u) {
        const JDIMENSION column = turn.mirrorX ? width - 1 - u : u;
        auto* to = reinterpret_cast<quint32*>(d.bits + qsizetype(u) * d.bytesPerLine);
        const quint32* from = strip + column;
        if (turn.mirrorY) {
            quint32* out = to + (height - 1 - top);
            for (JDIMENSION i = 0; i < count; ++i) *(out - i) = from[std::size_t(i) * width];
        } else {
            quint32* out = to + top;
            for (JDIMENSION i = 0; i < count; ++i) out[i] = from[std::size_t(i) * width];
        }
    }
}

void decodeRows(Decoder& d) {
    jpeg_decompress_struct& info = d.info;
    // A file of several scans is read in whole by jpeg_start_decompress: the progress
    // monitor is the only way to stop it meanwhile.
    info.progress = &d.progress;
    jpeg_start_decompress(&info);
    info.progress = nullptr;
    const JDIMENSION width = info.output_width;
    const JDIMENSION height = info.output_height;
    // Their data is read all the same (a file cut short above fails as ever); only the
    // rows are not made.
    for (JDIMENSION skipped = 0; skipped < d.fromRow;) {
        const JDIMENSION got = jpeg_skip_scanlines(&info, d.fromRow - skipped);
        if (got == 0) ERREXIT(&info, JERR_INPUT_EOF);
        skipped += got;
    }
    while (info.output_scanline < height) {
        const JDIMENSION top = info.output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(JDIMENSION(d.stripRows), height - top);
        for (JDIMENSION i = 0; i < count; ++i)
            d.rows[i] = d.strip ? d.strip + std::size_t(i) * width * 4 : d.bits + qsizetype(top + i) * d.bytesPerLine;
        JDIMENSION done = 0;
        while (done < count) {
            const JDIMENSION got = jpeg_read_scanlines(&info, d.rows + done, count - done);
            // A memory source never suspends; no rows would mean no end.
            if (got == 0) ERREXIT(&info, JERR_INPUT_EOF);
            done += got;
            // A single scan is read as the rows are: where its marker came is known now.
            if (info.arith_code && !d.multipleScans) noteMarkerInData(d);
        }
        if (info.arith_code) {
            for (JDIMENSION i = 0; i < count; ++i)
                if (top + i >= d.flatFrom && !oneColour(d.rows[i], width)) WARNMS(&info, JWRN_HIT_MARKER);
        }
        if (d.cmyk) {
            for (JDIMENSION i = 0; i < count; ++i) cmykToRgb32(d.rows[i], width);
        }
        if (d.strip) writeTurned(d, top, count);
        // The last strip is reported only once the rest of the file proves whole.
        if (top + count < height && !d.keepGoing(d.inOrder ? int(top + count) : 0)) return;
    }
    // A file of several scans was read to its end by jpeg_start_decompress; asked before
    // jpeg_finish_decompress frees what the scans gave.
    if (d.multipleScans && !scansComplete(d)) fail(d, "The picture file is truncated");
    jpeg_finish_decompress(&info);
    d.finished = true;
}

}  // namespace

JpegRows::JpegRows(const QByteArray& bytes) : d_(std::make_unique<Decoder>()) {
    Decoder& d = *d_;
    d.data = reinterpret_cast<const unsigned char*>(bytes.constData());
    d.length = static_cast<std::size_t>(bytes.size());
    d.info.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = onError;
    d.errors.emit_message = onMessage;
    d.progress.progress_monitor = onProgress;
    d.info.client_data = &d;
    if (!guarded(d, readHeader)) throw HostError(d.message);
    d.warningsFail = true;
    // Every APP1 segment, one after another, as Qt's reader reads them.
    QByteArray exif;
    for (jpeg_saved_marker_ptr marker = d.info.marker_list; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1)
            exif.append(reinterpret_cast<const char*>(marker->data), qsizetype(marker->data_length));
    }
    d.orientation = std::max(1, exifOrientation(exif));
    d.cmyk = d.info.out_color_space == JCS_CMYK;
    d.multipleScans = jpeg_has_multiple_scans(&d.info);
    d.inOrder = d.orientation == 1 && !d.multipleScans;
}

JpegRows::~JpegRows() = default;

QSize JpegRows::size() const {
    const int width = int(d_->info.output_width);
    const int height = int(d_->info.output_height);
    return turnFor(d_->orientation).swap ? QSize(height, width) : QSize(width, height);
}

bool JpegRows::rowsInOrder() const { return d_->inOrder; }

int JpegRows::orientation() const { return d_->orientation; }

bool JpegRows::resumable() const { return d_->inOrder && !d_->info.arith_code; }

bool JpegRows::decode(uchar* bits, qsizetype bytesPerLine, const std::function<bool(int rows)>& ready, int fromRow) {
    Decoder& d = *d_;
    if (d.used) throw std::logic_error("JpegRows::decode called twice");
    d.used = true;
    if (fromRow < 0 || fromRow >= size().height() || (fromRow > 0 && !resumable()))
        throw std::invalid_argument("JpegRows: no such row to go on from");
    d.fromRow = JDIMENSION(fromRow);
    const QSize shown = size();
    if (!bits || bytesPerLine < qsizetype(shown.width()) * 4) throw std::invalid_argument("JpegRows: memory too small");
    const auto width = std::size_t(d.info.output_width);
    const int stripRows = std::min(std::max(kStripRows, int(kStripPixels / std::max<std::size_t>(width, 1))),
                                   std::max(int(d.info.output_height), 1));
    std::vector<JSAMPROW> rows(std::size_t(stripRows), nullptr);
    std::vector<uchar> strip(d.orientation == 1 ? 0 : width * 4 * std::size_t(stripRows));
    d.bits = bits;
    d.bytesPerLine = bytesPerLine;
    d.ready = &ready;
    d.rows = rows.data();
    d.strip = strip.empty() ? nullptr : strip.data();
    d.stripRows = stripRows;
    const bool ok = guarded(d, decodeRows) && d.finished;
    d.rows = nullptr;
    d.strip = nullptr;
    if (!ok) {
        // Frees libjpeg's memory for the picture now rather than with this object.
        jpeg_abort_decompress(&d.info);
        if (d.thrown) std::rethrow_exception(d.thrown);
        if (d.stopped) return false;
        if (d.endMissing) throw HostError("The picture file is truncated");
        throw HostError(d.message);
    }
    const bool goOn = d.keepGoing(shown.height());
    if (d.thrown) std::rethrow_exception(d.thrown);
    return goOn;
}

}  // namespace pictavo
