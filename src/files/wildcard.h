// SPDX-License-Identifier: MIT
#pragma once
// Matching file names against the file list's patterns ("*.jpg*;*.bmp*;*.gif*").

#include <string_view>

namespace pictavo {

// Case-insensitive (ASCII) wildcard match with '*' and '?'.
[[nodiscard]] bool wildcardMatch(std::string_view pattern, std::string_view name);

// True when the name matches any of the ';'-separated patterns.
[[nodiscard]] bool matchesAny(std::string_view patterns, std::string_view name);

}  // namespace pictavo
