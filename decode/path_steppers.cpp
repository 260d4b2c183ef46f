#include "decode/path_steppers.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "forward/forward_steps.hpp"
#include "forward/initial_column.hpp"
#include "kernel/scratch.hpp"

static_assert(kChunkStates % kPathBlockStates == 0, "the subset kernel's blocks start where chunks start");

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Whether the largest weight has left [2^-128, 1), where the next step's
// products neither overflow nor come near underflowing without cause.
bool needsRescale(double largest) { return largest >= 1.0 || (largest > 0.0 && largest < 0x1p-128); }

// Run's observer: the steps keep what they need themselves.
class Unobserved final : public StepObserver {
public:
    void stepDone(std::int32_t, const double*, double) override {}
};

double noCode(CodeWidth width) {
    switch (width) {
        case CodeWidth::byte: return 255.0;
        case CodeWidth::half: return 65535.0;
        case CodeWidth::word: break;
    }
    return 4294967295.0;
}

void storeCode(void* codes, CodeWidth width, std::int64_t place, double code) {
    const auto whole = static_cast<std::uint32_t>(code);
    switch (width) {
        case CodeWidth::byte: static_cast<std::uint8_t*>(codes)[place] = static_cast<std::uint8_t>(whole); break;
        case CodeWidth::half: static_cast<std::uint16_t*>(codes)[place] = static_cast<std::uint16_t>(whole); break;
        case CodeWidth::word: static_cast<std::uint32_t*>(codes)[place] = whole; break;
    }
}

// Calls term(index, predecessor, symbol) for each term of the state at
// place, in ascending k: index is k in the subset layout, the term's place
// among the state's terms over lane terms (as the codes count them).
template <class Term>
void forEachTerm(const ForwardPlan& plan, std::int32_t place, Term term) {
    if (plan.offsets.offset) {
        const SubsetOffsets& offsets = plan.offsets;
        for (std::int32_t k = 0; k < offsets.columns; ++k) {
            if (place & offsets.offset[k]) term(k, place - offsets.offset[k], offsets.symbol[k]);
        }
        return;
    }
    const LaneTerms& terms = plan.terms;
    const std::int64_t first = terms.groupStart[place / kLaneGroup] + place % kLaneGroup;
    for (std::int32_t e = 0; e < terms.termCount[place]; ++e) {
        const std::int64_t slot = first + std::int64_t{e} * kLaneGroup;
        term(e, terms.predecessor[slot], terms.symbol[slot]);
    }
}

// The heaviest w(j) x weightAt(place of j) over the rows ascending, the
// first of equal ones into *row.
template <class WeightAt>
ScaledNumber heaviestRow(const ForwardPlan& plan, const double* w, std::int32_t* row, WeightAt weightAt) {
    ScaledNumber best;
    *row = 0;
    for (std::int32_t j = 0; j < plan.states; ++j) {
        const ScaledNumber weighted = weightAt(plan.order.placeOf(j)).times(w ? w[j] : 1.0);
        if (weighted > best) {
            best = weighted;
            *row = j;
        }
    }
    return best;
}

}  // namespace

std::int64_t checkpointBytes(const PathPlan& plan) {
    return 2 * static_cast<std::int64_t>(sizeof(double)) +
           std::int64_t{plan.forward.states} * static_cast<std::int64_t>(sizeof(ScaledNumber));
}

std::uint32_t codeAt(const void* codes, CodeWidth width, std::int64_t place) {
    switch (width) {
        case CodeWidth::byte: return static_cast<const std::uint8_t*>(codes)[place];
        case CodeWidth::half: return static_cast<const std::uint16_t*>(codes)[place];
        case CodeWidth::word: break;
    }
    return static_cast<const std::uint32_t*>(codes)[place];
}

RescaledSteps::RescaledSteps(const PathPlan& shape, CallStop& stop, bool onCallingThread,
                             const Checkpoints& checkpoints)
    : plan_(&shape),
      driver_(shape.forward, false, stop, onCallingThread),
      checkpoints_(checkpoints),
      chunkStats_(scratchArray<ColumnStats>(static_cast<std::size_t>(chunkCount(shape.forward.states)))),
      columnWeight_(scratchArray<double>(static_cast<std::size_t>(shape.forward.predecessorColumns))),
      columnRank_(scratchArray<std::int32_t>(static_cast<std::size_t>(shape.forward.predecessorColumns))),
      byWeight_(scratchArray<std::int32_t>(static_cast<std::size_t>(shape.forward.predecessorColumns))),
      unitRank_(scratchArray<std::int32_t>(static_cast<std::size_t>(kPathBlockStates / shape.kernels->unitStates))),
      stayWeight_(scratchArray<double>(static_cast<std::size_t>(shape.forward.predecessorColumns + 1) *
                                       static_cast<std::size_t>(shape.kernels->unitStates))),
      stayCode_(scratchArray<double>(static_cast<std::size_t>(shape.forward.predecessorColumns + 1) *
                                     static_cast<std::size_t>(shape.kernels->unitStates))) {
    driver_.replaceStep(this);
    if (shape.forward.offsets.offset) listStayColumns(shape.forward.offsets);
    weights_ = {nullptr,     columnWeight_, columnRank_, unitRank_,
                stayWeight_, stayCode_,     nullptr,     noCode(shape.codeWidth)};
}

void RescaledSteps::step(std::int32_t, const double* previous, double* next, std::int32_t first,
                         std::int32_t last) const {
    const ForwardPlan& fp = plan_->forward;
    ColumnStats* stats = chunkStats_ + first / kChunkStates;
    const std::int32_t width = widthIndex(plan_->codeWidth);
    if (fp.offsets.offset) {
        plan_->kernels->subsetPath[width](fp.offsets, weights_, previous, next, first, last, fp.states, stats);
    } else {
        plan_->kernels->lanePath[width](fp.terms, weights_, previous, next, first, last, stats);
    }
}

// The weights of step `step` as its kernel reads them, and the lightest
// (positive) and heaviest symbol among Q.
void RescaledSteps::weighColumns(std::int32_t step) {
    const ForwardPlan& fp = plan_->forward;
    const std::int32_t K = fp.predecessorColumns;
    const double* o = fp.observations + std::int64_t{step - 1} * fp.symbols;
    weights_.observations = o;
    lightest_ = kInfinity;
    heaviest_ = 0.0;
    for (std::int32_t k = 0; k < K; ++k) {
        const double w = o[plan_->forward.lastSymbols[k]];
        if (w > 0.0) lightest_ = std::min(lightest_, w);
        heaviest_ = std::max(heaviest_, w);
    }
    if (!fp.offsets.offset) return;
    for (std::int32_t k = 0; k < K; ++k) {
        columnWeight_[k] = o[fp.offsets.symbol[k]];
        byWeight_[k] = k;
    }
    std::sort(byWeight_, byWeight_ + K, [this](std::int32_t a, std::int32_t b) {
        return columnWeight_[a] > columnWeight_[b] || (columnWeight_[a] == columnWeight_[b] && a < b);
    });
    for (std::int32_t r = 0; r < K; ++r) columnRank_[byWeight_[r]] = r;
    const std::int32_t unit = plan_->kernels->unitStates, units = kPathBlockStates / unit;
    for (std::int32_t a = 0; a < units; ++a) unitRank_[a] = leastRank(a);
    for (std::int32_t u = 0; u < unit; ++u) {
        const std::int32_t low = leastRank(units + u);
        for (std::int32_t r = 0; r <= K; ++r) {
            const std::int32_t best = std::min(low, r);
            const std::int64_t at = std::int64_t{r} * unit + u;
            stayWeight_[at] = best == K ? -1.0 : columnWeight_[byWeight_[best]];
            stayCode_[at] = best == K ? weights_.noCode : 2.0 * byWeight_[best] + 1.0;
        }
    }
}

// The least rank among the columns of list `list` (see listStart_); K where
// there are none.
std::int32_t RescaledSteps::leastRank(std::int32_t list) const {
    std::int32_t least = plan_->forward.predecessorColumns;
    for (std::int32_t i = listStart_[list]; i < listStart_[list + 1]; ++i)
        least = std::min(least, columnRank_[listColumn_[i]]);
    return least;
}

// For each unit of a block, the columns a unit or more and less than a
// block apart whose bit the unit has; then for each place of a unit, the
// columns less than a unit apart whose bit it has. Once for the state space.
void RescaledSteps::listStayColumns(const SubsetOffsets& offsets) {
    const std::int32_t unit = plan_->kernels->unitStates, units = kPathBlockStates / unit, lists = units + unit;
    listStart_ = scratchArray<std::int32_t>(static_cast<std::size_t>(lists) + 1);
    const auto inList = [&](std::int32_t list, std::int32_t k) {
        const std::int64_t offset = offsets.offset[k];
        return list < units ? offset >= unit && offset < kPathBlockStates && ((list * unit) & offset) != 0
                            : offset < unit && ((list - units) & offset) != 0;
    };
    for (std::int32_t list = 0; list < lists; ++list) {
        listStart_[list + 1] = listStart_[list];
        for (std::int32_t k = 0; k < offsets.columns; ++k) listStart_[list + 1] += inList(list, k);
    }
    listColumn_ = scratchArray<std::int32_t>(static_cast<std::size_t>(listStart_[lists]));
    for (std::int32_t list = 0, i = 0; list < lists; ++list) {
        for (std::int32_t k = 0; k < offsets.columns; ++k) {
            if (inList(list, k)) listColumn_[i++] = k;
        }
    }
}

ColumnStats RescaledSteps::columnStats() const {
    ColumnStats all{0.0, kInfinity};
    for (std::int32_t c = 0; c < chunkCount(plan_->forward.states); ++c) {
        all.largest = std::max(all.largest, chunkStats_[c].largest);
        all.smallestPositive = std::min(all.smallestPositive, chunkStats_[c].smallestPositive);
    }
    return all;
}

// Brings the largest weight into [0.5, 1) where it has left [2^-128, 1).
// False when a weight fell below the least normal double.
bool RescaledSteps::rescale(const ColumnStats& stats) {
    smallest_ = stats.smallestPositive;
    if (!needsRescale(stats.largest)) return true;
    int e = 0;
    std::frexp(stats.largest, &e);
    return scaleBy(e, stats);
}

// The column times 2^-e: down by a double >= 2^-1024, up (by at most
// 2^1074) in two factors, each result normal and so exact; a result below
// the least normal double becomes 0. False when one did.
bool RescaledSteps::scaleBy(int e, const ColumnStats& stats) {
    const double first = e > 0 ? std::ldexp(1.0, -e) : std::ldexp(1.0, -e / 2);
    const double second = e > 0 ? 1.0 : std::ldexp(1.0, -e - (-e / 2));
    const bool exact = e <= 0 || std::ldexp(stats.smallestPositive, -e) >= 0x1p-1022;
    double* column = driver_.column();
    const PathPlan* plan = plan_;
    ColumnStats* chunkStats = chunkStats_;
    ChunkScheduler::Phase phase;
    phase.work = [plan, column, first, second, chunkStats](std::int32_t chunk) {
        const StateRange places = statesOf(chunk, plan->forward.states);
        plan->kernels->scaleColumn(column, places.first, places.last, plan->forward.states, first, second,
                                   chunkStats + chunk);
    };
    driver_.scheduler().run(phase);
    scale_ = scale_ + e;
    smallest_ = columnStats().smallestPositive;
    return exact;
}

void RescaledSteps::start(const PathPlan& sequence) {
    plan_ = &sequence;
    driver_.startSequence(sequence.forward);
    scale_ = 0;
    lost_ = {};
    const double* column = driver_.column();
    bool normal = true;
    ColumnStats stats{0.0, kInfinity};
    for (std::int32_t place = 0; place < sequence.forward.states; ++place) {
        const double w = column[place];
        normal = normal && !(w > 0.0 && w < 0x1p-1022);
        stats.largest = std::max(stats.largest, w);
        if (w > 0.0) stats.smallestPositive = std::min(stats.smallestPositive, w);
    }
    // Subnormal weights of step 1 are lost as any later one would be: where
    // no scale is due, a scale of 1 sets them to 0.
    const bool scaledExact = normal || needsRescale(stats.largest) ? rescale(stats) : scaleBy(0, stats);
    if (!(normal && scaledExact)) lost_ = ScaledNumber::power(-1021 + std::max<std::int64_t>(0, scale_));
}

bool RescaledSteps::advance(std::int32_t step, void* codes, Fault* fault) {
    weighColumns(step);
    weights_.codes = codes;
    // With every weight of the column at least smallest_, and every symbol's
    // at least lightest_, no product of the step can fall below the least
    // normal double unless theirs does.
    const bool productsExact = !(smallest_ < kInfinity && lightest_ < kInfinity) || smallest_ * lightest_ > 0x1p-1022;
    const std::int64_t before = scale_;
    Unobserved unobserved;
    if (!driver_.run(step - 1, step, unobserved, fault)) return false;
    const bool scaledExact = rescale(columnStats());
    if (!lost_.isZero()) lost_ = lost_.timesAtLeast(ScaledNumber::of(heaviest_));
    if (!productsExact || !scaledExact) {
        const ScaledNumber bound = ScaledNumber::power(-1021 + std::max(before, scale_));
        if (lost_ < bound) lost_ = bound;
    }
    return true;
}

void RescaledSteps::keep(std::int32_t slot) {
    unsigned char* at = checkpoints_.slot(slot);
    std::memcpy(at, &scale_, sizeof scale_);
    std::memcpy(at + sizeof(double), &smallest_, sizeof smallest_);
    std::memcpy(at + 2 * sizeof(double), driver_.column(),
                static_cast<std::size_t>(plan_->forward.states) * sizeof(double));
}

void RescaledSteps::restore(std::int32_t slot) {
    const unsigned char* at = checkpoints_.slot(slot);
    std::memcpy(&scale_, at, sizeof scale_);
    std::memcpy(&smallest_, at + sizeof(double), sizeof smallest_);
    std::memcpy(driver_.column(), at + 2 * sizeof(double),
                static_cast<std::size_t>(plan_->forward.states) * sizeof(double));
}

ScaledNumber RescaledSteps::heaviest(const double* w, std::int32_t* row) const {
    const double* column = driver_.column();
    return heaviestRow(plan_->forward, w, row,
                       [this, column](std::int32_t place) { return ScaledNumber::of(column[place], scale_); });
}

bool RescaledSteps::exactFor(const ScaledNumber& best) const {
    const ScaledNumber reach = lost_.timesAtLeast(ScaledNumber::of(plan_->largestFinalWeight));
    return reach.isZero() || best > reach;
}

ExactSteps::ExactSteps(const PathPlan& shape, CallStop& stop, bool onCallingThread, const Checkpoints& checkpoints)
    : plan_(&shape),
      stop_(stop),
      pollsHost_(onCallingThread),
      checkpoints_(checkpoints),
      current_(scratchArray<ScaledNumber>(static_cast<std::size_t>(shape.forward.states))),
      next_(scratchArray<ScaledNumber>(static_cast<std::size_t>(shape.forward.states))),
      symbolWeight_(scratchArray<ScaledNumber>(static_cast<std::size_t>(shape.forward.symbols))) {}

void ExactSteps::start(const PathPlan& sequence) {
    plan_ = &sequence;
    const ForwardPlan& fp = sequence.forward;
    for (std::int32_t j = 0; j < fp.states; ++j) {
        const std::int32_t symbol = fp.firstMember[j];
        current_[fp.order.placeOf(j)] = symbol < 0 ? ScaledNumber{} : ScaledNumber::of(fp.observations[symbol]);
    }
}

bool ExactSteps::advance(std::int32_t step, void* codes, Fault* fault) {
    const ForwardPlan& fp = plan_->forward;
    const double* o = fp.observations + std::int64_t{step - 1} * fp.symbols;
    for (std::int32_t s = 0; s < fp.symbols; ++s) symbolWeight_[s] = ScaledNumber::of(o[s]);
    const double none = noCode(plan_->codeWidth);
    for (std::int32_t place = 0; place < fp.states; ++place) {
        if (place % kChunkStates == 0) {
            const bool stopped =
                pollsHost_ ? stop_.check(std::int64_t{kChunkStates} * (fp.predecessorColumns + 1)) : stop_.stopped();
            if (stopped) {
                setInterrupted(*fault);
                return false;
            }
        }
        ScaledNumber best;
        double code = none;
        double stayWeight = -1.0;
        std::int32_t staySymbol = -1;
        double stayCode = none;
        forEachTerm(fp, place, [&](std::int32_t index, std::int32_t predecessor, std::int32_t symbol) {
            const ScaledNumber move = current_[predecessor].times(symbolWeight_[symbol]);
            if (move > best) {
                best = move;
                code = 2.0 * index;
            }
            if (o[symbol] > stayWeight) {
                stayWeight = o[symbol];
                staySymbol = symbol;
                stayCode = 2.0 * index + 1.0;
            }
        });
        if (staySymbol >= 0) {
            const ScaledNumber stay = current_[place].times(symbolWeight_[staySymbol]);
            if (stay > best || (stay == best && stayCode < code)) {
                best = stay;
                code = stayCode;
            }
        }
        next_[place] = best;
        storeCode(codes, plan_->codeWidth, place, code);
    }
    std::swap(current_, next_);
    return true;
}

ScaledNumber ExactSteps::heaviest(const double* w, std::int32_t* row) const {
    return heaviestRow(plan_->forward, w, row, [this](std::int32_t place) { return current_[place]; });
}

void ExactSteps::keep(std::int32_t slot) {
    std::memcpy(checkpoints_.slot(slot), current_,
                static_cast<std::size_t>(plan_->forward.states) * sizeof(ScaledNumber));
}

void ExactSteps::restore(std::int32_t slot) {
    std::memcpy(current_, checkpoints_.slot(slot),
                static_cast<std::size_t>(plan_->forward.states) * sizeof(ScaledNumber));
}
