#include "transitions/row_index.hpp"

#include <algorithm>
#include <cstring>

#include "kernel/scratch.hpp"

namespace {

// Every bit of each word feeds every bit of the hash: the rows of a powerset
// differ in a few low bits, which must not crowd a few slots.
std::uint64_t mixBits(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

std::uint64_t hashRow(const std::uint64_t* row, std::int32_t words) {
    std::uint64_t h = 0x9e3779b97f4a7c15ULL;
    for (std::int32_t w = 0; w < words; ++w) h = mixBits(h ^ row[w]);
    return h;
}

// The slot holding key's content, or the empty slot where it would go; hash
// is hashRow of key.
ContentSlot& slotFor(const RowIndex& index, const std::uint64_t* key, std::uint64_t hash) {
    const std::size_t restBytes = static_cast<std::size_t>(index.words - 1) * sizeof(std::uint64_t);
    for (std::uint64_t s = hash & index.slotMask;; s = (s + 1) & index.slotMask) {
        ContentSlot& slot = index.slots[s];
        if (slot.contentPlusOne == 0) return slot;
        if (slot.firstWord != key[0]) continue;
        if (restBytes == 0) return slot;
        const std::uint64_t* held = packedRow(index, index.firstRowOf[slot.contentPlusOne - 1]);
        if (std::memcmp(held + 1, key + 1, restBytes) == 0) return slot;
    }
}

void packRows(const double* S, std::int32_t a, std::int32_t L, RowIndex& index, InterruptPoll& poll) {
    for (std::int32_t c = 0; c < L; ++c) {
        if (poll.stop(a)) return;
        const double* column = S + static_cast<std::int64_t>(c) * a;
        std::uint64_t* word = index.bits + c / 64;
        const int shift = c % 64;
        for (std::int32_t r = 1; r < a; ++r) {
            word[static_cast<std::int64_t>(r) * index.words] |= static_cast<std::uint64_t>(column[r] == 1.0) << shift;
        }
    }
}

// Numbers the contents by first row and lists each content's rows in
// ascending order (a counting sort over contentOf).
void groupRowsByContent(std::int32_t a, RowIndex& index, InterruptPoll& poll) {
    std::int32_t contents = 0;
    for (std::int32_t r = 1; r < a; ++r) {
        if (poll.stop(index.words)) return;
        const std::uint64_t* row = packedRow(index, r);
        ContentSlot& slot = slotFor(index, row, hashRow(row, index.words));
        if (slot.contentPlusOne == 0) {
            index.firstRowOf[contents] = r;
            slot = {row[0], ++contents};
        }
        index.contentOf[r] = slot.contentPlusOne - 1;
    }
    for (std::int32_t r = 1; r < a; ++r) ++index.contentStart[index.contentOf[r] + 1];
    for (std::int32_t k = 0; k < contents; ++k) index.contentStart[k + 1] += index.contentStart[k];
    // contentStart[k] walks forward while filling, ending where k+1 starts;
    // shifting it back one place restores the starts.
    for (std::int32_t r = 1; r < a; ++r) index.rowsByContent[index.contentStart[index.contentOf[r]]++] = r;
    std::copy_backward(index.contentStart, index.contentStart + contents, index.contentStart + contents + 1);
    index.contentStart[0] = 0;
    index.contentCount = contents;
}

// Appends to partners.groups, for each of its symbols c, the rows equal to
// `row` with c flipped, when there are any.
void findFlipped(const RowIndex& index, const std::uint64_t* row, Partners& partners) {
    std::uint64_t* key = partners.key;
    std::memcpy(key, row, static_cast<std::size_t>(index.words) * sizeof(std::uint64_t));
    // The slots of a large index are cache misses: start them all before
    // waiting on the first.
    for (std::int32_t m = 0; m < partners.symbolCount; ++m) {
        std::int32_t c = partners.symbols[m];
        key[c / 64] ^= std::uint64_t{1} << (c % 64);
        partners.hashes[m] = hashRow(key, index.words);
        key[c / 64] ^= std::uint64_t{1} << (c % 64);
        __builtin_prefetch(index.slots + (partners.hashes[m] & index.slotMask));
    }
    for (std::int32_t m = 0; m < partners.symbolCount; ++m) {
        std::int32_t c = partners.symbols[m];
        key[c / 64] ^= std::uint64_t{1} << (c % 64);
        std::int32_t flipped = slotFor(index, key, partners.hashes[m]).contentPlusOne - 1;
        key[c / 64] ^= std::uint64_t{1} << (c % 64);
        if (flipped >= 0) partners.groups[partners.groupCount++] = contentGroup(index, flipped, c);
    }
}

// Lists the set bits of words[0 .. count) as partners.symbols, ascending.
void listSymbols(const std::uint64_t* words, std::int32_t count, Partners& partners) {
    partners.symbolCount = 0;
    for (std::int32_t w = 0; w < count; ++w) {
        for (std::uint64_t rest = words[w]; rest != 0; rest &= rest - 1) {
            partners.symbols[partners.symbolCount++] = w * 64 + __builtin_ctzll(rest);
        }
    }
}

}  // namespace

bool holdsOnlyZerosAndOnes(const double* S, std::int32_t a, std::int32_t L, InterruptPoll& poll) {
    // Without a row past row 0 nothing is read, however many columns there are.
    if (a <= 1) return true;
    for (std::int32_t c = 0; c < L; ++c) {
        if (poll.stop(a)) return false;
        const double* column = S + static_cast<std::int64_t>(c) * a;
        // Random 0/1 entries defeat branch prediction: test a whole column
        // without branching on each entry.
        bool other = false;
        for (std::int32_t r = 1; r < a; ++r) other |= (column[r] != 0.0) & (column[r] != 1.0);
        if (other) return false;
    }
    return true;
}

RowIndex indexRows(const double* S, std::int32_t a, std::int32_t L, InterruptPoll& poll) {
    RowIndex index{};
    index.words = (L + 63) / 64;
    std::uint64_t slotCount = 2;
    while (slotCount < 2 * static_cast<std::uint64_t>(a)) slotCount *= 2;
    index.slotMask = slotCount - 1;
    index.bits = scratchArray<std::uint64_t>(static_cast<std::size_t>(a) * static_cast<std::size_t>(index.words));
    index.contentOf = scratchArray<std::int32_t>(static_cast<std::size_t>(a));
    index.firstRowOf = scratchArray<std::int32_t>(static_cast<std::size_t>(a));
    index.contentStart = scratchArray<std::int32_t>(static_cast<std::size_t>(a) + 1);
    index.rowsByContent = scratchArray<std::int32_t>(static_cast<std::size_t>(a));
    index.slots = scratchArray<ContentSlot>(static_cast<std::size_t>(slotCount));
    packRows(S, a, L, index, poll);
    groupRowsByContent(a, index, poll);
    return index;
}

Partners partnerLists(const RowIndex& index, std::int32_t L) {
    Partners partners{};
    partners.symbols = scratchArray<std::int32_t>(static_cast<std::size_t>(L));
    partners.groups = scratchArray<PartnerGroup>(static_cast<std::size_t>(L) + 1);
    partners.key = scratchArray<std::uint64_t>(static_cast<std::size_t>(index.words));
    partners.hashes = scratchArray<std::uint64_t>(static_cast<std::size_t>(L));
    return partners;
}

void findPartners(const RowIndex& index, std::int32_t to, Partners& partners) {
    const std::uint64_t* row = packedRow(index, to);
    listSymbols(row, index.words, partners);
    partners.groupCount = 0;
    partners.groups[partners.groupCount++] = contentGroup(index, index.contentOf[to], kSameContent);
    findFlipped(index, row, partners);
}

void findSuccessors(const RowIndex& index, std::int32_t from, const std::uint64_t* addable, Partners& successors) {
    const std::uint64_t* row = packedRow(index, from);
    std::uint64_t* lacking = successors.key;  // findFlipped overwrites it only once the symbols are listed
    for (std::int32_t w = 0; w < index.words; ++w) lacking[w] = addable[w] & ~row[w];
    listSymbols(lacking, index.words, successors);
    successors.groupCount = 0;
    successors.groups[successors.groupCount++] = contentGroup(index, index.contentOf[from], kSameContent);
    findFlipped(index, row, successors);
}
