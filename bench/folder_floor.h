// SPDX-License-Identifier: MIT
#pragma once
// The floor of listing a folder as the program's lists show it, with nothing of the
// program's own (its matching, its sort keys, its threads): one readdir, folders apart,
// the other names matched with fnmatch(3), both lists sorted in the C library's natural
// order (strverscmp(3)), all on one thread.

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct FolderFloor {
    std::vector<std::string> folders, files;
};

// `patterns` as the file list takes them: "*.jpg*;*.bmp*", matched without regard to case.
inline FolderFloor listFolderFloor(const char* folder, std::string_view patterns) {
    std::vector<std::string> each;
    for (std::size_t start = 0; start <= patterns.size();) {
        const std::size_t end = std::min(patterns.find(';', start), patterns.size());
        if (end > start) each.emplace_back(patterns.substr(start, end - start));
        start = end + 1;
    }
    FolderFloor list;
    DIR* dir = ::opendir(folder);
    if (!dir) return list;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            isDir = ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDir) {
            list.folders.emplace_back(e->d_name);
        } else if (std::any_of(each.begin(), each.end(), [&](const std::string& p) {
                       return ::fnmatch(p.c_str(), e->d_name, FNM_CASEFOLD) == 0;
                   })) {
            list.files.emplace_back(e->d_name);
        }
    }
    ::closedir(dir);
    auto natural = [](const std::string& a, const std::string& b) { return ::strverscmp(a.c_str(), b.c_str()) < 0; };
    std::sort(list.folders.begin(), list.folders.end(), natural);
    std::sort(list.files.begin(), list.files.end(), natural);
    return list;
}

}  // namespace bench
