// The forward recursion kernel (plan and steps) against the literal algorithm
// in the same process, on all subsets of L symbols. Items are valid
// predecessor terms times steps; scratch_bytes is the peak scratch of one
// call. After the runs, "ratio" lines compare the kernel with the literal
// algorithm and two threads with one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "all_subsets.hpp"
#include "forward/forward_recursion.hpp"
#include "kernel_inputs.hpp"
#include "literal.hpp"
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

// All subsets of L symbols; listed: less the last state's first predecessor,
// which leaves a table the kernel keeps as a list of terms.
const Workload& workload(std::int32_t L, std::int32_t T, bool listed) {
    static std::map<std::tuple<std::int32_t, std::int32_t, bool>, Workload> made;
    auto found = made.find({L, T, listed});
    if (found == made.end()) {
        StateSpace space = allSubsets(L);
        if (listed) space.P[space.n - 1] = -1.0;
        found = made.emplace(std::make_tuple(L, T, listed), makeWorkload(std::move(space), T)).first;
    }
    return found->second;
}

void finish(benchmark::State& state, const Workload& w, std::size_t peakScratch) {
    state.SetItemsProcessed(state.iterations() * w.termsPerStep * (w.T - 1));
    state.counters["scratch_bytes"] = static_cast<double>(peakScratch);
}

// The plan of in on `threads` threads; false, with the benchmark skipped, on a fault.
bool planOn(benchmark::State& state, const ForwardInputs& in, std::int32_t threads, ForwardPlan* plan) {
    plan->threads = threads;
    Fault fault;
    if (planForward(in, plan, &fault)) return true;
    state.SkipWithError(fault.detail);
    return false;
}

void runKernel(benchmark::State& state, std::int32_t L, std::int32_t T, bool normalize, std::int32_t threads,
               bool listed) {
    const Workload& w = workload(L, T, listed);
    const double steps = T;
    const ForwardInputs in = forwardInputsOf(w.space, w.O, steps);
    std::size_t peak = 0;
    std::vector<double> last(static_cast<std::size_t>(w.space.n));
    Fault fault;
    standin::releaseScratch();
    for (auto _ : state) {
        ForwardPlan plan{};
        if (!planOn(state, in, threads, &plan)) break;
        benchmark::DoNotOptimize(forwardRecursion(plan, normalize, {last.data(), nullptr}, &fault));
        peak = std::max(peak, standin::releaseScratch());
    }
    finish(state, w, peak);
}

// planForward alone: reading and checking the tables, which every call does once.
void runPlan(benchmark::State& state, std::int32_t L, std::int32_t T, std::int32_t threads) {
    const double steps = T;
    const ForwardInputs in = forwardInputsOf(workload(L, T, false).space, workload(L, T, false).O, steps);
    std::size_t peak = 0;
    standin::releaseScratch();
    for (auto _ : state) {
        ForwardPlan plan{};
        if (!planOn(state, in, threads, &plan)) break;
        benchmark::DoNotOptimize(plan.states);
        peak = std::max(peak, standin::releaseScratch());
    }
    state.counters["scratch_bytes"] = static_cast<double>(peak);
}

void runLiteral(benchmark::State& state, std::int32_t L, std::int32_t T) {
    const Workload& w = workload(L, T, false);
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

std::string sizeName(std::int32_t L, std::int32_t T) { return "L:" + std::to_string(L) + "/T:" + std::to_string(T); }

std::string kernelName(std::int32_t L, std::int32_t T, bool normalize, std::int32_t threads, bool listed = false) {
    return "kernel/" + sizeName(L, T) + (normalize ? "/normalised" : "/raw") + (listed ? "/listed" : "") +
           "/threads:" + std::to_string(threads);
}

std::string literalName(std::int32_t L, std::int32_t T) { return "literal/" + sizeName(L, T) + "/raw"; }

// The console report, plus the real time per iteration of every run by name.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                seconds_[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatio(const std::string& label, const std::string& slow, const std::string& fast) const {
        auto s = seconds_.find(slow);
        auto f = seconds_.find(fast);
        if (s == seconds_.end() || f == seconds_.end()) return;
        std::printf("ratio %-44s %7.2fx  (%s / %s)\n", label.c_str(), s->second / f->second, slow.c_str(),
                    fast.c_str());
    }

private:
    std::map<std::string, double> seconds_;
};

struct Size {
    std::int32_t L, T, literalIterations;
};
constexpr Size kSizes[] = {{14, 200, 0}, {20, 20, 2}};

// Two threads against one below the sizes above: where the threads start to
// pay. Forced, the plan's passes take two threads as well, which a call left
// to choose only does from larger tables on: one thread start more than it.
constexpr std::int32_t kSweepSymbols[] = {10, 11, 12, 13, 14, 16};

// About sixteen million terms per run at every size of the sweep, so that
// the steps outweigh the plan.
std::int32_t sweepSteps(std::int32_t L) { return std::max(4, (1 << 24) / (L << (L - 1))); }

void registerAll() {
    for (const Size& size : kSizes) {
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
        for (std::int32_t threads : {1, 2}) {
            for (bool normalize : {false, true}) {
                benchmark::RegisterBenchmark(kernelName(size.L, size.T, normalize, threads).c_str(), runKernel, size.L,
                                             size.T, normalize, threads, false)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
            benchmark::RegisterBenchmark(kernelName(size.L, size.T, false, threads, true).c_str(), runKernel, size.L,
                                         size.T, false, threads, true)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    for (std::int32_t L : kSweepSymbols) {
        std::int32_t T = sweepSteps(L);
        for (bool normalize : {false, true}) {
            for (std::int32_t threads : {1, 2}) {
                benchmark::RegisterBenchmark(("sweep/" + kernelName(L, T, normalize, threads)).c_str(), runKernel, L, T,
                                             normalize, threads, false)
                    ->Unit(benchmark::kMicrosecond)
                    ->UseRealTime();
            }
        }
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
    for (const Size& size : kSizes) {
        std::string literal = literalName(size.L, size.T);
        reporter.printRatio("one thread vs literal, " + sizeName(size.L, size.T), literal,
                            kernelName(size.L, size.T, false, 1));
        reporter.printRatio("two threads vs literal, " + sizeName(size.L, size.T), literal,
                            kernelName(size.L, size.T, false, 2));
        reporter.printRatio("listed terms, one thread vs literal, " + sizeName(size.L, size.T), literal,
                            kernelName(size.L, size.T, false, 1, true));
        reporter.printRatio("plan, two threads vs one, " + sizeName(size.L, size.T),
                            "plan/" + sizeName(size.L, size.T) + "/threads:1",
                            "plan/" + sizeName(size.L, size.T) + "/threads:2");
        for (bool normalize : {false, true}) {
            reporter.printRatio(
                std::string("two threads vs one, ") + (normalize ? "normalised " : "raw ") + sizeName(size.L, size.T),
                kernelName(size.L, size.T, normalize, 1), kernelName(size.L, size.T, normalize, 2));
        }
    }
    for (std::int32_t L : kSweepSymbols) {
        std::int32_t T = sweepSteps(L);
        for (bool normalize : {false, true}) {
            reporter.printRatio(
                std::string("two threads vs one, sweep ") + (normalize ? "normalised " : "raw ") + sizeName(L, T),
                "sweep/" + kernelName(L, T, normalize, 1), "sweep/" + kernelName(L, T, normalize, 2));
        }
    }
    benchmark::Shutdown();
    return 0;
}
