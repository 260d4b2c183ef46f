#include "rejections.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>

#include "contract/contracts.hpp"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

bool declares(const contract::Module& module, const std::string& mnemonic) {
    for (const auto* list : {&module.callRejections, &module.rejections}) {
        for (const contract::Rejection& r : *list) {
            if (mnemonic == r.mnemonic) return true;
        }
    }
    return false;
}

// The accepted call with one change.
std::function<Call(Example&)> changed(const std::string& name, std::function<void(Call&, Example&)> change) {
    return [=](Example& x) {
        Call c = acceptedCall(name, x);
        change(c, x);
        return c;
    };
}

// The accepted call with input `slot` (0-based) replaced, or added after its
// last.
std::function<Call(Example&)> replaced(const std::string& name, int slot,
                                       std::function<const mxArray*(Example&)> input) {
    return changed(name, [=](Call& c, Example& x) {
        if (static_cast<std::size_t>(slot) == c.inputs.size()) {
            c.inputs.push_back(input(x));  // an optional input the accepted call leaves out
        } else {
            c.inputs[slot] = input(x);
        }
    });
}

// The checks every gateway makes before it reads any data, for each module;
// the first input it reads is the one the class and size checks meet.
std::vector<Rejection> callShapeRejections() {
    using A = standin::ArrayClass;
    std::vector<Rejection> table;
    for (const contract::Module* module : contract::kModules) {
        const std::string name = module->name;
        int firstRead = 0;
        while (module->inputs[firstRead].kind != contract::InputKind::Numbers) ++firstRead;
        const int tooMany = static_cast<int>(module->outputs.size) + 1;
        auto id = [&](const char* mnemonic) { return name + ":" + mnemonic; };
        table.push_back({"one input too few", changed(name, [](Call& c, Example&) { c.inputs.pop_back(); }),
                         id("notEnoughInputs")});
        table.push_back({"one output more than returned",
                         changed(name, [tooMany](Call& c, Example&) { c.nlhs = tooMany; }), id("tooManyOutputs")});
        table.push_back(
            {"input of class char",
             replaced(name, firstRead,
                      [](Example& x) { return x.arrays.keep(standin::createArray(A::Char, 1, 3, false, false)); }),
             id("notRealDouble")});
        table.push_back(
            {"input with 2^31 rows",
             replaced(name, firstRead,
                      [](Example& x) { return x.arrays.keep(standin::createShapeOnly(std::size_t{1} << 31, 2)); }),
             id("tooLarge")});
        table.push_back(
            {"input with 2^32 columns and no rows",
             replaced(name, firstRead,
                      [](Example& x) { return x.arrays.keep(standin::createShapeOnly(0, std::size_t{1} << 32)); }),
             id("tooLarge")});
        if (declares(*module, "outOfMemory")) {
            table.push_back({"host out of memory",
                             [name](Example& x) {
                                 Call c = scratchTakingCall(name, x);
                                 c.memoryLimit = 0;
                                 return c;
                             },
                             id("outOfMemory")});
        }
        if (declares(*module, "interrupted")) {
            table.push_back({"Ctrl-C held by the host as the call starts",
                             changed(name, [](Call& c, Example&) { c.interrupted = true; }), id("interrupted")});
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
    auto steps = [](std::vector<double> chosen) -> Input {
        return [chosen](Example& x) { return x.arrays.row(chosen); };
    };
    auto ofClass = [](A cls, std::size_t m, std::size_t n, bool complex, bool sparse) -> Input {
        return [=](Example& x) { return x.arrays.keep(standin::createArray(cls, m, n, complex, sparse)); };
    };
    // A batch: a cell array of the worked example's 2 x 3 observations with
    // the given sequences after them (owned by the cell).
    auto batch = [](std::function<std::vector<mxArray*>()> more) -> Input {
        return [more](Example& x) {
            std::vector<mxArray*> sequences = {standin::createDouble(2, 3, {1, 1, 1, 1, 1, 1})};
            for (mxArray* sequence : more()) sequences.push_back(sequence);
            return x.arrays.keep(standin::createCell(1, sequences.size(), sequences));
        };
    };
    struct Case {
        const char* label;
        int slot;
        Input input;
        const char* mnemonic;
    };
    const std::vector<Case> cases = {
        {"S complex single", 2, ofClass(A::Single, 4, 2, true, false), "notRealDouble"},
        {"O complex", 1, ofClass(A::Double, 2, 3, true, false), "notRealDouble"},
        {"P sparse", 3, ofClass(A::Double, 4, 2, false, true), "notRealDouble"},
        {"P a cell", 3, ofClass(A::Cell, 4, 2, false, false), "notRealDouble"},
        {"T empty", 0, [](Example& x) { return x.arrays.dbl(0, 1); }, "badStepCount"},
        {"T 0", 0, scalarT(0), "badStepCount"},
        {"T 2.5", 0, scalarT(2.5), "badStepCount"},
        {"T NaN", 0, scalarT(kNaN), "badStepCount"},
        {"T Inf", 0, scalarT(kInf), "badStepCount"},
        {"T 2^31", 0, scalarT(2147483648.0), "badStepCount"},
        {"O transposed", 1, [](Example& x) { return x.arrays.dbl(3, 2, std::vector<double>(6, 1)); },
         "observationsShape"},
        {"O with fewer than L x T elements", 1, [](Example& x) { return x.arrays.dbl(2, 2); }, "observationsTooShort"},
        {"P transposed", 3,
         [](Example& x) {
             return x.arrays.dbl(2, 4, {-1, -1, 1, -1, -1, 1, 3, 2});
         },
         "predecessorsShape"},
        {"P with fewer than n x K elements", 3,
         [](Example& x) {
             return x.arrays.dbl(4, 1, {-1, 1, -1, 3});
         },
         "predecessorsTooShort"},
        {"P entry 0", 3, predecessor(0), "badPredecessor"},
        {"P entry n + 1", 3, predecessor(5), "badPredecessor"},
        {"P entry 1.5", 3, predecessor(1.5), "badPredecessor"},
        {"P entry NaN", 3, predecessor(kNaN), "badPredecessor"},
        {"P entry -0.5", 3, predecessor(-0.5), "badPredecessor"},
        {"S row summing to one member without an entry 1", 2, states({0, 0.5, 0, 1, 0, 0.7, 1, 1}), "noMemberEntry"},
        {"S last row NaN", 2, states({0, 1, 0, 1, 0, 0, 1, kNaN}), "badLastState"},
        {"S last row negative", 2, states({0, 1, 0, -3, 0, 0, 1, 1}), "badLastState"},
        {"S last row with more 1 entries than its sum", 2, states({0, 1, 0, 1, 0, 0, 1, -0.5}), "badLastState"},
        {"steps a struct", 4, ofClass(A::Struct, 1, 1, false, false), "notRealDouble"},
        {"steps 0", 4, steps({0}), "badSteps"},
        {"steps T + 1", 4, steps({4}), "badSteps"},
        {"steps 2.5", 4, steps({2.5}), "badSteps"},
        {"steps NaN after good ones", 4, steps({3, 1, kNaN}), "badSteps"},
        {"steps Inf", 4, steps({kInf}), "badSteps"},
        {"O batch holding a complex sequence", 1,
         batch([] { return std::vector<mxArray*>{standin::createArray(A::Double, 2, 3, true, false)}; }),
         "notRealDouble"},
        {"O batch holding a cell", 1, batch([] { return std::vector<mxArray*>{standin::createCell(1, 1, {})}; }),
         "notRealDouble"},
        {"O batch holding a sequence shorter than L x T", 1,
         batch([] { return std::vector<mxArray*>{standin::createDouble(2, 2)}; }), "observationsTooShort"},
    };
    std::vector<Rejection> table;
    for (std::string name : {contract::kZellmor.name, contract::kZellmorRaw.name, contract::kZellmorGrad.name,
                             contract::kZellmorPath.name}) {
        // The gradient takes w before steps; the path takes no steps.
        const bool takesSteps = name != contract::kZellmorPath.name;
        const int stepsSlot = name == contract::kZellmorGrad.name ? 5 : 4;
        for (const Case& c : cases) {
            if (c.slot == 4 && !takesSteps) continue;
            const int slot = c.slot == 4 ? stepsSlot : c.slot;
            table.push_back({c.label,
                             changed(name,
                                     [slot, c](Call& call, Example& x) {
                                         while (call.inputs.size() < static_cast<std::size_t>(slot))
                                             call.inputs.push_back(x.unused);
                                         if (call.inputs.size() == static_cast<std::size_t>(slot))
                                             call.inputs.push_back(nullptr);
                                         call.inputs[slot] = c.input(x);
                                     }),
                             name + ":" + c.mnemonic});
        }
        // A batch of two sequences, the second of T = 2.
        const Input twoSequences = batch([] {
            return std::vector<mxArray*>{standin::createDouble(2, 2, {1, 1, 1, 1})};
        });
        table.push_back({"T of 3 entries for a batch of 2",
                         changed(name,
                                 [twoSequences](Call& c, Example& x) {
                                     c.inputs[0] = x.arrays.row({3, 3, 3});
                                     c.inputs[1] = twoSequences(x);
                                 }),
                         name + ":badStepCount"});
        if (takesSteps) {
            table.push_back({"steps past the shortest sequence of a batch",
                             changed(name,
                                     [twoSequences, stepsSlot](Call& c, Example& x) {
                                         c.inputs.resize(static_cast<std::size_t>(stepsSlot), x.unused);
                                         c.inputs[0] = x.arrays.row({3, 2});
                                         c.inputs[1] = twoSequences(x);
                                         c.inputs.push_back(x.arrays.row({3}));
                                     }),
                             name + ":badSteps"});
        }
        // K of 2^31 - 1 must meet the check of P before any list of K entries.
        table.push_back({"S last row summing to 2^31 - 1 from a host with 1 MB",
                         changed(name,
                                 [](Call& c, Example& x) {
                                     c.inputs[2] = x.arrays.dbl(4, 2, {0, 1, 0, 2147483647.0, 0, 0, 1, 0});
                                     c.memoryLimit = std::size_t{1} << 20;
                                 }),
                         name + ":predecessorsTooShort"});
    }
    return table;
}

// The final-state weights of the gradient and of the path, and the path's
// observation weights.
std::vector<Rejection> weightRejections() {
    auto weights = [](std::vector<double> w) { return [w](Example& x) -> const mxArray* { return x.arrays.row(w); }; };
    std::vector<Rejection> table;
    for (std::string name : {contract::kZellmorGrad.name, contract::kZellmorPath.name}) {
        const std::vector<Rejection> cases = {
            {"w of 3 entries for 4 states", replaced(name, 4, weights({1, 1, 1})), name + ":badFinalWeights"},
            {"w entry -1", replaced(name, 4, weights({1, 1, -1, 1})), name + ":badFinalWeights"},
            {"w entry NaN", replaced(name, 4, weights({1, kNaN, 1, 1})), name + ":badFinalWeights"},
            {"w entry Inf", replaced(name, 4, weights({1, 1, 1, kInf})), name + ":badFinalWeights"},
            {"w complex",
             replaced(name, 4,
                      [](Example& x) {
                          return x.arrays.keep(standin::createArray(standin::ArrayClass::Double, 1, 4, true, false));
                      }),
             name + ":notRealDouble"},
        };
        table.insert(table.end(), cases.begin(), cases.end());
    }
    const std::string path = contract::kZellmorPath.name;
    auto observations = [](std::vector<double> O) {
        return [O](Example& x) -> const mxArray* { return x.arrays.dbl(2, O.size() / 2, O); };
    };
    const std::vector<Rejection> observed = {
        {"O entry -0.5", replaced(path, 1, observations({1, 1, 1, -0.5, 1, 1})), path + ":negativeWeight"},
        {"O entry NaN", replaced(path, 1, observations({1, 1, 1, 1, 1, kNaN})), path + ":negativeWeight"},
        {"O entry -Inf", replaced(path, 1, observations({-kInf, 1, 1, 1, 1, 1})), path + ":negativeWeight"},
        {"O batch holding a negative entry in its second sequence",
         replaced(path, 1,
                  [](Example& x) {
                      return x.arrays.keep(standin::createCell(1, 2,
                                                               {standin::createDouble(2, 3, {1, 1, 1, 1, 1, 1}),
                                                                standin::createDouble(2, 3, {1, 1, 1, 1, -1, 1})}));
                  }),
         path + ":negativeWeight"},
        {"O entry Inf", replaced(path, 1, observations({1, 1, kInf, 1, 1, 1})), path + ":infiniteWeight"},
    };
    table.insert(table.end(), observed.begin(), observed.end());
    return table;
}

std::vector<Rejection> transitionRejections() {
    using A = standin::ArrayClass;
    auto text = [](std::string words) {
        return [words](Example& x) -> const mxArray* { return x.arrays.keep(standin::createText(words)); };
    };
    auto form = [](std::function<const mxArray*(Example&)> input) {
        return changed("Quivane_mex", [input](Call& c, Example& x) { c.inputs.push_back(input(x)); });
    };
    auto slots = [](std::vector<double> counts) {
        return replaced("Ortesk_slots_mex", 2, [counts](Example& x) { return x.arrays.column(counts); });
    };
    auto assembly = [](std::vector<double> list, std::vector<double> codes, std::vector<double> cum) {
        return [=](Example& x) {
            return Call{"Quivane_mex", {x.a3, x.w, x.arrays.column(list), x.arrays.row(codes), x.arrays.column(cum)}};
        };
    };
    return {
        {"S sparse logical",
         replaced("Ortesk_count_mex", 1,
                  [](Example& x) { return x.arrays.keep(standin::createArray(A::Logical, 4, 2, false, true)); }),
         "Ortesk_count_mex:notRealDouble"},
        {"counts complex int32",
         replaced("Ortesk_slots_mex", 2,
                  [](Example& x) { return x.arrays.keep(standin::createArray(A::Int32, 2, 1, true, false)); }),
         "Ortesk_slots_mex:notRealDouble"},
        {"S with 2149 rows",
         [](Example& x) {
             return Call{"Ortesk_slots_mex", {x.unused, x.arrays.dbl(2149, 1), x.arrays.column({0})}};
         },
         "Ortesk_slots_mex:tooManyStates"},
        {"counts with fewer than L elements", slots({3}), "Ortesk_slots_mex:countsTooShort"},
        {"count -1", slots({-1, 3}), "Ortesk_slots_mex:badCount"},
        {"count 1.5", slots({1.5, 3}), "Ortesk_slots_mex:badCount"},
        {"count NaN", slots({3, kNaN}), "Ortesk_slots_mex:badCount"},
        {"count 2^31", slots({3, 2147483648.0}), "Ortesk_slots_mex:badCount"},
        {"counts totalling 2^31", slots({2147483647.0, 1}), "Ortesk_slots_mex:countTotalTooLarge"},
        {"count one too small", slots({3, 2}), "Ortesk_slots_mex:countMismatch"},
        {"count one too large", slots({4, 3}), "Ortesk_slots_mex:countMismatch"},
        {"counts claiming 2^31 - 8 codes from a host with 1 MB",
         [](Example& x) {
             Call c{"Ortesk_slots_mex", {x.unused, x.S, x.arrays.column({2147483636.0, 3})}};
             c.memoryLimit = std::size_t{1} << 20;
             return c;
         },
         "Ortesk_slots_mex:countMismatch"},
        {"size sparse",
         replaced("Quivane_mex", 0,
                  [](Example& x) { return x.arrays.keep(standin::createArray(A::Double, 3, 3, false, true)); }),
         "Quivane_mex:notRealDouble"},
        {"symbol 0", assembly({0}, {1000001}, {1, 1}), "Quivane_mex:badSymbol"},
        {"symbol beyond the weights", assembly({3}, {1000001}, {1, 1, 1}), "Quivane_mex:badSymbol"},
        {"counts in place of their running totals", assembly({1, 2}, {1000001, 1000001}, {1, 1}), "Quivane_mex:badCum"},
        {"cum decreasing", assembly({1}, {1000001, 1000001}, {2, 1, 2}), "Quivane_mex:badCum"},
        {"bucket bound 0.5", assembly({2}, {1000001}, {0.5, 1}), "Quivane_mex:badBucket"},
        {"code 0", assembly({1}, {0}, {1}), "Quivane_mex:badCode"},
        {"code with to beyond a", assembly({1}, {4000001}, {1}), "Quivane_mex:badCode"},
        {"size S itself, a too small", replaced("Quivane_mex", 0, [](Example& x) { return x.S; }),
         "Quivane_mex:badCode"},
        {"form misspelt", form(text("sprase")), "Quivane_mex:badForm"},
        {"form padded", form(text("sparse ")), "Quivane_mex:badForm"},
        {"form empty", form(text("")), "Quivane_mex:badForm"},
        {"form a column of text", form([](Example& x) {
             mxArray* column = standin::createText("full");
             standin::reshape(column, 4, 1);
             return x.arrays.keep(column);
         }),
         "Quivane_mex:badForm"},
        {"form a number", form([](Example& x) { return x.arrays.dbl(1, 1, {1}); }), "Quivane_mex:badForm"},
        {"form a string array of two", form([](Example& x) {
             mxArray* strings = standin::createText("sparse", standin::ArrayClass::String);
             standin::reshape(strings, 1, 2);
             return x.arrays.keep(strings);
         }),
         "Quivane_mex:badForm"},
    };
}

std::vector<Rejection> statesAssemblyRejections() {
    const std::string name = contract::kQuivaneStates.name;
    auto states = [&](std::vector<double> S) {
        return replaced(name, 0, [S](Example& x) { return x.arrays.dbl(4, 2, S); });
    };
    auto weights = [&](std::vector<double> w) {
        return replaced(name, 1, [w](Example& x) { return x.arrays.row(w); });
    };
    auto symbols = [&](std::vector<double> list) {
        return replaced(name, 2, [list](Example& x) { return x.arrays.row(list); });
    };
    return {
        {"S entry 2", states({0, 1, 0, 1, 0, 0, 2, 1}), name + ":notZeroOne"},
        {"S entry 0.5", states({0, 1, 0.5, 1, 0, 0, 1, 1}), name + ":notZeroOne"},
        {"S entry -1", states({0, 1, 0, 1, 0, 0, 1, -1}), name + ":notZeroOne"},
        {"S entry NaN", states({0, kNaN, 0, 1, 0, 0, 1, 1}), name + ":notZeroOne"},
        {"w of 1 entry for 2 symbols", weights({1}), name + ":badWeights"},
        {"w of 3 entries for 2 symbols", weights({0.25, 0.75, 0}), name + ":badWeights"},
        {"w complex",
         replaced(name, 1,
                  [](Example& x) {
                      return x.arrays.keep(standin::createArray(standin::ArrayClass::Double, 1, 2, true, false));
                  }),
         name + ":notRealDouble"},
        {"list symbol 0", symbols({1, 0}), name + ":badSymbol"},
        {"list symbol L + 1", symbols({3}), name + ":badSymbol"},
        {"list symbol 1.5", symbols({1.5}), name + ":badSymbol"},
        {"list symbol NaN", symbols({kNaN}), name + ":badSymbol"},
        // 46341 equal states make 46341^2 entries, past an int index.
        {"S of 46342 equal rows under an int sparse index",
         [name](Example& x) {
             return Call{name, {x.arrays.dbl(46342, 1, std::vector<double>(46342, 1.0)), x.arrays.row({1})}};
         },
         name + ":tooManyEntries"},
    };
}

// One row per identifier, in the contracts' order, with every input that
// causes it and the message of the first.
std::string renderedRejectionTable() {
    std::map<std::string, std::string> inputs;
    std::map<std::string, std::string> message;
    for (const Rejection& r : rejectionTable()) {
        if (inputs.count(r.id)) {
            inputs[r.id] += "; " + r.label;
            continue;
        }
        Example x;
        message[r.id] = run(r.call(x)).errorMessage;
        inputs[r.id] = r.label;
    }
    std::string table =
        "| identifier | meaning | rejected inputs (each a test case) | example message |\n"
        "|---|---|---|---|\n";
    for (const contract::Module* module : contract::kModules) {
        for (const auto* list : {&module->callRejections, &module->rejections}) {
            for (const contract::Rejection& r : *list) {
                const std::string id = std::string(module->name) + ":" + r.mnemonic;
                table += "| `" + id + "` | " + r.meaning + " | " + inputs[id] + " | `" + message[id] + "` |\n";
            }
        }
    }
    return table;
}

}  // namespace

const std::vector<Rejection>& rejectionTable() {
    static const std::vector<Rejection> table = [] {
        std::vector<Rejection> all = callShapeRejections();
        for (auto part :
             {forwardRejections(), weightRejections(), transitionRejections(), statesAssemblyRejections()})
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }();
    return table;
}

std::string withRejectionTable(const std::string& doc) {
    const std::string begin = "<!-- rejection table: written by tools/update_robustness_doc.sh, do not edit -->\n";
    const std::string end = "<!-- end of rejection table -->";
    std::size_t from = doc.find(begin);
    std::size_t to = doc.find(end);
    if (from == std::string::npos || to == std::string::npos || to < from) {
        throw std::runtime_error("the document lacks the rejection table's markers");
    }
    from += begin.size();
    return doc.substr(0, from) + renderedRejectionTable() + doc.substr(to);
}
