// SPDX-License-Identifier: MIT
#pragma once
// Files, folders and pictures on the real file system, by native POSIX paths. The Qt host
// and the test host both hand the handlers one of these; what differs between them
// (message boxes, dialog, cursor, clipboard, desktop) stays in Host.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "files/folder_listing.h"
#include "imaging/picture.h"
#include "imaging/picture_pipeline.h"

namespace pictavo {

// The one separator of paths, inserted and tested by the handlers.
inline constexpr char kPathSeparator = '/';

struct Volume {
    std::string drive;  // its mount point, as the drive list shows it: "/" or "/media/usb"
    std::string label;  // shown in the drive list
};

class FileSystem {
public:
    // Fixed volumes, or a reader asked again each time the drive list reads the drives (so
    // that media mounted since start-up appear).
    using VolumeReader = std::function<std::vector<Volume>()>;
    explicit FileSystem(std::vector<Volume> volumes);
    explicit FileSystem(VolumeReader readVolumes);
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    // A bitmap file at 24 bits per pixel (any transparency is dropped).
    void SavePicture(const Picture& picture, const std::string& path);

    // The file's name if a normal file of that path exists, else "".
    std::string Dir(const std::string& path);
    // True when anything has that path: a file, a folder, a FIFO, a link (even one that
    // points nowhere). Throws when the path cannot be searched or is too long.
    bool EntryExists(const std::string& path);
    std::int64_t FileLen(const std::string& path);
    // Moves the file to the desktop's trash, or deletes it where its volume has none.
    void Kill(const std::string& path);

    // The path separator, inserted and tested by the handlers.
    [[nodiscard]] static constexpr char Separator() { return kPathSeparator; }
    // Drive texts as the drive list's Drive property returns them ("/", "/media/usb").
    std::vector<std::string> Drives();
    // Display text of a drive in the drive list.
    std::string DriveLabel(const std::string& drive);
    // The drive that holds a path or drive text; throws when there is none.
    std::string DriveOf(const std::string& pathOrDrive);
    // True when the text names a drive as Drive returns it (opens its current folder).
    bool IsDriveText(const std::string& text);
    // The folder last opened on a drive (its root at first).
    std::string CurrentFolder(const std::string& drive);
    // How a drive's text ("/", "/media/usb") is taken where a folder is asked for: the
    // drive's current folder (as the Path of the folder list is set from the drive list),
    // or the drive's root folder itself (a row of the folder list).
    enum class DriveText { CurrentFolder, AsFolder };
    // Normalises a folder path and checks that it can be read; throws HostError if not.
    std::string OpenFolder(const std::string& path, DriveText drive = DriveText::CurrentFolder);
    // Remembers an opened folder as its drive's current folder.
    void SetCurrentFolder(const std::string& path);
    // The chain from the drive root down to the folder itself, as full paths.
    std::vector<std::string> FolderChain(const std::string& path);
    // Names of the visible subfolders, in natural order.
    std::vector<std::string> SubFolders(const std::string& path);
    // Names of the visible files matching the pattern ("*.jpg*;*.bmp*"), in natural order.
    std::vector<std::string> Files(const std::string& path, const std::string& pattern);
    // Joins a folder path and a name the way the folder list does (no doubled separator).
    std::string Join(const std::string& folder, const std::string& name);
    // Events nest; while one runs, SubFolders and Files for one folder are answered from a
    // single read of it (a folder change fills both lists in one event).
    void EventStarted();
    void EventEnded();
    // The folders the program starts in, being read on workers: the first listing of each
    // is taken from them. Dropped by startedUp(), or as soon as the program changes a file.
    void useListingsAhead(ListingsAhead listings) { ahead_ = std::move(listings); }
    void startedUp() { ahead_.clear(); }

    // The pictures held ahead are told of every file this class changes and every folder
    // it reads.
    void tellPictures(PicturePipeline* pictures) { pictures_ = pictures; }

    // A path of the handlers as a file-system path, and back (normalised).
    [[nodiscard]] std::filesystem::path toNative(const std::string& hostPath) const;
    [[nodiscard]] std::vector<std::filesystem::path> toNative(const std::vector<std::string>& hostPaths) const;
    [[nodiscard]] std::string fromNative(const std::filesystem::path& native) const;

private:
    [[nodiscard]] const Volume* volumeOf(const std::string& hostPath) const;
    [[nodiscard]] const Volume* volumeByDrive(const std::string& drive) const;
    [[nodiscard]] std::string normalise(const std::string& hostPath) const;

    struct FolderScan {
        std::filesystem::path folder;
        FolderEntries entries;
    };
    const FolderEntries& scan(const std::filesystem::path& native, const std::string& path);
    void forgetScan() { scan_.reset(); }
    // The program changed a file: no listing read before may be used again.
    void filesChanged() {
        scan_.reset();
        ahead_.clear();
    }

    VolumeReader readVolumes_;
    std::vector<Volume> volumes_;
    std::map<std::string, std::string> currentFolders_;
    // The last read folder, kept only while an event runs and until the program changes a file.
    std::optional<FolderScan> scan_;
    int eventDepth_ = 0;
    ListingsAhead ahead_;
    PicturePipeline* pictures_ = nullptr;
};

// The volumes a person uses on this Linux machine: the root file system and the mounted
// removable media and other disks (under /media, /run/media and /mnt).
std::vector<Volume> systemVolumes();

}  // namespace pictavo
