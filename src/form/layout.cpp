// SPDX-License-Identifier: MIT
#include "form/layout.h"

namespace pictavo {

ScrollBarPlaces scrollBarPlaces(const Place& viewport) {
    return {{viewport.left, viewport.height + 390, viewport.width, 240},
            {viewport.width + 2200, viewport.top, 255, viewport.height}};
}

std::optional<WindowLayout> windowLayout(float outerWidth, float outerHeight) {
    if (outerHeight < 1921 || outerWidth < 2806) return std::nullopt;
    WindowLayout l;
    l.picture = kViewportDesign;
    l.picture.height = outerHeight - 1620;
    l.picture.width = outerWidth - 2805;
    const ScrollBarPlaces bars = scrollBarPlaces(l.picture);
    l.hscroll = bars.horizontal;
    l.vscroll = bars.vertical;
    // The column shares the viewport's height less the drive list: two fifths for folders.
    l.folders = kFolderListDesign;
    l.folders.height = (l.picture.height - 300) * 0.4f;
    l.files = kFileListDesign;
    l.files.top = l.folders.top + l.folders.height + 20;
    l.files.height = (l.picture.height - 300) * 0.6f;
    return l;
}

}  // namespace pictavo
