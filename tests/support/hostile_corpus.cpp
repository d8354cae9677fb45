// SPDX-License-Identifier: MIT
#include "support/hostile_corpus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <stdexcept>

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

}  // namespace

std::string pictureBytes(const char* extension, int width, int height) {
    const TempDir dir;
    const fs::path file = dir.path() / (std::string("p.") + extension);
    writePicture(file, width, height);
    return readBytes(file);
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
    out.emplace_back("JPEG without its last 2 bytes", jpeg.substr(0, jpeg.size() - 2));
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
    out.emplace_back("GIF of LZW minimum code size 9", gifFrame(1, 1, 9));
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
        const bool either = label == "GIF without its trailer" || label == "GIF with 5000 frames" ||
                            label.find("negative height") != std::string::npos;
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

}  // namespace pictavo::test
