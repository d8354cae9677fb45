// SPDX-License-Identifier: MIT
#include "files/trash.h"

// GIO before anything from Qt: Qt's "signals" keyword would break GIO's headers.
#include <gio/gio.h>
#include <sys/statvfs.h>

#include <memory>
#include <string>

#include "base/errors.h"

namespace pictavo {

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
    const std::unique_ptr<GFile, decltype(&g_object_unref)> file(g_file_new_for_path(native.c_str()), g_object_unref);
    GError* error = nullptr;
    if (g_file_trash(file.get(), nullptr, &error)) return TrashOutcome::Trashed;
    const std::unique_ptr<GError, decltype(&g_error_free)> owned(error, g_error_free);
    // System mounts (tmpfs, ...), volumes without a trash folder we may create, and trash
    // folders on another file system: GIO says it cannot trash here.
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED)) return TrashOutcome::NoTrash;
    throw HostError(error->message);
}

}  // namespace pictavo
