// SPDX-License-Identifier: MIT
#include "files/atomic_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <utility>

#include "base/errors.h"
#include "base/file_descriptor.h"

namespace fs = std::filesystem;

namespace pictavo {

namespace {

[[noreturn]] void saveFailed(const std::string& reason, const fs::path& chosen) {
    throw HostError(reason + ": " + chosen.native());
}

[[noreturn]] void saveFailed(int err, const fs::path& chosen) {
    saveFailed(reasonText({err, std::generic_category()}), chosen);
}

void (*saveStep)(seams::SaveStep, int) = nullptr;
bool anonymousFilesRefused = false;
std::atomic<long long> entriesRead{0};

void step(seams::SaveStep at, int fd) {
    if (saveStep) saveStep(at, fd);
}

// Temporary names are ".pictavo-save-<pid>-XXXXXX", with the pid of the writing process:
// what a crash, a kill or a power cut leaves between naming the file and renaming it is
// removed by a later save into the folder once that process is gone.
constexpr std::string_view kTempPrefix = ".pictavo-save-";
// Earlier versions wrote ".pictavo-save-XXXXXX" without a pid, unlocked. Their saves
// wrote without a pause and renamed at once, so such a file untouched this long has no
// writer left.
constexpr time_t kUnmarkedTempAgeSeconds = 15 * 60;
// A folder the program has not listed is searched for leftovers only this far, so that a
// save into a huge folder never waits for all of it; the rest is found once it is listed.
constexpr long kUnlistedEntriesRead = 4096;
// Folders whose leftovers are known; a few hundred cover every folder a session opens.
constexpr std::size_t kKnownFolders = 256;

bool isTempSuffix(std::string_view s) {
    return s.size() == 6 && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
}

std::string tempName() { return std::string(kTempPrefix) + std::to_string(::getpid()) + "-"; }

// Removes one temporary file that an earlier save left, when it is one: only a name of
// exactly our pattern, a regular file of this user whose writer is gone (its process no
// longer exists and nobody holds the lock a writer keeps on its file). Returns false when
// the name stays and may be worth another look later.
bool removeIfLeft(int dirFd, const std::string& name, time_t now) {
    if (!mayBeSaveLeftover(name)) return true;
    const std::string_view rest = std::string_view(name).substr(kTempPrefix.size());
    const auto dash = rest.find('-');
    const bool unmarked = isTempSuffix(rest);
    if (!unmarked) {
        if (dash == std::string_view::npos || dash == 0 || dash > 9 || !isTempSuffix(rest.substr(dash + 1)) ||
            !std::all_of(rest.begin(), rest.begin() + dash, [](unsigned char c) { return std::isdigit(c) != 0; }))
            return true;
        const auto pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
        // Alive, or alive under another user: its file may still be written.
        if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) return false;
    }
    const FileDescriptor fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0) return true;  // gone, or a link (never ours)
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return true;
    if (unmarked && now - st.st_mtime < kUnmarkedTempAgeSeconds) return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    // Still the file just checked under that name.
    struct stat named {};
    if (::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == st.st_dev &&
        named.st_ino == st.st_ino)
        ::unlinkat(dirFd, name.c_str(), 0);
    return true;
}

// What the program's listings of folders met: the names in them that may be leftovers.
// Listings (also on workers) add to it, saves on the window's thread take from it. A
// leftover made after a listing is found by the save after the next listing.
// A folder by its identity: device, inode and, where the file system keeps it, its birth,
// so that a new folder given a removed one's inode is not taken for it.
struct FolderId {
    std::uint64_t dev = 0, ino = 0;
    std::int64_t born = 0;
    std::uint32_t bornNs = 0;
    bool operator==(const FolderId&) const = default;
};

std::optional<FolderId> folderId(int dirFd) {
    struct statx st {};
    if (::statx(dirFd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &st) != 0) return std::nullopt;
    FolderId id{makedev(st.stx_dev_major, st.stx_dev_minor), st.stx_ino, 0, 0};
    if (st.stx_mask & STATX_BTIME) id.born = st.stx_btime.tv_sec, id.bornNs = st.stx_btime.tv_nsec;
    return id;
}

struct KnownFolder {
    FolderId id;
    std::vector<std::string> leftovers;
};
std::mutex knownLock;
std::list<KnownFolder> knownFolders;  // the most recently read first

void remember(const FolderId& id, std::vector<std::string> leftovers) {
    const std::lock_guard lock(knownLock);
    knownFolders.remove_if([&](const KnownFolder& k) { return k.id == id; });
    knownFolders.push_front({id, std::move(leftovers)});
    if (knownFolders.size() > kKnownFolders) knownFolders.pop_back();
}

std::optional<std::vector<std::string>> takeKnown(const FolderId& id) {
    const std::lock_guard lock(knownLock);
    for (auto& k : knownFolders)
        if (k.id == id) return std::exchange(k.leftovers, {});
    return std::nullopt;
}

// The leftover names among the first entries of a folder that the program has not listed.
std::vector<std::string> readLeftovers(int dirFd) {
    std::vector<std::string> leftovers;
    const int own = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) return leftovers;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(own), ::closedir);
    if (!dir) {
        ::close(own);
        return leftovers;
    }
    long read = 0;
    for (const dirent* entry; read < kUnlistedEntriesRead && (entry = ::readdir(dir.get())) != nullptr; ++read)
        if (mayBeSaveLeftover(entry->d_name)) leftovers.emplace_back(entry->d_name);
    entriesRead += read;
    return leftovers;
}

// Removes what killed saves left in the folder, without reading it where a listing of the
// program already told what is there. A failure here never stops the save.
void removeLeftovers(int dirFd) {
    const auto folder = folderId(dirFd);
    if (!folder) return;
    auto known = takeKnown(*folder);
    const std::vector<std::string> names = known ? std::move(*known) : readLeftovers(dirFd);
    const time_t now = ::time(nullptr);
    std::vector<std::string> staying;
    for (const auto& name : names)
        if (!removeIfLeft(dirFd, name, now)) staying.push_back(name);
    // What may still become removable (its writer alive now) is tried again by the next
    // save, until the next listing tells anew.
    if (known) remember(*folder, std::move(staying));
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

SaveTarget saveTargetOf(const fs::path& chosen) {
    struct stat st {};
    if (::lstat(chosen.c_str(), &st) != 0) {
        if (errno != ENOENT) saveFailed(errno, chosen);
        return {chosen, chosen, false, 0};
    }
    SaveTarget target{chosen, chosen, true, 0};
    if (S_ISLNK(st.st_mode)) {
        if (::stat(chosen.c_str(), &st) != 0) {
            if (errno == ENOENT) saveFailed("The link points to nothing", chosen);
            saveFailed(errno, chosen);
        }
        const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(chosen.c_str(), nullptr), std::free);
        if (!resolved) saveFailed(errno, chosen);
        target.path = resolved.get();
    }
    if (S_ISDIR(st.st_mode)) saveFailed(EISDIR, chosen);
    if (!S_ISREG(st.st_mode)) saveFailed("Not a regular file", chosen);
    // Renaming over a file ignores its mode: a file that its owner may not write is kept,
    // whoever runs the program, and so is a file that this user may not write.
    if ((st.st_mode & S_IWUSR) == 0) saveFailed("The file is read-only", chosen);
    if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) saveFailed(errno, chosen);
    target.mode = st.st_mode & 07777;
    return target;
}

void saveAtomically(const SaveTarget& target, const std::function<int(int fd)>& write) {
    // The file is written without a name where the file system allows, and named beside
    // the target only once every byte is on disk, then renamed over it at once: a failed
    // or killed write never harms the file it would have replaced, and one killed before
    // the name leaves nothing. Names are used as raw bytes, which keeps names that are not
    // valid UTF-8 exactly as they are.
    const fs::path folder = target.path.has_parent_path() ? target.path.parent_path() : fs::path(".");
    const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) removeLeftovers(dir.get());
    std::string temp;
    int fd = anonymousFilesRefused ? -1 : ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    const bool anonymous = fd >= 0;
    if (!anonymous && (anonymousFilesRefused || errno == EOPNOTSUPP || errno == EISDIR)) {
        temp = (folder / (tempName() + "XXXXXX")).native();
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
    }
    if (fd < 0) saveFailed(errno, target.chosen);
    const FileDescriptor file(fd);
    auto fail = [&](int err) {
        if (!temp.empty()) ::unlink(temp.c_str());
        saveFailed(err, target.chosen);
    };
    // Held until the file is in place: the mark that its writer is still at work.
    if (::flock(fd, LOCK_EX) != 0) fail(errno);
    step(seams::SaveStep::BeforeWrite, fd);
    if (const int err = write(fd)) fail(err);
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
        if (temp.empty()) saveFailed(errno, target.chosen);
    }
    step(seams::SaveStep::Linked, fd);
    if (putInPlace(temp, target) != 0) fail(errno);
    step(seams::SaveStep::Renamed, fd);
    // The new name on disk too, so that a power cut now finds the new file, not the old.
    if (dir.get() >= 0) ::fsync(dir.get());
}

bool mayBeSaveLeftover(std::string_view name) { return name.substr(0, kTempPrefix.size()) == kTempPrefix; }

void noteFolderRead(int folderFd, std::vector<std::string> leftovers) {
    if (const auto folder = folderId(folderFd)) remember(*folder, std::move(leftovers));
}

namespace seams {
void setSaveStep(void (*hook)(SaveStep step, int fd)) { saveStep = hook; }
void setAnonymousFilesRefused(bool refused) { anonymousFilesRefused = refused; }
long long leftoverEntriesRead() { return entriesRead; }
}  // namespace seams

}  // namespace pictavo
