// SPDX-License-Identifier: MIT
// B9h B9w: a phone's photo as HEIC, and the same as WebP, given as Open With gives it, until
// the part in view is painted, against the type's own library decoding the whole picture on
// one thread (libheif's heif_decode_image, libwebp's WebPDecodeBGRA).

#include <libheif/heif.h>
#include <webp/decode.h>

#include <QImage>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "common.h"

namespace bench {

namespace {

// A phone's photo as HEIC (by heif-enc, as a phone's encoder writes it) and as WebP (by
// Qt's writer), from the photo-like JPEG, made once. The folder holds no JPEG: the file
// list shows neither, as for a person who opens them from a file manager.
fs::path phoneTypes() {
    const fs::path jpeg = photoFolder("phone", 1, settings.phoneW, settings.phoneH) / "photo1.jpg";
    const fs::path folder = settings.data / "phone-types";
    fs::create_directories(folder);
    const auto make = [&](const char* name, const std::function<void(const fs::path&)>& write) {
        const fs::path file = folder / name;
        if (fs::exists(file)) return;
        std::printf("generating %s\n", file.c_str());
        std::fflush(stdout);
        const fs::path part = folder / (std::string("part-") + name);
        write(part);
        if (!fs::exists(part)) {
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
            std::exit(1);
        }
        fs::rename(part, file);
    };
    make("photo.heic", [&](const fs::path& part) {
        runProcess("/usr/bin/heif-enc", {"-q", "90", jpeg.native(), "-o", part.native()}, {});
    });
    make("photo.webp", [&](const fs::path& part) {
        QImage(QString::fromStdString(jpeg.native())).save(QString::fromStdString(part.native()), "webp", 90);
    });
    return folder;
}

double heifDecode(const fs::path& file) {
    static const bool initialised = (heif_init(nullptr), true);
    (void)initialised;
    const auto start = Clock::now();
    const auto bytes = readWhole(file);
    heif_context* context = heif_context_alloc();
    heif_context_set_max_decoding_threads(context, 1);
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    if (heif_context_read_from_memory_without_copy(context, bytes.data(), bytes.size(), nullptr).code !=
            heif_error_Ok ||
        heif_context_get_primary_image_handle(context, &handle).code != heif_error_Ok ||
        heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code !=
            heif_error_Ok)
        std::printf("warning: libheif could not decode %s\n", file.c_str());
    heif_image_release(image);
    heif_image_handle_release(handle);
    heif_context_free(context);
    return msSince(start);
}

double webpDecode(const fs::path& file) {
    const auto start = Clock::now();
    const auto bytes = readWhole(file);
    int width = 0, height = 0;
    std::uint8_t* pixels = WebPDecodeBGRA(bytes.data(), bytes.size(), &width, &height);
    if (!pixels) std::printf("warning: libwebp could not decode %s\n", file.c_str());
    WebPFree(pixels);
    return msSince(start);
}

}  // namespace

void benchOtherTypes(Benchmarks& b) {
    Program& p = b.program;
    const fs::path folder = phoneTypes();
    const struct {
        const char* id;
        const char* name;
        const char* type;
        double (*reference)(const fs::path&);
    } rows[] = {
        {"B9h", "photo.heic", "HEIC", heifDecode},
        {"B9w", "photo.webp", "WebP", webpDecode},
    };
    for (const auto& r : rows) {
        const fs::path file = folder / r.name;
        const auto [ours, reference] = medians(
            [&] {
                p.forgetPictures();
                return p.openWithToPainted(file);
            },
            [&] { return r.reference(file); });
        p.reportMessages();
        table.push_back({r.id,
                         std::string("Open With to the part in view painted, ") +
                             megapixels(settings.phoneW, settings.phoneH) + " " + r.type,
                         ours, reference, "ms", 1.0});
    }
}

}  // namespace bench
