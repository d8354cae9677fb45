#pragma once
// Opening the selected picture, fitting the viewport to it, and panning.

#include <cstdint>
#include <string>
#include <string_view>

#include "controls/form_controls.h"

namespace pictavo {

inline constexpr const char* kLoadFailedMessage = "ファイルを正常にロードできませんでした";

// A number as text after a pattern such as "#,#0.0KB": digit grouping when the pattern has
// a comma, as many decimals as it has zeros after the point, letters after it as written.
[[nodiscard]] std::string formatNumber(double value, std::string_view pattern);

// The size text: KB of 1000 bytes below 1,024,000 bytes, MB of 1,024,000 bytes from there.
[[nodiscard]] std::string sizeText(std::int64_t bytes);

// The last three characters are exactly "bmp" or "BMP".
[[nodiscard]] bool isBitmapPath(const std::string& path);

// The last n bytes of a text.
[[nodiscard]] std::string rightText(const std::string& text, std::size_t n);

// With no show running: saving as a bitmap for other pictures, the wall paper for bitmaps.
void setBitmapCommands(FormControls& f, bool bitmap);

// Puts the picture of Image1 at the viewport's top-left corner and shows each scroll bar
// only where the picture is at least as large as the viewport, with Max the excess.
void fitViewport(FormControls& f);

// Shows a bar only where the picture is at least as large as the viewport, with Max the
// excess; with toStart the value goes back to 0 as well.
void fitScrollBar(ScrollBar& bar, float pictureSize, float viewportSize, bool toStart);

// Max of a scroll bar: the picture's excess over the viewport, rounded half to even.
[[nodiscard]] std::int32_t scrollRange(float pictureSize, float viewportSize);

void filList_Click(FormControls& f);
void HScroll1_Change(FormControls& f);
void VScroll1_Change(FormControls& f);

}  // namespace pictavo
