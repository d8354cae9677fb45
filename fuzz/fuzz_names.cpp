// SPDX-License-Identifier: MIT
// Name matching agrees with the plain recursive definition, and natural order is a strict
// weak order (total, as ties fall back to the bytes).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/natural_order.h"
#include "files/wildcard.h"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool reference(std::string_view p, std::string_view n, int& budget) {
    if (--budget < 0) return false;  // the caller gives up on such inputs
    if (p.empty()) return n.empty();
    if (p[0] == '*') return reference(p.substr(1), n, budget) || (!n.empty() && reference(p, n.substr(1), budget));
    if (n.empty()) return false;
    if (p[0] != '?' && lower(p[0]) != lower(n[0])) return false;
    return reference(p.substr(1), n.substr(1), budget);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Three strings, split at the first two zero bytes: a pattern and two names.
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const auto cut1 = all.find('\0');
    const std::string_view pattern = all.substr(0, cut1);
    const std::string_view rest = cut1 == std::string_view::npos ? std::string_view() : all.substr(cut1 + 1);
    const auto cut2 = rest.find('\0');
    const std::string_view a = rest.substr(0, cut2);
    const std::string_view b = cut2 == std::string_view::npos ? std::string_view() : rest.substr(cut2 + 1);

    for (const std::string_view name : {a, b}) {
        int budget = 200000;
        const bool expected = reference(pattern, name, budget);
        if (budget >= 0 && pictavo::wildcardMatch(pattern, name) != expected) std::abort();
    }
    const bool ab = pictavo::naturalLess(a, b), ba = pictavo::naturalLess(b, a);
    if (pictavo::naturalLess(a, a) || (ab && ba) || (!ab && !ba && a != b)) std::abort();
    // Transitivity with the pattern as a third name.
    const std::string_view c = pattern;
    const bool bc = pictavo::naturalLess(b, c), ac = pictavo::naturalLess(a, c);
    if (ab && bc && !ac) std::abort();
    return 0;
}
