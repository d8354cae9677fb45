// SPDX-License-Identifier: MIT
#include "files/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <string_view>

#include "base/errors.h"
#include "base/file_descriptor.h"
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
    pictures_.folderRead(native);
    if (auto names = ahead_.takeFolders(native)) return std::move(*names);
    std::vector<std::string> names = scan(native, path).folders;
    if (eventDepth_ == 0) forgetScan();
    return names;
}

std::vector<std::string> FileSystem::Files(const std::string& path, const std::string& pattern) {
    const fs::path native = toNative(path);
    pictures_.folderRead(native);
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
    pictures_.forget(native);
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

Picture FileSystem::LoadPicture(const std::string& path) { return pictures_.open(toNative(path)); }

std::vector<fs::path> FileSystem::toNative(const std::vector<std::string>& hostPaths) const {
    std::vector<fs::path> files;
    for (const auto& path : hostPaths) files.push_back(toNative(path));
    return files;
}

namespace {

[[noreturn]] void saveFailed(const std::string& reason, const std::string& hostPath) {
    throw HostError(reason + ": " + hostPath);
}

[[noreturn]] void saveFailed(int err, const std::string& hostPath) {
    saveFailed(reasonText({err, std::generic_category()}), hostPath);
}

// Where a save writes: the chosen path, or the regular file that a symbolic link there
// points to (the link stays a link). Refuses every entry that must not be replaced.
struct SaveTarget {
    fs::path path;
    bool exists = false;
    mode_t mode = 0;
};

SaveTarget saveTarget(const fs::path& chosen, const std::string& hostPath) {
    struct stat st {};
    if (::lstat(chosen.c_str(), &st) != 0) {
        if (errno != ENOENT) saveFailed(errno, hostPath);
        return {chosen, false, 0};
    }
    SaveTarget target{chosen, true, 0};
    if (S_ISLNK(st.st_mode)) {
        if (::stat(chosen.c_str(), &st) != 0) {
            if (errno == ENOENT) saveFailed("The link points to nothing", hostPath);
            saveFailed(errno, hostPath);
        }
        const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(chosen.c_str(), nullptr), std::free);
        if (!resolved) saveFailed(errno, hostPath);
        target.path = resolved.get();
    }
    if (S_ISDIR(st.st_mode)) saveFailed(EISDIR, hostPath);
    if (!S_ISREG(st.st_mode)) saveFailed("Not a regular file", hostPath);
    // Renaming over a file ignores its mode: a file that its owner may not write is kept,
    // whoever runs the program, and so is a file that this user may not write.
    if ((st.st_mode & S_IWUSR) == 0) saveFailed("The file is read-only", hostPath);
    if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) saveFailed(errno, hostPath);
    target.mode = st.st_mode & 07777;
    return target;
}

void (*saveStep)(seams::SaveStep, int) = nullptr;
bool anonymousFilesRefused = false;

void step(seams::SaveStep at, int fd) {
    if (saveStep) saveStep(at, fd);
}

// Temporary names are ".pictavo-save-<pid>-XXXXXX", with the pid of the writing process:
// what a crash, a kill or a power cut leaves between naming the file and renaming it is
// found and removed by the next save into the folder once that process is gone.
constexpr std::string_view kTempPrefix = ".pictavo-save-";
// Earlier versions wrote ".pictavo-save-XXXXXX" without a pid, unlocked. Their saves
// wrote without a pause and renamed at once, so such a file untouched this long has no
// writer left.
constexpr time_t kUnmarkedTempAgeSeconds = 15 * 60;

bool isTempSuffix(std::string_view s) {
    return s.size() == 6 && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
}

std::string tempName() { return std::string(kTempPrefix) + std::to_string(::getpid()) + "-"; }

// Removes the temporary files that earlier saves into this folder left: only names of
// exactly our pattern, regular files of this user whose writer is gone (its process no
// longer exists and nobody holds the lock a writer keeps on its file). Nothing else is
// touched, and a failure here never stops the save.
void removeLeftovers(const fs::path& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, kTempPrefix.size()) != kTempPrefix) continue;
        const std::string_view rest = name.substr(kTempPrefix.size());
        const auto dash = rest.find('-');
        const bool unmarked = isTempSuffix(rest);
        pid_t pid = 0;
        if (!unmarked) {
            if (dash == std::string_view::npos || dash == 0 || dash > 9 || !isTempSuffix(rest.substr(dash + 1)) ||
                !std::all_of(rest.begin(), rest.begin() + dash, [](unsigned char c) { return std::isdigit(c) != 0; }))
                continue;
            pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
            // Alive, or alive under another user: its file may still be written.
            if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        }
        const FileDescriptor fd(
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (unmarked && now - st.st_mtime < kUnmarkedTempAgeSeconds) continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
        // Still the file just checked under that name.
        struct stat named {};
        if (::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == st.st_dev &&
            named.st_ino == st.st_ino)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// Gives the anonymous file a name in the folder: the target itself when it is new (a name
// taken meanwhile is refused: nobody was asked about replacing it), else a free temporary
// name. Returns that name, or sets errno and returns "".
std::string linkAnonymous(int fd, const fs::path& folder, const SaveTarget& target) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    auto link = [&](const std::string& name) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        // Without /proc, the call that needs no path (it needs a capability, though).
        return errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0 &&
               ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
    };
    if (!target.exists) return link(target.path.native()) ? target.path.native() : std::string();
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = (folder / tempName()).native();
        for (int i = 0; i < 6; ++i) name += kLetters[entropy() % (sizeof kLetters - 1)];
        if (link(name)) return name;
        if (errno != EEXIST) return {};
    }
    return {};
}

// Puts the finished temporary file in place. A new name must still be free: nobody was
// asked about replacing whatever took it meanwhile.
int putInPlace(const std::string& temp, const SaveTarget& target) {
    if (temp == target.path.native()) return 0;
    if (target.exists) return ::rename(temp.c_str(), target.path.c_str());
    const int done = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.path.c_str(), RENAME_NOREPLACE);
    // File systems that cannot promise this fall back to a plain rename.
    if (done != 0 && errno == EINVAL) return ::rename(temp.c_str(), target.path.c_str());
    return done;
}

}  // namespace

void FileSystem::SavePicture(const Picture& picture, const std::string& path) {
    filesChanged();
    if (picture.isNull()) throw HostError("There is no picture to save");
    const SaveTarget target = saveTarget(toNative(path), path);
    pictures_.forget(target.path);
    pictures_.forget(toNative(path));
    const QImage& image = *picture.image();
    if (image.width() <= 0 || image.height() <= 0) throw HostError("There is no picture to save");

    // The file is written without a name where the file system allows, and named beside
    // the target only once every byte is on disk, then renamed over it at once: a failed
    // or killed write never harms the file it would have replaced, and one killed before
    // the name leaves nothing. Names are used as raw bytes, which keeps names that are not
    // valid UTF-8 exactly as they are.
    const fs::path folder = target.path.has_parent_path() ? target.path.parent_path() : fs::path(".");
    removeLeftovers(folder);
    std::string temp;
    int fd = anonymousFilesRefused ? -1 : ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    const bool anonymous = fd >= 0;
    if (!anonymous && (anonymousFilesRefused || errno == EOPNOTSUPP || errno == EISDIR)) {
        temp = (folder / (tempName() + "XXXXXX")).native();
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
    }
    if (fd < 0) saveFailed(errno, path);
    const FileDescriptor file(fd);
    auto fail = [&](int err) {
        if (!temp.empty()) ::unlink(temp.c_str());
        saveFailed(err, path);
    };
    // Held until the file is in place: the mark that its writer is still at work.
    if (::flock(fd, LOCK_EX) != 0) fail(errno);
    step(seams::SaveStep::BeforeWrite, fd);
    if (const int err = writeBitmap(fd, image)) fail(err);
    mode_t mode = target.mode;
    if (!target.exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) fail(errno);
    step(seams::SaveStep::Synced, fd);
    if (anonymous) {
        temp = linkAnonymous(fd, folder, target);
        if (temp.empty()) saveFailed(errno, path);
    }
    step(seams::SaveStep::Linked, fd);
    if (putInPlace(temp, target) != 0) fail(errno);
    step(seams::SaveStep::Renamed, fd);
    // The new name on disk too, so that a power cut now finds the new file, not the old.
    const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

namespace seams {
void setSaveStep(void (*hook)(SaveStep step, int fd)) { saveStep = hook; }
void setAnonymousFilesRefused(bool refused) { anonymousFilesRefused = refused; }
}  // namespace seams

}  // namespace pictavo
