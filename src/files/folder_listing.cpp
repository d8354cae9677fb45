// SPDX-License-Identifier: MIT
#include "files/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "base/errors.h"
#include "files/atomic_save.h"
#include "files/natural_order.h"
#include "files/wildcard.h"

namespace fs = std::filesystem;

namespace pictavo {

namespace {

// Paths compared as the lists name folders: "/a/b" and "/a/b/" are one folder.
fs::path comparable(const fs::path& folder) {
    fs::path p = folder.lexically_normal();
    if (p.has_relative_path() && !p.has_filename()) p = p.parent_path();
    return p;
}

}  // namespace

FolderEntries readFolder(const fs::path& folder, const std::string& shownPath, std::string_view patterns) {
    // Matching, keying and sorting a batch take about as long as reading the next one.
    constexpr std::size_t kBatch = 16384;
    FolderEntries entries;
    std::vector<std::string> saveLeftovers;  // what killed saves left, for the next save here
    // The batches so far, sorted and merged as a binary counter counts: two runs of the
    // same rank merge into one of the next, so that each name is merged about log2(batches)
    // times (merging each batch into all before it would move every name once a batch).
    struct Ranked {
        std::future<NaturalRun> run;
        int rank;
    };
    std::vector<Ranked> sorted;  // oldest first, ranks falling
    // One readdir; the type it reports tells folders apart, so only an entry of unknown
    // type or a symbolic link (followed, as a folder link opens as a folder) costs a stat.
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) throw HostError(reasonText({errno, std::generic_category()}) + ": " + shownPath);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) break;
        const char* name = entry->d_name;
        if (name[0] == '.') {  // hidden, and "." and ".."
            if (mayBeSaveLeftover(name)) saveLeftovers.emplace_back(name);
            continue;
        }
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st {};
            isFolder = ::fstatat(::dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        (isFolder ? entries.folders : entries.files).emplace_back(name);
        if (entries.files.size() == kBatch) {
            Ranked next{NaturalRun::sortAside(std::exchange(entries.files, {}), patterns), 0};
            entries.files.reserve(kBatch);  // a large folder: the next batch without regrowing
            for (; !sorted.empty() && sorted.back().rank == next.rank; sorted.pop_back())
                next = {NaturalRun::mergedAside(std::move(sorted.back().run), std::move(next.run)), next.rank + 1};
            sorted.push_back(std::move(next));
        }
    }
    const int err = errno;
    if (err == 0) noteFolderRead(::dirfd(dir), std::move(saveLeftovers));
    ::closedir(dir);
    if (err != 0) throw HostError(reasonText({err, std::generic_category()}) + ": " + shownPath);
    // The last batch on this thread, then all runs merged at once into the list: a merge
    // into an order of its own first would write every name's entry once more, into memory
    // a new process has yet to touch.
    std::vector<NaturalRun> runs;
    runs.emplace_back(std::move(entries.files), patterns);
    for (Ranked& run : sorted) runs.push_back(run.run.get());
    entries.files = NaturalRun::mergedNames(std::move(runs));
    naturalSort(entries.folders);
    return entries;
}

void ListingsAhead::add(const fs::path& folder) {
    const fs::path key = comparable(folder);
    if (std::any_of(listings_.begin(), listings_.end(), [&](const Listing& l) { return l.folder == key; })) return;
    // The worker owns copies of what it reads, and nothing else.
    Listing listing;
    listing.folder = key;
    listing.reading =
        std::async(std::launch::async, [key, pattern = pattern_] { return readFolder(key, key.native(), pattern); });
    listings_.push_back(std::move(listing));
}

ListingsAhead::Listing* ListingsAhead::ready(const fs::path& folder) {
    const fs::path key = comparable(folder);
    const auto it = std::find_if(listings_.begin(), listings_.end(), [&](const Listing& l) { return l.folder == key; });
    if (it == listings_.end()) return nullptr;
    if (!it->read) {
        try {
            it->read = it->reading.get();
        } catch (const std::exception&) {
            listings_.erase(it);
            return nullptr;
        }
    }
    return &*it;
}

std::optional<std::vector<std::string>> ListingsAhead::takeFolders(const fs::path& folder) {
    Listing* listing = ready(folder);
    if (!listing || listing->foldersTaken) return std::nullopt;
    listing->foldersTaken = true;
    return std::move(listing->read->folders);
}

std::optional<std::vector<std::string>> ListingsAhead::takeFiles(const fs::path& folder, std::string_view patterns) {
    if (patterns != pattern_) return std::nullopt;
    Listing* listing = ready(folder);
    if (!listing || listing->filesTaken) return std::nullopt;
    listing->filesTaken = true;
    return std::move(listing->read->files);
}

}  // namespace pictavo
