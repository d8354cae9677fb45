// SPDX-License-Identifier: MIT
#pragma once
// Names as the status bar and the lists show them. A file name may hold any byte but "/"
// and NUL: a newline would split a one-line panel and cut its second half off, and other
// control characters show as nothing at all. Only the text on screen changes; the controls
// keep the exact bytes for every file operation.

#include <QString>
#include <string>

namespace pictavo {

// The UTF-8 text with each control character shown as its control picture (a newline as
// "␊") and line and paragraph separators as "?"; bytes that are not UTF-8 show as
// replacement characters.
[[nodiscard]] QString visibleText(const std::string& bytes);
// The same for a message of several lines: its line breaks stay, every other control
// character (in a file name it quotes) shows as its control picture.
[[nodiscard]] QString visibleLines(const std::string& bytes);

}  // namespace pictavo
