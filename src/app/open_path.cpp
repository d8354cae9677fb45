// SPDX-License-Identifier: MIT
#include "app/open_path.h"

#include <algorithm>

#include "view/view.h"

namespace pictavo {

namespace {

// Why the path cannot be shown, or "" once it is.
std::string openPath(FormControls& c, const std::string& path, bool& told) {
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
    // A file manager offers Pictavo for every name of the types it claims (beach.jpeg,
    // scan.dib) and for files it recognised by their content; such a file is shown even
    // where the list's pattern leaves it out, and the picture reader judges the content.
    if (row != names.end()) {
        c.filList.userClick(static_cast<std::int32_t>(row - names.begin()));
    } else {
        c.filList.clickUnlisted(name);
    }
    // A shown picture can be copied; an open that fails has said why in its message and
    // turned Copy off.
    told = !c.Cpy.enabled();
    return told ? "not a picture that Pictavo can show" : std::string();
}

}  // namespace

std::string openStartPath(FormControls& c, const std::string& path) {
    bool told = false;
    std::string why = openPath(c, path, told);
    // Someone who opened a file from a file manager sees no standard error.
    if (!why.empty() && !told) c.host.MsgBox(translated(kLoadFailedMessage), MsgFlags::OkOnly);
    return why;
}

}  // namespace pictavo
