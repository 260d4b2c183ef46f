// The forward recursion kernel (plan and steps) against the literal algorithm
// in the same process, on families of subsets of L symbols: every subset in
// subset order, the same rows shuffled, less one predecessor (a table only
// lane terms take), and the bounded family of all subsets of at most 5 of 18
// symbols, shuffled, with the full set. Items are valid predecessor terms
// times steps; scratch_bytes is the peak scratch of one call. After the
// runs, "ratio" lines compare the kernel with the literal algorithm, the
// tables with one another, two threads with one, and each instruction set's
// copy with the peak of its adds and multiplies.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "all_subsets.hpp"
#include "forward/forward_recursion.hpp"
#include "forward/instruction_sets.hpp"
#include "forward/lanes.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
#include "parallel/chunk_scheduler.hpp"
#include "standin_host.hpp"

namespace {

struct Workload {
    StateSpace space;
    std::vector<double> O;
    std::int32_t T;
    std::int64_t termsPerStep;
};

// Weights in [0.5, 1] keep every weight of the raw recursion normal (neither
// subnormal nor infinite) up to T = 200 at L = 14.
Workload makeWorkload(StateSpace space, std::int32_t T) {
    Workload w{std::move(space), {}, T, 0};
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> weight(0.5, 1.0);
    w.O.resize(static_cast<std::size_t>(w.space.L) * T);
    for (double& o : w.O) o = weight(rng);
    w.termsPerStep = static_cast<std::int64_t>(
        std::count_if(w.space.P.begin(), w.space.P.end(), [](double p) { return p != -1.0; }));
    return w;
}

enum class Table { subsets, shuffled, listed, bounded };
const char* const kTableNames[] = {"subsets", "shuffled", "listed", "bounded"};

StateSpace makeSpace(Table table, std::int32_t L) {
    std::mt19937_64 rng(L);
    switch (table) {
        case Table::subsets: return allSubsets(L);
        case Table::shuffled: return subsetFamily(L, shuffledKeepingLast(everySet(L), rng));
        case Table::bounded: return subsetFamily(L, shuffledKeepingLast(setsOfAtMost(L, 5), rng));
        case Table::listed: break;
    }
    // Less the last state's first predecessor: no order of the rows makes
    // it the subset layout.
    StateSpace space = allSubsets(L);
    space.P[space.n - 1] = -1.0;
    return space;
}

const Workload& workload(Table table, std::int32_t L, std::int32_t T) {
    static std::map<std::tuple<Table, std::int32_t, std::int32_t>, Workload> made;
    auto found = made.find({table, L, T});
    if (found == made.end()) {
        found = made.emplace(std::make_tuple(table, L, T), makeWorkload(makeSpace(table, L), T)).first;
    }
    return found->second;
}

void finish(benchmark::State& state, const Workload& w, std::size_t peakScratch) {
    state.SetItemsProcessed(state.iterations() * w.termsPerStep * (w.T - 1));
    state.counters["scratch_bytes"] = static_cast<double>(peakScratch);
}

// The plan of in on `threads` threads with a copy of the kernels; false,
// with the benchmark skipped, on a fault.
bool planOn(benchmark::State& state, const ForwardInputs& in, std::int32_t threads, InstructionSet set,
            ForwardPlan* plan) {
    Fault fault;
    if (planForward(in, {threads, set}, plan, &fault)) return true;
    state.SkipWithError(fault.detail);
    return false;
}

struct Run {
    Table table;
    std::int32_t L, T;
    bool normalize;
    std::int32_t threads;  // 0: as a call would choose
    InstructionSet set;
};

void runKernel(benchmark::State& state, Run run) {
    if (!processorRuns(run.set)) {
        state.SkipWithError("the processor lacks this instruction set");
        return;
    }
    const Workload& w = workload(run.table, run.L, run.T);
    const double steps = run.T;
    const ForwardInputs in = forwardInputsOf(w.space, w.O, steps);
    std::size_t peak = 0;
    std::vector<double> last(static_cast<std::size_t>(w.space.n));
    Fault fault;
    standin::releaseScratch();
    for (auto _ : state) {
        ForwardPlan plan{};
        if (!planOn(state, in, run.threads, run.set, &plan)) break;
        benchmark::DoNotOptimize(forwardRecursion(plan, run.normalize, {last.data(), nullptr}, &fault));
        peak = std::max(peak, standin::releaseScratch());
    }
    finish(state, w, peak);
}

// planForward alone: reading and checking the tables, which every call does once.
void runPlan(benchmark::State& state, std::int32_t L, std::int32_t T, std::int32_t threads) {
    const double steps = T;
    const Workload& w = workload(Table::subsets, L, T);
    const ForwardInputs in = forwardInputsOf(w.space, w.O, steps);
    std::size_t peak = 0;
    standin::releaseScratch();
    for (auto _ : state) {
        ForwardPlan plan{};
        if (!planOn(state, in, threads, InstructionSet::automatic, &plan)) break;
        benchmark::DoNotOptimize(plan.states);
        peak = std::max(peak, standin::releaseScratch());
    }
    state.counters["scratch_bytes"] = static_cast<double>(peak);
}

void runLiteral(benchmark::State& state, std::int32_t L, std::int32_t T) {
    const Workload& w = workload(Table::subsets, L, T);
    std::size_t peak = 0;
    standin::releaseScratch();
    for (auto _ : state) {
        std::vector<double> last =
            literal::forwardRecursion(T, w.O.data(), w.space.S.data(), w.space.P.data(), w.space.n, w.space.L, false);
        benchmark::DoNotOptimize(last.data());
        peak = std::max(peak, standin::releaseScratch());
    }
    finish(state, w, peak);
}

// Adds and multiplies on independent chains of vectors V, as many as keep
// both kinds of unit busy: what one core does at best with an instruction
// set's widest vectors. Returns a value the compiler cannot drop.
template <class V, std::int32_t chains>
FORWARD_INLINE double addsAndMultiplies(std::int64_t rounds) {
    V sum[chains], product[chains];
    const V increment = V{} + 0x1p-40, factor = V{} + (1.0 + 0x1p-40);
    for (std::int32_t c = 0; c < chains; ++c) {
        sum[c] = V{} + c;
        product[c] = V{} + 1.0;
    }
    for (std::int64_t r = 0; r < rounds; ++r) {
#pragma GCC unroll 16
        for (std::int32_t c = 0; c < chains; ++c) {
            sum[c] = sum[c] + increment;
            product[c] = product[c] * factor;
        }
    }
    double total = 0.0;
    for (std::int32_t c = 0; c < chains; ++c) {
        for (std::size_t lane = 0; lane < sizeof(V) / sizeof(double); ++lane) {
            total = total + sum[c][lane] + product[c][lane];
        }
    }
    return total;
}

// SSE2's vectors, the widest the baseline has.
typedef double Lanes2 __attribute__((vector_size(2 * sizeof(double))));

// Each set's widest vectors, with twice as many chains as its registers
// hold pairs of (16 registers, 32 with AVX-512), less two for the constants.
struct PeakCopy {
    InstructionSet set;
    double (*run)(std::int64_t rounds);
    std::int32_t lanes, chains;
};
const PeakCopy kPeakCopies[] = {{InstructionSet::baseline, addsAndMultiplies<Lanes2, 6>, 2, 6},
#if defined(__x86_64__)
                                {InstructionSet::avx2, [](std::int64_t rounds) __attribute__((target("avx2"))){
                                                           return addsAndMultiplies<Lanes4, 6>(rounds);
}
, 4, 6
}
, {InstructionSet::avx512,
   [](std::int64_t rounds) __attribute__((target("avx512f"))){return addsAndMultiplies<Lanes8, 14>(rounds);
}
, 8, 14
}
,
#endif
}
;

// Items are the adds and multiplies done, a lane each.
void runPeak(benchmark::State& state, const PeakCopy& copy) {
    if (!processorRuns(copy.set)) {
        state.SkipWithError("the processor lacks this instruction set");
        return;
    }
    constexpr std::int64_t kRounds = 1 << 20;
    for (auto _ : state) benchmark::DoNotOptimize(copy.run(kRounds));
    state.SetItemsProcessed(state.iterations() * kRounds * copy.chains * 2 * copy.lanes);
}

// What bounds a second thread, T - 1 steps of n states on two threads (and
// the data moved on one, where it stays in one cache): the
// hand-over of phases of empty chunks, as many chunks as a step has; the
// data a step of the subset layout must move between the threads' caches,
// when every chunk of the upper half copies the chunk of previous below it by
// half the column (the last column's offset) into its chunk of next, and
// every chunk of the lower half its own chunk, into lines the other thread
// read a step before;
// and, on one thread, the sum of each step in row order, one chain of
// dependent additions that no thread can share.
void runHandOver(benchmark::State& state, std::int32_t L, std::int32_t T, bool moveHalves, std::int32_t threads) {
    constexpr std::int32_t kChunk = 2048;
    const std::int32_t n = 1 << L, chunks = std::max(1, n / kChunk), half = chunks / 2;
    std::vector<double> columns[2] = {std::vector<double>(n, 1.0), std::vector<double>(n, 1.0)};
    standin::releaseScratch();
    for (auto _ : state) {
        ChunkScheduler scheduler(chunks, threads);
        for (std::int32_t t = 1; t < T; ++t) {
            double* next = columns[t % 2].data();
            const double* previous = columns[(t + 1) % 2].data();
            ChunkScheduler::Phase phase;
            phase.work = [=](std::int32_t chunk) {
                if (!moveHalves) return benchmark::DoNotOptimize(chunk);
                const double* from = previous + std::int64_t{chunk >= half ? chunk - half : chunk} * kChunk;
                double* to = next + std::int64_t{chunk} * kChunk;
                std::copy(from, from + kChunk, to);
            };
            scheduler.run(phase);
        }
        standin::releaseScratch();
    }
}

void runInOrderSums(benchmark::State& state, std::int32_t L, std::int32_t T) {
    std::vector<double> weights(std::size_t{1} << L, 0.5);
    for (auto _ : state) {
        double total = 0.0;
        for (std::int32_t t = 1; t < T; ++t) {
            double sum = 0.0;
            for (double w : weights) sum = sum + w;
            total = total + sum;
            benchmark::DoNotOptimize(weights.data());
        }
        benchmark::DoNotOptimize(total);
    }
}

std::string sizeName(std::int32_t L, std::int32_t T) { return "L:" + std::to_string(L) + "/T:" + std::to_string(T); }

std::string kernelName(const Run& run) {
    std::string name = std::string("kernel/") + kTableNames[static_cast<int>(run.table)] + "/" +
                       sizeName(run.L, run.T) + (run.normalize ? "/normalised" : "/raw") +
                       "/threads:" + std::to_string(run.threads);
    return run.set == InstructionSet::automatic ? name : name + "/" + nameOf(run.set);
}

std::string literalName(std::int32_t L, std::int32_t T) { return "literal/" + sizeName(L, T) + "/raw"; }

std::string peakName(InstructionSet set) { return std::string("peak/adds+multiplies/") + nameOf(set); }

// The console report, plus the real time and items per second of every run
// by name: of its one run, or the median of its repetitions.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && (run.run_type == Run::RT_Iteration || median)) {
                seconds_[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
                const auto items = run.counters.find("items_per_second");
                if (items != run.counters.end()) itemRate_[run.run_name.function_name] = items->second;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // slow's time over fast's.
    void printRatio(const std::string& label, const std::string& slow, const std::string& fast) const {
        auto s = seconds_.find(slow);
        auto f = seconds_.find(fast);
        if (s == seconds_.end() || f == seconds_.end()) return;
        std::printf("ratio %-52s %7.2fx  (%s / %s)\n", label.c_str(), s->second / f->second, slow.c_str(),
                    fast.c_str());
    }

    // of's items per second, times perItem, over base's.
    void printRateRatio(const std::string& label, const std::string& of, const std::string& base,
                        double perItem = 1.0) const {
        auto o = itemRate_.find(of);
        auto b = itemRate_.find(base);
        if (o == itemRate_.end() || b == itemRate_.end()) return;
        std::printf("ratio %-52s %7.3f   (%.3g/s x %g / %.3g/s)\n", label.c_str(), o->second * perItem / b->second,
                    o->second, perItem, b->second);
    }

private:
    std::map<std::string, double> seconds_;
    std::map<std::string, double> itemRate_;
};

struct Size {
    std::int32_t L, T, literalIterations;
};
constexpr Size kLiteralSizes[] = {{14, 200, 0}, {20, 20, 2}};

// Where the tables are compared, and the second thread against the first.
constexpr Size kTableSizes[] = {{14, 200, 0}, {16, 200, 0}, {20, 20, 0}};
constexpr Size kThreadSizes[] = {{14, 200, 0}, {18, 40, 0}};
constexpr Size kBounded = {18, 200, 0};
constexpr Size kCopySize = {14, 200, 0};

// Two threads against one below the sizes above: where the threads start to
// pay. Forced, the plan's passes take two threads as well, which a call left
// to choose only does from larger tables on: one thread start more than it.
constexpr std::int32_t kSweepSymbols[] = {10, 11, 12, 13, 14, 16};

// Where the rescaled step is set against the raw one, on one thread.
constexpr std::int32_t kRescaleSymbols[] = {8, 10, 12, 14};
constexpr std::int32_t kRescaleSteps = 100;

// About sixteen million terms per run at every size of the sweep, so that
// the steps outweigh the plan.
std::int32_t sweepSteps(std::int32_t L) { return std::max(4, (1 << 24) / (L << (L - 1))); }

// A time per call of a millisecond or more is reported in milliseconds. A
// run that two families share is registered once.
void registerKernel(const Run& run, benchmark::TimeUnit unit = benchmark::kMillisecond) {
    static std::set<std::string> registered;
    if (!registered.insert(kernelName(run)).second) return;
    benchmark::RegisterBenchmark(kernelName(run).c_str(), runKernel, run)->Unit(unit)->UseRealTime();
}

constexpr InstructionSet kAutomatic = InstructionSet::automatic;

void registerAll() {
    for (const Size& size : kLiteralSizes) {
        auto* literalRun =
            benchmark::RegisterBenchmark(literalName(size.L, size.T).c_str(), runLiteral, size.L, size.T);
        literalRun->Unit(benchmark::kMillisecond)->UseRealTime();
        if (size.literalIterations > 0) literalRun->Iterations(size.literalIterations);
        for (std::int32_t threads : {1, 2}) {
            benchmark::RegisterBenchmark(
                ("plan/" + sizeName(size.L, size.T) + "/threads:" + std::to_string(threads)).c_str(), runPlan, size.L,
                size.T, threads)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        registerKernel({Table::subsets, size.L, size.T, false, 1, kAutomatic});
        registerKernel({Table::listed, size.L, size.T, false, 1, kAutomatic});
    }
    for (const Size& size : kTableSizes) {
        for (Table table : {Table::subsets, Table::shuffled}) {
            for (bool normalize : {false, true}) registerKernel({table, size.L, size.T, normalize, 0, kAutomatic});
        }
    }
    for (bool normalize : {false, true})
        registerKernel({Table::bounded, kBounded.L, kBounded.T, normalize, 0, kAutomatic});
    for (const Size& size : kThreadSizes) {
        for (bool normalize : {false, true}) {
            for (std::int32_t threads : {1, 2})
                registerKernel({Table::subsets, size.L, size.T, normalize, threads, kAutomatic});
        }
    }
    for (const Size& size : kThreadSizes) {
        for (std::int32_t threads : {1, 2}) {
            for (bool moveHalves : {false, true}) {
                if (threads == 1 && !moveHalves) continue;
                benchmark::RegisterBenchmark(("floor/hand-over" + std::string(moveHalves ? " moving halves/" : "/") +
                                              sizeName(size.L, size.T) + "/threads:" + std::to_string(threads))
                                                 .c_str(),
                                             runHandOver, size.L, size.T, moveHalves, threads)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
        benchmark::RegisterBenchmark(("floor/in-order sums/" + sizeName(size.L, size.T)).c_str(), runInOrderSums,
                                     size.L, size.T)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    for (const PeakCopy& copy : kPeakCopies) {
        benchmark::RegisterBenchmark(peakName(copy.set).c_str(), runPeak, copy)->Unit(benchmark::kMillisecond);
    }
    for (InstructionSet set : kInstructionSets) {
        for (Table table : {Table::subsets, Table::shuffled, Table::listed}) {
            registerKernel({table, kCopySize.L, kCopySize.T, false, 1, set});
        }
        registerKernel({Table::bounded, kBounded.L, kBounded.T, false, 1, set});
    }
    for (std::int32_t L : kSweepSymbols) {
        std::int32_t T = sweepSteps(L);
        for (bool normalize : {false, true}) {
            for (std::int32_t threads : {1, 2}) {
                registerKernel({Table::subsets, L, T, normalize, threads, kAutomatic}, benchmark::kMicrosecond);
            }
        }
    }
    for (std::int32_t L : kRescaleSymbols) {
        for (bool normalize : {false, true}) {
            registerKernel({Table::subsets, L, kRescaleSteps, normalize, 1, kAutomatic}, benchmark::kMicrosecond);
        }
    }
}

// Adds and multiplies per term: (F(pred) + F(j)) * O, added to the sum.
constexpr double kOperationsPerTerm = 3.0;

void printRatios(const RatioReporter& reporter) {
    for (const Size& size : kLiteralSizes) {
        const std::string at = sizeName(size.L, size.T);
        reporter.printRatio("one thread vs literal, " + at, literalName(size.L, size.T),
                            kernelName({Table::subsets, size.L, size.T, false, 1, kAutomatic}));
        reporter.printRatio("listed terms, one thread vs literal, " + at, literalName(size.L, size.T),
                            kernelName({Table::listed, size.L, size.T, false, 1, kAutomatic}));
        reporter.printRatio("plan, two threads vs one, " + at, "plan/" + at + "/threads:1",
                            "plan/" + at + "/threads:2");
    }
    for (const Size& size : kTableSizes) {
        for (bool normalize : {false, true}) {
            reporter.printRatio(std::string("shuffled vs subset order, ") + (normalize ? "normalised " : "raw ") +
                                    sizeName(size.L, size.T),
                                kernelName({Table::shuffled, size.L, size.T, normalize, 0, kAutomatic}),
                                kernelName({Table::subsets, size.L, size.T, normalize, 0, kAutomatic}));
        }
    }
    for (bool normalize : {false, true}) {
        reporter.printRateRatio(
            std::string("bounded family terms/s vs subset order L:14, ") + (normalize ? "normalised" : "raw"),
            kernelName({Table::bounded, kBounded.L, kBounded.T, normalize, 0, kAutomatic}),
            kernelName({Table::subsets, 14, 200, normalize, 0, kAutomatic}));
    }
    for (const Size& size : kThreadSizes) {
        for (bool normalize : {false, true}) {
            reporter.printRatio(
                std::string("two threads vs one, ") + (normalize ? "normalised " : "raw ") + sizeName(size.L, size.T),
                kernelName({Table::subsets, size.L, size.T, normalize, 1, kAutomatic}),
                kernelName({Table::subsets, size.L, size.T, normalize, 2, kAutomatic}));
        }
    }
    for (InstructionSet set : kInstructionSets) {
        for (Table table : {Table::subsets, Table::shuffled, Table::listed, Table::bounded}) {
            const Size& size = table == Table::bounded ? kBounded : kCopySize;
            const Run run{table, size.L, size.T, false, 1, set};
            reporter.printRateRatio("fraction of peak, " + kernelName(run).substr(7), kernelName(run), peakName(set),
                                    kOperationsPerTerm);
        }
    }
    for (std::int32_t L : kSweepSymbols) {
        std::int32_t T = sweepSteps(L);
        for (bool normalize : {false, true}) {
            reporter.printRatio(
                std::string("two threads vs one, sweep ") + (normalize ? "normalised " : "raw ") + sizeName(L, T),
                kernelName({Table::subsets, L, T, normalize, 1, kAutomatic}),
                kernelName({Table::subsets, L, T, normalize, 2, kAutomatic}));
        }
    }
    for (std::int32_t L : kRescaleSymbols) {
        reporter.printRatio("rescaled vs raw, one thread, " + sizeName(L, kRescaleSteps),
                            kernelName({Table::subsets, L, kRescaleSteps, true, 1, kAutomatic}),
                            kernelName({Table::subsets, L, kRescaleSteps, false, 1, kAutomatic}));
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerAll();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    printRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
