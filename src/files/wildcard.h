// SPDX-License-Identifier: MIT
#pragma once
// Matching file names against the file list's patterns ("*.jpg*;*.bmp*;*.gif*").

#include <string>
#include <string_view>
#include <vector>

namespace pictavo {

// ASCII case folding: the same in every locale, and safe on any thread (tolower reads the
// locale, which Qt sets while the start folder is already being listed).
[[nodiscard]] constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-insensitive (ASCII) wildcard match with '*' and '?'.
[[nodiscard]] bool wildcardMatch(std::string_view pattern, std::string_view name);

// True when the name matches any of the ';'-separated patterns.
[[nodiscard]] bool matchesAny(std::string_view patterns, std::string_view name);
// The names that match any of the patterns, in their order.
[[nodiscard]] std::vector<std::string> matching(std::vector<std::string> names, std::string_view patterns);

}  // namespace pictavo
