// SPDX-License-Identifier: MIT
#include "files/natural_order.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <iterator>
#include <memory>
#include <system_error>
#include <thread>

#include "files/wildcard.h"

namespace pictavo {

namespace {
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
        const char ca = asciiLower(a[i]), cb = asciiLower(b[j]);
        if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;
}

namespace {

// Appends the name's key to `key` (see naturalKey).
template <typename Text>
void appendKey(std::string_view name, Text& key) {
    // A digit compares alike against any other character (no other character lies between
    // '0' and '9'), so a run of digits becomes '0', its length without leading zeros in two
    // bytes, then those digits: longer runs are larger, equal lengths compare digit by
    // digit. A key that ends is a prefix of the other and sorts first. The length's bytes
    // are never zero, so that a key of a name without a zero byte (any file name) holds
    // none and a zero can end it.
    std::size_t i = 0;
    while (i < name.size()) {
        if (!isDigit(name[i])) {
            key.push_back(asciiLower(name[i++]));
            continue;
        }
        while (i < name.size() && name[i] == '0') ++i;
        const std::size_t start = i;
        while (i < name.size() && isDigit(name[i])) ++i;
        // Two digits of base 255, each one more: lengths up to 65,024 keep their order (a
        // longer run is not a file name's).
        const std::size_t length = std::min<std::size_t>(i - start, 255 * 255 - 1);
        key.push_back('0');
        key.push_back(static_cast<char>(1 + length / 255));
        key.push_back(static_cast<char>(1 + length % 255));
        key.insert(key.end(), name.begin() + static_cast<std::ptrdiff_t>(start),
                   name.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

}  // namespace

std::string naturalKey(std::string_view name) {
    std::string key;
    key.reserve(name.size() + 2);
    appendKey(name, key);
    return key;
}

bool NaturalRun::before(const Entry& a, const Entry& b) {
    if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
    if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
    const int order = std::strcmp(a.key, b.key);
    return order != 0 ? order < 0 : *a.name < *b.name;
}

NaturalRun::NaturalRun(std::vector<std::string> names, std::string_view patterns) {
    auto part = std::make_unique<Part>();
    part->names = patterns.empty() ? std::move(names) : matching(std::move(names), patterns);
    auto& own = part->names;
    // All keys in one block, each ended by a zero: no allocation per name, and neighbours
    // in memory.
    std::vector<std::size_t> starts;
    starts.reserve(own.size());
    for (const auto& name : own) {
        starts.push_back(part->keys.size());
        appendKey(name, part->keys);
        part->keys.push_back('\0');
    }
    entries_.reserve(own.size());
    for (std::size_t i = 0; i < own.size(); ++i) {
        Entry e{{}, part->keys.data() + starts[i], &own[i]};
        // Most comparisons end within the first 16 bytes of the keys: these compare as two
        // integers, without reaching into the keys' memory.
        unsigned char head[16] = {};
        for (std::size_t b = 0; b < sizeof head && e.key[b] != '\0'; ++b)
            head[b] = static_cast<unsigned char>(e.key[b]);
        for (std::size_t b = 0; b < sizeof head; ++b) e.head[b / 8] = e.head[b / 8] << 8 | head[b];
        entries_.push_back(e);
    }
    parts_.push_back(std::move(part));
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return before(a, b); });
}

NaturalRun NaturalRun::merged(NaturalRun a, NaturalRun b) {
    // The entries point into the parts' names and keys, which stay where they are.
    NaturalRun both;
    both.entries_.resize(a.entries_.size() + b.entries_.size());
    std::merge(a.entries_.begin(), a.entries_.end(), b.entries_.begin(), b.entries_.end(), both.entries_.begin(),
               [](const Entry& x, const Entry& y) { return before(x, y); });
    both.parts_ = std::move(a.parts_);
    std::move(b.parts_.begin(), b.parts_.end(), std::back_inserter(both.parts_));
    return both;
}

std::vector<std::string> NaturalRun::names() && {
    std::vector<NaturalRun> runs;
    runs.push_back(std::move(*this));
    return mergedNames(std::move(runs));
}

namespace {

// Own code, since the standard library's parallel algorithms need Intel's TBB.
template <typename Work>
auto aside(Work work) -> std::future<decltype(work())> {
    try {
        return std::async(std::launch::async, std::move(work));
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, std::move(work));
    }
}

}  // namespace

std::vector<std::string> NaturalRun::mergedNames(std::vector<NaturalRun> runs) {
    std::vector<Span> spans;
    std::size_t total = 0;
    for (const NaturalRun& run : runs) {
        if (run.entries_.empty()) continue;
        spans.push_back({run.entries_.data(), run.entries_.data() + run.entries_.size()});
        total += run.entries_.size();
    }
    std::vector<std::string> names(total);
    constexpr std::size_t kInTwoFrom = 8192;
    if (total < kInTwoFrom) {
        takeInOrder(std::move(spans), names.data());
        return names;
    }
    // A long list is merged in two parts at once: the names before the middle one of the
    // longest run on this thread, the others on another, each into its own part of the
    // list. Every run is cut there before either starts, and neither reads the other's.
    const Span& longest =
        *std::max_element(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.size() < b.size(); });
    const Entry middle = longest.first[longest.size() / 2];
    std::vector<Span> low, high;
    std::size_t lowCount = 0;
    for (const Span& span : spans) {
        const Entry* cut = std::lower_bound(span.first, span.last, middle, before);
        if (cut != span.first) low.push_back({span.first, cut});
        if (cut != span.last) high.push_back({cut, span.last});
        lowCount += static_cast<std::size_t>(cut - span.first);
    }
    auto rest = aside([&names, high = std::move(high), lowCount]() mutable {
        takeInOrder(std::move(high), names.data() + lowCount);
    });
    takeInOrder(std::move(low), names.data());
    rest.get();
    return names;
}

// Few runs (a folder's sort leaves one per rank of its merges, about log2 of its batches,
// and the last batch): the next name is found by looking at each run, which for so few
// costs fewer comparisons than keeping them in a heap.
void NaturalRun::takeInOrder(std::vector<Span> spans, std::string* out) {
    while (!spans.empty()) {
        std::size_t least = 0;
        for (std::size_t i = 1; i < spans.size(); ++i)
            if (before(*spans[i].first, *spans[least].first)) least = i;
        *out++ = std::move(*spans[least].first->name);
        if (++spans[least].first == spans[least].last) spans.erase(spans.begin() + static_cast<std::ptrdiff_t>(least));
    }
}

std::future<NaturalRun> NaturalRun::sortAside(std::vector<std::string> names, std::string_view patterns) {
    return aside([names = std::move(names), patterns = std::string(patterns)]() mutable {
        return NaturalRun(std::move(names), patterns);
    });
}

std::future<NaturalRun> NaturalRun::mergedAside(std::future<NaturalRun> a, std::future<NaturalRun> b) {
    return aside([a = std::move(a), b = std::move(b)]() mutable { return merged(a.get(), b.get()); });
}

void naturalSort(std::vector<std::string>& names) {
    // A large folder's two halves are keyed and sorted on two cores, then merged.
    constexpr std::size_t kHalvedFrom = 8192;
    if (names.size() < kHalvedFrom || std::thread::hardware_concurrency() < 2) {
        names = NaturalRun(std::move(names)).names();
        return;
    }
    const auto half = names.begin() + static_cast<std::ptrdiff_t>(names.size() / 2);
    auto second = NaturalRun::sortAside({std::make_move_iterator(half), std::make_move_iterator(names.end())});
    names.erase(half, names.end());
    std::vector<NaturalRun> runs;
    runs.emplace_back(std::move(names));
    runs.push_back(second.get());
    names = NaturalRun::mergedNames(std::move(runs));
}

}  // namespace pictavo
