// Kernel tests take scratch outside any gateway call; each test hands it back
// at the end, which also fails the test when a block was written past its end.
#ifndef TESTS_UNIT_SCRATCH_CHECK_HPP
#define TESTS_UNIT_SCRATCH_CHECK_HPP

#include <gtest/gtest.h>

#include "standin_host.hpp"

class KernelTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_NO_THROW(standin::releaseScratch()); }
};

#endif
