// SPDX-License-Identifier: MIT
#include "files/trash.h"

// GIO before anything from Qt: Qt's "signals" keyword would break GIO's headers.
#include <dlfcn.h>
#include <gio/gio.h>
#include <sys/statvfs.h>

#include <memory>
#include <string>

#include "base/errors.h"

namespace pictavo {

namespace {

// GIO, with the libraries it brings (GObject, libmount, libselinux, libblkid, libffi), takes
// a few milliseconds to load and set up, paid at every start of a program that deletes
// rarely: it is loaded at the first deletion instead. Only GLib, which Qt loads anyway, is
// linked.
struct Gio {
    decltype(&g_file_new_for_path) newForPath;
    decltype(&g_file_trash) trash;
    decltype(&g_object_unref) unref;
    decltype(&g_io_error_quark) ioErrorQuark;
};

const Gio& gio() {
    static const Gio loaded = [] {
        // Kept loaded for the program's life: GIO cannot be unloaded once its types exist.
        void* library = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library) throw HostError(::dlerror());
        auto symbol = [library]<class F>(F& function, const char* name) {
            function = reinterpret_cast<F>(::dlsym(library, name));
            if (!function) throw HostError(::dlerror());
        };
        Gio gio{};
        symbol(gio.newForPath, "g_file_new_for_path");
        symbol(gio.trash, "g_file_trash");
        symbol(gio.unref, "g_object_unref");
        symbol(gio.ioErrorQuark, "g_io_error_quark");
        return gio;
    }();
    return loaded;
}

}  // namespace

TrashOutcome moveToTrash(const std::filesystem::path& native) {
    // On a full file system GIO still moves the file but leaves its .trashinfo empty, and
    // no file manager can put it back from there: such a volume has no usable trash. (A
    // file system without a size, such as ramfs, reports no blocks at all.)
    const std::filesystem::path folder = native.has_parent_path() ? native.parent_path() : ".";
    struct statvfs space {};
    if (::statvfs(folder.c_str(), &space) == 0 && space.f_blocks > 0 && space.f_bavail == 0)
        return TrashOutcome::NoTrash;
    // A path made from bytes keeps names that are not UTF-8 as they are; GIO writes them
    // percent-encoded into the .trashinfo file.
    const Gio& gio = pictavo::gio();
    const std::unique_ptr<GFile, decltype(gio.unref)> file(gio.newForPath(native.c_str()), gio.unref);
    GError* error = nullptr;
    if (gio.trash(file.get(), nullptr, &error)) return TrashOutcome::Trashed;
    const std::unique_ptr<GError, decltype(&g_error_free)> owned(error, g_error_free);
    // System mounts (tmpfs, ...), volumes without a trash folder we may create, and trash
    // folders on another file system: GIO says it cannot trash here.
    if (g_error_matches(error, gio.ioErrorQuark(), G_IO_ERROR_NOT_SUPPORTED)) return TrashOutcome::NoTrash;
    throw HostError(error->message);
}

}  // namespace pictavo
