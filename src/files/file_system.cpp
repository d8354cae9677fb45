// SPDX-License-Identifier: MIT
#include "files/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <cerrno>
#include <cstdint>
#include <string_view>

#include "base/errors.h"
#include "files/atomic_save.h"
#include "files/natural_order.h"
#include "files/trash.h"
#include "files/wildcard.h"
#include "imaging/bitmap_writer.h"
#include "imaging/picture_reader.h"

namespace fs = std::filesystem;

namespace pictavo {

namespace {

// "a/b/c" into its non-empty parts, with "." and ".." resolved ("/.." stays "/").
std::vector<std::string> splitParts(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto cut = path.find(kPathSeparator, start);
        if (cut == std::string_view::npos) cut = path.size();
        std::string part(path.substr(start, cut - start));
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = cut + 1;
    }
    return parts;
}

bool isPrefix(const fs::path& root, const fs::path& p) {
    auto r = root.begin(), q = p.begin();
    for (; r != root.end(); ++r, ++q) {
        if (r->empty()) continue;  // trailing separator
        if (q == p.end() || *r != *q) return false;
    }
    return true;
}

}  // namespace

FileSystem::FileSystem(std::vector<Volume> volumes) : volumes_(std::move(volumes)) {}

FileSystem::FileSystem(VolumeReader readVolumes) : readVolumes_(std::move(readVolumes)), volumes_(readVolumes_()) {}

const Volume* FileSystem::volumeByDrive(const std::string& drive) const {
    for (const auto& v : volumes_)
        if (v.drive == drive) return &v;
    return nullptr;
}

const Volume* FileSystem::volumeOf(const std::string& hostPath) const {
    if (hostPath.empty() || hostPath[0] != kPathSeparator) return nullptr;
    const Volume* best = nullptr;
    for (const auto& v : volumes_)
        if (isPrefix(v.drive, fs::path(hostPath)) && (!best || v.drive.size() > best->drive.size())) best = &v;
    return best;
}

std::string FileSystem::normalise(const std::string& hostPath) const {
    if (!volumeOf(hostPath)) throw HostError("Path not found: " + hostPath);
    std::string out(1, kPathSeparator);
    const auto parts = splitParts(hostPath);
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? std::string(1, kPathSeparator) : "") + parts[i];
    return out;
}

fs::path FileSystem::toNative(const std::string& hostPath) const { return fs::path(hostPath); }

std::string FileSystem::fromNative(const fs::path& native) const { return normalise(native.native()); }

std::vector<std::string> FileSystem::Drives() {
    if (readVolumes_) volumes_ = readVolumes_();
    std::vector<std::string> out;
    for (const auto& v : volumes_) out.push_back(v.drive);
    return out;
}

std::string FileSystem::DriveLabel(const std::string& drive) {
    const Volume* v = volumeByDrive(drive);
    if (!v) return drive;
    return v->label.empty() ? v->drive : v->drive + " [" + v->label + "]";
}

std::string FileSystem::DriveOf(const std::string& pathOrDrive) {
    const Volume* v = IsDriveText(pathOrDrive) ? volumeByDrive(pathOrDrive) : volumeOf(pathOrDrive);
    if (!v) throw HostError("Device unavailable: " + pathOrDrive);
    return v->drive;
}

bool FileSystem::IsDriveText(const std::string& text) { return volumeByDrive(text) != nullptr; }

std::string FileSystem::CurrentFolder(const std::string& drive) {
    const Volume* v = volumeByDrive(drive);
    if (!v) throw HostError("Device unavailable: " + drive);
    const auto it = currentFolders_.find(v->drive);
    if (it == currentFolders_.end()) return v->drive;
    // A remembered folder that has gone since falls back to its nearest remaining parent.
    const fs::path root = v->drive;
    std::error_code ec;
    fs::path native = toNative(it->second);
    while (!fs::is_directory(native, ec) && isPrefix(root, native.parent_path()) && native != root)
        native = native.parent_path();
    return fromNative(native);
}

std::string FileSystem::OpenFolder(const std::string& path, DriveText drive) {
    const std::string folder =
        drive == DriveText::CurrentFolder && IsDriveText(path) ? CurrentFolder(path) : normalise(path);
    const Volume* v = volumeOf(folder);
    std::error_code ec;
    if (!v || !fs::is_directory(v->drive, ec)) throw HostError("Device unavailable: " + path);
    const fs::path native = toNative(folder);
    const auto st = fs::status(native, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) throw HostError(reasonText(ec) + ": " + folder);
    if (!fs::is_directory(st)) throw HostError("Path not found: " + folder);
    fs::directory_iterator probe(native, ec);
    if (ec) throw HostError(reasonText(ec) + ": " + folder);
    return folder;
}

void FileSystem::SetCurrentFolder(const std::string& path) {
    if (const Volume* v = volumeOf(path)) currentFolders_[v->drive] = normalise(path);
}

std::vector<std::string> FileSystem::FolderChain(const std::string& path) {
    const std::string folder = normalise(path);
    const std::string& root = volumeOf(folder)->drive;
    std::vector<std::string> chain{root};
    const std::string rest = folder.size() > root.size() ? folder.substr(root.size()) : std::string();
    std::string current = root;
    for (const auto& part : splitParts(rest)) {
        current = Join(current, part);
        chain.push_back(current);
    }
    return chain;
}

void FileSystem::EventStarted() {
    // A nested event means the person acted meanwhile (in a message box or dialog): the
    // folder may have changed.
    ++eventDepth_;
    forgetScan();
}

void FileSystem::EventEnded() {
    if (--eventDepth_ <= 0) {
        eventDepth_ = 0;
        forgetScan();
    }
}

const FolderEntries& FileSystem::scan(const fs::path& native, const std::string& path) {
    if (scan_ && scan_->folder == native) return scan_->entries;
    scan_ = FolderScan{native, readFolder(native, path)};
    return scan_->entries;
}

std::vector<std::string> FileSystem::SubFolders(const std::string& path) {
    const fs::path native = toNative(path);
    if (pictures_) pictures_->folderRead(native);
    if (auto names = ahead_.takeFolders(native)) return std::move(*names);
    std::vector<std::string> names = scan(native, path).folders;
    if (eventDepth_ == 0) forgetScan();
    return names;
}

std::vector<std::string> FileSystem::Files(const std::string& path, const std::string& pattern) {
    const fs::path native = toNative(path);
    if (pictures_) pictures_->folderRead(native);
    if (auto names = ahead_.takeFiles(native, pattern)) return std::move(*names);
    std::vector<std::string> names = matching(scan(native, path).files, pattern);
    if (eventDepth_ == 0) forgetScan();
    return names;
}

std::string FileSystem::Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == kPathSeparator) return folder + name;
    return folder + kPathSeparator + name;
}

std::string FileSystem::Dir(const std::string& path) {
    std::error_code ec;
    const fs::path native = toNative(path);
    const auto st = fs::status(native, ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
        throw HostError(reasonText(ec) + ": " + path);
    if (!fs::is_regular_file(st)) return {};
    return native.filename().native();
}

bool FileSystem::EntryExists(const std::string& path) {
    struct stat st {};
    if (::lstat(toNative(path).c_str(), &st) == 0) return true;
    if (errno == ENOENT) return false;
    throw HostError(reasonText({errno, std::generic_category()}) + ": " + path);
}

std::int64_t FileSystem::FileLen(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(toNative(path), ec);
    if (ec) throw HostError(reasonText(ec) + ": " + path);
    return static_cast<std::int64_t>(size);
}

void FileSystem::Kill(const std::string& path) {
    filesChanged();
    const fs::path native = toNative(path);
    if (pictures_) pictures_->forget(native);
    std::error_code ec;
    const auto st = fs::symlink_status(native, ec);
    if (ec || !fs::exists(st)) throw HostError("File not found: " + path);
    if (fs::is_directory(st)) throw HostError("Path/File access error: " + path);
    // A file leaves its folder only where the folder may be changed; said before anything is
    // tried, as the trash's own failure costs more (GLib 2.74 leaks on that path).
    const fs::path folder = native.has_parent_path() ? native.parent_path() : fs::path(".");
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        throw HostError(reasonText({errno, std::generic_category()}) + ": " + path);
    // The person confirmed a deletion they may still want to take back from the trash;
    // only where the volume has no trash is the file removed for good.
    if (moveToTrash(native) == TrashOutcome::Trashed) return;
    if (::unlink(native.c_str()) != 0) throw HostError(reasonText({errno, std::generic_category()}) + ": " + path);
}

std::vector<fs::path> FileSystem::toNative(const std::vector<std::string>& hostPaths) const {
    std::vector<fs::path> files;
    for (const auto& path : hostPaths) files.push_back(toNative(path));
    return files;
}

void FileSystem::SavePicture(const Picture& picture, const std::string& path) {
    filesChanged();
    if (picture.isNull()) throw HostError("There is no picture to save");
    const SaveTarget target = saveTargetOf(toNative(path));
    if (pictures_) {
        pictures_->forget(target.path);
        pictures_->forget(toNative(path));
    }
    const QImage& image = *picture.image();
    if (image.width() <= 0 || image.height() <= 0) throw HostError("There is no picture to save");
    // What leaves the program is in sRGB, as every reader takes a bitmap without a profile.
    const auto toSrgb = pictures_ ? pictures_->colours().screenToSrgb() : nullptr;
    saveAtomically(target, [&](int fd) { return writeBitmap(fd, image, toSrgb.get()); });
}

}  // namespace pictavo
