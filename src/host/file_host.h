#pragma once
// File, folder and picture services over the real file system, in one of two path
// syntaxes. The real host and the test host both build on it; they add the user-facing
// services (message boxes, dialog, cursor, clipboard, desktop).

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/decode_ahead.h"
#include "host/host.h"

namespace pictavo {

enum class PathSyntax {
    Posix,    // "/home/me/Pictures"; drives are mount points
    Windows,  // "c:\WINDOWS"; drives are letters mapped onto folders
};

struct Volume {
    std::string drive;           // "c:" or "/media/usb"
    std::filesystem::path root;  // the real folder behind the drive
    std::string label;           // shown in the drive list
};

class FileHost : public Host, public PictureAhead {
public:
    FileHost(PathSyntax syntax, std::vector<Volume> volumes);

    Picture LoadPicture(const std::string& path) override;
    void SavePicture(const Picture& picture, const std::string& path) override;

    std::string Dir(const std::string& path) override;
    bool EntryExists(const std::string& path) override;
    std::int64_t FileLen(const std::string& path) override;
    void Kill(const std::string& path) override;

    [[nodiscard]] char Separator() const override;
    std::vector<std::string> Drives() override;
    std::string DriveLabel(const std::string& drive) override;
    std::string DriveOf(const std::string& pathOrDrive) override;
    bool IsDriveText(const std::string& text) override;
    std::string CurrentFolder(const std::string& drive) override;
    std::string OpenFolder(const std::string& path) override;
    void SetCurrentFolder(const std::string& path) override;
    std::vector<std::string> FolderChain(const std::string& path) override;
    std::vector<std::string> SubFolders(const std::string& path) override;
    std::vector<std::string> Files(const std::string& path, const std::string& pattern) override;
    std::string Join(const std::string& folder, const std::string& name) override;
    void EventStarted() override;
    void EventEnded() override;

    // Starts decoding these files ahead (nothing is decoded ahead before the first call).
    void decodeAhead(const std::vector<std::string>& paths) override;
    // What is decoded ahead; null before the first decodeAhead.
    [[nodiscard]] DecodeAhead* ahead() const { return ahead_.get(); }
    // Bytes the pictures held ahead may take (defaultAheadBudget()); lets go of them.
    void setAheadBudget(std::int64_t bytes);

    // Host path to the real file-system path, and back.
    [[nodiscard]] std::filesystem::path toNative(const std::string& hostPath) const;
    [[nodiscard]] std::string fromNative(const std::filesystem::path& native) const;

    [[nodiscard]] PathSyntax syntax() const { return syntax_; }

protected:
    void setVolumes(std::vector<Volume> volumes);

private:
    [[nodiscard]] const Volume* volumeOf(const std::string& hostPath) const;
    [[nodiscard]] const Volume* volumeByDrive(const std::string& drive) const;
    [[nodiscard]] std::string rootText(const Volume& v) const;
    [[nodiscard]] std::string normalise(const std::string& hostPath) const;

    // One read of a folder: the visible subfolders and the visible other entries, unsorted.
    struct FolderScan {
        std::filesystem::path folder;
        std::vector<std::string> folders;
        std::vector<std::string> files;
    };
    const FolderScan& scan(const std::string& path);
    void forgetScan() { scan_.reset(); }

    PathSyntax syntax_;
    std::vector<Volume> volumes_;
    std::map<std::string, std::string> currentFolders_;
    // The last read folder, kept only while an event runs and until this host changes a file.
    std::optional<FolderScan> scan_;
    int eventDepth_ = 0;
    std::int64_t aheadBudget_ = defaultAheadBudget();
    std::unique_ptr<DecodeAhead> ahead_;
};

// The volumes a person uses on this Linux machine: the root file system and the mounted
// removable media and other disks (under /media, /run/media and /mnt).
std::vector<Volume> systemVolumes();

// Reads an error code into a short text for the person ("Permission denied").
std::string reasonText(const std::error_code& ec);

}  // namespace pictavo
