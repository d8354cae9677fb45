// SPDX-License-Identifier: MIT
#pragma once
// Moving a file to the desktop's trash, the one that freedesktop.org file managers share,
// so that a deletion the person confirmed can still be taken back from the file manager.

#include <filesystem>

namespace pictavo {

enum class TrashOutcome {
    Trashed,  // in the home trash, or in the volume's own trash folder
    NoTrash,  // the volume has no trash that can be used; the file is untouched
};

// Moves the entry at the path (a link itself, not what it points to) to the trash that
// serves its volume, recording its original path by its exact bytes and the deletion
// date. Throws HostError when a usable trash refused it.
TrashOutcome moveToTrash(const std::filesystem::path& native);

}  // namespace pictavo
