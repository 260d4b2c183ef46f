// How many threads a call takes: OMP_NUM_THREADS as the host's worker
// processes set it, and the cores the process may run on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#ifdef __linux__
#include <sched.h>
#endif

#include "case_names.hpp"
#include "parallel/fork_join.hpp"

namespace {

struct CapCase {
    std::string label;
    const char* value;
    std::int32_t cap;
};
PRINT_CASES_BY_LABEL(CapCase)

constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();

const CapCase kCapCases[] = {
    {"unset", nullptr, 0},
    {"empty", "", 0},
    {"zero", "0", 0},
    {"one", "1", 1},
    {"leading zeros", "007", 7},
    {"past 2^31", "99999999999", kLargest},
    {"letter after", "2x", 0},
    {"-1", "-1", 0},
    {"+2", "+2", 0},
    {"blank", " ", 0},
    {"blank before", " 1", 0},
    {"fraction", "1.5", 0},
    {"list of levels", "2,1", 0},
};

class ThreadCap : public ::testing::TestWithParam<CapCase> {};

TEST_P(ThreadCap, OfTheValue) { EXPECT_EQ(threadCap(GetParam().value), GetParam().cap); }

INSTANTIATE_CASES(ThreadCap, kCapCases);

// Sets OMP_NUM_THREADS for the test's length and then puts back what was there.
class ThreadVariable : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* value = std::getenv("OMP_NUM_THREADS")) saved_ = value;
    }
    void TearDown() override {
        if (saved_) {
            setenv("OMP_NUM_THREADS", saved_->c_str(), 1);
        } else {
            unsetenv("OMP_NUM_THREADS");
        }
    }

private:
    std::optional<std::string> saved_;
};

constexpr std::int64_t kHuge = std::int64_t{1} << 40;

TEST_F(ThreadVariable, IsReadAtEveryCall) {
    const std::int32_t byDefault = std::min(kMaxThreads, usableCores());
    setenv("OMP_NUM_THREADS", "1", 1);
    EXPECT_EQ(teamSize(kHuge, 1, 0), 1);
    EXPECT_EQ(teamSize(kHuge, 1, 2), 2) << "an explicit request still forces its count";
    setenv("OMP_NUM_THREADS", "8", 1);
    EXPECT_EQ(teamSize(kHuge, 1, 0), byDefault);
    EXPECT_EQ(teamSize(0, 1, 0), 1) << "a larger cap still lets the size decide";
    unsetenv("OMP_NUM_THREADS");
    EXPECT_EQ(teamSize(kHuge, 1, 0), byDefault);
}

#ifdef __linux__
TEST_F(ThreadVariable, StaysWithinTheAffinityMask) {
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    setenv("OMP_NUM_THREADS", "2", 1);
    const std::int32_t cores = usableCores();
    const std::int32_t team = teamSize(kHuge, 1, 0);
    sched_setaffinity(0, sizeof saved, &saved);
    EXPECT_EQ(cores, 1);
    EXPECT_EQ(team, 1);
}
#endif

}  // namespace
