// SPDX-License-Identifier: MIT
#pragma once
#include <array>
#include <cstdint>
#include <future>
#include <memory>
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
// Equal keys leave the order to the exact bytes of the names. The key of a name without a
// zero byte (any file name) holds none; a digit run's order is kept up to 65,024 digits.
[[nodiscard]] std::string naturalKey(std::string_view name);

// Sorts names into naturalLess's order.
void naturalSort(std::vector<std::string>& names);

// Names in naturalLess's order, sorted a part at a time: parts sorted apart, on any
// threads, merge into one order (a folder's names are sorted while the rest is read).
class NaturalRun {
public:
    NaturalRun() = default;
    // Keys and sorts the names; with `patterns` (as matchesAny takes them), only those
    // that match.
    explicit NaturalRun(std::vector<std::string> names, std::string_view patterns = {});
    // The names of both runs, in one order.
    [[nodiscard]] static NaturalRun merged(NaturalRun a, NaturalRun b);
    // The same on a thread of its own (where none can be had, on the caller's when it
    // asks).
    [[nodiscard]] static std::future<NaturalRun> sortAside(std::vector<std::string> names,
                                                           std::string_view patterns = {});
    // Two runs merged on a thread of its own once both are sorted.
    [[nodiscard]] static std::future<NaturalRun> mergedAside(std::future<NaturalRun> a, std::future<NaturalRun> b);
    // The names in order; the run is left empty.
    [[nodiscard]] std::vector<std::string> names() &&;
    // The names of all the runs in one order, merged straight into the list: the last
    // merge of a sort needs no order of its own.
    [[nodiscard]] static std::vector<std::string> mergedNames(std::vector<NaturalRun> runs);

private:
    struct Part {
        std::vector<std::string> names;
        std::vector<char> keys;
    };
    // 32 bytes, moved by every sort and merge: the key's length lies in its ending zero.
    struct Entry {
        std::array<std::uint64_t, 2> head;  // the key's first 16 bytes, big-endian
        const char* key;                    // in a part's keys, ended by a zero
        std::string* name;                  // in a part's names
    };
    static bool before(const Entry& a, const Entry& b);
    struct Span {
        const Entry* first;
        const Entry* last;  // past the end
        [[nodiscard]] std::size_t size() const { return static_cast<std::size_t>(last - first); }
    };
    // Moves the spans' names into `out` in order.
    static void takeInOrder(std::vector<Span> spans, std::string* out);
    std::vector<std::unique_ptr<Part>> parts_;  // where they are, whatever the run does
    std::vector<Entry> entries_;
};

}  // namespace pictavo
