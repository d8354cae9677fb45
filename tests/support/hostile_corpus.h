// SPDX-License-Identifier: MIT
#pragma once
// A folder of everything a picture viewer may meet: empty, random, truncated and lying
// files, bombs, special entries named like pictures, unreadable files and awkward names.
// Made by the tests themselves; the benchmark and the fuzzers' seed corpus use it too.

#include <QByteArray>
#include <QImage>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace pictavo::test {

enum class Outcome { Picture, Message, Either };

struct HostileEntry {
    std::string label;  // what it is, for reports
    std::string name;   // its file name (raw bytes)
    Outcome expected;
};

// Hostile contents only (no special entries), each with a label: the fuzzers' seeds.
std::vector<std::pair<std::string, std::string>> hostileContents();

// Fills an empty folder with every hostile entry and tells what each should end in.
std::vector<HostileEntry> makeHostileFolder(const std::filesystem::path& folder);

// The bytes of a one-colour picture as writePicture makes it ("jpg", "bmp" or "gif").
std::string pictureBytes(const char* extension, int width, int height);

// A JPEG made by libjpeg of a picture that is flat or, with `grain`, noisy all over.
struct JpegMaking {
    bool grain = true;
    bool progressive = false;
    bool arithmetic = false;
    bool allAtFullPrecision = false;  // progressive in bands only, each scan final
    bool manyScans = false;           // progressive in 432 scans (see manyScanScript)
    bool fullColour = false;          // colours stored at full size, not halved
    int orientation = 0;              // an Exif block with this orientation when 1 to 8
};
std::string jpegBytes(int width, int height, const JpegMaking& making = {});

// An arithmetic-coded JPEG (a progressive one's frame header) with every scan's data left
// out and its header made to claim the given size: read as zeros throughout, a flat grey
// picture of any size in a few bytes a scan.
std::string jpegWithoutScanData(std::string jpeg, int width, int height);
// A progressive JPEG of 16000 x 16000 with its colours at full size: its pixels fit the
// bound, but the coefficients its scans give would take 1.5 GB.
std::string coefficientBomb();

// A JPEG of the given size whose header is then made to claim another size: the pixel data
// stays that of the small picture.
std::string jpegClaiming(int width, int height);

// What Qt's own reader makes of a picture file, turned as its EXIF orientation says: what
// every decode of ours must equal.
[[nodiscard]] QImage qtDecode(const QByteArray& bytes);

}  // namespace pictavo::test
