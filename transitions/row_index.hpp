// Rows of a 0/1 membership matrix packed into bits and grouped by content, so
// that the rows equal to a given set of symbols are found by one lookup
// instead of a pass over every row.
#ifndef TRANSITIONS_ROW_INDEX_HPP
#define TRANSITIONS_ROW_INDEX_HPP

#include <algorithm>
#include <cstdint>

#include "kernel/interrupt.hpp"

// True when every entry of rows 1..a-1 of S (a x L, column-major) is 0.0 or
// 1.0 (-0.0 counts as 0.0); row 0 is not read. Meaningless once poll stops.
bool holdsOnlyZerosAndOnes(const double* S, std::int32_t a, std::int32_t L, InterruptPoll& poll);

// One slot of the open-addressing table: a content (plus one; 0 when empty)
// with its first word, which settles most comparisons without a second read.
struct ContentSlot {
    std::uint64_t firstWord;
    std::int32_t contentPlusOne;
};

// Contents are numbered 0, 1, ... in the order of their first row.
struct RowIndex {
    std::int32_t words;           // 64-bit words per packed row: ceil(L / 64)
    std::int32_t contentCount;    // distinct contents among rows 1..a-1
    std::uint64_t* bits;          // row r at bits + r * words; row 0 left empty
    std::int32_t* contentOf;      // row 1..a-1 -> its content
    std::int32_t* firstRowOf;     // content -> its first row
    std::int32_t* contentStart;   // content k's rows: rowsByContent[contentStart[k] .. contentStart[k+1])
    std::int32_t* rowsByContent;  // ascending within each content
    ContentSlot* slots;
    std::uint64_t slotMask;  // slot count - 1, a power of two at least twice the rows
};

// S (a x L, column-major, rows 1..a-1 holding only 0.0 and 1.0; a >= 2,
// L >= 1) -> the index of rows 1..a-1, every array in host scratch taken here
// once: O(a * L / 64 + a) words. Incomplete once poll stops.
RowIndex indexRows(const double* S, std::int32_t a, std::int32_t L, InterruptPoll& poll);

// The symbol of a partner group whose rows equal the to-row.
constexpr std::int32_t kSameContent = -1;

// Rows one to-row pairs with that share a content: [next, end), ascending;
// symbol is the one the to-row adds, or kSameContent. Points into the index;
// owns nothing.
struct PartnerGroup {
    const std::int32_t* next;
    const std::int32_t* end;
    std::int32_t symbol;
};

// One row's partner groups and the symbols they were looked up by,
// rewritten for each row.
struct Partners {
    std::int32_t* symbols;  // ascending
    std::int32_t symbolCount;
    PartnerGroup* groups;  // the rows equal to the row first, then by symbol
    std::int32_t groupCount;
    std::uint64_t* key;     // work: one packed row
    std::uint64_t* hashes;  // work: one hash per symbol
};

// The index and L -> Partners with room for L symbols and L + 1 groups, in
// host scratch taken here once per walk.
Partners partnerLists(const RowIndex& index, std::int32_t L);

// Row `to` -> into partners, its symbols and groups: the rows equal to it,
// then for each symbol c the rows equal to it less c, when there are any.
void findPartners(const RowIndex& index, std::int32_t to, Partners& partners);

// Row `from` and a packed set of symbols (index.words words) -> into
// successors, the symbols of the set it lacks and groups: the rows equal to
// it, then for each such symbol c the rows equal to it plus c, when there
// are any.
void findSuccessors(const RowIndex& index, std::int32_t from, const std::uint64_t* addable, Partners& successors);

// The rows of one content, ascending: [first, end).
inline PartnerGroup contentGroup(const RowIndex& index, std::int32_t content, std::int32_t symbol) {
    return {index.rowsByContent + index.contentStart[content], index.rowsByContent + index.contentStart[content + 1],
            symbol};
}

// Groups of disjoint rows, each non-empty and ascending -> onRow(row, group)
// for every row of every group, rows ascending. Reorders and advances the
// groups.
template <class OnRow>
void mergeGroups(PartnerGroup* begin, PartnerGroup* end, OnRow&& onRow) {
    auto laterFront = [](const PartnerGroup& x, const PartnerGroup& y) { return *x.next > *y.next; };
    std::make_heap(begin, end, laterFront);
    while (end != begin) {
        std::pop_heap(begin, end, laterFront);
        PartnerGroup& group = end[-1];
        onRow(*group.next++, group);
        if (group.next == group.end) {
            --end;
        } else {
            std::push_heap(begin, end, laterFront);
        }
    }
}

// Row r's packed symbols (index.words words).
inline const std::uint64_t* packedRow(const RowIndex& index, std::int32_t r) {
    return index.bits + static_cast<std::int64_t>(r) * index.words;
}

#endif
