// Writes each fuzz target's seed inputs, the README's worked examples, into
// <dir>/<module>/: the bytes fuzz_module.cpp reads to derive them, with no
// mutation. Usage: make_fuzz_seeds <dir>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_input.hpp"

namespace {

// Two symbols, three steps, every observation weight 1: the bytes up to the
// choice of a batch.
fuzz::Writer workedObservations() {
    fuzz::Writer w;
    w.choice(2);  // L
    w.choice(2);  // T - 1
    for (int i = 0; i < 6; ++i) w.value(1.0);
    return w;
}

// The worked example as a single call.
fuzz::Writer forwardExample() {
    fuzz::Writer w = workedObservations();
    w.choice(0);  // a single call
    w.choice(0);  // no chosen steps
    w.choice(0);  // no mutation
    return w;
}

// In place of those observations, a batch of two sequences, of three steps
// and one.
fuzz::Writer forwardBatchExample() {
    fuzz::Writer w = workedObservations();
    w.choice(3);  // two sequences
    w.choice(2);  // T - 1
    for (int i = 0; i < 6; ++i) w.value(1.0);
    w.choice(0);  // T - 1
    for (int i = 0; i < 2; ++i) w.value(0.5);
    w.choice(0);  // one T per sequence
    w.choice(0);  // no chosen steps
    w.choice(0);  // no mutation
    return w;
}

// Two symbols: counts [3; 3] and codes [1000001 3000002 3000003 2000002 3000001 3000003].
fuzz::Writer transitionExample() {
    fuzz::Writer w;
    w.choice(2);  // L
    w.choice(0);  // no mutation
    return w;
}

// The transition example assembled with w = [0.25 0.75] and list = [1; 2].
fuzz::Writer assemblyExample() {
    fuzz::Writer w;
    w.choice(2);  // L
    w.value(0.25);
    w.value(0.75);
    w.choice(2);  // list length
    w.choice(0);  // symbol 1
    w.choice(1);  // symbol 2
    w.choice(0);  // no mutation
    return w;
}

// The worked example straight from S: w = [0.25 0.75], every symbol listed.
fuzz::Writer statesExample() {
    fuzz::Writer w;
    w.choice(2);  // L
    w.choice(0);  // no rows copied
    w.value(0.25);
    w.value(0.75);
    w.choice(0);  // list left out
    w.choice(0);  // no mutation
    return w;
}

void writeSeed(const std::filesystem::path& dir, const std::string& module, const fuzz::Writer& seed,
               const char* name = "worked_example") {
    std::filesystem::create_directories(dir / module);
    std::ofstream out(dir / module / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(seed.bytes().data()), static_cast<std::streamsize>(seed.bytes().size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed dir>\n", argv[0]);
        return 2;
    }
    std::filesystem::path dir = argv[1];
    for (const char* module : {"Zellmor_mex", "Zellmor_raw_mex"}) {
        writeSeed(dir, module, forwardExample());
        writeSeed(dir, module, forwardBatchExample(), "batch_example");
    }
    fuzz::Writer gradient = forwardExample();
    gradient.choice(0);  // w left out
    writeSeed(dir, "Zellmor_grad_mex", gradient);
    writeSeed(dir, "Zellmor_path_mex", gradient);
    writeSeed(dir, "Ortesk_count_mex", transitionExample());
    writeSeed(dir, "Ortesk_slots_mex", transitionExample());
    writeSeed(dir, "Quivane_mex", assemblyExample());
    writeSeed(dir, "Quivane_states_mex", statesExample());
    return 0;
}
