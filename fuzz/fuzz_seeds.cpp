// Writes the fuzzers' seed corpora: the tests' hostile picture contents, and patterns with
// names for the matcher. Usage: fuzz_seeds <picture folder> <names folder>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "support/hostile_corpus.h"

namespace fs = std::filesystem;

namespace {
void write(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: fuzz_seeds <picture folder> <names folder>\n";
        return 2;
    }
    const fs::path pictures = argv[1], names = argv[2];
    fs::create_directories(pictures);
    fs::create_directories(names);
    int n = 0;
    for (const auto& [label, bytes] : pictavo::test::hostileContents())
        if (bytes.size() < 200000) write(pictures / ("seed" + std::to_string(n++)), bytes);
    using namespace std::string_literals;
    const std::string seeds[] = {
        "*.jpg*\0*new*.jpg\0img10.JPG"s,      "*\0*\0**"s,          "a?c\0abc\0ac"s, "*a*b*c*\0xxaxxbxxcxx\0x2y010"s,
        "\xff*\0\xff\xfe.gif\0\xff\xfe.GIF"s, "img2\0img10\0img02"s};
    n = 0;
    for (const auto& s : seeds) write(names / ("seed" + std::to_string(n++)), s);
    return 0;
}
