// SPDX-License-Identifier: MIT
#pragma once
// Reading a folder for the lists: one readdir, its subfolders and its files each in
// natural order. The folders the program starts in are read on worker threads while Qt
// and the window are built, so that a large pictures folder costs little more than the
// window itself.

#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pictavo {

// One read of a folder: the visible subfolders and the visible other entries.
struct FolderEntries {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

// Reads the folder once, both lists in natural order; throws HostError naming `shownPath`
// when it cannot be read. The files are keyed and sorted a batch at a time on other
// threads while the rest is read: sorting a large folder costs little beyond reading it.
// With `patterns`, only the files that match them are kept.
[[nodiscard]] FolderEntries readFolder(const std::filesystem::path& folder, const std::string& shownPath,
                                       std::string_view patterns = {});

// Folders listed on worker threads, each started at once. A listing serves the first
// request for its subfolders and the first for its files; the caller drops the rest once
// the program has started, since the folder may have changed by then.
class ListingsAhead {
public:
    explicit ListingsAhead(std::string pattern = {}) : pattern_(std::move(pattern)) {}

    // Starts reading the folder, unless it is being read already.
    void add(const std::filesystem::path& folder);
    // The folder's subfolders in natural order, if it was read ahead and they are not yet taken.
    [[nodiscard]] std::optional<std::vector<std::string>> takeFolders(const std::filesystem::path& folder);
    // Its files matching the patterns, in natural order, under the same conditions, and
    // only for the patterns it was read with.
    [[nodiscard]] std::optional<std::vector<std::string>> takeFiles(const std::filesystem::path& folder,
                                                                    std::string_view patterns);
    void clear() { listings_.clear(); }

private:
    struct Listing {
        std::filesystem::path folder;
        std::future<FolderEntries> reading;  // its files already matched
        std::optional<FolderEntries> read;
        bool foldersTaken = false, filesTaken = false;
    };
    // The finished listing of the folder, or null where there is none or its read failed
    // (the caller then reads the folder itself and reports why).
    Listing* ready(const std::filesystem::path& folder);

    std::string pattern_;
    std::vector<Listing> listings_;
};

}  // namespace pictavo
