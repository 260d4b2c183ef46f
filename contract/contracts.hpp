// What each module takes, returns and refuses, in one place: the gateways
// check calls against it, the host names inputs from it in messages, and the
// tests, the fuzz targets and docs/robustness.md take the identifiers from it.
// Plain constant data, without any host header.
#ifndef CONTRACT_CONTRACTS_HPP
#define CONTRACT_CONTRACTS_HPP

#include <cstddef>

namespace contract {

enum class InputKind {
    Unread,   // present in the call, never touched
    Numbers,  // a real, full array of double, single, an integer class or logical
    Text,     // a char array (or a string the host turns into one)
};

struct Input {
    const char* symbol;       // as the help text writes it: "P"
    const char* description;  // "the predecessor table", or null
    InputKind kind;
    bool optional = false;  // optional inputs come after every required one
    // A Text input is one of these words, in any case; anything else is
    // rejected with the mnemonic notAWord.
    const char* const* words = nullptr;
    std::size_t wordCount = 0;
    const char* notAWord = nullptr;
    // Also taken as a cell array of such arrays, one per sequence of a batch
    // (at most one input of a module).
    bool batches = false;
};

struct Output {
    const char* symbol;
    const char* description;
};

// A reason for refusing a call: the identifier is "<module>:<mnemonic>".
struct Rejection {
    const char* mnemonic;
    const char* meaning;
};

template <class Item>
struct List {
    const Item* items;
    std::size_t size;
    template <std::size_t N>
    constexpr List(const Item (&array)[N]) : items(array), size(N) {}
    constexpr const Item* begin() const { return items; }
    constexpr const Item* end() const { return items + size; }
    constexpr const Item& operator[](std::size_t i) const { return items[i]; }
};

struct Module {
    const char* name;
    List<Input> inputs;  // by slot: inputs[0] is the first argument
    List<Output> outputs;
    List<Rejection> callRejections;  // of the call's shape and classes, common to the modules
    List<Rejection> rejections;      // of this module's own contract
};

// The number of inputs a call must pass.
constexpr std::size_t requiredInputs(const Module& module) {
    std::size_t count = 0;
    while (count < module.inputs.size && !module.inputs[count].optional) ++count;
    return count;
}

inline constexpr Rejection kCallRejections[] = {
    {"notEnoughInputs", "fewer inputs than the module requires"},
    {"tooManyOutputs", "more outputs requested than the module returns"},
    {"notRealDouble", "an input it reads is not a real, full numeric or logical array"},
    {"tooLarge", "an input it reads has 2^31 or more rows or columns"},
};

inline constexpr Rejection kOutOfMemory = {"outOfMemory", "the host could not provide the call's scratch"};
// Where the host has a Ctrl-C flag the modules can find (Octave, MATLAB).
inline constexpr Rejection kInterrupted = {"interrupted", "Ctrl-C stopped the call before its end"};

inline constexpr Input kForwardInputs[] = {
    {"T", "the step count", InputKind::Numbers},
    {"O", "the observations", InputKind::Numbers, false, nullptr, 0, nullptr, true},
    {"S", "the membership matrix", InputKind::Numbers},
    {"P", "the predecessor table", InputKind::Numbers},
    {"steps", "the steps to return", InputKind::Numbers, true},
};
// The forward modules' argument slots, by name.
enum ForwardSlot : std::size_t { kStepCountSlot, kObservationsSlot, kMembershipSlot, kPredecessorsSlot, kStepsSlot };
inline constexpr Output kRescaledOutputs[] = {{"F", "the state weights of the steps"},
                                              {"logScale", "the log of the weights' scale at those steps"}};
inline constexpr Output kRawOutputs[] = {{"F", "the state weights of the steps"}};
inline constexpr Rejection kForwardRejections[] = {
    kOutOfMemory,
    kInterrupted,
    {"badStepCount", "T is not a whole number from 1 to 2^31 - 1, or a batch's T has neither 1 nor B entries"},
    {"observationsShape", "O has neither L rows nor a single row or column"},
    {"observationsTooShort", "O has fewer than L x T elements"},
    {"predecessorsShape", "K > 0 and P has neither n rows nor a single row or column"},
    {"predecessorsTooShort", "P has fewer than n x K elements"},
    {"badPredecessor", "a P entry is neither -1 nor a row number 1..n"},
    {"noMemberEntry", "a row of S sums to one member but holds no entry equal to 1"},
    {"badLastState", "the last row's sum is NaN, negative or too large, or less than its number of 1 entries"},
    {"badSteps", "an entry of steps is not a whole number from 1 to T"},
};

inline constexpr Module kZellmor = {"Zellmor_mex", kForwardInputs, kRescaledOutputs, kCallRejections,
                                    kForwardRejections};
inline constexpr Module kZellmorRaw = {"Zellmor_raw_mex", kForwardInputs, kRawOutputs, kCallRejections,
                                       kForwardRejections};

// The forward modules' first four inputs, then w and the steps.
inline constexpr Input kGradientInputs[] = {
    kForwardInputs[kStepCountSlot],
    kForwardInputs[kObservationsSlot],
    kForwardInputs[kMembershipSlot],
    kForwardInputs[kPredecessorsSlot],
    {"w", "the final-state weights", InputKind::Numbers, true},
    {"steps", "the steps whose posteriors to return", InputKind::Numbers, true},
};
// The gradient's argument slots past the forward modules' first four.
enum GradientSlot : std::size_t { kFinalWeightsSlot = 4, kPosteriorStepsSlot = 5 };
inline constexpr Output kGradientOutputs[] = {{"logL", "the log-likelihood"},
                                              {"dO", "its derivatives with respect to O"},
                                              {"gamma", "the state posteriors of the steps"}};
// The forward recursion's rejections, then w's.
inline constexpr Rejection kGradientRejections[] = {
    kForwardRejections[0],  kForwardRejections[1],
    kForwardRejections[2],  kForwardRejections[3],
    kForwardRejections[4],  kForwardRejections[5],
    kForwardRejections[6],  kForwardRejections[7],
    kForwardRejections[8],  kForwardRejections[9],
    kForwardRejections[10], {"badFinalWeights", "w has a count other than n, or an entry that is NaN, Inf or negative"},
};
static_assert(sizeof kGradientRejections / sizeof kGradientRejections[0] ==
                  sizeof kForwardRejections / sizeof kForwardRejections[0] + 1,
              "every forward rejection is the gradient's too");
inline constexpr Module kZellmorGrad = {"Zellmor_grad_mex", kGradientInputs, kGradientOutputs, kCallRejections,
                                        kGradientRejections};

// The forward modules' first four inputs, then w.
inline constexpr Input kPathInputs[] = {
    kForwardInputs[kStepCountSlot],
    kForwardInputs[kObservationsSlot],
    kForwardInputs[kMembershipSlot],
    kForwardInputs[kPredecessorsSlot],
    kGradientInputs[kFinalWeightsSlot],
};
inline constexpr Output kPathOutputs[] = {{"logp", "the log of the most likely path's weight"},
                                          {"symbols", "the path's symbols, step by step"},
                                          {"states", "the rows of S the path passes through"}};
// The forward recursion's rejections but for the steps it does not take,
// then those of the weights.
inline constexpr Rejection kPathRejections[] = {
    kForwardRejections[0],
    kForwardRejections[1],
    kForwardRejections[2],
    kForwardRejections[3],
    kForwardRejections[4],
    kForwardRejections[5],
    kForwardRejections[6],
    kForwardRejections[7],
    kForwardRejections[8],
    kForwardRejections[9],
    {"negativeWeight", "an entry of O among the L x T read is negative or NaN"},
    {"infiniteWeight", "an entry of O among the L x T read is Inf"},
    kGradientRejections[11],
};
inline constexpr Module kZellmorPath = {"Zellmor_path_mex", kPathInputs, kPathOutputs, kCallRejections,
                                        kPathRejections};

inline constexpr Input kCountInputs[] = {
    {"unused", nullptr, InputKind::Unread},
    {"S", "the membership matrix", InputKind::Numbers},
};
// The transition modules' argument slots, by name (slot 0 is never read).
enum TransitionSlot : std::size_t { kCountMembershipSlot = 1, kCountsSlot = 2 };

inline constexpr Output kCountOutputs[] = {{"counts", "the transitions under each symbol"}};
inline constexpr Rejection kCountRejections[] = {kOutOfMemory, kInterrupted};
inline constexpr Module kOrteskCount = {"Ortesk_count_mex", kCountInputs, kCountOutputs, kCallRejections,
                                        kCountRejections};

inline constexpr Input kSlotsInputs[] = {
    {"unused", nullptr, InputKind::Unread},
    {"S", "the membership matrix", InputKind::Numbers},
    {"counts", nullptr, InputKind::Numbers},
};
inline constexpr Output kSlotsOutputs[] = {{"codes", "the transition codes, bucketed by symbol"}};
inline constexpr Rejection kSlotsRejections[] = {
    kOutOfMemory,
    kInterrupted,
    {"tooManyStates", "S has more than 2148 rows, the limit of the 32-bit code"},
    {"countsTooShort", "counts has fewer than L elements"},
    {"badCount", "a count is not a whole number from 0 to 2^31 - 1"},
    {"countTotalTooLarge", "the counts total more than 2^31 - 1"},
    {"countMismatch", "counts are not those of S"},
};
inline constexpr Module kOrteskSlots = {"Ortesk_slots_mex", kSlotsInputs, kSlotsOutputs, kCallRejections,
                                        kSlotsRejections};

// The forms of the transition matrix, by the index Arguments::word gives.
enum AssemblyForm { kFullForm, kSparseForm };
inline constexpr const char* kAssemblyForms[] = {"full", "sparse"};

inline constexpr Input kAssemblyInputs[] = {
    {"size", "whose column count is a", InputKind::Numbers},
    {"w", "the symbol weights", InputKind::Numbers},
    {"list", "the symbols to use", InputKind::Numbers},
    {"codes", nullptr, InputKind::Numbers},
    {"cum", "the running totals of the counts", InputKind::Numbers},
    {"form", nullptr, InputKind::Text, true, kAssemblyForms, 2, "badForm"},
};
// The assembly's argument slots, by name.
enum AssemblySlot : std::size_t { kSizeSlot, kWeightsSlot, kListSlot, kCodesSlot, kCumSlot, kFormSlot };
inline constexpr Output kAssemblyOutputs[] = {{"A", "the weighted transition matrix"}};
inline constexpr Rejection kAssemblyRejections[] = {
    kOutOfMemory,
    kInterrupted,
    {"badForm", "form is not the text \"full\" or \"sparse\", in any case"},
    {"badSymbol", "a listed symbol is not a whole number from 1 to the entries of w and cum"},
    {"badCum", "cum decreases somewhere, or its last entry is not the number of codes"},
    {"badBucket", "the cum entries bounding a listed symbol's bucket are out of range"},
    {"badCode", "a code in a listed bucket does not name a cell of the matrix"},
};
inline constexpr Module kQuivane = {"Quivane_mex", kAssemblyInputs, kAssemblyOutputs, kCallRejections,
                                    kAssemblyRejections};

// The walk's S and the assembly's w, then its list, here optional.
inline constexpr Input kStatesAssemblyInputs[] = {
    kCountInputs[kCountMembershipSlot],
    kAssemblyInputs[kWeightsSlot],
    {"list", "the symbols to use", InputKind::Numbers, true},
};
// The argument slots of the assembly straight from the states, by name.
enum StatesAssemblySlot : std::size_t { kStatesSlot, kStateWeightsSlot, kStateListSlot };
inline constexpr Output kStatesAssemblyOutputs[] = {{"A", "the weighted transition matrix, sparse"}};
inline constexpr Rejection kStatesAssemblyRejections[] = {
    kOutOfMemory,
    kInterrupted,
    {"notZeroOne", "an entry of S in rows 2..n is neither 0 nor 1"},
    {"badWeights", "w does not hold exactly L elements"},
    {"badSymbol", "a listed symbol is not a whole number from 1 to L"},
    {"tooManyEntries", "the matrix has more entries than the host's sparse arrays can index"},
};
inline constexpr Module kQuivaneStates = {"Quivane_states_mex", kStatesAssemblyInputs, kStatesAssemblyOutputs,
                                          kCallRejections, kStatesAssemblyRejections};

inline constexpr const Module* kModules[] = {&kZellmor,     &kZellmorRaw,  &kZellmorGrad, &kZellmorPath,
                                             &kOrteskCount, &kOrteskSlots, &kQuivane,     &kQuivaneStates};

}  // namespace contract

#endif
