// SPDX-License-Identifier: MIT
// A picture file as Open With gives it: the bytes written to a file and opened through the
// picture pipeline, every picture taken as a large one that arrives row by row, so that the
// decoders reading their rows from the file itself (a bitmap's) are reached as well as those
// reading its bytes. A picture or a refusal out, never a crash, a leak, a hang or a picture
// larger than the bound.
#include <unistd.h>

#include <QImage>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/errors.h"
#include "fuzz_limit.h"
#include "imaging/picture_pipeline.h"
#include "imaging/picture_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In the folder the fuzzer runs in, one file a process.
    static const std::filesystem::path file =
        std::filesystem::current_path() / ("file-input-" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    static pictavo::PicturePipeline pipeline({.arrivesLaterFrom = 0, .pictureLimitBytes = kFuzzLimitBytes});
    try {
        const pictavo::Picture opened = pipeline.open(file);
        const QImage* whole = opened.image();
        if (!whole) std::abort();
        // Found broken part way: refused, as the window reports it.
        if (!opened.arrival() || opened.arrival()->end() == pictavo::Arrival::End::Whole) {
            if (whole->isNull()) std::abort();
            if (whole->sizeInBytes() > kFuzzLimitBytes) std::abort();
        }
    } catch (const pictavo::HostError&) {
    }
    // The next input is another picture, whatever its file's size and time.
    pipeline.forget(file);
    return 0;
}
