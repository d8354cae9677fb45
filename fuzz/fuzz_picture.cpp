// SPDX-License-Identifier: MIT
// Bytes in, a picture or a refusal out, with the allocation bound in force: never a crash,
// a leak, a hang or a picture larger than the bound.
#include <QImage>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_limit.h"
#include "imaging/picture_reader.h"
#include "platform/host.h"

// The decoders' warnings about each broken input would only slow the run.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const QImage image = pictavo::decodePicture(bytes, kFuzzLimitBytes);
        if (image.isNull() || image.depth() != 32) std::abort();
        if (image.sizeInBytes() > kFuzzLimitBytes) std::abort();
    } catch (const pictavo::HostError&) {
    }
    return 0;
}
