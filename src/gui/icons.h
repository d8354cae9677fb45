// SPDX-License-Identifier: MIT
#pragma once
// The program's own small pictures, drawn with QPainter at every size they are asked for,
// so they stay sharp at any device pixel ratio.

#include <QIcon>
#include <QImage>

namespace pictavo::gui {

enum class Glyph {
    SaveBitmap,      // svcomBtn: a disk whose label is a grid of coloured pixels
    Delete,          // delBtn: a waste bin
    Copy,            // cpyBtn: two sheets
    Paste,           // pstBtn: a clipboard with a sheet
    SetWallpaper,    // SetBtn: a screen showing a landscape
    UnsetWallpaper,  // UnsetBtn: an empty screen, crossed out
    Stop,            // stpBtn
    Play,            // autoRn
    FolderOpen,      // folder list: the open folder's chain
    FolderClosed,    // folder list: subfolders
    Drive,           // drive list
};

[[nodiscard]] QIcon glyphIcon(Glyph glyph);

// The window icon: a framed landscape.
[[nodiscard]] QIcon programIcon();

// The About box's emblem: 70 x 52 pixels in 256 colours.
[[nodiscard]] QImage emblem();

}  // namespace pictavo::gui
