// SPDX-License-Identifier: MIT
#pragma once
// The places that follow the window's size: the viewport, its two scroll bars and the
// folder and file lists, as a plain function of the window's outer size.

#include <optional>

#include "controls/controls.h"

namespace pictavo {

// Design places of the controls that the layout moves. The viewport's top-left corner,
// the lists' left edges and widths and the folder list's top never move.
inline constexpr Place kViewportDesign{2220, 420, 3645, 2745};
inline constexpr Place kFolderListDesign{75, 720, 2025, 1140};
inline constexpr Place kFileListDesign{60, 1860, 2055, 1530};

// Below this outer height the window takes away three buttons (and never gives them back).
inline constexpr float kButtonsMinHeight = 4620;

struct ScrollBarPlaces {
    Place horizontal;
    Place vertical;
};

// The bars overlap the viewport's bottom and right edges a little.
[[nodiscard]] ScrollBarPlaces scrollBarPlaces(const Place& viewport);

struct WindowLayout {
    Place picture;
    Place hscroll;
    Place vscroll;
    Place folders;
    Place files;
};

// The places for a window of this outer size in twips, or nothing for a window too small
// to lay out, where every control keeps its place.
[[nodiscard]] std::optional<WindowLayout> windowLayout(float outerWidth, float outerHeight);

}  // namespace pictavo
