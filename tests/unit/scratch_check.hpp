// Kernel tests take scratch outside any gateway call; each test hands it back
// at the end, which also fails the test when a block was written past its end.
#ifndef TESTS_UNIT_SCRATCH_CHECK_HPP
#define TESTS_UNIT_SCRATCH_CHECK_HPP

#include <gtest/gtest.h>

#include "case_names.hpp"
#include "standin_host.hpp"

template <class Base>
class ReleasingScratch : public Base {
protected:
    void TearDown() override { EXPECT_NO_THROW(standin::releaseScratch()); }
};

using KernelTest = ReleasingScratch<::testing::Test>;

// For a table of cases, each its own test (see INSTANTIATE_CASES).
template <class Case>
using KernelCaseTest = ReleasingScratch<::testing::TestWithParam<Case>>;

#endif
