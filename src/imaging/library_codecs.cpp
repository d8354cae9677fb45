// SPDX-License-Identifier: MIT
#include "imaging/library_codecs.h"

#include <dlfcn.h>

#include <QtGlobal>
#include <filesystem>
#include <system_error>

#include "program_info.h"

// Defined by the codecs part where a binary links it, null in the program, which loads
// the module instead.
extern "C" const pictavo::LibraryCodecs* pictavo_library_codecs() __attribute__((weak));

namespace pictavo {

namespace {

constexpr char kModuleName[] = "pictavo-codecs.so";

const LibraryCodecs* loadModule() {
    if (pictavo_library_codecs) return pictavo_library_codecs();
    // Beside the program in the build folder; installed, where the install put it, which
    // is found from the program's own place so that a package installed under another
    // prefix finds it too.
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        qWarning("Pictavo cannot find its own program file, and so not its decoders of HEIC, AVIF and JPEG XL");
        return nullptr;
    }
    const std::filesystem::path here = program.parent_path();
    QByteArray why;
    for (const std::filesystem::path& module : {here / PICTAVO_CODECS_DIR / kModuleName, here / kModuleName}) {
        void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            why += QByteArray("\n  ") + ::dlerror();
            continue;
        }
        using Entry = const LibraryCodecs* (*)();
        const auto entry = reinterpret_cast<Entry>(::dlsym(handle, "pictavo_library_codecs"));
        const LibraryCodecs* codecs = entry ? entry() : nullptr;
        if (codecs && codecs->version == kLibraryCodecsVersion) return codecs;
        // Of another build: left loaded, as a library unloaded again may leave threads or
        // handlers behind.
        why += QByteArray("\n  ") + module.c_str() + ": of another build of Pictavo";
    }
    qWarning("Pictavo cannot load its decoders of HEIC, AVIF and JPEG XL pictures:%s", why.constData());
    return nullptr;
}

}  // namespace

bool mayBeLibraryPicture(const QByteArray& bytes) {
    static const QByteArray jxlContainer("\0\0\0\x0CJXL \r\n\x87\n", 12);
    return (bytes.size() >= 12 && bytes.mid(4, 4) == "ftyp") || bytes.startsWith("\xFF\x0A") ||
           bytes.startsWith(jxlContainer);
}

const LibraryCodecs* libraryCodecs() {
    static const LibraryCodecs* const codecs = loadModule();
    return codecs;
}

}  // namespace pictavo
