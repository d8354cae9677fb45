// SPDX-License-Identifier: MIT
#pragma once
// The form's own rules that several handlers share: the position/count box, the texts of
// a shown file, the viewport's fit and the commands that depend on the picture's kind.

#include <cstdint>
#include <string>
#include <vector>

#include "form/form_controls.h"

namespace pictavo {

// Plain decimal text of a count or position: "0", "7", "100000".
[[nodiscard]] std::string countText(std::int64_t n);

// lstTotal from the list count, lstPos from the selection, and the lstCnt text.
void recount(FormControls& f);

// lstCnt shows position/count: "3/12".
void showPosition(FormControls& f);

// The size text, one decimal and digit groups: KB of 1000 bytes below 1,024,000 bytes, MB
// of 1,024,000 bytes from there ("999.9KB", "1,024.0KB", "1.0MB").
[[nodiscard]] std::string sizeText(std::int64_t bytes);

// The last n bytes of a text.
[[nodiscard]] std::string rightText(const std::string& text, std::size_t n);

// The path a picture of the file list opens by: the folder list's path and the name,
// with one separator between them.
[[nodiscard]] std::string listedFilePath(FormControls& f, const std::string& name);

// The pictures a person will likely open next while one is shown: the file list's row
// after the selected one, then the row before it; the other way round after a step up.
[[nodiscard]] std::vector<std::string> likelyNextPictures(FormControls& f);

// Asks for the pictures of likelyNextPictures to be decoded ahead.
void decodeLikelyNext(FormControls& f);

// Waits, with the hourglass, for the picture on view to have arrived whole, before a
// command acts on all of it. False when it turned out broken (the view then says so).
[[nodiscard]] bool pictureArrivedWhole(FormControls& f);

// The last three characters are exactly "bmp" or "BMP".
[[nodiscard]] bool isBitmapPath(const std::string& path);

// With no show running: saving as a bitmap for other pictures, the wall paper for bitmaps.
void setBitmapCommands(FormControls& f, bool bitmap);

// Max of a scroll bar: the picture's excess over the viewport, rounded half to even.
[[nodiscard]] std::int32_t scrollRange(float pictureSize, float viewportSize);

// Shows a bar only where the picture is at least as large as the viewport, with Max the
// excess; with toStart the value goes back to 0 as well.
void fitScrollBar(ScrollBar& bar, float pictureSize, float viewportSize, bool toStart);

// Puts the picture of Image1 at the viewport's top-left corner and shows each scroll bar
// only where the picture is at least as large as the viewport, with Max the excess.
void fitViewport(FormControls& f);

}  // namespace pictavo
