// A libFuzzer target for one module (FUZZ_MODULE), called through the
// stand-in host exactly as a host calls it. Each input first derives a valid
// call from its bytes (a state space of every subset of a few symbols, with
// the predecessor table, counts and codes that belong to it), then applies a
// few mutations (argument count, outputs, class, shape, single entries), so
// that both the accepted path and every rejection are reached. Checked on
// every call: ASan and UBSan see no access outside the arrays; an accepted
// call leaves its inputs bit for bit as they were and returns the documented
// shape; a rejected one names a "<module>:<mnemonic>" identifier its contract
// declares.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "all_subsets.hpp"
#include "contract/contracts.hpp"
#include "fuzz_input.hpp"
#include "standin_host.hpp"

namespace {

using standin::ArrayClass;

// An argument before it becomes a host array.
struct Arg {
    ArrayClass cls = ArrayClass::Double;
    bool complex = false;
    bool sparse = false;
    bool shapeOnly = false;
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::vector<double> values;  // rows * cols of them, or none
    bool cell = false;           // a 1 x sequences.size() cell array of the sequences instead
    std::vector<Arg> sequences;
};

struct Case {
    std::vector<Arg> args;
    int nlhs = 1;
};

// Expected shape of an accepted call's result.
struct Shape {
    std::size_t rows;
    std::size_t cols;
};

constexpr std::size_t kMemoryLimit = std::size_t{64} << 20;
constexpr std::size_t kDimensionLimit = std::size_t{1} << 31;

Arg matrix(std::size_t rows, std::size_t cols, std::vector<double> values) {
    Arg a;
    a.rows = rows;
    a.cols = cols;
    a.values = std::move(values);
    return a;
}

Arg scalar(double v) { return matrix(1, 1, {v}); }

// A 1 x n char array: its values are the character codes.
Arg text(const std::string& words) {
    Arg a = matrix(1, words.size(), std::vector<double>(words.begin(), words.end()));
    a.cls = ArrayClass::Char;
    return a;
}

standin::MexFunction loaded(const std::string& name) {
    return standin::loadModule(std::string(FUZZ_MODULE_DIR) + "/" + name + ".so");
}

// Calls a module on plain double arguments that it accepts (char ones for a
// char Arg); its result, a sparse one filled out.
std::vector<double> callAccepted(const char* name, const std::vector<Arg>& args) {
    static const standin::MexFunction count = loaded("Ortesk_count_mex");
    static const standin::MexFunction slots = loaded("Ortesk_slots_mex");
    static const standin::MexFunction assembly = loaded("Quivane_mex");
    const standin::MexFunction module = std::strcmp(name, "Ortesk_count_mex") == 0   ? count
                                        : std::strcmp(name, "Ortesk_slots_mex") == 0 ? slots
                                                                                     : assembly;
    std::vector<mxArray*> arrays;
    for (const Arg& a : args) {
        arrays.push_back(a.cls == ArrayClass::Char ? standin::createText(std::string(a.values.begin(), a.values.end()))
                                                   : standin::createDouble(a.rows, a.cols, a.values));
    }
    std::vector<const mxArray*> inputs(arrays.begin(), arrays.end());
    standin::CallOutcome outcome = standin::callGateway(module, name, 1, inputs);
    for (mxArray* a : arrays) standin::destroyArray(a);
    if (outcome.failed()) {
        std::fprintf(stderr, "%s rejected a derived case: %s\n", name, outcome.errorMessage.c_str());
        std::abort();
    }
    std::vector<double> result = standin::fullValues(outcome.result);
    standin::destroyArray(outcome.result);
    return result;
}

// S and P of every subset of L symbols.
Arg subsetStates(std::size_t L) {
    StateSpace space = allSubsets(static_cast<std::int32_t>(L));
    return matrix(static_cast<std::size_t>(space.n), L, space.S);
}

Arg subsetPredecessors(std::size_t L) {
    StateSpace space = allSubsets(static_cast<std::int32_t>(L));
    return matrix(static_cast<std::size_t>(space.n), static_cast<std::size_t>(space.K), space.P);
}

// Bytes: L (0..3), T - 1 (0..5), then the L x T observations.
Case forwardCase(fuzz::Reader& r) {
    std::size_t L = r.below(4);
    std::size_t T = 1 + r.below(6);
    Arg O = matrix(L, T, {});
    for (std::size_t i = 0; i < L * T; ++i) O.values.push_back(r.value());
    Case c{{scalar(static_cast<double>(T)), O, subsetStates(L), subsetPredecessors(L)}};
    // Bytes: the sequences of a batch (0: a single call), then each one's T
    // - 1 (0..5) and observations; T is one per sequence or the first's for all.
    if (const std::size_t batch = r.below(4); batch > 0) {
        Arg& T = c.args[0];
        T = matrix(1, 0, {});
        Arg sequences;
        sequences.cell = true;
        for (std::size_t b = 0; b + 1 < batch; ++b) {
            const std::size_t steps = 1 + r.below(6);
            T.values.push_back(static_cast<double>(steps));
            sequences.sequences.push_back(matrix(L, steps, {}));
            for (std::size_t i = 0; i < L * steps; ++i) sequences.sequences.back().values.push_back(r.value());
        }
        T.cols = T.values.size();
        if (r.below(2) && !T.values.empty()) T = scalar(T.values[0]);
        c.args[1] = sequences;
    }
    // Bytes: how many chosen steps (none: the input left out), then each.
    const std::size_t chosen = r.below(5);
    if (chosen > 0) {
        Arg steps = matrix(1, chosen - 1, {});
        for (std::size_t i = 0; i + 1 < chosen; ++i) steps.values.push_back(static_cast<double>(1 + r.below(T)));
        c.args.push_back(steps);
    }
    return c;
}

// The forward case with w before its steps. Bytes: w left out, [] (when
// steps follow), or n entries.
Case gradientCase(fuzz::Reader& r) {
    Case c = forwardCase(r);
    const std::size_t n = c.args[2].rows;
    const std::size_t kind = r.below(3);
    Arg w = matrix(kind == 2 ? n : 0, kind == 2 ? 1 : 0, {});
    for (std::size_t i = 0; i < w.rows; ++i) w.values.push_back(r.value());
    if (kind > 0 || c.args.size() > 4) c.args.insert(c.args.begin() + 4, w);
    return c;
}

// The gradient's case without its steps: T, O, S, P and w. Observation
// weights are taken as magnitudes, so that most calls get past the check of
// O (NaN and Inf still meet it, and the mutations any sign).
Case pathCase(fuzz::Reader& r) {
    Case c = gradientCase(r);
    if (c.args.size() > 5) c.args.resize(5);
    Arg& O = c.args[1];
    for (double& x : O.values) x = std::fabs(x);
    for (Arg& sequence : O.sequences) {
        for (double& x : sequence.values) x = std::fabs(x);
    }
    return c;
}

// Bytes: L (0..4).
Case countCase(fuzz::Reader& r) { return {{matrix(0, 0, {}), subsetStates(r.below(5))}}; }

// Bytes: L (0..4); the counts are those of the states.
Case slotsCase(fuzz::Reader& r) {
    Arg S = subsetStates(r.below(5));
    Arg unused = matrix(0, 0, {});
    return {{unused, S, matrix(S.cols, 1, callAccepted("Ortesk_count_mex", {unused, S}))}};
}

// Bytes: L (0..4), the L weights, the list length (0..L+1) and its symbols;
// codes and their running totals are those of the states.
Case assemblyCase(fuzz::Reader& r) {
    Arg S = subsetStates(r.below(5));
    Arg unused = matrix(0, 0, {});
    Arg counts = matrix(S.cols, 1, callAccepted("Ortesk_count_mex", {unused, S}));
    std::vector<double> codes = callAccepted("Ortesk_slots_mex", {unused, S, counts});
    Arg cum = counts;
    for (std::size_t s = 1; s < cum.values.size(); ++s) cum.values[s] += cum.values[s - 1];
    Arg w = matrix(1, S.cols, {});
    for (std::size_t s = 0; s < S.cols; ++s) w.values.push_back(r.value());
    Arg list = matrix(S.cols == 0 ? 0 : r.below(S.cols + 2), 1, {});
    for (std::size_t i = 0; i < list.rows; ++i) list.values.push_back(static_cast<double>(1 + r.below(S.cols)));
    Arg size = matrix(1, S.rows - 1, std::vector<double>(S.rows - 1, 0.0));
    Case c{{size, w, list, matrix(1, codes.size(), codes), cum}};
    // Bytes: the form (none, "full", "sparse", the latter two in any case).
    const char* const forms[] = {"", "full", "sparse", "Full", "SPARSE", "sParse"};
    const std::string form = forms[r.below(6)];
    if (!form.empty()) c.args.push_back(text(form));
    return c;
}

// Bytes: L (0..4), how many rows of every subset to copy to the end (0..3)
// and which, the L weights, then the list: left out, or its length
// (0..2L) and symbols.
Case statesCase(fuzz::Reader& r) {
    Arg S = subsetStates(r.below(5));
    for (std::size_t copies = r.below(4); copies > 0; --copies) {
        const std::size_t from = r.below(S.rows);
        Arg grown = matrix(S.rows + 1, S.cols, {});
        for (std::size_t c = 0; c < S.cols; ++c) {
            for (std::size_t i = 0; i < S.rows; ++i) grown.values.push_back(S.values[i + c * S.rows]);
            grown.values.push_back(S.values[from + c * S.rows]);
        }
        S = grown;
    }
    Arg w = matrix(1, S.cols, {});
    for (std::size_t s = 0; s < S.cols; ++s) w.values.push_back(r.value());
    Case c{{S, w}};
    if (r.below(2) && S.cols > 0) {
        Arg list = matrix(1, r.below(2 * S.cols + 1), {});
        for (std::size_t i = 0; i < list.cols; ++i) list.values.push_back(static_cast<double>(1 + r.below(S.cols)));
        c.args.push_back(list);
    }
    return c;
}

// Sizes that hold no data but make a big result or a long loop: 10000 states
// take the forward kernel's second thread, 2^31 - 1 meets the host's
// refusal; anything between only slows the fuzzing down.
const std::size_t kEmptyPartners[] = {0, 1, 2, 7, 1000, 10000, 2147483647};
// Sizes no host could hold: only the shape exists.
const std::size_t kHugeDimensions[] = {kDimensionLimit, kDimensionLimit + 1, std::size_t{1} << 32, std::size_t{1} << 40,
                                       SIZE_MAX};
const std::size_t kHugePartners[] = {0, 1, 3, kDimensionLimit, SIZE_MAX};

// The classes an input may be given: those a module converts to double,
// and those it refuses (text, containers); complex and sparse are drawn apart.
const ArrayClass kClasses[] = {ArrayClass::Double, ArrayClass::Single, ArrayClass::Int32, ArrayClass::Logical,
                               ArrayClass::Char,   ArrayClass::Int8,   ArrayClass::UInt8, ArrayClass::Int16,
                               ArrayClass::UInt16, ArrayClass::UInt32, ArrayClass::Int64, ArrayClass::UInt64,
                               ArrayClass::Cell,   ArrayClass::Struct};

// The classes a module reads as numbers, when real and full.
bool isNumeric(ArrayClass cls) {
    return cls != ArrayClass::Char && cls != ArrayClass::Cell && cls != ArrayClass::Struct;
}

template <class T, std::size_t N>
T pick(fuzz::Reader& r, const T (&options)[N]) {
    return options[r.below(N)];
}

void reshape(Arg& a, std::size_t rows, std::size_t cols, fuzz::Reader& r) {
    a.shapeOnly = false;
    a.rows = rows;
    a.cols = cols;
    a.values.resize(rows * cols);
    for (double& v : a.values) v = r.value();
}

void mutateShape(Arg& a, fuzz::Reader& r) {
    switch (r.below(4)) {
        case 0:  // the same data read with other dimensions
            std::swap(a.rows, a.cols);
            break;
        case 1: {  // no data, possibly a big partner dimension
            std::size_t partner = pick(r, kEmptyPartners);
            a.shapeOnly = false;
            a.values.clear();
            a.rows = r.below(2) ? partner : 0;
            a.cols = a.rows == 0 ? partner : 0;
            break;
        }
        case 2:
            a.shapeOnly = true;
            a.values.clear();
            a.rows = pick(r, kHugeDimensions);
            a.cols = pick(r, kHugePartners);
            if (r.below(2)) std::swap(a.rows, a.cols);
            break;
        default: reshape(a, r.below(7), r.below(7), r); break;
    }
}

// One change to the derived call.
void mutate(Case& c, fuzz::Reader& r) {
    std::size_t op = r.below(7);
    if (op == 0) {
        c.args.resize(r.below(7), scalar(r.value()));
        return;
    }
    if (op == 1) {
        c.nlhs = static_cast<int>(r.below(3));
        return;
    }
    if (c.args.empty()) return;
    Arg* picked = &c.args[r.below(c.args.size())];
    if (picked->cell && !picked->sequences.empty() && r.below(2)) {
        picked = &picked->sequences[r.below(picked->sequences.size())];
    }
    Arg& a = *picked;
    switch (op) {
        case 2:
            a.cls = pick(r, kClasses);
            a.complex = r.below(2);
            a.sparse = r.below(2);
            break;
        case 3: mutateShape(a, r); break;
        case 4:
            if (!a.values.empty()) a.values[r.wideBelow(a.values.size())] = r.value();
            break;
        case 5:  // a code to*1000000+from near the range the modules accept
            if (!a.values.empty()) {
                std::size_t at = r.wideBelow(a.values.size());
                a.values[at] = 1e6 * static_cast<double>(r.wideBelow(2150)) + static_cast<double>(r.below(20));
            }
            break;
        default:  // every entry the same
            double v = r.value();
            for (double& x : a.values) x = v;
            break;
    }
}

// Whether the argument reaches the module as the cell array of its sequences
// (a mutation of its class or flags makes it an array of that class instead).
bool isBatch(const Arg& a) { return a.cell && a.cls == ArrayClass::Double && !a.complex && !a.sparse && !a.shapeOnly; }

// The sequences of a cell array as the module reads it: those of a batch, or
// every (unset, empty) element of any other cell array.
std::size_t sequenceCount(const Arg& a) { return isBatch(a) ? a.sequences.size() : a.rows * a.cols; }

mxArray* toHost(const Arg& a) {
    if (isBatch(a)) {
        std::vector<mxArray*> sequences;
        for (const Arg& sequence : a.sequences) sequences.push_back(toHost(sequence));
        return standin::createCell(1, sequences.size(), sequences);
    }
    if (a.shapeOnly) return standin::createShapeOnly(a.rows, a.cols, a.cls, a.complex, a.sparse);
    const bool filled = a.rows * a.cols == a.values.size();
    if (isNumeric(a.cls) && !a.complex && !a.sparse && filled) {
        return standin::createNumeric(a.cls, a.rows, a.cols, a.values);
    }
    if (a.cls == ArrayClass::Double && !a.complex && !a.sparse) return standin::createDouble(a.rows, a.cols, a.values);
    if (a.cls == ArrayClass::Char && !a.complex && !a.sparse && a.rows * a.cols == a.values.size()) {
        std::string letters;
        for (double v : a.values) letters += v >= 0.0 && v < 128.0 ? static_cast<char>(v) : '?';
        mxArray* chars = standin::createText(letters);
        standin::reshape(chars, a.rows, a.cols);
        return chars;
    }
    return standin::createArray(a.cls, a.rows, a.cols, a.complex, a.sparse);
}

// The call in a line per argument, for reproducing a finding by hand.
std::string describe(const Case& c) {
    std::ostringstream text;
    text << FUZZ_MODULE << " with " << c.args.size() << " inputs, " << c.nlhs << " outputs\n";
    for (const Arg& a : c.args) {
        if (a.cell) text << "  a cell array of " << a.sequences.size() << " sequences:\n";
        for (const Arg& sequence : a.sequences) {
            text << "    " << sequence.rows << " x " << sequence.cols << " " << standin::className(sequence.cls)
                 << "\n";
        }
        text << "  " << a.rows << " x " << a.cols << " " << (a.sparse ? "sparse " : "") << (a.complex ? "complex " : "")
             << standin::className(a.cls) << (a.shapeOnly ? " (shape only)" : "");
        for (std::size_t i = 0; i < a.values.size() && i < 16; ++i) text << (i ? " " : ": ") << a.values[i];
        text << (a.values.size() > 16 ? " ...\n" : "\n");
    }
    return text.str();
}

const Case* gCurrent = nullptr;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n%s", FUZZ_MODULE, what.c_str(), gCurrent ? describe(*gCurrent).c_str() : "");
    std::abort();
}

// The result shape the module documents for arguments it accepted.
Shape expectedShape(const std::vector<Arg>& args) {
    const std::string module = FUZZ_MODULE;
    if (module == "Ortesk_count_mex") return {args[1].cols, 1};
    if (module == "Ortesk_slots_mex") {
        double total = 0.0;
        for (std::size_t s = 0; s < args[1].cols; ++s) total += args[2].values[s];
        return {1, static_cast<std::size_t>(total)};
    }
    if (module == "Quivane_mex") return {args[0].cols, args[0].cols};
    if (module == "Quivane_states_mex")
        return {args[0].rows > 1 ? args[0].rows - 1 : 0, args[0].rows > 1 ? args[0].rows - 1 : 0};
    const std::size_t batch = isBatch(args[1]) || args[1].cls == ArrayClass::Cell ? sequenceCount(args[1]) : 1;
    if (module == "Zellmor_grad_mex" || module == "Zellmor_path_mex") return {1, batch};
    const std::size_t columns = args.size() > 4 ? args[4].rows * args[4].cols : 1;
    return {args[2].rows, columns * batch};
}

// Every "<module>:<mnemonic>" identifier this module's contract declares.
std::set<std::string> declaredIdentifiers() {
    std::set<std::string> ids;
    for (const contract::Module* module : contract::kModules) {
        if (std::strcmp(module->name, FUZZ_MODULE) != 0) continue;
        for (const auto* list : {&module->callRejections, &module->rejections}) {
            for (const contract::Rejection& r : *list) ids.insert(std::string(FUZZ_MODULE) + ":" + r.mnemonic);
        }
    }
    if (ids.empty()) fail("no contract for " FUZZ_MODULE);
    return ids;
}

std::set<std::string> gDeclared;
standin::MexFunction gModule;

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// An accepted call of the matrix straight from S against the code
// pipeline's sparse form for list(:), wherever the codes reach.
void checkAgainstPipeline(const Case& c, const mxArray* result) {
    const Arg& S = c.args[0];
    if (S.rows < 2 || S.rows > 2148 || S.cols == 0) return;
    const Arg unused = matrix(0, 0, {});
    Arg counts = matrix(S.cols, 1, callAccepted("Ortesk_count_mex", {unused, S}));
    std::vector<double> codes = callAccepted("Ortesk_slots_mex", {unused, S, counts});
    Arg cum = counts;
    for (std::size_t s = 1; s < cum.values.size(); ++s) cum.values[s] += cum.values[s - 1];
    Arg list = matrix(S.cols, 1, {});
    for (std::size_t s = 0; s < S.cols; ++s) list.values.push_back(static_cast<double>(s + 1));
    if (c.args.size() > 2) list = matrix(c.args[2].values.size(), 1, c.args[2].values);
    const std::vector<double> expected =
        callAccepted("Quivane_mex", {matrix(1, S.rows - 1, std::vector<double>(S.rows - 1, 0.0)), c.args[1], list,
                                     matrix(1, codes.size(), codes), cum, text("sparse")});
    if (!sameBits(standin::fullValues(result), expected)) fail("differs from the code pipeline's matrix");
}

void checkOutcome(const Case& c, const std::vector<mxArray*>& arrays, const std::vector<std::vector<double>>& before,
                  const standin::CallOutcome& outcome) {
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        if (!sameBits(standin::values(arrays[i]), before[i])) fail("input " + std::to_string(i + 1) + " changed");
    }
    if (outcome.failed()) {
        if (outcome.errorId == standin::kHostOutOfMemory) return;
        if (!gDeclared.count(outcome.errorId)) fail("undeclared identifier " + outcome.errorId);
        if (outcome.errorId.rfind(std::string(FUZZ_MODULE) + ":", 0) != 0)
            fail("foreign identifier " + outcome.errorId);
        if (outcome.errorMessage.empty()) fail(outcome.errorId + " without a message");
        if (outcome.result) fail(outcome.errorId + " with a result");
        return;
    }
    if (!outcome.result) fail("accepted without a result");
    Shape want = expectedShape(c.args);
    std::size_t rows = mxGetM(outcome.result);
    std::size_t cols = mxGetN(outcome.result);
    if (rows != want.rows || cols != want.cols || !mxIsDouble(outcome.result) || mxIsComplex(outcome.result)) {
        std::ostringstream text;
        text << "result " << rows << " x " << cols << ", documented " << want.rows << " x " << want.cols;
        fail(text.str());
    }
    if (std::string(FUZZ_MODULE) == "Zellmor_grad_mex") {
        // dO: L x T (a cell array of them for a batch); gamma: n x the
        // chosen steps, or every step, of every sequence.
        const bool batch = isBatch(c.args[1]) || c.args[1].cls == ArrayClass::Cell;
        const std::size_t sequences = batch ? sequenceCount(c.args[1]) : 1;
        const std::vector<double>& T = c.args[0].values;
        const auto stepsOf = [&T](std::size_t b) { return static_cast<std::size_t>(T[T.size() > 1 ? b : 0]); };
        std::size_t gammaColumns = 0;
        for (std::size_t b = 0; b < sequences; ++b) {
            gammaColumns += c.args.size() > 5 ? c.args[5].rows * c.args[5].cols : stepsOf(b);
        }
        const std::size_t L = c.args[2].cols;
        if (outcome.otherResults.size() > 0) {
            const mxArray* dO = outcome.otherResults[0];
            if (batch && (!mxIsCell(dO) || mxGetNumberOfElements(dO) != sequences)) fail("dO not a cell per sequence");
            for (std::size_t b = 0; b < sequences; ++b) {
                const mxArray* one = batch ? mxGetCell(dO, static_cast<mwIndex>(b)) : dO;
                if (!one || mxGetM(one) != L || mxGetN(one) != stepsOf(b)) fail("dO misshapen");
            }
        }
        if (outcome.otherResults.size() > 1) {
            const mxArray* gamma = outcome.otherResults[1];
            if (mxGetM(gamma) != c.args[2].rows || mxGetN(gamma) != gammaColumns) fail("gamma misshapen");
        }
        return;
    }
    if (std::string(FUZZ_MODULE) == "Zellmor_path_mex") {
        // symbols and states: 1 x T (a cell array of them for a batch).
        const bool batch = isBatch(c.args[1]) || c.args[1].cls == ArrayClass::Cell;
        const std::size_t sequences = batch ? sequenceCount(c.args[1]) : 1;
        const std::vector<double>& T = c.args[0].values;
        for (const mxArray* path : outcome.otherResults) {
            if (batch && (!mxIsCell(path) || mxGetNumberOfElements(path) != sequences))
                fail("path not a cell per sequence");
            for (std::size_t b = 0; b < sequences; ++b) {
                const mxArray* one = batch ? mxGetCell(path, static_cast<mwIndex>(b)) : path;
                const auto steps = static_cast<std::size_t>(T[T.size() > 1 ? b : 0]);
                if (!one || mxGetM(one) != 1 || mxGetN(one) != steps) fail("symbols or states misshapen");
            }
        }
        return;
    }
    for (const mxArray* logScale : outcome.otherResults) {
        if (mxGetM(logScale) != 1 || mxGetN(logScale) != want.cols) fail("logScale not 1 x the columns of F");
    }
    try {
        if (mxIsSparse(outcome.result)) standin::checkSparse(outcome.result);
    } catch (const std::logic_error& malformed) {
        fail(malformed.what());
    }
    if (std::string(FUZZ_MODULE) == "Quivane_states_mex") checkAgainstPipeline(c, outcome.result);
}

Case deriveCase(fuzz::Reader& r) {
    const std::string module = FUZZ_MODULE;
    if (module == "Ortesk_count_mex") return countCase(r);
    if (module == "Ortesk_slots_mex") return slotsCase(r);
    if (module == "Quivane_mex") return assemblyCase(r);
    if (module == "Quivane_states_mex") return statesCase(r);
    if (module == "Zellmor_grad_mex") return gradientCase(r);
    if (module == "Zellmor_path_mex") return pathCase(r);
    return forwardCase(r);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gDeclared = declaredIdentifiers();
    gModule = loaded(FUZZ_MODULE);
    standin::setMemoryLimit(kMemoryLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader r(data, size);
    Case c = deriveCase(r);
    for (std::size_t m = r.below(4); m > 0; --m) mutate(c, r);
    gCurrent = &c;
    if (std::getenv("FUZZ_DESCRIBE")) std::fputs(describe(c).c_str(), stderr);

    std::vector<mxArray*> arrays;
    std::vector<std::vector<double>> before;
    for (Arg& a : c.args) {
        arrays.push_back(toHost(a));
        before.push_back(standin::values(arrays.back()));
        // The values as the class holds them, which the module reads.
        if (isNumeric(a.cls) && !a.shapeOnly) a.values = before.back();
    }
    std::vector<const mxArray*> inputs(arrays.begin(), arrays.end());
    standin::CallOutcome outcome = standin::callGateway(gModule, FUZZ_MODULE, c.nlhs, inputs);
    if (std::getenv("FUZZ_DESCRIBE")) {
        std::fprintf(stderr, "  -> %s\n", outcome.failed() ? outcome.errorId.c_str() : "accepted");
    }
    checkOutcome(c, arrays, before, outcome);
    standin::destroyArray(outcome.result);
    for (mxArray* other : outcome.otherResults) standin::destroyArray(other);
    for (mxArray* a : arrays) standin::destroyArray(a);
    gCurrent = nullptr;
    return 0;
}
