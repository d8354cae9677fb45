// SPDX-License-Identifier: MIT
#include "files/natural_order.h"

#include <algorithm>
#include <cctype>

namespace pictavo {

namespace {
char fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool naturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare digit runs by value: skip leading zeros, then longer is larger.
            std::size_t si = i, sj = j;
            while (si < a.size() && a[si] == '0') ++si;
            while (sj < b.size() && b[sj] == '0') ++sj;
            std::size_t ei = si, ej = sj;
            while (ei < a.size() && isDigit(a[ei])) ++ei;
            while (ej < b.size() && isDigit(b[ej])) ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            for (std::size_t k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k];
            i = ei;
            j = ej;
            continue;
        }
        const char ca = fold(a[i]), cb = fold(b[j]);
        if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;
}

std::string naturalKey(std::string_view name) {
    // A digit compares alike against any other character (no other character lies between
    // '0' and '9'), so a run of digits becomes '0', its length without leading zeros in two
    // bytes, then those digits: longer runs are larger, equal lengths compare digit by
    // digit. A key that ends is a prefix of the other and sorts first.
    std::string key;
    key.reserve(name.size() + 2);
    std::size_t i = 0;
    while (i < name.size()) {
        if (!isDigit(name[i])) {
            key += fold(name[i++]);
            continue;
        }
        while (i < name.size() && name[i] == '0') ++i;
        const std::size_t start = i;
        while (i < name.size() && isDigit(name[i])) ++i;
        key += '0';
        key += static_cast<char>((i - start) >> 8 & 0xFF);
        key += static_cast<char>((i - start) & 0xFF);
        key.append(name.substr(start, i - start));
    }
    return key;
}

void naturalSort(std::vector<std::string>& names) {
    struct Entry {
        std::string key;
        std::string* name;
    };
    std::vector<Entry> entries;
    entries.reserve(names.size());
    for (auto& name : names) entries.push_back({naturalKey(name), &name});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = a.key.compare(b.key);
        return order != 0 ? order < 0 : *a.name < *b.name;
    });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (auto& e : entries) sorted.push_back(std::move(*e.name));
    names = std::move(sorted);
}

}  // namespace pictavo
