#include "assembly/matrix_from_states.hpp"

#include <algorithm>
#include <cstring>

#include "kernel/interrupt.hpp"
#include "kernel/scratch.hpp"
#include "parallel/fork_join.hpp"

namespace {

// Columns from which a second thread gains more than it costs.
constexpr std::int64_t kThreadedColumns = 1 << 13;

// Listed symbols checked so far between two polls.
constexpr std::int64_t kListBlock = 1 << 16;

// Whether row holds symbol, as 0 or 1.
std::uint64_t holds(const std::uint64_t* row, std::int32_t symbol) { return (row[symbol / 64] >> (symbol % 64)) & 1U; }

// x when take is 1, y when it is 0, bit for bit: a mask rather than a
// branch, which mispredicts where take is a coin toss.
double select(std::uint64_t take, double x, double y) {
    std::uint64_t xBits, yBits;
    std::memcpy(&xBits, &x, sizeof x);
    std::memcpy(&yBits, &y, sizeof y);
    const std::uint64_t chosen = (xBits & (0 - take)) | (yBits & (take - 1));
    double result;
    std::memcpy(&result, &chosen, sizeof result);
    return result;
}

// Rows 2..n of S hold an entry other than 0 and 1: fills fault with the
// first, column by column.
void setEntryFault(const ArrayView& S, Fault* fault) {
    for (std::int32_t c = 0; c < S.cols; ++c) {
        const double* column = S.data + static_cast<std::int64_t>(c) * S.rows;
        for (std::int32_t r = 1; r < S.rows; ++r) {
            if (column[r] == 0.0 || column[r] == 1.0) continue;
            setFault(*fault, "notZeroOne", "S", "entry (%d, %d) must be 0 or 1; found %.17g.", r + 1, c + 1, column[r]);
            return;
        }
    }
}

// The listed symbols, 0-based: the list's, or every symbol once.
struct Listed {
    std::int32_t* symbols;
    std::int64_t count;
};

Listed listedSymbols(const StatesAssemblyInputs& in) {
    const std::int64_t count = in.listGiven ? in.symbolList.count : in.states.cols;
    auto* symbols = scratchArray<std::int32_t>(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        symbols[i] = in.listGiven ? static_cast<std::int32_t>(in.symbolList.data[i]) - 1 : static_cast<std::int32_t>(i);
    }
    return {symbols, count};
}

// Each content's sum of the listed weights of the symbols it holds, from
// 0.0 in list order: the weights the codes of its SameState pairs add.
void sumByContent(const StatesColumns& columns, const Listed& listed, const double* w, CallStop& stop) {
    const RowIndex& index = columns.index;
    splitWork(columns.threads, [&](std::int32_t share, std::int32_t shares) {
        const std::int32_t end = shareStart(index.contentCount, share + 1, shares);
        for (std::int32_t k = shareStart(index.contentCount, share, shares); k < end; ++k) {
            if (share == 0 ? stop.check(listed.count + 1) : stop.stopped()) return;
            const std::uint64_t* row = packedRow(index, index.firstRowOf[k]);
            double sum = 0.0;
            for (std::int64_t i = 0; i < listed.count; ++i) {
                sum = select(holds(row, listed.symbols[i]), sum + w[listed.symbols[i]], sum);
            }
            columns.contentSums[k] = sum;
        }
    });
}

// The sum a group's cells receive.
double groupSum(const StatesColumns& columns, const PartnerGroup& group, std::int32_t from) {
    if (group.symbol == kSameContent) return columns.contentSums[columns.index.contentOf[from]];
    return columns.addedSums[group.symbol];
}

// Calls column(j, partners) for each column j on the threads of columns,
// the rows of S state j + 1 moves to being in the partner groups; the
// calling thread polls for Ctrl-C, and every thread stops once it is seen.
template <class Column>
void forEachColumn(const StatesColumns& columns, CallStop& stop, Column&& column) {
    // A column costs a lookup per symbol it lacks, and its entries.
    const std::int64_t columnWork = std::int64_t{64} * columns.index.words + 1;
    splitWork(columns.threads, [&](std::int32_t share, std::int32_t shares) {
        Partners partners = columns.partners[share];
        const std::int32_t end = shareStart(columns.size, share + 1, shares);
        for (std::int32_t j = shareStart(columns.size, share, shares); j < end; ++j) {
            if (share == 0 ? stop.check(columnWork) : stop.stopped()) return;
            findSuccessors(columns.index, j + 1, columns.addable, partners);
            column(j, partners);
        }
    });
}

}  // namespace

bool checkStatesAssemblyInputs(const StatesAssemblyInputs& in, Fault* fault) {
    const ArrayView& S = in.states;
    InterruptPoll poll;
    if (!holdsOnlyZerosAndOnes(S.data, S.rows, S.cols, poll)) {
        if (poll.stopped()) {
            setInterrupted(*fault);
        } else {
            setEntryFault(S, fault);
        }
        return false;
    }
    if (in.weights.count != S.cols) {
        setFault(*fault, "badWeights", "w", "must hold exactly L = %d elements, one per column of S; found %lld.",
                 S.cols, static_cast<long long>(in.weights.count));
        return false;
    }
    const std::int64_t listed = in.listGiven ? in.symbolList.count : 0;
    for (std::int64_t i = 0; i < listed; ++i) {
        if (i % kListBlock == 0 && poll.stop(kListBlock)) {
            setInterrupted(*fault);
            return false;
        }
        const double symbol = in.symbolList.data[i];
        if (isWholeInRange(symbol, 1.0, S.cols)) continue;
        setFault(*fault, "badSymbol", "list", "element %lld must be a whole number from 1 to L = %d; found %.17g.",
                 static_cast<long long>(i + 1), S.cols, symbol);
        return false;
    }
    return true;
}

bool countStatesColumns(const StatesAssemblyInputs& in, StatesColumns* out, Fault* fault) {
    const std::int32_t n = in.states.rows;
    const std::int32_t L = in.states.cols;
    const double* w = in.weights.data;
    StatesColumns columns{};
    columns.size = n > 1 ? n - 1 : 0;
    columns.columnStart = scratchArray<std::int64_t>(static_cast<std::size_t>(columns.size) + 1);
    const Listed listed = listedSymbols(in);
    columns.addedSums = scratchArray<double>(static_cast<std::size_t>(L));
    for (std::int64_t i = 0; i < listed.count; ++i) {
        double& sum = columns.addedSums[listed.symbols[i]];
        sum = sum + w[listed.symbols[i]];
    }
    columns.addable = scratchArray<std::uint64_t>(static_cast<std::size_t>((L + 63) / 64));
    for (std::int32_t c = 0; c < L; ++c) {
        if (columns.addedSums[c] != 0.0) columns.addable[c / 64] |= std::uint64_t{1} << (c % 64);
    }
    // Without a listed symbol no cell receives a weight.
    if (columns.size == 0 || listed.count == 0) {
        *out = columns;
        return true;
    }

    CallStop stop;
    columns.index = indexRows(in.states.data, n, L, stop.poll);
    columns.threads = teamSize(columns.size, kThreadedColumns, in.threads);
    for (std::int32_t t = 0; t < columns.threads; ++t) columns.partners[t] = partnerLists(columns.index, L);
    columns.contentSums = scratchArray<double>(static_cast<std::size_t>(columns.index.contentCount));
    // An index that Ctrl-C left incomplete is never looked into.
    if (!stop.check(0)) sumByContent(columns, listed, w, stop);
    std::int64_t* counts = columns.columnStart + 1;
    if (!stop.stopped()) {
        forEachColumn(columns, stop, [&](std::int32_t j, const Partners& partners) {
            std::int64_t count = 0;
            for (std::int32_t g = 0; g < partners.groupCount; ++g) {
                const PartnerGroup& group = partners.groups[g];
                if (groupSum(columns, group, j + 1) != 0.0) count += group.end - group.next;
            }
            counts[j] = count;
        });
    }
    if (stop.stopped()) {
        setInterrupted(*fault);
        return false;
    }
    for (std::int32_t j = 0; j < columns.size; ++j) counts[j] += columns.columnStart[j];
    columns.entries = columns.columnStart[columns.size];
    *out = columns;
    return true;
}

template <class Index>
bool fillStatesColumns(const StatesColumns& columns, Index* rowIndex, double* value, Fault* fault) {
    if (columns.entries == 0) return true;
    CallStop stop;
    forEachColumn(columns, stop, [&](std::int32_t j, Partners& partners) {
        PartnerGroup* begin = partners.groups;
        PartnerGroup* end = std::remove_if(begin, begin + partners.groupCount, [&](const PartnerGroup& group) {
            return groupSum(columns, group, j + 1) == 0.0;
        });
        std::int64_t at = columns.columnStart[j];
        mergeGroups(begin, end, [&](std::int32_t to, const PartnerGroup& group) {
            rowIndex[at] = static_cast<Index>(to - 1);
            value[at++] = groupSum(columns, group, j + 1);
        });
    });
    if (stop.stopped()) setInterrupted(*fault);
    return !stop.stopped();
}

// The hosts' sparse index types: int under the stand-in and MATLAB's
// 32-bit-compatible API, a signed 64-bit integer in Octave.
template bool fillStatesColumns<std::int32_t>(const StatesColumns&, std::int32_t*, double*, Fault*);
template bool fillStatesColumns<std::int64_t>(const StatesColumns&, std::int64_t*, double*, Fault*);
