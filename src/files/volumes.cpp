// SPDX-License-Identifier: MIT
#include <mntent.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "files/file_system.h"

namespace pictavo {

std::vector<Volume> systemVolumes() {
    std::vector<Volume> volumes{{"/", "File System"}};
    const std::unique_ptr<FILE, int (*)(FILE*)> table(::setmntent("/proc/self/mounts", "r"), ::endmntent);
    if (!table) return volumes;
    // getmntent decodes the octal escapes of the table (\040 for a blank).
    while (const mntent* entry = ::getmntent(table.get())) {
        const std::string dir = entry->mnt_dir;
        const bool personal =
            dir.rfind("/media/", 0) == 0 || dir.rfind("/run/media/", 0) == 0 || dir.rfind("/mnt/", 0) == 0;
        if (!personal) continue;
        if (std::any_of(volumes.begin(), volumes.end(), [&](const Volume& v) { return v.drive == dir; })) continue;
        volumes.push_back({dir, std::filesystem::path(dir).filename().native()});
    }
    return volumes;
}

}  // namespace pictavo
