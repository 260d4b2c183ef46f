// The max-product step of the most likely path, for vectors of `lanes`
// doubles, over either layout of the predecessor table, and the rescaling
// of a column by a power of two. Every state's weight is the heaviest of its
// terms, each rounded as the product of two doubles; the code beside it says
// which term (see decode/path.hpp). Internal to each copy's file, as the
// forward kernels are (forward/subset_step.hpp).
#ifndef DECODE_PATH_KERNELS_HPP
#define DECODE_PATH_KERNELS_HPP

#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include "decode/path_copies.hpp"
#include "forward/forward_steps.hpp"
#include "forward/lanes.hpp"

namespace {
namespace path_step {

constexpr std::int32_t kVectorsPerUnit = 4;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A block of kPathBlockStates states per pass over the columns, as in the
// forward subset step: a block of weights, of codes and of each
// predecessor's weights stay in the first-level cache. A column whose offset
// is a block or more is taken by all of a block's states or by none.
constexpr std::int64_t kBlock = kPathBlockStates;

// Every lane x (a broadcast; 0.0 + x is not x where x is -0.0, so the
// compilers do not fold that).
template <class V>
FORWARD_INLINE void splat(V& v, double x) {
    V out = {};
    for (std::size_t lane = 0; lane < sizeof(V) / sizeof(double); ++lane) out[lane] = x;
    v = out;
}

// A vector of codes as whole numbers: 32-bit ones, converted at once by
// every copy and narrowed, for the byte and half widths; 64-bit ones hold
// every 32-bit code.
template <std::int32_t lanes>
struct CodeLanes {
    typedef std::int32_t Whole __attribute__((vector_size(lanes * sizeof(std::int32_t))));
    typedef std::uint8_t Bytes __attribute__((vector_size(lanes)));
    typedef std::uint16_t Halves __attribute__((vector_size(lanes * sizeof(std::uint16_t))));
    typedef std::int64_t Wide __attribute__((vector_size(lanes * sizeof(std::int64_t))));
    typedef std::uint32_t Words __attribute__((vector_size(lanes * sizeof(std::uint32_t))));
};

// The codes of a vector of places into the step's trace row, of entries of
// type Code (one of the widths).
template <std::int32_t lanes, class Code, class V>
FORWARD_INLINE void storeCodes(Code* row, std::int64_t place, const V& code) {
    using Codes = CodeLanes<lanes>;
    if constexpr (sizeof(Code) == 4) {
        const auto words =
            __builtin_convertvector(__builtin_convertvector(code, typename Codes::Wide), typename Codes::Words);
        std::memcpy(row + place, &words, sizeof words);
    } else {
        const auto whole = __builtin_convertvector(code, typename Codes::Whole);
#if defined(__AVX512F__) && defined(__AVX512VL__)
        // The low byte or half of each lane in one instruction.
        if constexpr (lanes == 8) {
            const auto lanes32 = reinterpret_cast<const __m256i&>(whole);
            if constexpr (sizeof(Code) == 1) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(row + place), _mm256_maskz_cvtepi32_epi8(0xff, lanes32));
            } else {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + place), _mm256_maskz_cvtepi32_epi16(0xff, lanes32));
            }
            return;
        }
#elif defined(__AVX2__)
        // The low byte or half of each lane picked by one byte shuffle.
        if constexpr (lanes == 4) {
            const auto lanes32 = reinterpret_cast<const __m128i&>(whole);
            if constexpr (sizeof(Code) == 1) {
                const __m128i bytes = _mm_shuffle_epi8(
                    lanes32, _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
                const std::int32_t packed = _mm_cvtsi128_si32(bytes);
                std::memcpy(row + place, &packed, sizeof packed);
            } else {
                const __m128i halves =
                    _mm_shuffle_epi8(lanes32, _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(row + place), halves);
            }
            return;
        }
#endif
        const auto halves = __builtin_convertvector(whole, typename Codes::Halves);
        if constexpr (sizeof(Code) == 2) {
            std::memcpy(row + place, &halves, sizeof halves);
        } else {
            // Narrowed through halves: the compilers measured then pack
            // rather than move each lane's byte on its own.
            const auto bytes = __builtin_convertvector(halves, typename Codes::Bytes);
            std::memcpy(row + place, &bytes, sizeof bytes);
        }
    }
}

// Weights below the least normal double are lost to the rescaled column
// (the caller accounts for them): they become 0. Folds the kept ones into
// the column's largest and smallest positive weight.
template <class V>
FORWARD_INLINE void keepNormal(V& x, V& largest, V& smallest) {
    V infinity;
    splat(infinity, kInfinity);
    const auto kept = x >= 0x1p-1022;
    x = kept ? x : V{};
    largest = x > largest ? x : largest;
    const V positive = kept ? x : infinity;
    smallest = positive < smallest ? positive : smallest;
}

template <class V>
FORWARD_INLINE void writeStats(const V& largest, const V& smallest, ColumnStats* stats) {
    ColumnStats out{0.0, kInfinity};
    for (std::size_t lane = 0; lane < sizeof(V) / sizeof(double); ++lane) {
        out.largest = largest[lane] > out.largest ? largest[lane] : out.largest;
        out.smallestPositive = smallest[lane] < out.smallestPositive ? smallest[lane] : out.smallestPositive;
    }
    *stats = out;
}

// x, with 0 in the lanes past the last state (places n and beyond).
template <class M, class V>
FORWARD_INLINE void zeroPastStates(V& x, std::int64_t place, std::int32_t states) {
    M index;
    setLaneIndices(index);
    x = index + place < states ? x : V{};
}

// How a step holds the codes of a vector of places beside their weights,
// and chooses among candidates: codes as doubles, compared and selected as
// the weights are. Every copy keeps codes so wherever they pass through
// memory between columns.
template <std::int32_t lanes>
struct DoubleCodes {
    using V = typename LaneTypes<lanes>::Lanes;
    using M = typename LaneTypes<lanes>::Mask;
    using Codes = V;
    using Lanes = M;  // a choice of lanes

    static FORWARD_INLINE void splatCode(Codes& codes, double code) { splat(codes, code); }
    static FORWARD_INLINE void loadCodes(Codes& codes, const double* from) { std::memcpy(&codes, from, sizeof codes); }
    // The lanes of each vector whose index has the bit.
    static FORWARD_INLINE Lanes lanesWithBit(std::int64_t bit) {
        M index;
        setLaneIndices(index);
        return (index & bit) != 0;
    }
    // Where x outweighs the best so far (among the lanes `taking`).
    static FORWARD_INLINE Lanes heavier(const V& x, const V& best) { return x > best; }
    static FORWARD_INLINE Lanes heavierAmong(const Lanes& taking, const V& x, const V& best) {
        return taking & (x > best);
    }
    // Where the stay outweighs the best move, or weighs as much and comes
    // first (its code is the smaller).
    static FORWARD_INLINE Lanes stayWins(const V& stay, const V& best, const Codes& stayCode, const Codes& bestCode) {
        return (stay > best) | ((stay == best) & (stayCode < bestCode));
    }
    static FORWARD_INLINE void choose(const Lanes& chosen, const V& x, V& best, const Codes& code, Codes& bestCode) {
        best = chosen ? x : best;
        bestCode = chosen ? code : bestCode;
    }
    template <class Code>
    static FORWARD_INLINE void store(Code* row, std::int64_t place, const Codes& codes) {
        storeCodes<lanes>(row, place, codes);
    }
    static FORWARD_INLINE void keepNormalWeight(V& x, V& largest, V& smallest) { keepNormal(x, largest, smallest); }
};

// The codes a unit keeps in registers from its first move to what the step
// writes (stepUnits): as doubles, but with AVX-512 as 32-bit whole numbers
// in half-width vectors, chosen under mask registers, whose masked moves on
// them cost about half those on full-width ones; the step ran 10% faster.
template <std::int32_t lanes>
struct RegisterCodes : DoubleCodes<lanes> {};

#if defined(__AVX512F__) && defined(__AVX512VL__)
template <>
struct RegisterCodes<8> {
    using V = Lanes8;
    using Codes = __m256i;
    using Lanes = __mmask8;

    static FORWARD_INLINE void splatCode(Codes& codes, double code) {
        codes = _mm256_set1_epi32(static_cast<std::int32_t>(code));
    }
    static FORWARD_INLINE void loadCodes(Codes& codes, const double* from) {
        V doubles;
        std::memcpy(&doubles, from, sizeof doubles);
        codes = reinterpret_cast<Codes>(__builtin_convertvector(doubles, CodeLanes<8>::Whole));
    }
    static FORWARD_INLINE Lanes lanesWithBit(std::int64_t bit) {
        std::uint32_t lanes = 0;
        for (std::int32_t lane = 0; lane < 8; ++lane) lanes |= (lane & bit) != 0 ? 1u << lane : 0u;
        return static_cast<Lanes>(lanes);
    }
    static FORWARD_INLINE Lanes heavier(const V& x, const V& best) { return _mm512_cmp_pd_mask(x, best, _CMP_GT_OQ); }
    static FORWARD_INLINE Lanes heavierAmong(const Lanes& taking, const V& x, const V& best) {
        return _mm512_mask_cmp_pd_mask(taking, x, best, _CMP_GT_OQ);
    }
    static FORWARD_INLINE Lanes stayWins(const V& stay, const V& best, const Codes& stayCode, const Codes& bestCode) {
        const Lanes tied = _mm512_cmp_pd_mask(stay, best, _CMP_EQ_OQ);
        return _mm512_cmp_pd_mask(stay, best, _CMP_GT_OQ) | _mm256_mask_cmplt_epi32_mask(tied, stayCode, bestCode);
    }
    static FORWARD_INLINE void choose(const Lanes& chosen, const V& x, V& best, const Codes& code, Codes& bestCode) {
        best = _mm512_mask_mov_pd(best, chosen, x);
        bestCode = _mm256_mask_mov_epi32(bestCode, chosen, code);
    }
    // Bytes alone: stepUnits takes no more than 31 columns.
    template <class Code>
    static FORWARD_INLINE void store(Code* row, std::int64_t place, const Codes& codes) {
        static_assert(sizeof(Code) == 1, "codes kept in registers are bytes");
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row + place), _mm256_maskz_cvtepi32_epi8(0xff, codes));
    }
    static FORWARD_INLINE void keepNormalWeight(V& x, V& largest, V& smallest) {
        const Lanes kept = _mm512_cmp_pd_mask(x, _mm512_set1_pd(0x1p-1022), _CMP_GE_OQ);
        x = _mm512_maskz_mov_pd(kept, x);
        largest = x > largest ? x : largest;
        smallest = _mm512_mask_min_pd(smallest, kept, x, smallest);
    }
};
#endif

// Consecutive columns of one kind, taken with the weights and codes in
// registers: up to kGroup of offsets a block or more, a vector at a time
// (wholeBlock); up to kGroup of offsets below a unit (small) or kUnitGroup
// below a block (unit), a unit at a time; or one column between a unit and
// a block, whose states come in runs (run).
constexpr std::int32_t kGroup = 4;
constexpr std::int32_t kUnitGroup = 16;
enum class Kind { none, small, unit, wholeBlock, run };

// Where a column of `offset` goes. With 32 vector registers (8 lanes), the
// unit's weights and codes stay in registers across every column below a
// block; with 16, across those below a unit, the columns of a group one
// after the other, and the others go in runs: each of these ran the faster
// on its copy.
template <std::int32_t lanes>
constexpr Kind kindOf(std::int64_t offset) {
    if (offset >= kBlock) return Kind::wholeBlock;
    if (lanes >= 8) return Kind::unit;
    return offset < kVectorsPerUnit * lanes ? Kind::small : Kind::run;
}

struct Group {
    Kind kind;
    std::int32_t size;
    std::int64_t offset[kUnitGroup];
    double weight[kUnitGroup];
    double code[kUnitGroup];
};

// The block's weights and codes so far: in next and codes once begun, else
// 0 and none.
template <bool begun, class V>
FORWARD_INLINE void loadBest(const double* next, const double* codes, const V& none, V& acc, V& code) {
    if (!begun) {
        acc = V{};
        code = none;
        return;
    }
    std::memcpy(&acc, next, sizeof acc);
    std::memcpy(&code, codes, sizeof code);
}

// The move from place v - offset, by weight, kept where heavier than the
// best so far (in the lanes `taking`, when `masked`), the codes as Unit
// holds them.
template <class Unit, bool masked>
FORWARD_INLINE void takeMove(const double* previous, std::int64_t v, std::int64_t offset, double weight,
                             const typename Unit::Codes& code, const typename Unit::Lanes& taking,
                             typename Unit::V& acc, typename Unit::Codes& bestCode) {
    typename Unit::V x;
    std::memcpy(&x, previous + v - offset, sizeof x);
    x = x * weight;
    if constexpr (masked) {
        Unit::choose(Unit::heavierAmong(taking, x, acc), x, acc, code, bestCode);
    } else {
        Unit::choose(Unit::heavier(x, acc), x, acc, code, bestCode);
    }
}

// The group's `count` columns into arrays the compilers keep in registers,
// their codes and none as vectors.
template <std::int32_t count, class V>
FORWARD_INLINE void copyColumns(const Group& group, double noCode, std::int64_t* offset, double* weight, V* code,
                                V& none) {
    splat(none, noCode);
    for (std::int32_t g = 0; g < count; ++g) {
        offset[g] = group.offset[g];
        weight[g] = group.weight[g];
        splat(code[g], group.code[g]);
    }
}

// A group's columns as a unit takes them (kind unit): in a unit, vector i
// takes a column of offset `lanes` or more and below a unit when i has the
// bit offset / lanes, only some lanes of every vector take a smaller one, and
// all the unit's states or none one of a unit or more.
template <std::int32_t lanes>
struct UnitColumns {
    using V = typename LaneTypes<lanes>::Lanes;
    using M = typename LaneTypes<lanes>::Mask;
    enum class Reach : std::int32_t { someLanes, wholeVectors, wholeUnit };

    const Group* group;
    M taking[kUnitGroup];
    Reach reach[kUnitGroup];
    std::int32_t vectors[kUnitGroup];  // bit i: vector i of a unit takes the column whole
    V code[kUnitGroup];

    explicit FORWARD_INLINE UnitColumns(const Group& g) : group(&g) {
        constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
        M laneIndex;
        setLaneIndices(laneIndex);
        for (std::int32_t c = 0; c < g.size; ++c) {
            const std::int64_t offset = g.offset[c];
            splat(code[c], g.code[c]);
            taking[c] = (laneIndex & offset) != 0;
            reach[c] = offset < lanes ? Reach::someLanes : offset < kUnit ? Reach::wholeVectors : Reach::wholeUnit;
            vectors[c] = 0;
            for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) vectors[c] |= ((i * lanes) & offset) != 0 ? 1 << i : 0;
        }
    }

    // The columns' moves into the best of the unit's vectors so far.
    FORWARD_INLINE void take(const double* previous, std::int64_t unit, V* acc, V* best) const {
        for (std::int32_t c = 0; c < group->size; ++c) {
            const std::int64_t offset = group->offset[c];
            const double weight = group->weight[c];
            switch (reach[c]) {
                case Reach::someLanes:
#pragma GCC unroll 4
                    for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                        takeMove<DoubleCodes<lanes>, true>(previous, unit + i * lanes, offset, weight, code[c],
                                                           taking[c], acc[i], best[i]);
                    }
                    break;
                case Reach::wholeVectors:
#pragma GCC unroll 4
                    for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                        if (vectors[c] & (1 << i)) {
                            takeMove<DoubleCodes<lanes>, false>(previous, unit + i * lanes, offset, weight, code[c],
                                                                taking[c], acc[i], best[i]);
                        }
                    }
                    break;
                case Reach::wholeUnit:
                    if ((unit & offset) == 0) break;
#pragma GCC unroll 4
                    for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                        takeMove<DoubleCodes<lanes>, false>(previous, unit + i * lanes, offset, weight, code[c],
                                                            taking[c], acc[i], best[i]);
                    }
                    break;
            }
        }
    }
};

// The units of [low, high): each unit's weights and codes (none where
// not begun) loaded into registers, handed to take(unit, acc, best), and
// stored back into next and codes.
template <std::int32_t lanes, bool begun, class V, class Take>
FORWARD_INLINE void forEachUnit(const V& none, double* next, double* codes, std::int64_t low, std::int64_t high,
                                Take take) {
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    for (std::int64_t unit = low; unit < high; unit += kUnit) {
        V acc[kVectorsPerUnit], best[kVectorsPerUnit];
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            loadBest<begun>(next + unit + i * lanes, codes + (unit - low) + i * lanes, none, acc[i], best[i]);
        }
        take(unit, acc, best);
#pragma GCC unroll 4
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
            std::memcpy(next + unit + i * lanes, &acc[i], sizeof(V));
            std::memcpy(codes + (unit - low) + i * lanes, &best[i], sizeof(V));
        }
    }
}

// A unit group's columns over the units of [low, high), the unit's weights
// and codes in registers across them.
template <std::int32_t lanes, bool begun>
FORWARD_INLINE void takeUnitGroup(const Group& group, double noCode, const double* previous, double* next,
                                  double* codes, std::int64_t low, std::int64_t high) {
    using V = typename LaneTypes<lanes>::Lanes;
    const UnitColumns<lanes> columns(group);
    V none;
    splat(none, noCode);
    forEachUnit<lanes, begun>(none, next, codes, low, high,
                              [&](std::int64_t unit, V* acc, V* best) { columns.take(previous, unit, acc, best); });
}

// Columns of offsets below a unit over the units of [low, high), `count`
// of them: in a unit, vector i takes a column of offset `lanes` or more when
// i has the bit offset / lanes, and only some lanes of every vector take a
// smaller one.
template <std::int32_t lanes, std::int32_t count, bool begun>
FORWARD_INLINE void takeSmallGroup(const Group& group, double noCode, const double* previous, double* next,
                                   double* codes, std::int64_t low, std::int64_t high) {
    using V = typename LaneTypes<lanes>::Lanes;
    using M = typename LaneTypes<lanes>::Mask;
    M laneIndex;
    setLaneIndices(laneIndex);
    M taking[count];
    bool masked[count];
    std::int32_t vectors[count];  // bit i: vector i of a unit takes the column whole
    std::int64_t offset[count];
    double weight[count];
    V code[count], none;
    copyColumns<count>(group, noCode, offset, weight, code, none);
    for (std::int32_t g = 0; g < count; ++g) {
        taking[g] = (laneIndex & offset[g]) != 0;
        masked[g] = offset[g] < lanes;
        vectors[g] = 0;
        for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) vectors[g] |= ((i * lanes) & offset[g]) != 0 ? 1 << i : 0;
    }
    forEachUnit<lanes, begun>(none, next, codes, low, high, [&](std::int64_t unit, V* acc, V* best) {
#pragma GCC unroll 4
        for (std::int32_t g = 0; g < count; ++g) {
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                const std::int64_t v = unit + i * lanes;
                if (masked[g]) {
                    takeMove<DoubleCodes<lanes>, true>(previous, v, offset[g], weight[g], code[g], taking[g], acc[i],
                                                       best[i]);
                } else if (vectors[g] & (1 << i)) {
                    takeMove<DoubleCodes<lanes>, false>(previous, v, offset[g], weight[g], code[g], taking[g], acc[i],
                                                        best[i]);
                }
            }
        }
    });
}

// Columns every state of [low, high) takes, `count` of them.
template <std::int32_t lanes, std::int32_t count, bool begun>
FORWARD_INLINE void takeWholeBlockGroup(const Group& group, double noCode, const double* previous, double* next,
                                        double* codes, std::int64_t low, std::int64_t high) {
    using V = typename LaneTypes<lanes>::Lanes;
    using M = typename LaneTypes<lanes>::Mask;
    std::int64_t offset[count];
    double weight[count];
    V code[count], none;
    copyColumns<count>(group, noCode, offset, weight, code, none);
    for (std::int64_t v = low; v < high; v += lanes) {
        V acc, best;
        loadBest<begun>(next + v, codes + (v - low), none, acc, best);
#pragma GCC unroll 4
        for (std::int32_t g = 0; g < count; ++g)
            takeMove<DoubleCodes<lanes>, false>(previous, v, offset[g], weight[g], code[g], M{}, acc, best);
        std::memcpy(next + v, &acc, sizeof acc);
        std::memcpy(codes + (v - low), &best, sizeof best);
    }
}

// One column whose offset lies between a unit and a block: the states with
// its bit come in runs of offset states, every 2 x offset (the block begun),
// whole units each.
template <std::int32_t lanes>
FORWARD_INLINE void takeRun(const Group& group, const double* previous, double* next, double* codes, std::int64_t low,
                            std::int64_t high) {
    using V = typename LaneTypes<lanes>::Lanes;
    using M = typename LaneTypes<lanes>::Mask;
    const std::int64_t offset = group.offset[0];
    const double weight = group.weight[0];
    V code;
    splat(code, group.code[0]);
    for (std::int64_t run = (low & -(2 * offset)) + offset; run < high; run += 2 * offset) {
        const std::int64_t from = run > low ? run : low, to = run + offset < high ? run + offset : high;
        for (std::int64_t unit = from; unit < to; unit += kVectorsPerUnit * lanes) {
#pragma GCC unroll 4
            for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                const std::int64_t v = unit + i * lanes;
                V acc, best;
                loadBest<true>(next + v, codes + (v - low), code, acc, best);
                takeMove<DoubleCodes<lanes>, false>(previous, v, offset, weight, code, M{}, acc, best);
                std::memcpy(next + v, &acc, sizeof acc);
                std::memcpy(codes + (v - low), &best, sizeof best);
            }
        }
    }
}

// take(count) with the group's size as a constant, 1 .. kGroup.
template <class Take>
FORWARD_INLINE void bySize(std::int32_t size, Take take) {
    switch (size) {
        case 1: take(std::integral_constant<std::int32_t, 1>{}); break;
        case 2: take(std::integral_constant<std::int32_t, 2>{}); break;
        case 3: take(std::integral_constant<std::int32_t, 3>{}); break;
        case kGroup: take(std::integral_constant<std::int32_t, kGroup>{}); break;
    }
}

template <std::int32_t lanes, bool begun>
FORWARD_INLINE void takeGroupBegun(const Group& group, double noCode, const double* previous, double* next,
                                   double* codes, std::int64_t low, std::int64_t high) {
    switch (group.kind) {
        case Kind::small:
            bySize(group.size, [&](auto count) {
                takeSmallGroup<lanes, decltype(count)::value, begun>(group, noCode, previous, next, codes, low, high);
            });
            break;
        case Kind::unit: takeUnitGroup<lanes, begun>(group, noCode, previous, next, codes, low, high); break;
        case Kind::run: takeRun<lanes>(group, previous, next, codes, low, high); break;
        case Kind::wholeBlock:
            bySize(group.size, [&](auto count) {
                takeWholeBlockGroup<lanes, decltype(count)::value, begun>(group, noCode, previous, next, codes, low,
                                                                          high);
            });
            break;
        case Kind::none: break;
    }
}

// A group's columns over the places [low, high) of the block whose codes
// are at codes[0]; unless begun, the block's weights and codes start here.
template <std::int32_t lanes>
FORWARD_INLINE void takeGroup(const Group& group, bool begun, double noCode, const double* previous, double* next,
                              double* codes, std::int64_t low, std::int64_t high) {
    if (begun) {
        takeGroupBegun<lanes, true>(group, noCode, previous, next, codes, low, high);
    } else {
        takeGroupBegun<lanes, false>(group, noCode, previous, next, codes, low, high);
    }
}

// The stays of a unit and what the step writes for it, from the best moves
// of its vectors (bestOf(i, acc, code) gives vector i's): each place's
// weight (0 below the least normal double, 0 past the last state unless
// `whole`), its code into row, and the column's largest and smallest
// positive weight, a chain for each vector of a unit, the codes as Unit
// holds them. The unit's best stay is looked up by the least rank among its
// columns a unit or more apart: the block's (blockRank) and the unit's own
// (s.unitRank).
template <class Unit, bool whole, class Code, class BestOf, class V>
FORWARD_INLINE void finishUnit(const PathStepWeights& s, std::int32_t blockRank, const double* previous, double* next,
                               Code* row, std::int64_t unit, std::int32_t states, BestOf bestOf, V* largest,
                               V* smallest) {
    constexpr std::int32_t lanes = sizeof(V) / sizeof(double);
    using M = typename LaneTypes<lanes>::Mask;
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    const std::int32_t rank = s.unitRank[(unit & (kBlock - 1)) / kUnit];
    const std::int64_t stays = std::int64_t{rank < blockRank ? rank : blockRank} * kUnit;
#pragma GCC unroll 4
    for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
        const std::int64_t v = unit + i * lanes;
        V weight, own, stayWeight;
        typename Unit::Codes code, stayCode;
        bestOf(i, weight, code);
        std::memcpy(&own, previous + v, sizeof own);
        std::memcpy(&stayWeight, s.stayWeight + stays + i * lanes, sizeof(V));
        Unit::loadCodes(stayCode, s.stayCode + stays + i * lanes);
        const V stay = own * stayWeight;
        Unit::choose(Unit::stayWins(stay, weight, stayCode, code), stay, weight, stayCode, code);
        if (!whole) zeroPastStates<M>(weight, v, states);
        Unit::keepNormalWeight(weight, largest[i], smallest[i]);
        std::memcpy(next + v, &weight, sizeof weight);
        Unit::store(row, v, code);
    }
}

// finishUnit over the units of [low, high), their best moves in next and
// codes (once begun).
template <std::int32_t lanes, bool begun, bool whole, class Code, class V>
FORWARD_INLINE void finishUnits(const PathStepWeights& s, std::int32_t blockRank, const double* previous, double* next,
                                const double* codes, Code* row, std::int64_t low, std::int64_t high,
                                std::int32_t states, V* largest, V* smallest) {
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    V none;
    splat(none, s.noCode);
    for (std::int64_t unit = low; unit < high; unit += kUnit) {
        const auto fromMemory = [&](std::int32_t i, V& acc, V& code) {
            loadBest<begun>(next + unit + i * lanes, codes + (unit - low) + i * lanes, none, acc, code);
        };
        finishUnit<DoubleCodes<lanes>, whole>(s, blockRank, previous, next, row, unit, states, fromMemory, largest,
                                              smallest);
    }
}

template <std::int32_t lanes, bool begun, class Code, class V>
FORWARD_INLINE void finishBlock(const PathStepWeights& s, std::int32_t blockRank, const double* previous, double* next,
                                const double* codes, Code* row, std::int64_t low, std::int64_t high,
                                std::int32_t states, V* largest, V* smallest) {
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    // Every unit but one past the last state has only states in it.
    const std::int64_t whole = high <= states ? high : low + (states - low) / kUnit * kUnit;
    finishUnits<lanes, begun, true>(s, blockRank, previous, next, codes, row, low, whole, states, largest, smallest);
    finishUnits<lanes, begun, false>(s, blockRank, previous, next, codes + (whole - low), row, whole, high, states,
                                     largest, smallest);
}

// Whether the offsets grow with k: then the columns a unit takes, in
// ascending k, are those of its bits from the lowest up.
FORWARD_INLINE bool offsetsAscend(const SubsetOffsets& offsets) {
    for (std::int32_t k = 1; k < offsets.columns; ++k) {
        if (offsets.offset[k] <= offsets.offset[k - 1]) return false;
    }
    return true;
}

// The least rank among the columns a block or more apart whose bit the
// block at `low` has (K where none).
FORWARD_INLINE std::int32_t blockRankOf(const SubsetOffsets& offsets, const PathStepWeights& s, std::int64_t low) {
    std::int32_t rank = offsets.columns;
    for (std::int32_t k = 0; k < offsets.columns; ++k) {
        if (offsets.offset[k] >= kBlock && (low & offsets.offset[k]) != 0 && s.columnRank[k] < rank) {
            rank = s.columnRank[k];
        }
    }
    return rank;
}

// Every column of a table whose offsets ascend (offsetsAscend) a unit at a
// time over [first, end), the unit's weights and codes in registers from its
// first move to what the step writes: the columns of offsets below a vector
// by some lanes of every vector, those below a unit by whole vectors, and
// from a unit on, over the unit's bits from the lowest, by the whole unit.
// Code is the byte: no more than 31 offsets ascend.
template <std::int32_t lanes, class Code, class V>
FORWARD_INLINE void stepUnits(const SubsetOffsets& offsets, const PathStepWeights& s, const double* previous,
                              double* next, Code* row, std::int64_t first, std::int64_t end, std::int32_t states,
                              V* largest, V* smallest) {
    using Unit = RegisterCodes<lanes>;
    using Codes = typename Unit::Codes;
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    constexpr std::int32_t kUnitBits = __builtin_ctz(kUnit);
    // By the bit of its offset: each column's weight and code.
    double weight[32];
    Codes code[32];
    std::int64_t bits = 0;
    for (std::int32_t k = 0; k < offsets.columns; ++k) {
        const std::int32_t bit = __builtin_ctz(static_cast<std::uint32_t>(offsets.offset[k]));
        weight[bit] = s.columnWeight[k];
        Unit::splatCode(code[bit], 2.0 * k);
        bits |= offsets.offset[k];
    }
    Codes none;
    Unit::splatCode(none, s.noCode);
    for (std::int64_t low = first; low < end; low += kBlock) {
        const std::int64_t high = low + kBlock < end ? low + kBlock : end;
        const std::int32_t blockRank = blockRankOf(offsets, s, low);
        for (std::int64_t unit = low; unit < high; unit += kUnit) {
            V acc[kVectorsPerUnit];
            Codes best[kVectorsPerUnit];
            for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                acc[i] = V{};
                best[i] = none;
            }
#pragma GCC unroll 8
            for (std::int32_t bit = 0; bit < kUnitBits; ++bit) {
                const std::int64_t offset = std::int64_t{1} << bit;
                if ((bits & offset) == 0) continue;
                const typename Unit::Lanes taking = Unit::lanesWithBit(offset);
#pragma GCC unroll 4
                for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                    const std::int64_t v = unit + i * lanes;
                    if (offset < lanes) {
                        takeMove<Unit, true>(previous, v, offset, weight[bit], code[bit], taking, acc[i], best[i]);
                    } else if ((i * lanes) & offset) {
                        takeMove<Unit, false>(previous, v, offset, weight[bit], code[bit], taking, acc[i], best[i]);
                    }
                }
            }
            for (std::uint64_t taken = static_cast<std::uint64_t>(unit & bits); taken != 0; taken &= taken - 1) {
                const std::int32_t bit = __builtin_ctzll(taken);
#pragma GCC unroll 4
                for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
                    takeMove<Unit, false>(previous, unit + i * lanes, std::int64_t{1} << bit, weight[bit], code[bit],
                                          typename Unit::Lanes{}, acc[i], best[i]);
                }
            }
            const auto inRegisters = [&](std::int32_t i, V& a, Codes& c) {
                a = acc[i];
                c = best[i];
            };
            if (unit + kUnit <= states) {
                finishUnit<Unit, true>(s, blockRank, previous, next, row, unit, states, inRegisters, largest, smallest);
            } else {
                finishUnit<Unit, false>(s, blockRank, previous, next, row, unit, states, inRegisters, largest,
                                        smallest);
            }
        }
    }
}

}  // namespace path_step

// Step t of the places [first, last) (first a multiple of a unit, the unit
// holding last - 1 written whole) into next from step t - 1 in previous, in
// the subset layout; the codes into s.codes, entries of type Code; the
// column's largest and smallest positive weight over the places below
// `states` into *stats. A block at a time: the moves of the columns in
// ascending k, consecutive columns of one kind together (see Kind), the
// block's codes in a buffer of its own; then each unit's stays.
template <std::int32_t lanes, class Code>
FORWARD_INLINE void subsetPathStep(const SubsetOffsets& offsets, const PathStepWeights& s, const double* previous,
                                   double* next, std::int32_t first, std::int32_t last, std::int32_t states,
                                   ColumnStats* stats) {
    using namespace path_step;
    using V = typename LaneTypes<lanes>::Lanes;
    constexpr std::int64_t kUnit = kVectorsPerUnit * lanes;
    Code* const row = static_cast<Code*>(s.codes);
    const std::int64_t end = (static_cast<std::int64_t>(last) + kUnit - 1) / kUnit * kUnit;
    alignas(64) double codes[kBlock];
    V largest[kVectorsPerUnit], smallest[kVectorsPerUnit];
    for (std::int32_t i = 0; i < kVectorsPerUnit; ++i) {
        largest[i] = V{};
        splat(smallest[i], kInfinity);
    }
    // Where the offsets ascend, a unit's weights and codes need never leave
    // the registers: on every copy that ran faster than the blocks below
    // (AVX-512 1.2x, AVX2 1.2x, the baseline alike).
    bool inRegisters = false;
    if constexpr (sizeof(Code) == 1) {
        inRegisters = offsetsAscend(offsets);
        if (inRegisters) stepUnits<lanes>(offsets, s, previous, next, row, first, end, states, largest, smallest);
    }
    for (std::int64_t low = first; low < end && !inRegisters; low += kBlock) {
        const std::int64_t high = low + kBlock < end ? low + kBlock : end;
        bool begun = false;
        std::int32_t blockRank = offsets.columns;
        Group group;
        group.kind = Kind::none;
        group.size = 0;
        for (std::int32_t k = 0; k <= offsets.columns; ++k) {
            Kind kind = Kind::none;
            std::int64_t offset = 0;
            if (k < offsets.columns) {
                offset = offsets.offset[k];
                kind = kindOf<lanes>(offset);
                if (kind == Kind::wholeBlock) {
                    if ((low & offset) == 0) continue;
                    blockRank = s.columnRank[k] < blockRank ? s.columnRank[k] : blockRank;
                }
            }
            const std::int32_t most = group.kind == Kind::unit ? kUnitGroup : group.kind == Kind::run ? 1 : kGroup;
            if (group.size > 0 && (kind != group.kind || group.size == most)) {
                takeGroup<lanes>(group, begun, s.noCode, previous, next, codes, low, high);
                begun = true;
                group.size = 0;
            }
            if (k == offsets.columns) break;
            group.kind = kind;
            group.offset[group.size] = offset;
            group.weight[group.size] = s.columnWeight[k];
            group.code[group.size] = 2.0 * k;
            ++group.size;
            if (kind == Kind::run && !begun) {
                for (std::int64_t v = low; v < high; ++v) {
                    next[v] = 0.0;
                    codes[v - low] = s.noCode;
                }
                begun = true;
            }
        }
        if (begun) {
            finishBlock<lanes, true>(s, blockRank, previous, next, codes, row, low, high, states, largest, smallest);
        } else {
            finishBlock<lanes, false>(s, blockRank, previous, next, codes, row, low, high, states, largest, smallest);
        }
    }
    for (std::int32_t i = 1; i < kVectorsPerUnit; ++i) {
        largest[0] = largest[i] > largest[0] ? largest[i] : largest[0];
        smallest[0] = smallest[i] < smallest[0] ? smallest[i] : smallest[0];
    }
    writeStats(largest[0], smallest[0], stats);
}

// The same step over lane terms: each lane of a group of kLaneGroup places
// takes its terms in ascending k on a chain of its own, the heaviest move and
// the heaviest symbol for the stay together.
template <class Code>
FORWARD_INLINE void lanePathStep(const LaneTerms& terms, const PathStepWeights& s, const double* previous, double* next,
                                 std::int32_t first, std::int32_t last, ColumnStats* stats) {
    using namespace path_step;
    Code* const row = static_cast<Code*>(s.codes);
    double largest = 0.0, smallest = kInfinity;
    const std::int64_t groupEnd = (static_cast<std::int64_t>(last) + kLaneGroup - 1) / kLaneGroup;
    for (std::int64_t group = first / kLaneGroup; group < groupEnd; ++group) {
        const std::int64_t place = group * kLaneGroup;
        double acc[kLaneGroup], code[kLaneGroup], stayWeight[kLaneGroup], stayCode[kLaneGroup];
        std::int32_t remaining[kLaneGroup];
        for (std::int32_t lane = 0; lane < kLaneGroup; ++lane) {
            acc[lane] = 0.0;
            code[lane] = s.noCode;
            stayWeight[lane] = -1.0;
            stayCode[lane] = s.noCode;
            remaining[lane] = terms.termCount[place + lane];
        }
        double term = 0.0;
        for (std::int64_t slot = terms.groupStart[group]; slot < terms.groupStart[group + 1]; slot += kLaneGroup) {
#pragma GCC unroll 8
            for (std::int32_t lane = 0; lane < kLaneGroup; ++lane) {
                if (remaining[lane]-- <= 0) continue;
                const double weight = s.observations[terms.symbol[slot + lane]];
                const double x = previous[terms.predecessor[slot + lane]] * weight;
                if (x > acc[lane]) {
                    acc[lane] = x;
                    code[lane] = 2.0 * term;
                }
                if (weight > stayWeight[lane]) {
                    stayWeight[lane] = weight;
                    stayCode[lane] = 2.0 * term + 1.0;
                }
            }
            term += 1.0;
        }
        for (std::int32_t lane = 0; lane < kLaneGroup; ++lane) {
            const double stay = previous[place + lane] * stayWeight[lane];
            if (stay > acc[lane] || (stay == acc[lane] && stayCode[lane] < code[lane])) {
                acc[lane] = stay;
                code[lane] = stayCode[lane];
            }
            // Places past the last state have no terms and stay at 0.
            const double weight = acc[lane] >= 0x1p-1022 ? acc[lane] : 0.0;
            largest = weight > largest ? weight : largest;
            smallest = weight > 0.0 && weight < smallest ? weight : smallest;
            next[place + lane] = weight;
            row[place + lane] = static_cast<Code>(static_cast<std::uint32_t>(code[lane]));
        }
    }
    *stats = {largest, smallest};
}

// column[j] x up x down for the places [first, last) (first a multiple of
// kStateUnit, the unit holding last - 1 scaled whole, as the steps write
// it), up and down powers of two (one of them 1): exact wherever the result
// stays normal; a result below the least normal double becomes 0. The
// largest and smallest positive result over the places below `states` into
// *stats.
template <std::int32_t lanes>
FORWARD_INLINE void scaleColumn(double* column, std::int32_t first, std::int32_t last, std::int32_t states, double up,
                                double down, ColumnStats* stats) {
    using namespace path_step;
    using V = typename LaneTypes<lanes>::Lanes;
    using M = typename LaneTypes<lanes>::Mask;
    const std::int64_t end = (static_cast<std::int64_t>(last) + kStateUnit - 1) / kStateUnit * kStateUnit;
    V largest = {}, smallest;
    splat(smallest, kInfinity);
    for (std::int64_t place = first; place < end; place += lanes) {
        V x;
        std::memcpy(&x, column + place, sizeof x);
        x = x * up;
        x = x * down;
        zeroPastStates<M>(x, place, states);
        keepNormal(x, largest, smallest);
        std::memcpy(column + place, &x, sizeof x);
    }
    writeStats(largest, smallest, stats);
}

// The kernels of one copy as plain functions.
template <std::int32_t lanes>
struct PathCopyOf {
    template <class Code>
    static void subset(const SubsetOffsets& offsets, const PathStepWeights& s, const double* previous, double* next,
                       std::int32_t first, std::int32_t last, std::int32_t states, ColumnStats* stats) {
        subsetPathStep<lanes, Code>(offsets, s, previous, next, first, last, states, stats);
    }
    template <class Code>
    static void lane(const LaneTerms& terms, const PathStepWeights& s, const double* previous, double* next,
                     std::int32_t first, std::int32_t last, ColumnStats* stats) {
        lanePathStep<Code>(terms, s, previous, next, first, last, stats);
    }
    static void scale(double* column, std::int32_t first, std::int32_t last, std::int32_t states, double up,
                      double down, ColumnStats* stats) {
        scaleColumn<lanes>(column, first, last, states, up, down, stats);
    }
    static constexpr PathCopy kernels = {path_step::kVectorsPerUnit * lanes,
                                         {subset<std::uint8_t>, subset<std::uint16_t>, subset<std::uint32_t>},
                                         {lane<std::uint8_t>, lane<std::uint16_t>, lane<std::uint32_t>},
                                         scale};
};

}  // namespace

#endif
