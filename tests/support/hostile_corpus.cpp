// SPDX-License-Identifier: MIT
#include "support/hostile_corpus.h"

#include <QBuffer>
#include <QImageReader>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

#include "support/encoded_pictures.h"
#include "support/test_host.h"

namespace fs = std::filesystem;

namespace pictavo::test {

namespace {

std::string le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

std::string noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& ch : s) ch = static_cast<char>(rng());
    return s;
}

std::string bitmapHeader(std::int32_t width, std::int32_t height, unsigned bits, std::uint32_t compression,
                         std::uint32_t offset, std::uint32_t colours = 0) {
    std::string h = "BM" + le32(0) + le32(0) + le32(offset);
    h += le32(40) + le32(static_cast<std::uint32_t>(width)) + le32(static_cast<std::uint32_t>(height));
    h += le16(1) + le16(bits) + le32(compression) + le32(0) + le32(2835) + le32(2835) + le32(colours) + le32(0);
    return h;
}

// An image descriptor at the top left corner, without a local colour table.
std::string imageDescriptor(unsigned width, unsigned height) {
    std::string d(1, ',');
    d.append(le16(0)).append(le16(0)).append(le16(width)).append(le16(height));
    d.push_back('\0');
    return d;
}

// A GIF of many 1 x 1 frames.
std::string manyFrameGif(int frames) {
    std::string g =
        "GIF89a" + le16(1) + le16(1) + std::string("\x80\x00\x00", 3) + std::string("\x00\x00\x00\xff\xff\xff", 6);
    g += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int i = 0; i < frames; ++i) {
        g += std::string("\x21\xf9\x04\x00\x01\x00\x00\x00", 8);  // 10 ms a frame
        g += imageDescriptor(1, 1);
        g += std::string("\x02\x02\x44\x01\x00", 5);
    }
    return g + ";";
}

std::string gifClaiming(unsigned width, unsigned height) {
    std::string g = "GIF89a" + le16(width) + le16(height) + std::string("\x80\x00\x00", 3) + std::string(6, '\0');
    g += imageDescriptor(width, height);
    return g + std::string("\x02\x02\x44\x01\x00;", 6);
}

// A GIF whose first frame is `width` x `height` with the given LZW minimum code size and
// codes for one pixel: clear, colour 0, end (3 bits each unless given).
std::string gifFrame(unsigned width, unsigned height, unsigned char minimumCodeSize,
                     const std::string& codes = std::string("\x44\x01", 2)) {
    std::string g = "GIF89a" + le16(std::max(width, 1u)) + le16(std::max(height, 1u)) + std::string("\x80\x00\x00", 3) +
                    std::string(6, '\0');
    g += imageDescriptor(width, height);
    return g + static_cast<char>(minimumCodeSize) + static_cast<char>(codes.size()) + codes + std::string("\0;", 2);
}

// An Exif block of one IFD holding the orientation, Intel byte order.
std::string orientationExif(int orientation) {
    return std::string("Exif\0\0II*\0", 10) + le32(8) + le16(1) + le16(0x0112) + le16(3) + le32(1) +
           le16(unsigned(orientation)) + le16(0) + le32(0);
}

// The bytes from the `n`th start-of-scan marker up to the next marker after its data.
std::string scanOf(const std::string& jpeg, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) at = jpeg.find("\xFF\xDA", at + 2);
    std::size_t end = at + 2;
    while ((end = jpeg.find('\xFF', end + 1)) != std::string::npos) {
        const auto m = static_cast<unsigned char>(jpeg[end + 1]);
        if (m != 0x00 && (m < 0xD0 || m > 0xD7)) break;
    }
    return jpeg.substr(at, end - at);
}

// A progressive flat JPEG whose last AC scan comes `times` times: each copy only asks the
// decoder for another pass over every block.
std::string repeatingScans(int width, int height, int times) {
    const std::string jpeg =
        jpegBytes(width, height, {.grain = false, .progressive = true, .allAtFullPrecision = true});
    const std::string scan = scanOf(jpeg, 4);
    std::string out = jpeg.substr(0, jpeg.size() - 2);
    out.reserve(out.size() + scan.size() * std::size_t(times) + 2);
    for (int i = 1; i < times; ++i) out += scan;
    return out + "\xFF\xD9";
}

// The first half of an arithmetic-coded file's data, then its end marker: the decoder
// fills the rest with zeros without a warning.
std::string cutInHalf(const std::string& jpeg) {
    const std::size_t data = jpeg.find("\xFF\xDA");
    return jpeg.substr(0, data + (jpeg.size() - data) / 2) + "\xFF\xD9";
}

// 144 scans for each of three components, each one a pass over its blocks: the DC and
// the first 18 AC coefficients each in a band of their own, then the rest in one, each
// band refined bit by bit. Every scan is valid, and none repeats another.
std::vector<jpeg_scan_info> manyScanScript() {
    std::vector<jpeg_scan_info> scans;
    for (int c = 0; c < 3; ++c) {
        for (int bit = 10; bit >= 0; --bit) scans.push_back({1, {c}, 0, 0, bit == 10 ? 0 : bit + 1, bit});
        for (int k = 1; k <= 19; ++k)
            for (int bit = 6; bit >= 0; --bit)
                scans.push_back({1, {c}, k, k == 19 ? 63 : k, bit == 6 ? 0 : bit + 1, bit});
    }
    return scans;
}

}  // namespace

std::string jpegBytes(int width, int height, const JpegMaking& making) {
    // DC of every component, then the AC of each, all at full precision.
    const jpeg_scan_info bands[] = {
        {3, {0, 1, 2}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}, {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0}};
    const std::vector<jpeg_scan_info> many = manyScanScript();
    const auto setUp = [&](jpeg_compress_struct& c) {
        c.image_width = JDIMENSION(width);
        c.image_height = JDIMENSION(height);
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        c.arith_code = making.arithmetic ? TRUE : FALSE;
        if (making.fullColour) c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
        if (making.allAtFullPrecision) {
            c.scan_info = bands;
            c.num_scans = 4;
        } else if (making.manyScans) {
            c.scan_info = many.data();
            c.num_scans = int(many.size());
        } else if (making.progressive) {
            jpeg_simple_progression(&c);
        }
    };
    return libjpegEncoded(setUp,
                          [&](jpeg_compress_struct& c) {
                              if (making.orientation >= 1 && making.orientation <= 8) {
                                  const std::string exif = orientationExif(making.orientation);
                                  jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()),
                                                    unsigned(exif.size()));
                              }
                              std::vector<JSAMPLE> row(std::size_t(width) * 3, 128);
                              std::mt19937 rng(7);
                              for (int y = 0; y < height; ++y) {
                                  if (making.grain)
                                      for (auto& v : row) v = JSAMPLE(rng() & 0xFF);
                                  JSAMPROW rows[1] = {row.data()};
                                  jpeg_write_scanlines(&c, rows, 1);
                              }
                          })
        .toStdString();
}

std::string pictureBytes(const char* extension, int width, int height) {
    const TempDir dir;
    const fs::path file = dir.path() / (std::string("p.") + extension);
    writePicture(file, width, height);
    return readBytes(file);
}

std::string jpegWithoutScanData(std::string jpeg, int width, int height) {
    int scans = 0;
    for (std::size_t at = 0; (at = jpeg.find("\xFF\xDA", at + 2)) != std::string::npos;) ++scans;
    for (int n = 1; n <= scans; ++n) {
        const std::string scan = scanOf(jpeg, n);
        const std::size_t at = jpeg.find(scan);
        const std::size_t header =
            2 + (std::size_t(static_cast<unsigned char>(scan[2])) << 8 | static_cast<unsigned char>(scan[3]));
        jpeg.erase(at + header, scan.size() - header);
    }
    const std::size_t frame = jpeg.find("\xFF\xCA");
    const char size[] = {char(height >> 8), char(height & 0xFF), char(width >> 8), char(width & 0xFF)};
    jpeg.replace(frame + 5, 4, size, 4);
    return jpeg;
}

std::string coefficientBomb() {
    return jpegWithoutScanData(jpegBytes(8, 8, {.progressive = true, .arithmetic = true, .fullColour = true}), 16000,
                               16000);
}

std::string jpegClaiming(int width, int height) {
    std::string j = pictureBytes("jpg", 64, 64);
    // The baseline frame header: FF C0, length, precision, then height and width.
    const auto at = j.find("\xFF\xC0");
    if (at == std::string::npos) throw std::runtime_error("no frame header");
    j[at + 5] = static_cast<char>(height >> 8);
    j[at + 6] = static_cast<char>(height & 0xFF);
    j[at + 7] = static_cast<char>(width >> 8);
    j[at + 8] = static_cast<char>(width & 0xFF);
    return j;
}

std::vector<std::pair<std::string, std::string>> hostileContents() {
    std::vector<std::pair<std::string, std::string>> out;
    const std::string jpeg = pictureBytes("jpg", 300, 200), bmp = pictureBytes("bmp", 60, 40),
                      gif = pictureBytes("gif", 60, 40);
    out.emplace_back("whole JPEG", jpeg);
    out.emplace_back("whole BMP", bmp);
    out.emplace_back("whole GIF", gif);
    out.emplace_back("random bytes", noise(4096, 1));
    out.emplace_back("random bytes after a JPEG start", "\xFF\xD8\xFF" + noise(4096, 2));
    out.emplace_back("random bytes after a GIF start", "GIF89a" + noise(4096, 3));
    out.emplace_back("random bytes after a BMP start", "BM" + noise(4096, 4));
    for (const double part : {0.01, 0.25, 0.5, 0.9}) {
        const auto cut = [&](const std::string& s) { return s.substr(0, std::max<std::size_t>(2, s.size() * part)); };
        const std::string pct = std::to_string(static_cast<int>(part * 100)) + "%";
        out.emplace_back("JPEG cut to " + pct, cut(jpeg));
        out.emplace_back("BMP cut to " + pct, cut(bmp));
        out.emplace_back("GIF cut to " + pct, cut(gif));
    }
    // Rows all there: only the end marker is missing.
    out.emplace_back("whole JPEG without its end marker", jpeg.substr(0, jpeg.size() - 2));
    out.emplace_back("whole JPEG with seven junk bytes before its end marker",
                     jpeg.substr(0, jpeg.size() - 2) + "junk!!!\xFF\xD9");
    const std::string progressive = jpegBytes(96, 64, {.progressive = true});
    const std::string second = progressive.substr(0, progressive.find(scanOf(progressive, 2)));
    out.emplace_back("whole progressive JPEG with junk between its scans",
                     second + "junk" + progressive.substr(second.size()));
    out.emplace_back("whole progressive JPEG without its end marker", progressive.substr(0, progressive.size() - 2));
    out.emplace_back("progressive JPEG that ends after its second scan",
                     progressive.substr(0, progressive.find(scanOf(progressive, 3))));
    out.emplace_back("progressive JPEG repeating a scan 100,000 times", repeatingScans(2000, 1500, 100000));
    out.emplace_back("progressive JPEG of 8000 x 6000 repeating a scan 5,000 times", repeatingScans(8000, 6000, 5000));
    const std::string arithmetic = jpegBytes(120, 80, {.arithmetic = true});
    out.emplace_back("whole arithmetic-coded JPEG", arithmetic);
    out.emplace_back("whole progressive arithmetic-coded JPEG",
                     jpegBytes(120, 80, {.progressive = true, .arithmetic = true}));
    out.emplace_back("arithmetic-coded JPEG cut in half, with an end marker", cutInHalf(arithmetic));
    out.emplace_back("progressive arithmetic-coded JPEG cut in half, with an end marker",
                     cutInHalf(jpegBytes(120, 80, {.progressive = true, .arithmetic = true})));
    out.emplace_back("arithmetic-coded JPEG without its end marker, cut in its data",
                     arithmetic.substr(0, arithmetic.size() / 2));
    std::string claiming = arithmetic;
    const std::size_t frame = claiming.find("\xFF\xC9");
    claiming.replace(frame + 5, 4, std::string("\x40\x00\x40\x00", 4));
    out.emplace_back("arithmetic-coded JPEG claiming 16384 x 16384", claiming);
    const std::string manyScans = jpegBytes(48, 32, {.grain = false, .arithmetic = true, .manyScans = true});
    out.emplace_back("whole progressive arithmetic-coded JPEG of 432 scans", manyScans);
    out.emplace_back("progressive JPEG of 1600 x 1200 in 432 scans, each a pass over every block",
                     jpegBytes(1600, 1200, {.grain = false, .manyScans = true}));
    out.emplace_back("progressive JPEG of 16000 x 16000 whose coefficients would take 1.5 GB", coefficientBomb());
    out.emplace_back("whole flat arithmetic-coded JPEG of 8000 x 6000",
                     jpegBytes(8000, 6000, {.grain = false, .arithmetic = true}));
    for (int orientation = 1; orientation <= 8; ++orientation)
        out.emplace_back(
            "whole JPEG of EXIF orientation " + std::to_string(orientation),
            jpegBytes(
                40 + orientation, 24,
                {.progressive = orientation % 2 == 0, .arithmetic = orientation > 6, .orientation = orientation}));
    out.emplace_back("GIF without its trailer", gif.substr(0, gif.size() - 1));
    out.emplace_back("JPEG claiming 16383 x 16383", jpegClaiming(16383, 16383));
    out.emplace_back("JPEG claiming 65535 x 65535", jpegClaiming(65535, 65535));
    out.emplace_back("GIF claiming 65535 x 65535", gifClaiming(65535, 65535));
    out.emplace_back("GIF claiming 16383 x 16383, one pixel of data", gifClaiming(16383, 16383));
    out.emplace_back("BMP claiming 65535 x 65535", bitmapHeader(65535, 65535, 24, 0, 54));
    out.emplace_back("BMP claiming 100000 x 100000", bitmapHeader(100000, 100000, 24, 0, 54));
    out.emplace_back("GIF with 5000 frames", manyFrameGif(5000));
    out.emplace_back("GIF whose frame is 0 rows high", gifFrame(40, 0, 2));
    out.emplace_back("GIF whose frame is 0 pixels wide", gifFrame(0, 30, 2));
    out.emplace_back("whole GIF of LZW minimum code size 8", gifFrame(1, 1, 8, std::string("\x00\x01\x04\x04", 4)));
    out.emplace_back("GIF of LZW minimum code size 0", gifFrame(1, 1, 0));
    out.emplace_back("GIF of LZW minimum code size 1", gifFrame(1, 1, 1));
    // Clear, colour 0, end, in codes one bit wider than the minimum.
    out.emplace_back("whole GIF of LZW minimum code size 9", gifFrame(1, 1, 9, std::string("\x00\x02\x10\x20", 4)));
    out.emplace_back("whole GIF of LZW minimum code size 11",
                     gifFrame(1, 1, 11, std::string("\x00\x08\x00\x01\x08", 5)));
    out.emplace_back("GIF of LZW minimum code size 12", gifFrame(1, 1, 12));
    out.emplace_back("BMP of negative width", bitmapHeader(-40, 30, 24, 0, 54) + std::string(3600, '\x7f'));
    out.emplace_back("BMP of negative height (top-down)", bitmapHeader(40, -30, 24, 0, 54) + std::string(3600, '\x7f'));
    out.emplace_back("BMP of height -2^31", bitmapHeader(40, INT32_MIN, 24, 0, 54) + std::string(3600, '\x7f'));
    out.emplace_back("BMP of huge width", bitmapHeader(0x7FFFFFFF, 1, 24, 0, 54) + std::string(64, '\x7f'));
    out.emplace_back("BMP with an oversized palette",
                     bitmapHeader(16, 16, 8, 0, 54 + 1024, 0x40000000) + std::string(1024 + 256, '\x01'));
    out.emplace_back("BMP of RLE garbage",
                     bitmapHeader(64, 64, 8, 1, 54 + 1024) + std::string(1024, '\0') + noise(2000, 5));
    out.emplace_back("BMP of RLE4 garbage",
                     bitmapHeader(64, 64, 4, 2, 54 + 64) + std::string(64, '\0') + noise(2000, 6));
    out.emplace_back("BMP of RLE claiming 30000 x 30000", bitmapHeader(30000, 30000, 8, 1, 54 + 1024) +
                                                              std::string(1024, '\0') + std::string("\x00\x01", 2));
    out.emplace_back("BMP of RLE claiming 16000 x 16000", bitmapHeader(16000, 16000, 8, 1, 54 + 1024) +
                                                              std::string(1024, '\0') + std::string("\x00\x01", 2));
    out.emplace_back("BMP whose pixels start past its end",
                     bitmapHeader(40, 30, 24, 0, 1u << 30) + std::string(3600, '\x7f'));
    out.emplace_back("BMP of zero bits per pixel", bitmapHeader(40, 30, 0, 0, 54) + std::string(100, '\x7f'));
    // The types given through Open With or the command line: whole, cut short, and lying
    // about their size.
    const auto text = [](const QByteArray& bytes) { return bytes.toStdString(); };
    const std::pair<std::string, QByteArray> types[] = {
        {"PNG", qtEncoded(pattern(), "png", -1)},   {"WebP", qtEncoded(pattern(), "webp", 80)},
        {"TIFF", qtEncoded(pattern(), "tiff", -1)}, {"HEIC", heifEncoded(pattern(), false, kTurnedRight)},
        {"AVIF", heifEncoded(pattern(), true)},     {"JPEG XL", jxlEncoded(pattern(), false, kTurnedRight, true)},
    };
    for (const auto& [type, bytes] : types) {
        out.emplace_back("whole " + type, text(bytes));
        out.emplace_back(type + " cut in half", text(bytes.left(bytes.size() / 2)));
    }
    out.emplace_back("PNG claiming 100000 x 100000", text(pngClaiming(types[0].second, 100000, 100000)));
    out.emplace_back("WebP claiming 16000 x 16000", text(webpClaiming(types[1].second, 16000, 16000)));
    out.emplace_back("TIFF claiming 100000 x 100000", text(tiffClaiming(types[2].second, 100000, 100000)));
    out.emplace_back("HEIC claiming 30000 x 30000", text(heifClaiming(types[3].second, 30000, 30000)));
    out.emplace_back("AVIF claiming 100000 x 100000", text(heifClaiming(types[4].second, 100000, 100000)));
    out.emplace_back("JPEG XL claiming 100000 x 100000", text(jxlClaiming(100000, 100000)));
    return out;
}

std::vector<HostileEntry> makeHostileFolder(const fs::path& folder) {
    std::vector<HostileEntry> out;
    const auto add = [&](std::string label, std::string name, Outcome expected) {
        out.push_back({std::move(label), std::move(name), expected});
    };
    for (const char* ext : {"jpg", "JPG", "bmp", "gif", "jpg.bak"}) {
        const std::string name = std::string("empty.") + ext;
        writeBytes(folder / name, "");
        add("zero bytes (." + std::string(ext) + ")", name, Outcome::Message);
    }
    int n = 0;
    for (const auto& [label, bytes] : hostileContents()) {
        const bool whole = label.rfind("whole ", 0) == 0;
        const bool gif = bytes.rfind("GIF", 0) == 0;
        std::string name = std::to_string(n++);
        name.insert(0, 1, 'c');
        name.append(gif ? ".gif" : bytes.rfind("BM", 0) == 0 ? ".bmp" : ".jpg");
        writeBytes(folder / name, bytes);
        // A GIF's trailer and its later frames are not part of its first picture.
        // A large JPEG is refused only as it arrives, after the open.
        const bool either = label == "GIF without its trailer" || label == "GIF with 5000 frames" ||
                            label.find("negative height") != std::string::npos ||
                            label.find("repeating a scan") != std::string::npos ||
                            label.find("a pass over every block") != std::string::npos ||
                            label.find("coefficients would take") != std::string::npos ||
                            label.find("claiming 16384") != std::string::npos;
        add(label, name, whole ? Outcome::Picture : either ? Outcome::Either : Outcome::Message);
    }
    fs::create_directory(folder / "folder.jpg");
    add("a folder", "folder.jpg", Outcome::Message);
    if (::mkfifo((folder / "fifo.jpg").c_str(), 0644) == 0) add("a FIFO", "fifo.jpg", Outcome::Message);
    fs::create_symlink("loop.jpg", folder / "loop.jpg");
    add("a symbolic link loop", "loop.jpg", Outcome::Message);
    fs::create_symlink("nowhere/missing.jpg", folder / "dangling.jpg");
    add("a dangling link", "dangling.jpg", Outcome::Message);
    fs::create_symlink("/dev/zero", folder / "zero-device.jpg");
    add("a link to /dev/zero", "zero-device.jpg", Outcome::Message);
    fs::create_symlink("/dev/null", folder / "null-device.gif");
    add("a link to /dev/null", "null-device.gif", Outcome::Message);
    writePicture(folder / "linked-target.jpg", 20, 10);
    add("a picture", "linked-target.jpg", Outcome::Picture);
    fs::create_symlink("linked-target.jpg", folder / "link.jpg");
    add("a link to a picture", "link.jpg", Outcome::Picture);
    writePicture(folder / "unreadable.jpg", 20, 10);
    fs::permissions(folder / "unreadable.jpg", fs::perms::none);
    add("no read permission", "unreadable.jpg", ::geteuid() == 0 ? Outcome::Either : Outcome::Message);
    const std::vector<std::pair<std::string, std::string>> names{
        {"a name that is not UTF-8", "\xff\xfe\x80.jpg"},
        {"a name with a newline", "line\nbreak.jpg"},
        {"a name with quotes", "say \"cheese\" 'now'.jpg"},
        {"a name with stars", "*new*.jpg"},
        {"a name that is a star", "*.jpg"},
        {"a name with a question mark", "what?.jpg"},
        {"a name with a leading dash", "-rf.jpg"},
        {"a name of 255 bytes", std::string(251, 'n') + ".jpg"},
    };
    const std::string small = pictureBytes("jpg", 24, 16);
    for (const auto& [label, name] : names) {
        writeBytes(folder / name, small);  // by its exact bytes, which Qt's own writer would not keep
        add(label, name, Outcome::Picture);
    }
    return out;
}

QImage qtDecode(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

}  // namespace pictavo::test
