// The transition kernels side by side with the literal walk of the tests, in
// one process on the same inputs, and the assembly against creating its
// result alone. Each benchmark reports the pairs it covers per second, the
// events found and the scratch one call takes (released after every
// iteration, outside the timing); the ratios come last.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "all_subsets.hpp"
#include "assembly/transition_matrix.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
#include "standin_host.hpp"
#include "state_spaces.hpp"
#include "transitions/transition_codes.hpp"

namespace {

struct Membership {
    std::string name;
    std::int32_t a, L;
    std::vector<double> S;
    std::vector<double> counts;  // the walk's, for the benchmarks of the codes
};

Membership withCounts(std::string name, std::int32_t a, std::int32_t L, std::vector<double> S) {
    Fault fault;
    double* counts = countTransitions(S.data(), a, L, &fault);
    Membership m{std::move(name), a, L, std::move(S), std::vector<double>(counts, counts + L)};
    standin::releaseScratch();
    return m;
}

// Every subset of L symbols, row i holding the bits of i.
Membership subsetMembership(std::int32_t L) {
    StateSpace space = allSubsets(L);
    return withCounts("powerset" + std::to_string(L), space.n, L, std::move(space.S));
}

Membership randomRows(std::int32_t a, std::int32_t L) {
    std::mt19937_64 rng(2024);
    return withCounts("random" + std::to_string(a) + "x" + std::to_string(L), a, L, randomBinaryRows(a, L, rng));
}

double eventCount(const Membership& m) {
    double total = 0.0;
    for (double c : m.counts) total += c;
    return total;
}

// Times body, releasing its scratch after each iteration outside the timing,
// and reports pairs per second, events and the largest scratch of one call.
template <class Body>
void timeTransitions(benchmark::State& state, const Membership& m, Body body) {
    std::size_t peakScratch = 0;
    for (auto _ : state) {
        body();
        state.PauseTiming();
        peakScratch = std::max(peakScratch, standin::releaseScratch());
        state.ResumeTiming();
    }
    double pairs = static_cast<double>(m.a - 1) * static_cast<double>(m.a - 1);
    state.SetItemsProcessed(static_cast<std::int64_t>(pairs) * state.iterations());
    state.counters["events"] = eventCount(m);
    state.counters["events/s"] = benchmark::Counter(eventCount(m), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_scratch"] = benchmark::Counter(static_cast<double>(peakScratch), benchmark::Counter::kDefaults,
                                                        benchmark::Counter::kIs1024);
}

void registerWalks(const Membership& m, bool withCodes) {
    const Membership* p = &m;
    benchmark::RegisterBenchmark(("count/kernel/" + m.name).c_str(), [p](benchmark::State& state) {
        timeTransitions(state, *p, [p] {
            Fault fault;
            benchmark::DoNotOptimize(countTransitions(p->S.data(), p->a, p->L, &fault));
        });
    })->Unit(benchmark::kMillisecond);
    if (!withCodes) return;
    // The literal walk takes seconds and keeps every pair's scratch until
    // released: one iteration says enough.
    benchmark::RegisterBenchmark(("count/literal/" + m.name).c_str(),
                                 [p](benchmark::State& state) {
                                     timeTransitions(state, *p, [p] {
                                         benchmark::DoNotOptimize(literal::transitionCounts(p->S.data(), p->a, p->L));
                                     });
                                 })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark(("codes/kernel/" + m.name).c_str(), [p](benchmark::State& state) {
        timeTransitions(state, *p, [p] {
            TransitionCodes codes{};
            Fault fault;
            if (!bucketTransitions(viewOf(p->S, p->a, p->L), columnOf(p->counts), &codes, &fault)) std::abort();
            benchmark::DoNotOptimize(codes.codes);
        });
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        ("codes/literal/" + m.name).c_str(),
        [p](benchmark::State& state) {
            timeTransitions(state, *p, [p] {
                benchmark::DoNotOptimize(literal::transitionCodes(p->S.data(), p->counts.data(), p->a, p->L));
            });
        })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
}

// The whole pipeline of a membership matrix with every symbol listed once.
struct AssemblyCase {
    std::vector<double> weights, list, codes, cum;
    AssemblyInputs inputs;
};

AssemblyCase assemblyOf(const Membership& m) {
    AssemblyCase c;
    TransitionCodes codes{};
    Fault fault;
    if (!bucketTransitions(viewOf(m.S, m.a, m.L), columnOf(m.counts), &codes, &fault)) std::abort();
    c.codes.assign(codes.codes, codes.codes + codes.codeCount);
    standin::releaseScratch();
    double running = 0.0;
    for (std::int32_t s = 0; s < m.L; ++s) {
        c.weights.push_back(1.0 / m.L);
        c.list.push_back(s + 1);
        c.cum.push_back(running += m.counts[s]);
    }
    c.inputs = {m.a - 1, columnOf(c.weights), columnOf(c.list), columnOf(c.codes), columnOf(c.cum)};
    return c;
}

void registerAssembly(const AssemblyCase& c) {
    const AssemblyCase* p = &c;
    const std::string size = std::to_string(c.inputs.matrixSize);
    // What any module returning an a x a matrix pays: the host creates and
    // zero-fills it, and frees it later. The allocator hands the same block
    // back every iteration, still cached: the cheapest zero-fill there is.
    benchmark::RegisterBenchmark(("assembly/zero_fill/" + size).c_str(), [p](benchmark::State& state) {
        for (auto _ : state) {
            mxArray* A = standin::createDouble(p->inputs.matrixSize, p->inputs.matrixSize);
            benchmark::DoNotOptimize(mxGetPr(A));
            standin::destroyArray(A);
        }
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("assembly/quivane/" + size).c_str(), [p](benchmark::State& state) {
        for (auto _ : state) {
            mxArray* A = standin::createDouble(p->inputs.matrixSize, p->inputs.matrixSize);
            Fault fault;
            if (!checkAssemblyInputs(p->inputs, &fault)) std::abort();
            if (!assembleTransitionMatrix(p->inputs, mxGetPr(A), &fault)) std::abort();
            benchmark::DoNotOptimize(mxGetPr(A));
            standin::destroyArray(A);
        }
        state.counters["codes"] = static_cast<double>(p->codes.size());
    })->Unit(benchmark::kMillisecond);
}

// The console table, counters in columns and without colour codes so that it
// can be pasted as it is, keeping each benchmark's real and CPU time in
// seconds (the medians when repeated) for the ratios.
class KeepingTimes : public benchmark::ConsoleReporter {
public:
    struct Seconds {
        double real, cpu;
    };
    KeepingTimes() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median) {
                double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
                seconds[run.run_name.function_name] = {run.GetAdjustedRealTime() / unit,
                                                       run.GetAdjustedCPUTime() / unit};
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Seconds> seconds;
};

// On a shared machine real time also counts other work: the CPU-time ratio
// comes beside it.
void printRatio(const KeepingTimes& times, const std::string& label, const std::string& slow, const std::string& fast) {
    auto s = times.seconds.find(slow);
    auto f = times.seconds.find(fast);
    if (s == times.seconds.end() || f == times.seconds.end()) return;
    std::printf("%-44s %10.1fx real  %10.1fx cpu  (real %.4g s / %.4g s)\n", label.c_str(),
                s->second.real / f->second.real, s->second.cpu / f->second.cpu, s->second.real, f->second.real);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const Membership subsets11 = subsetMembership(11);
    const Membership random1500 = randomRows(1500, 40);
    const Membership subsets20 = subsetMembership(20);
    const AssemblyCase pipeline11 = assemblyOf(subsets11);
    registerWalks(subsets11, true);
    registerWalks(random1500, true);
    registerWalks(subsets20, false);
    registerAssembly(pipeline11);

    KeepingTimes reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nratios (medians when repeated):\n");
    for (const Membership* m : {&subsets11, &random1500}) {
        printRatio(reporter, "literal / kernel, counts, " + m->name, "count/literal/" + m->name,
                   "count/kernel/" + m->name);
        printRatio(reporter, "literal / kernel, codes, " + m->name, "codes/literal/" + m->name,
                   "codes/kernel/" + m->name);
    }
    auto big = reporter.seconds.find("count/kernel/" + subsets20.name);
    if (big != reporter.seconds.end()) {
        std::printf("%-44s %10.4g s real  %10.4g s cpu  (no literal baseline: 2^40 pairs, each with its own scratch)\n",
                    ("counts, " + subsets20.name).c_str(), big->second.real, big->second.cpu);
    }
    const std::string size = std::to_string(pipeline11.inputs.matrixSize);
    printRatio(reporter, "(zero-fill + assembly) / zero-fill, a=" + size, "assembly/quivane/" + size,
               "assembly/zero_fill/" + size);
    benchmark::Shutdown();
    return 0;
}
