// The two ways the path's steps are run, both giving the weights and codes
// a recursion in doubles with an unbounded exponent would give.
//
// RescaledSteps keeps one power of two for the whole column, taken out
// whenever the largest weight leaves [2^-128, 1): exact as long as no weight
// falls below the least normal double under that scale. A weight that does
// is lost (set to 0); what it could have become is bounded from above,
// step by step, by the heaviest symbol of each later step. When that bound,
// times the largest w, stays below the best final weight, no lost weight
// could have reached the path or tied with it, and the path and its weight
// are exact. Otherwise the sequence is run again by ExactSteps, which keeps
// an exponent beside every weight.
#ifndef DECODE_PATH_STEPPERS_HPP
#define DECODE_PATH_STEPPERS_HPP

#include <cstdint>

#include "decode/path.hpp"
#include "decode/path_copies.hpp"
#include "decode/scaled_number.hpp"
#include "forward/step_driver.hpp"

class PathSteps {
public:
    // Step 1 of a sequence of the state space (its plan fitted to it).
    virtual void start(const PathPlan& sequence) = 0;
    // Step `step` from those of step - 1, each place's code into codes (a
    // trace row of codeStride entries). False, with fault "interrupted",
    // when Ctrl-C stops it.
    virtual bool advance(std::int32_t step, void* codes, Fault* fault) = 0;
    // The weights of the last step into checkpoint `slot`, or back from it.
    virtual void keep(std::int32_t slot) = 0;
    virtual void restore(std::int32_t slot) = 0;
    // The heaviest w(j) x the weight of row j at the last step, w null for
    // all ones, and of equal ones the smallest row j, into *row.
    virtual ScaledNumber heaviest(const double* w, std::int32_t* row) const = 0;

protected:
    ~PathSteps() = default;
};

// The room for checkpoints, the caller's (slots x bytesPerSlot).
struct Checkpoints {
    unsigned char* data;
    std::int64_t bytesPerSlot;
    unsigned char* slot(std::int32_t index) const { return data + index * bytesPerSlot; }
};

// Bytes a slot needs for either kind of steps.
std::int64_t checkpointBytes(const PathPlan& plan);

class RescaledSteps final : public PathSteps, private ChunkStep {
public:
    // Built on the calling thread, for the state space of shape (n >= 1),
    // as StepDriver is.
    RescaledSteps(const PathPlan& shape, CallStop& stop, bool onCallingThread, const Checkpoints& checkpoints);

    void start(const PathPlan& sequence) override;
    bool advance(std::int32_t step, void* codes, Fault* fault) override;
    void keep(std::int32_t slot) override;
    void restore(std::int32_t slot) override;
    ScaledNumber heaviest(const double* w, std::int32_t* row) const override;

    // Whether the weights lost since start could not have changed the path
    // whose final weight (with w) is best.
    bool exactFor(const ScaledNumber& best) const;

private:
    void step(std::int32_t step, const double* previous, double* next, std::int32_t first,
              std::int32_t last) const override;
    void weighColumns(std::int32_t step);
    std::int32_t leastRank(std::int32_t list) const;
    void listStayColumns(const SubsetOffsets& offsets);
    ColumnStats columnStats() const;
    bool rescale(const ColumnStats& stats);
    bool scaleBy(int e, const ColumnStats& stats);

    const PathPlan* plan_;
    StepDriver driver_;
    Checkpoints checkpoints_;
    ColumnStats* chunkStats_;  // per chunk of the last phase
    PathStepWeights weights_;
    double* columnWeight_;
    std::int32_t* columnRank_;
    std::int32_t* byWeight_;  // the columns by rank
    std::int32_t* unitRank_;
    std::int32_t* listStart_ = nullptr;  // lists of columns for the stays of units and places (listStayColumns)
    std::int32_t* listColumn_ = nullptr;
    double* stayWeight_;
    double* stayCode_;
    double lightest_ = 0.0, heaviest_ = 0.0;  // of the symbols of Q at the step
    std::int64_t scale_ = 0;                  // the weights are column x 2^scale_
    double smallest_ = 0.0;                   // positive weight of the column, Inf where none
    ScaledNumber lost_;                       // bound on any weight a loss touched, at the last step
};

class ExactSteps final : public PathSteps {
public:
    // Built on the calling thread; polls Ctrl-C through stop, reading the
    // host's flag only when onCallingThread.
    ExactSteps(const PathPlan& shape, CallStop& stop, bool onCallingThread, const Checkpoints& checkpoints);

    void start(const PathPlan& sequence) override;
    bool advance(std::int32_t step, void* codes, Fault* fault) override;
    void keep(std::int32_t slot) override;
    void restore(std::int32_t slot) override;
    ScaledNumber heaviest(const double* w, std::int32_t* row) const override;

private:
    const PathPlan* plan_;
    CallStop& stop_;
    const bool pollsHost_;
    Checkpoints checkpoints_;
    ScaledNumber* current_;
    ScaledNumber* next_;
    ScaledNumber* symbolWeight_;  // O(:, t), L entries
};

// The code at place of a trace row.
std::uint32_t codeAt(const void* codes, CodeWidth width, std::int64_t place);

#endif
