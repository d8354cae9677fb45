// SPDX-License-Identifier: MIT
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace pictavo {

// Natural, case-insensitive order of file names: "img2" before "img10", "a" beside "A".
// Ties are broken by the exact bytes so that the order is total. Own code: QCollator
// orders decoded text by the person's locale, and these names are native bytes.
[[nodiscard]] bool naturalLess(std::string_view a, std::string_view b);

// A key whose plain byte order is naturalLess's order up to the tie-break: sorting many
// names compares keys made once instead of parsing both names on every comparison.
// Equal keys leave the order to the exact bytes of the names.
[[nodiscard]] std::string naturalKey(std::string_view name);

// Sorts names into naturalLess's order.
void naturalSort(std::vector<std::string>& names);

}  // namespace pictavo
