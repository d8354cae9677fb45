// SPDX-License-Identifier: MIT
// Writes the fuzzers' seed corpora: the tests' hostile picture contents, and patterns with
// names for the matcher, and the picture contents offered on the clipboard under one format
// or several, and colour profiles with files that carry them.
// Usage: fuzz_seeds <picture folder> <names folder> [<clipboard folder> [<profile folder>]]
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "support/hostile_corpus.h"
#include "support/profile_files.h"

namespace fs = std::filesystem;

namespace {
void write(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::cerr << "usage: fuzz_seeds <picture folder> <names folder> [<clipboard folder> [<profile folder>]]\n";
        return 2;
    }
    const fs::path pictures = argv[1], names = argv[2];
    fs::create_directories(pictures);
    fs::create_directories(names);
    int n = 0;
    for (const auto& [label, bytes] : pictavo::test::hostileContents())
        if (bytes.size() < 200000) {
            write(pictures / ("seed" + std::to_string(n)), bytes);
            // The first byte is the formats offered: each alone, then a few together.
            static const char kOffers[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x03, 0x0f, 0x30, char(0x80), char(0xff)};
            if (argc >= 4) {
                fs::create_directories(argv[3]);
                write(fs::path(argv[3]) / ("seed" + std::to_string(n)), kOffers[n % sizeof kOffers] + bytes);
            }
            ++n;
        }
    using namespace std::string_literals;
    const std::string seeds[] = {
        "*.jpg*\0*new*.jpg\0img10.JPG"s,      "*\0*\0**"s,          "a?c\0abc\0ac"s, "*a*b*c*\0xxaxxbxxcxx\0x2y010"s,
        "\xff*\0\xff\xfe.gif\0\xff\xfe.GIF"s, "img2\0img10\0img02"s};
    n = 0;
    for (const auto& s : seeds) write(names / ("seed" + std::to_string(n++)), s);
    if (argc == 5) {
        // Real profiles (Debian's colord-data and icc-profiles-free), alone and in each format
        // that carries one.
        const fs::path profiles = argv[4];
        fs::create_directories(profiles);
        n = 0;
        for (const char* name : {"colord/AdobeRGB1998.icc", "colord/ProPhotoRGB.icc", "colord/SwappedRedAndGreen.icc",
                                 "Gray.icc", "ITULab.icc"}) {
            std::ifstream in(fs::path("/usr/share/color/icc") / name, std::ios::binary);
            const std::string icc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (icc.empty()) continue;
            const QByteArray profile = QByteArray::fromStdString(icc);
            using namespace pictavo::test;
            for (const QByteArray& file :
                 {profile, jpegWithProfile(profile, JpegColours::Rgb), jpegWithProfile(profile, JpegColours::Grey),
                  bmpV5(profile, "DEBM"), gifWithProfile(profile), pngWithProfile(profile, 2)})
                write(profiles / ("seed" + std::to_string(n++)), file.toStdString());
        }
    }
    return 0;
}
