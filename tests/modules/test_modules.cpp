// The modules as a host sees them: loaded by file name, called through
// mexFunction with host arrays, errors caught at the call boundary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
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
    std::size_t memoryLimit = SIZE_MAX;  // bytes the host hands out during the call
};

// True when both hold the same doubles bit for bit (NaN payloads, -0.0).
bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Runs the call, checks that no input changed, and returns the outcome.
standin::CallOutcome run(const Call& call) {
    std::vector<std::vector<double>> before;
    for (const mxArray* in : call.inputs) before.push_back(standin::values(in));
    standin::setMemoryLimit(call.memoryLimit);
    standin::CallOutcome outcome = standin::callGateway(module(call.module), call.module.c_str(), call.nlhs, call.inputs);
    standin::setMemoryLimit(SIZE_MAX);
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
    const mxArray* list = arrays.column({1, 2});
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

// With no symbols (L = 0) no input data bounds T or the number of states, so
// the work must not grow with them: these calls came back only after hours.
TEST(Modules, NoSymbolsFinishWhateverTheSizes) {
    Example x;
    const mxArray* noSymbols = x.arrays.dbl(3, 0);
    const mxArray* noObservations = x.arrays.dbl(0, 0);
    for (const char* name : {"Zellmor_mex", "Zellmor_raw_mex"}) {
        std::vector<double> twoSteps = result({name, {x.arrays.dbl(1, 1, {2}), noObservations, noSymbols, noSymbols}}, 3, 1);
        std::vector<double> mostSteps =
            result({name, {x.arrays.dbl(1, 1, {2147483647}), noObservations, noSymbols, noSymbols}}, 3, 1);
        EXPECT_TRUE(sameBits(mostSteps, twoSteps)) << name;
    }
    EXPECT_EQ(result({"Ortesk_count_mex", {x.unused, x.arrays.dbl(2147483647, 0)}}, 0, 1), std::vector<double>{});
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
    std::string label;  // the rejected input, as docs/robustness.md lists it
    std::function<Call(Example&)> call;
    std::string id;
};

const char* const kModules[] = {"Zellmor_mex", "Zellmor_raw_mex", "Ortesk_count_mex", "Ortesk_slots_mex", "Quivane_mex"};
const char* const kForwardModules[] = {"Zellmor_mex", "Zellmor_raw_mex"};

// The worked example's call of each module; it is accepted.
Call acceptedCall(const std::string& name, Example& x) {
    if (name == "Ortesk_count_mex") return {name, {x.unused, x.S}};
    if (name == "Ortesk_slots_mex") return {name, {x.unused, x.S, x.counts}};
    if (name == "Quivane_mex") return {name, {x.a3, x.w, x.list, x.codes, x.cum}};
    return {name, {x.T3, x.ones, x.S, x.P}};
}

// The accepted call with one change.
std::function<Call(Example&)> changed(const std::string& name, std::function<void(Call&, Example&)> change) {
    return [=](Example& x) {
        Call c = acceptedCall(name, x);
        change(c, x);
        return c;
    };
}

// The accepted call with input `slot` (0-based) replaced.
std::function<Call(Example&)> replaced(const std::string& name, int slot,
                                       std::function<const mxArray*(Example&)> input) {
    return changed(name, [=](Call& c, Example& x) { c.inputs[slot] = input(x); });
}

// The checks every gateway makes before it reads any data, for each module;
// the first input it reads is the one the class and size checks meet.
std::vector<Rejection> callShapeRejections() {
    using A = standin::ArrayClass;
    std::vector<Rejection> table;
    for (std::string name : kModules) {
        int firstRead = name.rfind("Ortesk", 0) == 0 ? 1 : 0;
        auto id = [&](const char* mnemonic) { return name + ":" + mnemonic; };
        table.push_back({"one input too few", changed(name, [](Call& c, Example&) { c.inputs.pop_back(); }),
                         id("notEnoughInputs")});
        table.push_back({"two outputs requested", changed(name, [](Call& c, Example&) { c.nlhs = 2; }),
                         id("tooManyOutputs")});
        table.push_back({"input of class char", replaced(name, firstRead, [](Example& x) {
                             return x.arrays.keep(standin::createArray(A::Char, 1, 3, false, false));
                         }),
                         id("notRealDouble")});
        table.push_back({"input with 2^31 rows", replaced(name, firstRead, [](Example& x) {
                             return x.arrays.keep(standin::createShapeOnly(std::size_t{1} << 31, 2));
                         }),
                         id("tooLarge")});
        table.push_back({"input with 2^32 columns and no rows", replaced(name, firstRead, [](Example& x) {
                             return x.arrays.keep(standin::createShapeOnly(0, std::size_t{1} << 32));
                         }),
                         id("tooLarge")});
        // The assembly takes no scratch: only the host's own result can fail there.
        if (name != "Quivane_mex") {
            table.push_back({"host out of memory", changed(name, [](Call& c, Example&) { c.memoryLimit = 0; }),
                             id("outOfMemory")});
        }
    }
    return table;
}

std::vector<Rejection> forwardRejections() {
    using A = standin::ArrayClass;
    using Input = std::function<const mxArray*(Example&)>;
    auto scalarT = [](double t) -> Input { return [t](Example& x) { return x.arrays.dbl(1, 1, {t}); }; };
    auto predecessor = [](double p) -> Input {
        return [p](Example& x) { return x.arrays.dbl(4, 2, {-1, 1, -1, 3, -1, -1, 1, p}); };
    };
    auto states = [](std::vector<double> S) -> Input { return [S](Example& x) { return x.arrays.dbl(4, 2, S); }; };
    auto ofClass = [](A cls, std::size_t m, std::size_t n, bool complex, bool sparse) -> Input {
        return [=](Example& x) { return x.arrays.keep(standin::createArray(cls, m, n, complex, sparse)); };
    };
    struct Case {
        const char* label;
        int slot;
        Input input;
        const char* mnemonic;
    };
    const std::vector<Case> cases = {
        {"S single", 2, ofClass(A::Single, 4, 2, false, false), "notRealDouble"},
        {"O complex", 1, ofClass(A::Double, 2, 3, true, false), "notRealDouble"},
        {"P sparse", 3, ofClass(A::Double, 4, 2, false, true), "notRealDouble"},
        {"T empty", 0, [](Example& x) { return x.arrays.dbl(0, 1); }, "badStepCount"},
        {"T 0", 0, scalarT(0), "badStepCount"},
        {"T 2.5", 0, scalarT(2.5), "badStepCount"},
        {"T NaN", 0, scalarT(kNaN), "badStepCount"},
        {"T Inf", 0, scalarT(kInf), "badStepCount"},
        {"T 2^31", 0, scalarT(2147483648.0), "badStepCount"},
        {"O with fewer than L x T elements", 1, [](Example& x) { return x.arrays.dbl(2, 2); },
         "observationsTooShort"},
        {"P with fewer than n x K elements", 3, [](Example& x) { return x.arrays.dbl(4, 1, {-1, 1, -1, 3}); },
         "predecessorsTooShort"},
        {"P entry 0", 3, predecessor(0), "badPredecessor"},
        {"P entry n + 1", 3, predecessor(5), "badPredecessor"},
        {"P entry 1.5", 3, predecessor(1.5), "badPredecessor"},
        {"P entry NaN", 3, predecessor(kNaN), "badPredecessor"},
        {"P entry -0.5", 3, predecessor(-0.5), "badPredecessor"},
        {"S row summing to one member without an entry 1", 2, states({0, 0.5, 0, 1, 0, 0.7, 1, 1}),
         "noMemberEntry"},
        {"S last row NaN", 2, states({0, 1, 0, 1, 0, 0, 1, kNaN}), "badLastState"},
        {"S last row negative", 2, states({0, 1, 0, -3, 0, 0, 1, 1}), "badLastState"},
        {"S last row with more 1 entries than its sum", 2, states({0, 1, 0, 1, 0, 0, 1, -0.5}), "badLastState"},
    };
    std::vector<Rejection> table;
    for (std::string name : kForwardModules) {
        for (const Case& c : cases) table.push_back({c.label, replaced(name, c.slot, c.input), name + ":" + c.mnemonic});
        // K of 2^31 - 1 must meet the check of P before any list of K entries.
        table.push_back({"S last row summing to 2^31 - 1 from a host with 1 MB", changed(name, [](Call& c, Example& x) {
                             c.inputs[2] = x.arrays.dbl(4, 2, {0, 1, 0, 2147483647.0, 0, 0, 1, 0});
                             c.memoryLimit = std::size_t{1} << 20;
                         }),
                         name + ":predecessorsTooShort"});
    }
    return table;
}

std::vector<Rejection> transitionRejections() {
    using A = standin::ArrayClass;
    auto slots = [](std::vector<double> counts) {
        return replaced("Ortesk_slots_mex", 2, [counts](Example& x) { return x.arrays.column(counts); });
    };
    auto assembly = [](std::vector<double> list, std::vector<double> codes, std::vector<double> cum) {
        return [=](Example& x) {
            return Call{"Quivane_mex",
                        {x.a3, x.w, x.arrays.column(list), x.arrays.row(codes), x.arrays.column(cum)}};
        };
    };
    return {
        {"S logical", replaced("Ortesk_count_mex", 1, [](Example& x) {
             return x.arrays.keep(standin::createArray(A::Logical, 4, 2, false, false));
         }),
         "Ortesk_count_mex:notRealDouble"},
        {"counts int32", replaced("Ortesk_slots_mex", 2, [](Example& x) {
             return x.arrays.keep(standin::createArray(A::Int32, 2, 1, false, false));
         }),
         "Ortesk_slots_mex:notRealDouble"},
        {"S with 2149 rows",
         [](Example& x) { return Call{"Ortesk_slots_mex", {x.unused, x.arrays.dbl(2149, 1), x.arrays.column({0})}}; },
         "Ortesk_slots_mex:tooManyStates"},
        {"counts with fewer than L elements", slots({3}), "Ortesk_slots_mex:countsTooShort"},
        {"count -1", slots({-1, 3}), "Ortesk_slots_mex:badCount"},
        {"count 1.5", slots({1.5, 3}), "Ortesk_slots_mex:badCount"},
        {"count NaN", slots({3, kNaN}), "Ortesk_slots_mex:badCount"},
        {"count 2^31", slots({3, 2147483648.0}), "Ortesk_slots_mex:badCount"},
        {"counts totalling 2^31", slots({2147483647.0, 1}), "Ortesk_slots_mex:countTotalTooLarge"},
        {"count one too small", slots({3, 2}), "Ortesk_slots_mex:countMismatch"},
        {"count one too large", slots({4, 3}), "Ortesk_slots_mex:countMismatch"},
        {"counts claiming 2^31 - 8 codes from a host with 1 MB", [](Example& x) {
             Call c{"Ortesk_slots_mex", {x.unused, x.S, x.arrays.column({2147483636.0, 3})}};
             c.memoryLimit = std::size_t{1} << 20;
             return c;
         },
         "Ortesk_slots_mex:countMismatch"},
        {"size sparse", replaced("Quivane_mex", 0, [](Example& x) {
             return x.arrays.keep(standin::createArray(A::Double, 3, 3, false, true));
         }),
         "Quivane_mex:notRealDouble"},
        {"symbol 0", assembly({0}, {1000001}, {1, 1}), "Quivane_mex:badSymbol"},
        {"symbol beyond the weights", assembly({3}, {1000001}, {1, 1, 1}), "Quivane_mex:badSymbol"},
        {"bucket reaching past the codes", assembly({2}, {1000001}, {1, 2}), "Quivane_mex:badBucket"},
        {"code 0", assembly({1}, {0}, {1}), "Quivane_mex:badCode"},
        {"code with to beyond a", assembly({1}, {4000001}, {1}), "Quivane_mex:badCode"},
    };
}

// Every rejection the modules make, each with the inputs that cause it.
std::vector<Rejection> rejectionTable() {
    std::vector<Rejection> table = callShapeRejections();
    for (auto part : {forwardRejections(), transitionRejections()}) table.insert(table.end(), part.begin(), part.end());
    return table;
}

TEST(Modules, RejectsBadCallsByIdentifier) {
    for (const Rejection& r : rejectionTable()) {
        Example x;
        standin::CallOutcome outcome = run(r.call(x));
        EXPECT_EQ(outcome.errorId, r.id) << r.label;
        EXPECT_EQ(outcome.result, nullptr) << r.label;
        EXPECT_FALSE(outcome.errorMessage.empty()) << r.label;
    }
}

// The table of docs/robustness.md between its markers: one row per
// identifier, module by module, with every input that causes it and the
// message of the first.
std::string renderedRejectionTable() {
    std::vector<std::string> order;
    std::map<std::string, std::string> inputs;
    std::map<std::string, std::string> message;
    for (const Rejection& r : rejectionTable()) {
        if (!inputs.count(r.id)) {
            Example x;
            order.push_back(r.id);
            message[r.id] = run(r.call(x)).errorMessage;
            inputs[r.id] = r.label;
        } else {
            inputs[r.id] += "; " + r.label;
        }
    }
    auto moduleRank = [](const std::string& id) {
        return std::find(std::begin(kModules), std::end(kModules), id.substr(0, id.find(':'))) - std::begin(kModules);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](const std::string& a, const std::string& b) { return moduleRank(a) < moduleRank(b); });
    std::string table = "| identifier | rejected inputs (each a test case) | example message |\n|---|---|---|\n";
    for (const std::string& id : order) table += "| `" + id + "` | " + inputs[id] + " | `" + message[id] + "` |\n";
    return table;
}

TEST(Modules, RobustnessDocListsEveryRejection) {
    const std::string begin = "<!-- rejection table: written by module_tests, do not edit -->\n";
    const std::string end = "<!-- end of rejection table -->";
    std::ifstream in(ROBUSTNESS_DOC);
    std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t from = doc.find(begin);
    std::size_t to = doc.find(end);
    ASSERT_TRUE(from != std::string::npos && to != std::string::npos && from < to) << ROBUSTNESS_DOC << " lacks the markers";
    from += begin.size();
    std::string expected = renderedRejectionTable();
    if (doc.compare(from, to - from, expected) == 0) return;
    if (std::getenv("MEX_UPDATE_ROBUSTNESS_DOC")) {
        std::ofstream(ROBUSTNESS_DOC) << doc.substr(0, from) << expected << doc.substr(to);
        return;
    }
    ADD_FAILURE() << ROBUSTNESS_DOC << " is out of date; MEX_UPDATE_ROBUSTNESS_DOC=1 module_tests rewrites it. "
                  << "Expected:\n" << expected;
}

TEST(Modules, MismatchNamesFirstDifferingSymbol) {
    Example x;
    standin::CallOutcome outcome = run({"Ortesk_slots_mex", {x.unused, x.S, x.arrays.column({3, 4})}});
    EXPECT_NE(outcome.errorMessage.find("symbol 2 has 3 transitions in S but counts gives 4"), std::string::npos)
        << outcome.errorMessage;
}

}  // namespace
