#pragma once
#include <string_view>

namespace pictavo {

// Natural, case-insensitive order of file names: "img2" before "img10", "a" beside "A".
// Ties are broken by the exact bytes so that the order is total. Own code: QCollator
// orders decoded text by the person's locale, and these names are native bytes.
[[nodiscard]] bool naturalLess(std::string_view a, std::string_view b);

// Case-insensitive (ASCII) wildcard match with '*' and '?'.
[[nodiscard]] bool wildcardMatch(std::string_view pattern, std::string_view name);

// True when the name matches any of the ';'-separated patterns.
[[nodiscard]] bool matchesAny(std::string_view patterns, std::string_view name);

}  // namespace pictavo
