// SPDX-License-Identifier: MIT
#pragma once
// Saving a file so that a failed or killed write never harms the file it replaces: the
// bytes go to an anonymous (or temporary) file beside the target, which is renamed over
// it only once every byte is on disk. What a killed save leaves is removed by a later one.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pictavo {

// Where a save writes: the chosen path, or the regular file that a symbolic link there
// points to (the link stays a link).
struct SaveTarget {
    std::filesystem::path chosen;  // as the person chose it; named in every error
    std::filesystem::path path;    // what is replaced or made
    bool exists = false;
    mode_t mode = 0;
};

// Throws HostError for every entry that must not be replaced: a folder, a FIFO or other
// special file, a link that points nowhere, a read-only file.
[[nodiscard]] SaveTarget saveTargetOf(const std::filesystem::path& chosen);

// Writes the file through `write` (which returns 0 or an errno value) and puts it in place.
// Throws HostError naming the chosen path; the target is then as it was.
void saveAtomically(const SaveTarget& target, const std::function<int(int fd)>& write);

// A folder read tells the save what killed saves may have left there, so that a save need
// not read the folder: a name that may be such a leftover (checked in full before removal).
[[nodiscard]] bool mayBeSaveLeftover(std::string_view name);
// The folder (an open descriptor of it) was read whole, and these were its leftover names.
void noteFolderRead(int folderFd, std::vector<std::string> leftovers);

namespace seams {
// The steps of a save, each called with the file being written, so that a test can stop
// the program there as a crash or a power cut would.
enum class SaveStep {
    BeforeWrite,  // the file is open (anonymous where the file system allows) and empty
    Synced,       // every byte is written and on disk
    Linked,       // the file has a name beside the target (the target itself when new)
    Renamed,      // the file has replaced the target
};
void setSaveStep(void (*hook)(SaveStep step, int fd));
// Saves as on a file system that has no anonymous files.
void setAnonymousFilesRefused(bool refused);
// Counts the folder entries that saves read while looking for leftovers.
[[nodiscard]] long long leftoverEntriesRead();
}  // namespace seams

}  // namespace pictavo
