#include "app/open_path.h"

#include <algorithm>

namespace pictavo {

std::string openStartPath(FormControls& c, const std::string& path) {
    std::string folder, name;
    try {
        folder = c.files.OpenFolder(path);
    } catch (const HostError& notAFolder) {
        if (c.files.Dir(path).empty()) return notAFolder.what();
        // A file: its folder first, then its row.
        const char sep = c.files.Separator();
        const auto cut = path.find_last_of(sep);
        name = cut == std::string::npos ? path : path.substr(cut + 1);
        std::string parent = cut == std::string::npos ? std::string() : path.substr(0, cut);
        if (parent.empty() || (parent.size() == 2 && parent[1] == ':')) parent += sep;  // a drive's root
        try {
            folder = c.files.OpenFolder(parent);
        } catch (const HostError& e) {
            return e.what();
        }
    }

    try {
        // The drive list opens the drive's remembered folder when the drive changes, so
        // that folder is set first: one listing, of the folder asked for.
        c.files.SetCurrentFolder(folder);
        c.drvList.setDrive(folder);
        if (c.dirList.path() != folder) c.dirList.setPath(folder);
    } catch (const HostError& e) {
        return e.what();
    }
    if (name.empty()) return {};

    const auto& names = c.filList.names();
    const auto row = std::find(names.begin(), names.end(), name);
    if (row == names.end()) return "Not a picture that Pictavo lists (" + c.filList.pattern() + "): " + path;
    c.filList.userClick(static_cast<std::int32_t>(row - names.begin()));
    return {};
}

}  // namespace pictavo
