// The transition kernels side by side with the literal walk of the tests, in
// one process on the same inputs, and the assembly against creating its
// result alone. Each benchmark reports the pairs it covers per second, the
// events found and the scratch one call takes (released after every
// iteration, outside the timing); the ratios come last. The cost of polling
// for Ctrl-C is each kernel against its copy built with the poll compiled
// out (unpolled_kernels), and the wait after Ctrl-C is timed on long calls.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "all_subsets.hpp"
#include "kernel_inputs.hpp"
#include "kernel_table.hpp"
#include "literal.hpp"
#include "standin_host.hpp"
#include "state_spaces.hpp"

namespace {

const KernelTable kPolled = kernelsOfThisBuild();

KernelTable loadUnpolledKernels() {
    void* library = dlopen(UNPOLLED_KERNELS, RTLD_NOW | RTLD_LOCAL);
    void* entry = library ? dlsym(library, "unpolledKernels") : nullptr;
    if (!entry) {
        std::fprintf(stderr, "cannot load %s: %s\n", UNPOLLED_KERNELS, dlerror());
        std::exit(1);
    }
    return reinterpret_cast<KernelTable (*)()>(entry)();
}

struct Membership {
    std::string name;
    std::int32_t a, L;
    std::vector<double> S;
    std::vector<double> counts;  // the walk's, for the benchmarks of the codes
};

Membership withCounts(std::string name, std::int32_t a, std::int32_t L, std::vector<double> S) {
    Fault fault;
    double* counts = kPolled.count(S.data(), a, L, &fault);
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

// Random 0/1 rows but for one entry of 0.5: the walk goes pair by pair.
Membership pairwiseRows(std::int32_t a, std::int32_t L) {
    std::mt19937_64 rng(2025);
    std::vector<double> S = randomBinaryRows(a, L, rng);
    S[static_cast<std::size_t>(a) - 1] = 0.5;
    return withCounts("pairwise" + std::to_string(a) + "x" + std::to_string(L), a, L, std::move(S));
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

// The counts, and the codes when withCodes, of `variant` ("kernel" for this
// build's, "unpolled" for the baseline of the poll's cost).
void registerKernelWalks(const Membership& m, bool withCodes, const std::string& variant, const KernelTable& kernels) {
    const Membership* p = &m;
    const KernelTable* k = &kernels;
    benchmark::RegisterBenchmark(("count/" + variant + "/" + m.name).c_str(), [p, k](benchmark::State& state) {
        timeTransitions(state, *p, [p, k] {
            Fault fault;
            benchmark::DoNotOptimize(k->count(p->S.data(), p->a, p->L, &fault));
        });
    })->Unit(benchmark::kMillisecond);
    if (!withCodes) return;
    benchmark::RegisterBenchmark(("codes/" + variant + "/" + m.name).c_str(), [p, k](benchmark::State& state) {
        timeTransitions(state, *p, [p, k] {
            TransitionCodes codes{};
            Fault fault;
            if (!k->codes(viewOf(p->S, p->a, p->L), columnOf(p->counts), &codes, &fault)) std::abort();
            benchmark::DoNotOptimize(codes.codes);
        });
    })->Unit(benchmark::kMillisecond);
}

void registerWalks(const Membership& m, bool withCodes) {
    const Membership* p = &m;
    registerKernelWalks(m, withCodes, "kernel", kPolled);
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

// Every symbol listed `repeats` times over.
AssemblyCase assemblyOf(const Membership& m, std::int32_t repeats = 1) {
    AssemblyCase c;
    TransitionCodes codes{};
    Fault fault;
    if (!kPolled.codes(viewOf(m.S, m.a, m.L), columnOf(m.counts), &codes, &fault)) std::abort();
    c.codes.assign(codes.codes, codes.codes + codes.codeCount);
    standin::releaseScratch();
    double running = 0.0;
    for (std::int32_t s = 0; s < m.L; ++s) {
        c.weights.push_back(1.0 / m.L);
        c.cum.push_back(running += m.counts[s]);
    }
    for (std::int32_t r = 0; r < repeats; ++r) {
        for (std::int32_t s = 0; s < m.L; ++s) c.list.push_back(s + 1);
    }
    c.inputs = {m.a - 1, columnOf(c.weights), columnOf(c.list), columnOf(c.codes), columnOf(c.cum)};
    return c;
}

void registerAssembly(const AssemblyCase& c, const KernelTable& unpolled) {
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
    for (const auto& [variant, kernels] : {std::pair{"quivane", &kPolled}, std::pair{"unpolled", &unpolled}}) {
        const KernelTable* k = kernels;
        benchmark::RegisterBenchmark(("assembly/" + std::string(variant) + "/" + size).c_str(), [p, k](benchmark::State&
                                                                                                           state) {
            for (auto _ : state) {
                mxArray* A = standin::createDouble(p->inputs.matrixSize, p->inputs.matrixSize);
                Fault fault;
                if (!k->check(p->inputs, &fault)) std::abort();
                if (!k->dense(p->inputs, mxGetPr(A), &fault)) std::abort();
                benchmark::DoNotOptimize(mxGetPr(A));
                standin::destroyArray(A);
            }
            state.counters["codes"] = static_cast<double>(p->codes.size());
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("assembly/" + std::string(variant) + "_sparse/" + size).c_str(),
                                     [p, k](benchmark::State& state) {
                                         for (auto _ : state) {
                                             SparseColumns matrix{};
                                             Fault fault;
                                             if (!k->check(p->inputs, &fault)) std::abort();
                                             if (!k->sparse(p->inputs, &matrix, &fault)) std::abort();
                                             benchmark::DoNotOptimize(matrix.entries);
                                             state.PauseTiming();
                                             standin::releaseScratch();
                                             state.ResumeTiming();
                                         }
                                     })
            ->Unit(benchmark::kMillisecond);
    }
}

// What a user waits after Ctrl-C: the flag is raised 20 ms into a call that
// runs for seconds, from another thread as the host's signal handling does,
// and the time from then to the call's return is reported (the worst of the
// iterations, in ms). call returns whether it ran to its end.
void registerInterruptLatency(const std::string& label, std::function<bool(Fault*)> call) {
    benchmark::RegisterBenchmark(
        ("interrupt/" + label).c_str(),
        [call](benchmark::State& state) {
            using Clock = std::chrono::steady_clock;
            double worst = 0.0;
            for (auto _ : state) {
                Clock::time_point raised;
                std::thread raiser([&raised] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    raised = Clock::now();
                    standin::setInterrupt(true);
                });
                Fault fault;
                const bool ended = call(&fault);
                const Clock::time_point returned = Clock::now();
                raiser.join();
                standin::setInterrupt(false);
                state.PauseTiming();
                standin::releaseScratch();
                state.ResumeTiming();
                if (ended || std::strcmp(fault.mnemonic, "interrupted") != 0) {
                    state.SkipWithError("the call was not interrupted");
                    break;
                }
                worst = std::max(worst, std::chrono::duration<double, std::milli>(returned - raised).count());
            }
            state.counters["latency_ms"] = worst;
        })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
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
void printRatio(const KeepingTimes& times, const std::string& label, const std::string& slow, const std::string& fast,
                int decimals = 1) {
    auto s = times.seconds.find(slow);
    auto f = times.seconds.find(fast);
    if (s == times.seconds.end() || f == times.seconds.end()) return;
    std::printf("%-44s %10.*fx real  %10.*fx cpu  (real %.4g s / %.4g s)\n", label.c_str(), decimals,
                s->second.real / f->second.real, decimals, s->second.cpu / f->second.cpu, s->second.real,
                f->second.real);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const KernelTable unpolled = loadUnpolledKernels();
    const Membership subsets11 = subsetMembership(11);
    const Membership random1500 = randomRows(1500, 40);
    const Membership pairwise2000 = pairwiseRows(2000, 40);
    const Membership subsets20 = subsetMembership(20);
    const AssemblyCase pipeline11 = assemblyOf(subsets11);
    registerWalks(subsets11, true);
    registerWalks(random1500, true);
    registerWalks(subsets20, false);
    registerKernelWalks(pairwise2000, true, "kernel", kPolled);
    for (const Membership* m : {&subsets11, &random1500, &pairwise2000})
        registerKernelWalks(*m, true, "unpolled", unpolled);
    registerKernelWalks(subsets20, false, "unpolled", unpolled);
    registerAssembly(pipeline11, unpolled);

    // Calls that run for seconds unless stopped: the lookup walk of 2^20
    // states, the pairwise walk of 20000, every symbol of the assembly
    // listed 20000 times (its check, then the adding itself).
    std::mt19937_64 rng(7);
    std::vector<double> longPairwise = randomBinaryRows(20000, 20, rng);
    longPairwise[19999] = 0.5;
    const AssemblyCase longAssembly = assemblyOf(subsets11, 20000);
    std::vector<double> A(static_cast<std::size_t>(longAssembly.inputs.matrixSize) * longAssembly.inputs.matrixSize);
    registerInterruptLatency("count/" + subsets20.name, [&](Fault* fault) {
        kPolled.count(subsets20.S.data(), subsets20.a, subsets20.L, fault);
        return !*fault;
    });
    registerInterruptLatency("count/pairwise20000x20", [&](Fault* fault) {
        kPolled.count(longPairwise.data(), 20000, 20, fault);
        return !*fault;
    });
    registerInterruptLatency("assembly/check", [&](Fault* fault) { return kPolled.check(longAssembly.inputs, fault); });
    registerInterruptLatency("assembly/dense",
                             [&](Fault* fault) { return kPolled.dense(longAssembly.inputs, A.data(), fault); });

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
    std::printf("\ncost of polling for Ctrl-C, polled / unpolled (1.000 = none):\n");
    for (const Membership* m : {&subsets11, &random1500, &pairwise2000, &subsets20}) {
        printRatio(reporter, "counts, " + m->name, "count/kernel/" + m->name, "count/unpolled/" + m->name, 3);
        printRatio(reporter, "codes, " + m->name, "codes/kernel/" + m->name, "codes/unpolled/" + m->name, 3);
    }
    printRatio(reporter, "assembly, a=" + size, "assembly/quivane/" + size, "assembly/unpolled/" + size, 3);
    printRatio(reporter, "sparse assembly, a=" + size, "assembly/quivane_sparse/" + size,
               "assembly/unpolled_sparse/" + size, 3);
    benchmark::Shutdown();
    return 0;
}
