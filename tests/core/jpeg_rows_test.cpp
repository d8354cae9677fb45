// SPDX-License-Identifier: MIT
// A JPEG decoded row by row into the caller's memory: the same pixels as Qt's own reader
// for every kind of JPEG and EXIF orientation, rows reported only once written, a decode
// that stops when asked, and damaged data refused rather than shown grey.

#include "imaging/jpeg_rows.h"
#include "support/encoded_pictures.h"
#include "support/hostile_corpus.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>

#include "base/errors.h"
#include "imaging/picture_reader.h"

using namespace pictavo;

namespace {

// Gradients, hard edges and grain: chroma subsampling and smooth upsampling change
// nearly every pixel, so a decode set up unlike Qt's cannot match by chance.
QImage pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t state = 2463534242u;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int edge = ((x / 5 + y / 3) & 1) ? 90 : 0;
            image.setPixel(x, y,
                           qRgb((x * 255 / std::max(width - 1, 1) + edge) & 255,
                                (y * 255 / std::max(height - 1, 1)) ^ 40, int(state & 255) / 2 + edge));
        }
    }
    return image;
}

struct Encoding {
    int hSample = 2, vSample = 2;  // of the first component; the others are 1 x 1
    J_COLOR_SPACE stored = JCS_YCbCr;
    bool progressive = false;
    bool scanPerComponent = false;  // sequential, but in several scans
    int restartRows = 0;
    bool arithmetic = false;
    std::vector<QByteArray> app1{};  // APP1 segments (Exif, XMP), in this order
};

QByteArray encode(const QImage& image, const Encoding& e = {}) {
    const int inks = e.stored == JCS_GRAYSCALE ? 1 : e.stored == JCS_CMYK || e.stored == JCS_YCCK ? 4 : 3;
    std::vector<jpeg_scan_info> scans(e.scanPerComponent ? std::size_t(inks) : 0);
    for (int i = 0; i < int(scans.size()); ++i) scans[std::size_t(i)] = {1, {i}, 0, 63, 0, 0};
    const auto setUp = [&](jpeg_compress_struct& c) {
        c.image_width = JDIMENSION(image.width());
        c.image_height = JDIMENSION(image.height());
        c.input_components = inks;
        c.in_color_space = inks == 1 ? JCS_GRAYSCALE : inks == 4 ? JCS_CMYK : JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_colorspace(&c, e.stored);
        jpeg_set_quality(&c, 90, TRUE);
        c.comp_info[0].h_samp_factor = e.hSample;
        c.comp_info[0].v_samp_factor = e.vSample;
        c.restart_in_rows = e.restartRows;
        c.arith_code = e.arithmetic ? TRUE : FALSE;
        if (e.progressive) jpeg_simple_progression(&c);
        if (!scans.empty()) {
            c.scan_info = scans.data();
            c.num_scans = inks;
        }
    };
    return test::libjpegEncoded(setUp, [&](jpeg_compress_struct& c) {
        for (const QByteArray& segment : e.app1)
            jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(segment.constData()),
                              unsigned(segment.size()));
        std::vector<JSAMPLE> row(std::size_t(image.width() * inks));
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                // Four inks as Photoshop stores them, inverted; black from the grain.
                const int values[4] = {inks == 1 ? qGray(p) : qRed(p), qGreen(p), qBlue(p),
                                       255 - (qBlue(p) ^ qRed(p)) / 3};
                for (int i = 0; i < inks; ++i) row[std::size_t(x * inks + i)] = JSAMPLE(values[i]);
            }
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&c, rows, 1);
        }
    });
}

// An Exif block whose IFDs hold the given entries (tag, type, count, 16-bit value), the
// IFDs one after another, each pointing to the next.
struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count;
    std::uint16_t value;
};
QByteArray exif(const std::vector<std::vector<Entry>>& ifds, bool intel = true) {
    QByteArray tiff;
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) tiff.append(char(intel ? v >> (8 * i) : v >> (8 * (bytes - 1 - i))));
    };
    tiff.append(intel ? "II" : "MM");
    put(0x2a, 2);
    put(8, 4);
    for (std::size_t n = 0; n < ifds.size(); ++n) {
        put(std::uint32_t(ifds[n].size()), 2);
        for (const Entry& e : ifds[n]) {
            put(e.tag, 2);
            put(e.type, 2);
            put(e.count, 4);
            put(e.value, 2);
            put(0, 2);
        }
        put(n + 1 < ifds.size() ? std::uint32_t(tiff.size() + 4) : 0, 4);
    }
    return QByteArray("Exif\0\0", 6) + tiff;
}
QByteArray orientationExif(int value, bool intel = true) {
    return exif({{{0x010f, 2, 1, 0}, {0x0112, 3, 1, std::uint16_t(value)}}}, intel);
}

using test::qtDecode;

// Rows [from, to) of both, alpha included.
bool sameRows(const QImage& a, const QImage& b, int from, int to) {
    for (int y = from; y < to; ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), std::size_t(a.width()) * 4) != 0) return false;
    return true;
}

// Memory with a gap after each row and leftovers of another picture in it, as the
// caller's may be.
struct Memory {
    explicit Memory(QSize size)
        : bytesPerLine(qsizetype(size.width()) * 4 + 12),
          bytes(std::size_t(bytesPerLine) * std::size_t(size.height()), 0x5a),
          image(bytes.data(), size.width(), size.height(), bytesPerLine, QImage::Format_RGB32) {}
    uchar* bits() { return bytes.data(); }
    qsizetype bytesPerLine;
    std::vector<uchar> bytes;
    QImage image;
};

struct Decoded {
    std::vector<int> reports;
    bool early = false;  // a report came before all its rows were written
    bool done = false;
};

Decoded decodeChecked(JpegRows& rows, Memory& memory, const QImage& expected) {
    Decoded run;
    run.done = rows.decode(memory.bits(), memory.bytesPerLine, [&](int ready) {
        const int before = run.reports.empty() ? 0 : run.reports.back();
        run.early = run.early || !sameRows(memory.image, expected, before, ready);
        run.reports.push_back(ready);
        return true;
    });
    return run;
}

struct Kind {
    const char* name;
    QByteArray bytes;
    bool inOrder;
    int orientation;
};

std::vector<Kind> kinds() {
    const QImage picture = pattern(61, 37);
    const QByteArray xmp("http://ns.adobe.com/xap/1.0/\0<x/>", 33);
    QByteArray cutShort = orientationExif(3).left(6 + 8 + 2 + 12 + 10);
    cutShort[6 + 8] = 5;  // more entries than the block holds
    QByteArray loop = exif({{{0x010f, 2, 1, 0}}});
    loop[6 + 8 + 2 + 12] = 8;  // the next IFD is the first again
    QByteArray farOffset = orientationExif(6);
    farOffset[6 + 4] = char(0xf0);
    std::vector<Kind> all = {
        {"baseline 4:2:0", encode(picture), true, 1},
        {"4:2:2", encode(picture, {.vSample = 1}), true, 1},
        {"4:4:4", encode(picture, {.hSample = 1, .vSample = 1}), true, 1},
        {"grey", encode(picture, {.hSample = 1, .vSample = 1, .stored = JCS_GRAYSCALE}), true, 1},
        {"progressive", encode(picture, {.progressive = true}), false, 1},
        {"sequential, a scan per component", encode(picture, {.scanPerComponent = true}), false, 1},
        {"CMYK", encode(picture, {.stored = JCS_CMYK}), true, 1},
        {"YCCK", encode(picture, {.stored = JCS_YCCK}), true, 1},
        {"restart markers", encode(picture, {.restartRows = 1}), true, 1},
        {"arithmetic coding", encode(picture, {.arithmetic = true}), true, 1},
        {"1 x 1", encode(pattern(1, 1)), true, 1},
        {"17 x 9", encode(pattern(17, 9)), true, 1},
        {"3001 x 7", encode(pattern(3001, 7)), true, 1},
        {"3001 x 7 turned", encode(pattern(3001, 7), {.app1 = {orientationExif(6)}}), false, 6},
        {"9 x 17 progressive", encode(pattern(9, 17), {.progressive = true, .app1 = {orientationExif(7)}}), false, 7},
        {"CMYK turned", encode(picture, {.stored = JCS_CMYK, .app1 = {orientationExif(8)}}), false, 8},
        {"Motorola byte order", encode(picture, {.app1 = {orientationExif(6, false)}}), false, 6},
        {"in the second IFD", encode(picture, {.app1 = {exif({{{0x010f, 2, 1, 0}}, {{0x0112, 3, 1, 8}}})}}), false, 8},
        {"XMP before Exif", encode(picture, {.app1 = {xmp, orientationExif(6)}}), true, 1},
        {"out of range", encode(picture, {.app1 = {orientationExif(9)}}), true, 1},
        {"as a LONG", encode(picture, {.app1 = {exif({{{0x0112, 4, 1, 6}}})}}), true, 1},
        {"given twice", encode(picture, {.app1 = {exif({{{0x0112, 3, 2, 6}}})}}), true, 1},
        {"IFD cut short after it", encode(picture, {.app1 = {cutShort}}), false, 3},
        {"IFDs in a loop", encode(picture, {.app1 = {loop}}), true, 1},
        {"IFD beyond the block", encode(picture, {.app1 = {farOffset}}), true, 1},
    };
    // Several strips each, so that every strip lands in its place.
    const QImage large = pattern(700, 400);
    for (int orientation = 1; orientation <= 8; ++orientation)
        all.push_back(
            {"orientation", encode(large, {.app1 = {orientationExif(orientation)}}), orientation == 1, orientation});
    return all;
}

TEST(JpegRows, EveryKindOfJpegGivesThePixelsOfQtsReaderReportedOnlyOnceWritten) {
    for (const Kind& kind : kinds()) {
        SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(kind.orientation));
        const QImage expected = qtDecode(kind.bytes);
        JpegRows rows(kind.bytes);
        ASSERT_EQ(rows.size(), expected.size());
        EXPECT_EQ(rows.orientation(), kind.orientation);
        EXPECT_EQ(rows.rowsInOrder(), kind.inOrder);
        Memory memory(rows.size());
        const Decoded run = decodeChecked(rows, memory, expected);
        EXPECT_TRUE(run.done);
        EXPECT_TRUE(sameRows(memory.image, expected, 0, expected.height()));
        EXPECT_FALSE(run.early) << "a report came before its rows were written";
        const std::vector<int>& reports = run.reports;
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back(), expected.height());
        for (std::size_t i = 1; i < reports.size(); ++i) {
            if (kind.inOrder) {
                EXPECT_GT(reports[i], reports[i - 1]);
            } else {
                EXPECT_EQ(reports[i - 1], 0) << "rows out of order reported before the end";
            }
        }
    }
}

// A decode stopped part way (work ahead the person then asked for) goes on in a second
// decoder from the row the first reached: the picture equals one decode's, the rows above
// are left as they were, and the reports count on from that row.
TEST(JpegRows, ADecodeStoppedPartWayGoesOnInAnotherFromTheRowItReached) {
    const QImage large = pattern(700, 400);
    const struct {
        const char* name;
        QByteArray bytes;
        bool resumable;
    } cases[] = {
        {"4:2:0", encode(large), true},
        {"4:2:2", encode(large, {.vSample = 1}), true},
        {"4:4:4", encode(large, {.hSample = 1, .vSample = 1}), true},
        {"grey", encode(large, {.hSample = 1, .vSample = 1, .stored = JCS_GRAYSCALE}), true},
        {"restart markers", encode(large, {.restartRows = 3}), true},
        {"arithmetic coding", encode(large, {.arithmetic = true}), false},
        {"progressive", encode(large, {.progressive = true}), false},
        {"turned", encode(large, {.app1 = {orientationExif(6)}}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // One whole decode, equal to Qt's as the test above shows (Qt's own reader would
        // bring its thread pool into this binary's ThreadSanitizer run).
        JpegRows first(c.bytes);
        QImage expected(first.size(), QImage::Format_RGB32);
        ASSERT_TRUE(JpegRows(c.bytes).decode(expected.bits(), expected.bytesPerLine(), [](int) { return true; }));
        ASSERT_EQ(first.resumable(), c.resumable);
        if (!c.resumable) {
            JpegRows second(c.bytes);
            Memory memory(second.size());
            EXPECT_THROW(second.decode(
                             memory.bits(), memory.bytesPerLine, [](int) { return true; }, 16),
                         std::invalid_argument);
            continue;
        }
        Memory memory(first.size());
        int reached = 0;
        // Stopped after a few strips, as the open takes the work over.
        EXPECT_FALSE(first.decode(memory.bits(), memory.bytesPerLine, [&](int ready) {
            reached = ready;
            return ready < 100;
        }));
        ASSERT_GT(reached, 0);
        ASSERT_LT(reached, expected.height());
        const QImage above = memory.image.copy(0, 0, expected.width(), reached);
        JpegRows second(c.bytes);
        std::vector<int> reports;
        EXPECT_TRUE(second.decode(
            memory.bits(), memory.bytesPerLine,
            [&](int ready) {
                reports.push_back(ready);
                return true;
            },
            reached));
        EXPECT_TRUE(sameRows(memory.image, expected, 0, expected.height()));
        EXPECT_EQ(memory.image.copy(0, 0, expected.width(), reached), above);
        ASSERT_FALSE(reports.empty());
        EXPECT_GT(reports.front(), reached);
        EXPECT_EQ(reports.back(), expected.height());
    }
}

TEST(JpegRows, AWidePhotosTopRowsAreReportedLongBeforeItsEnd) {
    const QByteArray bytes = encode(pattern(8200, 96));
    const QImage expected = qtDecode(bytes);
    JpegRows rows(bytes);
    ASSERT_TRUE(rows.rowsInOrder());
    Memory memory(rows.size());
    const Decoded run = decodeChecked(rows, memory, expected);
    ASSERT_TRUE(run.done);
    EXPECT_FALSE(run.early);
    ASSERT_GE(run.reports.size(), 4u);
    EXPECT_LE(run.reports.front(), 16);
    EXPECT_TRUE(sameRows(memory.image, expected, 0, expected.height()));
}

TEST(JpegRows, StopsAtOnceWhenAskedOrWhenTheCallerThrows) {
    const QImage picture = pattern(900, 600);
    const Encoding progressive{.progressive = true};
    const struct {
        const char* name;
        QByteArray bytes;
        int stopAt;  // the call that answers false
        bool beforeAnyRow;
    } cases[] = {
        {"in order, at the first report", encode(picture), 1, false},
        {"in order, at the third report", encode(picture), 3, false},
        {"progressive, while its scans are read", encode(picture, progressive), 1, true},
        // 38 rows of blocks a scan: the third scan.
        {"progressive, inside its third scan", encode(picture, progressive), 90, true},
        {"turned, at the second strip", encode(picture, {.app1 = {orientationExif(6)}}), 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JpegRows rows(c.bytes);
        Memory memory(rows.size());
        int calls = 0;
        bool untouched = false;
        EXPECT_FALSE(rows.decode(memory.bits(), memory.bytesPerLine, [&](int) {
            untouched = std::all_of(memory.bytes.begin(), memory.bytes.end(), [](uchar b) { return b == 0x5a; });
            return ++calls < c.stopAt;
        }));
        EXPECT_EQ(calls, c.stopAt);
        EXPECT_EQ(untouched, c.beforeAnyRow);
    }
    const QByteArray bytes = encode(picture, progressive);
    JpegRows rows(bytes);
    Memory memory(rows.size());
    EXPECT_THROW(rows.decode(memory.bits(), memory.bytesPerLine,
                             [](int) -> bool { throw std::runtime_error("the window went"); }),
                 std::runtime_error);
}

// Bytes of a file between its first scan's header and its end-of-image marker.
qsizetype scanStart(const QByteArray& bytes) { return bytes.indexOf("\xff\xda") + 2; }

TEST(JpegRows, AFileDamagedPartWayIsRefusedNotShownGrey) {
    const QImage picture = pattern(320, 240);
    const std::pair<const char*, QByteArray> files[] = {
        {"baseline", encode(picture)},
        {"progressive", encode(picture, {.progressive = true})},
        {"restart markers", encode(picture, {.restartRows = 2})},
    };
    for (const auto& [name, bytes] : files) {
        const qsizetype start = scanStart(bytes);
        const qsizetype middle = start + (bytes.size() - start) / 2;
        QByteArray badCodes = bytes;  // all one bits: no Huffman code
        for (qsizetype i = middle; i < middle + 64; i += 2) {
            badCodes[i] = char(0xff);
            badCodes[i + 1] = 0;
        }
        QByteArray cutOut = bytes;
        cutOut.remove(middle, (bytes.size() - start) / 4);
        const std::pair<const char*, QByteArray> damaged[] = {
            {"codes that decode to nothing", badCodes},
            {"a piece cut out of the middle", cutOut},
            {"its end cut off", bytes.left(middle)},
        };
        for (const auto& [how, broken] : damaged) {
            SCOPED_TRACE(std::string(name) + ", " + how);
            JpegRows rows(broken);
            Memory memory(rows.size());
            bool whole = false;
            try {
                rows.decode(memory.bits(), memory.bytesPerLine, [&](int ready) {
                    whole = ready == picture.height();
                    return true;
                });
                ADD_FAILURE() << "decoded without fault";
            } catch (const HostError& e) {
                if (broken.size() == middle) {
                    EXPECT_STREQ(e.what(), "The picture file is truncated");
                }
            }
            EXPECT_FALSE(whole);
        }
    }
}

TEST(JpegRows, WhatIsNotAJpegOrHasNoWholeHeaderIsRefusedAtOnce) {
    const QByteArray jpeg = encode(pattern(64, 48));
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"a GIF", QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14)},
        {"the start-of-image marker alone", jpeg.left(2)},
        {"cut inside the header", jpeg.left(scanStart(jpeg) - 40)},
        {"cut before the first scan", jpeg.left(scanStart(jpeg) - 2)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_THROW(JpegRows{bytes}, HostError);
    }
}

// The window's thread reads the rows reported so far while the worker decodes the rest.
// Each report waits until the window has taken it, so that the window reads while the
// worker writes on. Four inks, so that the worker's own conversion writes every row where
// ThreadSanitizer sees it (libjpeg is not instrumented). Named for the ThreadSanitizer
// run, which takes the decode-ahead tests.
TEST(JpegRows, DecodeAheadOnAWorkerShowsTheWindowOnlyFinishedRows) {
    const QByteArray bytes = encode(pattern(1200, 900), {.stored = JCS_CMYK});
    const QImage expected = qtDecode(bytes);
    JpegRows rows(bytes);
    Memory memory(rows.size());
    std::atomic<int> published{0};
    std::atomic<int> taken{0};
    bool decoded = false;
    std::thread worker([&] {
        decoded = rows.decode(memory.bits(), memory.bytesPerLine, [&](int ready) {
            published.store(ready, std::memory_order_release);
            published.notify_one();
            for (int t = taken.load(); t != ready; t = taken.load()) taken.wait(t);
            return true;
        });
    });
    int seen = 0;
    int mismatched = 0;
    while (seen < expected.height()) {
        published.wait(seen, std::memory_order_acquire);
        const int now = published.load(std::memory_order_acquire);
        taken.store(now);
        taken.notify_one();
        mismatched += sameRows(memory.image, expected, seen, now) ? 0 : 1;
        seen = now;
    }
    worker.join();
    EXPECT_TRUE(decoded);
    EXPECT_EQ(mismatched, 0);
}

}  // namespace
