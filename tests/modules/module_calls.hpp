// The modules as a host sees them: loaded by file name, called through
// mexFunction with host arrays, errors caught at the call boundary.
#ifndef TESTS_MODULES_MODULE_CALLS_HPP
#define TESTS_MODULES_MODULE_CALLS_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "standin_host.hpp"

// Arrays owned by the test, destroyed with it.
class Arrays {
public:
    Arrays() = default;
    Arrays(const Arrays&) = delete;
    Arrays& operator=(const Arrays&) = delete;
    ~Arrays();
    mxArray* keep(mxArray* a);
    const mxArray* dbl(std::size_t m, std::size_t n, std::vector<double> v = {});
    const mxArray* column(std::vector<double> v) { return dbl(v.size(), 1, v); }
    const mxArray* row(std::vector<double> v) { return dbl(1, v.size(), v); }

private:
    std::vector<mxArray*> owned_;
};

struct Call {
    std::string module;
    std::vector<const mxArray*> inputs;
    int nlhs = 1;
    std::size_t memoryLimit = SIZE_MAX;  // bytes the host hands out during the call
    bool interrupted = false;            // the host holds a Ctrl-C as the call starts
};

// True when both hold the same doubles bit for bit (NaN payloads, -0.0).
bool sameBits(const std::vector<double>& a, const std::vector<double>& b);

// Runs the call, checks that no input changed, and returns the outcome.
standin::CallOutcome run(const Call& call);

// The result of a call that must succeed with a rows x cols result.
std::vector<double> result(const Call& call, std::size_t rows, std::size_t cols);

// The worked example: every subset of two symbols.
struct Example {
    Arrays arrays;
    const mxArray* S = arrays.dbl(4, 2, {0, 1, 0, 1, 0, 0, 1, 1});
    const mxArray* P = arrays.dbl(4, 2, {-1, 1, -1, 3, -1, -1, 1, 2});
    const mxArray* T3 = arrays.dbl(1, 1, {3});
    const mxArray* ones = arrays.dbl(2, 3, {1, 1, 1, 1, 1, 1});
    const mxArray* counts = arrays.column({3, 3});
    const mxArray* codes = arrays.row({1000001, 3000002, 3000003, 2000002, 3000001, 3000003});
    const mxArray* cum = arrays.column({3, 6});
    const mxArray* w = arrays.row({0.25, 0.75});
    const mxArray* list = arrays.column({1, 2});
    const mxArray* a3 = arrays.dbl(1, 3);
    const mxArray* unused = arrays.dbl(0, 0);
};

// The worked example's call of each module; it is accepted.
Call acceptedCall(const std::string& module, Example& x);

// An accepted call of the module that takes host scratch: the worked
// example's, in the sparse form for the assembly.
Call scratchTakingCall(const std::string& module, Example& x);

#endif
