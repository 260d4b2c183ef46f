// The modules as a host sees them: loaded by file name, called through
// mexFunction with host arrays, errors caught at the call boundary.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "standin_host.hpp"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

standin::MexFunction module(const std::string& name) {
    static std::map<std::string, standin::MexFunction> loaded;
    auto found = loaded.find(name);
    if (found != loaded.end()) return found->second;
    return loaded[name] = standin::loadModule(std::string(STANDIN_MODULE_DIR) + "/" + name + ".so");
}

// Arrays owned by the test, destroyed with it.
class Arrays {
public:
    ~Arrays() {
        for (mxArray* a : owned_) standin::destroyArray(a);
    }
    mxArray* keep(mxArray* a) {
        owned_.push_back(a);
        return a;
    }
    const mxArray* dbl(std::size_t m, std::size_t n, std::vector<double> v = {}) {
        return keep(standin::createDouble(m, n, v));
    }
    const mxArray* column(std::vector<double> v) { return dbl(v.size(), 1, v); }
    const mxArray* row(std::vector<double> v) { return dbl(1, v.size(), v); }

private:
    std::vector<mxArray*> owned_;
};

struct Call {
    std::string module;
    std::vector<const mxArray*> inputs;
    int nlhs = 1;
};

// True when both hold the same doubles bit for bit (NaN payloads, -0.0).
bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Runs the call, checks that no input changed, and returns the outcome.
standin::CallOutcome run(const Call& call) {
    std::vector<std::vector<double>> before;
    for (const mxArray* in : call.inputs) before.push_back(standin::values(in));
    standin::CallOutcome outcome = standin::callGateway(module(call.module), call.module.c_str(), call.nlhs, call.inputs);
    for (std::size_t i = 0; i < call.inputs.size(); ++i) {
        std::vector<double> after = standin::values(call.inputs[i]);
        EXPECT_TRUE(sameBits(after, before[i])) << call.module << " changed input " << i + 1;
    }
    return outcome;
}

std::vector<double> result(const Call& call, std::size_t rows, std::size_t cols) {
    standin::CallOutcome outcome = run(call);
    EXPECT_FALSE(outcome.failed()) << call.module << ": " << outcome.errorId << ": " << outcome.errorMessage;
    if (outcome.failed()) return {};
    EXPECT_EQ(mxGetM(outcome.result), rows) << call.module;
    EXPECT_EQ(mxGetN(outcome.result), cols) << call.module;
    std::vector<double> values = standin::values(outcome.result);
    standin::destroyArray(outcome.result);
    return values;
}

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
    const mxArray* a3 = arrays.dbl(1, 3);
    const mxArray* unused = arrays.dbl(0, 0);
};

TEST(Modules, ForwardWorkedExample) {
    Example x;
    EXPECT_EQ(result({"Zellmor_raw_mex", {x.T3, x.ones, x.S, x.P}}, 4, 1), (std::vector<double>{0, 1, 1, 6}));
    EXPECT_EQ(result({"Zellmor_mex", {x.T3, x.ones, x.S, x.P}}, 4, 1), (std::vector<double>{0, 0.125, 0.125, 0.75}));
    const mxArray* T1 = x.arrays.dbl(1, 1, {1});
    for (const char* name : {"Zellmor_mex", "Zellmor_raw_mex"}) {
        EXPECT_EQ(result({name, {T1, x.ones, x.S, x.P}}, 4, 1), (std::vector<double>{0, 1, 1, 0})) << name;
        EXPECT_EQ(result({name, {T1, x.ones, x.arrays.dbl(0, 2), x.P}}, 0, 1), std::vector<double>{}) << name;
    }
}

TEST(Modules, ResultStoredWhenNoOutputRequested) {
    Example x;
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, x.S}, 0}, 2, 1), (std::vector<double>{3, 3}));
}

TEST(Modules, TransitionPipelineWorkedExample) {
    Example x;
    std::vector<double> codes = {1000001, 3000002, 3000003, 2000002, 3000001, 3000003};
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, x.S}}, 2, 1), (std::vector<double>{3, 3}));
    EXPECT_EQ(result({"Ortesk_slots_mex", {x.unused, x.S, x.counts}}, 1, 6), codes);
    EXPECT_EQ(result({"Ortesk_slots_mex", {x.unused, x.S, x.arrays.row({3, 3})}}, 1, 6), codes);
    EXPECT_EQ(result({"Quivane_mex", {x.a3, x.w, x.arrays.column({1, 2}), x.codes, x.cum}}, 3, 3),
              (std::vector<double>{0.25, 0, 0.75, 0, 0.75, 0.25, 0, 0, 1.0}));
    EXPECT_EQ(result({"Quivane_mex", {x.a3, x.w, x.arrays.row({2, 1}), x.codes, x.cum}}, 3, 3),
              (std::vector<double>{0, 0, 0.75, 0, 0.75, 0, 0, 0, 0.75}));
    EXPECT_EQ(result({"Quivane_mex", {x.a3, x.w, x.arrays.dbl(1, 0), x.codes, x.cum}}, 3, 3),
              std::vector<double>(9, 0.0));
}

TEST(Modules, EmptyShapes) {
    Example x;
    const mxArray* noSymbols = x.arrays.dbl(3, 0);
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, noSymbols}}, 0, 1), std::vector<double>{});
    EXPECT_EQ(result({"Ortesk_slots_mex", {x.unused, noSymbols, x.unused}}, 1, 0), std::vector<double>{});
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, x.arrays.dbl(1, 3, {1, 1, 1})}}, 3, 1),
              (std::vector<double>{0, 0, 0}));
}

TEST(Modules, ForwardScratchIndependentOfSteps) {
    Example x;
    std::size_t bytes[2];
    const double steps[2] = {3, 100000};
    for (int i = 0; i < 2; ++i) {
        const mxArray* O = x.arrays.dbl(2, static_cast<std::size_t>(steps[i]),
                                        std::vector<double>(2 * static_cast<std::size_t>(steps[i]), 0.5));
        standin::CallOutcome outcome =
            run({"Zellmor_raw_mex", {x.arrays.dbl(1, 1, {steps[i]}), O, x.S, x.P}});
        ASSERT_FALSE(outcome.failed()) << outcome.errorMessage;
        standin::destroyArray(outcome.result);
        bytes[i] = outcome.scratchBytes;
    }
    EXPECT_EQ(bytes[0], bytes[1]);
}

struct Rejection {
    std::string label;
    std::function<Call(Example&)> call;
    std::string id;
};

TEST(Modules, RejectsBadCallsByIdentifier) {
    using A = standin::ArrayClass;
    auto forward = [](const char* name, int slot, std::function<const mxArray*(Example&)> replace) {
        return [=](Example& x) {
            Call c{name, {x.T3, x.ones, x.S, x.P}};
            c.inputs[slot] = replace(x);
            return c;
        };
    };
    auto scalarT = [](double t) { return [t](Example& x) { return x.arrays.dbl(1, 1, {t}); }; };
    auto predecessor = [](double p) {
        return [p](Example& x) { return x.arrays.dbl(4, 2, {-1, 1, -1, 3, -1, -1, 1, p}); };
    };
    auto slots = [](std::vector<double> counts) {
        return [counts](Example& x) { return Call{"Ortesk_slots_mex", {x.unused, x.S, x.arrays.column(counts)}}; };
    };
    auto assembly = [](std::vector<double> list, std::vector<double> codes, std::vector<double> cum) {
        return [=](Example& x) {
            return Call{"Quivane_mex",
                        {x.a3, x.w, x.arrays.column(list), x.arrays.row(codes), x.arrays.column(cum)}};
        };
    };
    const std::vector<Rejection> table = {
        {"3 inputs", [](Example& x) { return Call{"Zellmor_mex", {x.T3, x.ones, x.S}}; }, "Zellmor_mex:notEnoughInputs"},
        {"2 outputs", [](Example& x) { return Call{"Zellmor_raw_mex", {x.T3, x.ones, x.S, x.P}, 2}; },
         "Zellmor_raw_mex:tooManyOutputs"},
        {"single S", forward("Zellmor_mex", 2, [](Example& x) { return x.arrays.keep(standin::createArray(A::Single, 4, 2, false, false)); }),
         "Zellmor_mex:notRealDouble"},
        {"complex O", forward("Zellmor_mex", 1, [](Example& x) { return x.arrays.keep(standin::createArray(A::Double, 2, 3, true, false)); }),
         "Zellmor_mex:notRealDouble"},
        {"sparse P", forward("Zellmor_mex", 3, [](Example& x) { return x.arrays.keep(standin::createArray(A::Double, 4, 2, false, true)); }),
         "Zellmor_mex:notRealDouble"},
        {"huge S", forward("Zellmor_mex", 2, [](Example& x) { return x.arrays.keep(standin::createShapeOnly(std::size_t{1} << 31, 2)); }),
         "Zellmor_mex:tooLarge"},
        {"T empty", forward("Zellmor_mex", 0, [](Example& x) { return x.arrays.dbl(0, 1); }), "Zellmor_mex:badStepCount"},
        {"T 0", forward("Zellmor_mex", 0, scalarT(0)), "Zellmor_mex:badStepCount"},
        {"T 2.5", forward("Zellmor_mex", 0, scalarT(2.5)), "Zellmor_mex:badStepCount"},
        {"T NaN", forward("Zellmor_raw_mex", 0, scalarT(kNaN)), "Zellmor_raw_mex:badStepCount"},
        {"T Inf", forward("Zellmor_mex", 0, scalarT(kInf)), "Zellmor_mex:badStepCount"},
        {"T 2^31", forward("Zellmor_mex", 0, scalarT(2147483648.0)), "Zellmor_mex:badStepCount"},
        {"O short", forward("Zellmor_mex", 1, [](Example& x) { return x.arrays.dbl(2, 2); }),
         "Zellmor_mex:observationsTooShort"},
        {"P short", forward("Zellmor_mex", 3, [](Example& x) { return x.arrays.dbl(4, 1, {-1, 1, -1, 3}); }),
         "Zellmor_mex:predecessorsTooShort"},
        {"P 0", forward("Zellmor_mex", 3, predecessor(0)), "Zellmor_mex:badPredecessor"},
        {"P n+1", forward("Zellmor_mex", 3, predecessor(5)), "Zellmor_mex:badPredecessor"},
        {"P 1.5", forward("Zellmor_mex", 3, predecessor(1.5)), "Zellmor_mex:badPredecessor"},
        {"P NaN", forward("Zellmor_mex", 3, predecessor(kNaN)), "Zellmor_mex:badPredecessor"},
        {"P -0.5", forward("Zellmor_mex", 3, predecessor(-0.5)), "Zellmor_mex:badPredecessor"},
        {"one member without 1.0",
         forward("Zellmor_mex", 2, [](Example& x) { return x.arrays.dbl(4, 2, {0, 0.5, 0, 1, 0, 0.7, 1, 1}); }),
         "Zellmor_mex:noMemberEntry"},
        {"last row NaN",
         forward("Zellmor_mex", 2, [](Example& x) { return x.arrays.dbl(4, 2, {0, 1, 0, 1, 0, 0, 1, kNaN}); }),
         "Zellmor_mex:badLastState"},
        {"last row negative",
         forward("Zellmor_mex", 2, [](Example& x) { return x.arrays.dbl(4, 2, {0, 1, 0, -3, 0, 0, 1, 1}); }),
         "Zellmor_mex:badLastState"},
        {"last row more ones than its sum",
         forward("Zellmor_mex", 2, [](Example& x) { return x.arrays.dbl(4, 2, {0, 1, 0, 1, 0, 0, 1, -0.5}); }),
         "Zellmor_mex:badLastState"},
        {"count 1 input", [](Example& x) { return Call{"Ortesk_count_mex", {x.S}}; }, "Ortesk_count_mex:notEnoughInputs"},
        {"count 2 outputs", [](Example& x) { return Call{"Ortesk_count_mex", {x.unused, x.S}, 2}; },
         "Ortesk_count_mex:tooManyOutputs"},
        {"count logical S",
         [](Example& x) { return Call{"Ortesk_count_mex", {x.unused, x.arrays.keep(standin::createArray(A::Logical, 4, 2, false, false))}}; },
         "Ortesk_count_mex:notRealDouble"},
        {"slots 2 inputs", [](Example& x) { return Call{"Ortesk_slots_mex", {x.unused, x.S}}; },
         "Ortesk_slots_mex:notEnoughInputs"},
        {"slots int32 counts",
         [](Example& x) { return Call{"Ortesk_slots_mex", {x.unused, x.S, x.arrays.keep(standin::createArray(A::Int32, 2, 1, false, false))}}; },
         "Ortesk_slots_mex:notRealDouble"},
        {"counts short", slots({3}), "Ortesk_slots_mex:countsTooShort"},
        {"count negative", slots({-1, 3}), "Ortesk_slots_mex:badCount"},
        {"count 1.5", slots({1.5, 3}), "Ortesk_slots_mex:badCount"},
        {"count NaN", slots({3, kNaN}), "Ortesk_slots_mex:badCount"},
        {"count 2^31", slots({3, 2147483648.0}), "Ortesk_slots_mex:badCount"},
        {"counts total", slots({2147483647.0, 1}), "Ortesk_slots_mex:countTotalTooLarge"},
        {"count too small", slots({3, 2}), "Ortesk_slots_mex:countMismatch"},
        {"count too large", slots({4, 3}), "Ortesk_slots_mex:countMismatch"},
        {"2149 rows",
         [](Example& x) { return Call{"Ortesk_slots_mex", {x.unused, x.arrays.dbl(2149, 1), x.arrays.column({0})}}; },
         "Ortesk_slots_mex:tooManyStates"},
        {"assembly 4 inputs", [](Example& x) { return Call{"Quivane_mex", {x.a3, x.w, x.cum, x.codes}}; },
         "Quivane_mex:notEnoughInputs"},
        {"assembly sparse size",
         [](Example& x) { return Call{"Quivane_mex", {x.arrays.keep(standin::createArray(A::Double, 3, 3, false, true)), x.w, x.cum, x.codes, x.cum}}; },
         "Quivane_mex:notRealDouble"},
        {"symbol 0", assembly({0}, {1000001}, {1, 1}), "Quivane_mex:badSymbol"},
        {"symbol beyond weights", assembly({3}, {1000001}, {1, 1, 1}), "Quivane_mex:badSymbol"},
        {"bucket past codes", assembly({2}, {1000001}, {1, 2}), "Quivane_mex:badBucket"},
        {"zero code", assembly({1}, {0}, {1}), "Quivane_mex:badCode"},
        {"code beyond a", assembly({1}, {4000001}, {1}), "Quivane_mex:badCode"},
    };
    for (const Rejection& r : table) {
        Example x;
        standin::CallOutcome outcome = run(r.call(x));
        EXPECT_EQ(outcome.errorId, r.id) << r.label;
        EXPECT_EQ(outcome.result, nullptr) << r.label;
        EXPECT_FALSE(outcome.errorMessage.empty()) << r.label;
    }
}

TEST(Modules, MismatchNamesFirstDifferingSymbol) {
    Example x;
    standin::CallOutcome outcome = run({"Ortesk_slots_mex", {x.unused, x.S, x.arrays.column({3, 4})}});
    EXPECT_NE(outcome.errorMessage.find("symbol 2 has 3 transitions in S but counts gives 4"), std::string::npos)
        << outcome.errorMessage;
}

}  // namespace
