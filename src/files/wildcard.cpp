// SPDX-License-Identifier: MIT
#include "files/wildcard.h"

namespace pictavo {

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    // Iterative matcher with backtracking to the last '*': linear for these patterns.
    std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        // A '*' of the pattern is always a wildcard, even where the name holds a '*' too.
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || asciiLower(pattern[p]) == asciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool matchesAny(std::string_view patterns, std::string_view name) {
    while (!patterns.empty()) {
        const auto cut = patterns.find(';');
        const auto one = patterns.substr(0, cut);
        if (!one.empty() && wildcardMatch(one, name)) return true;
        if (cut == std::string_view::npos) break;
        patterns.remove_prefix(cut + 1);
    }
    return false;
}

std::vector<std::string> matching(std::vector<std::string> names, std::string_view patterns) {
    std::erase_if(names, [&](const std::string& name) { return !matchesAny(patterns, name); });
    return names;
}

}  // namespace pictavo
