// The test fixtures run outside GoogleTest by the fuzz targets. Their checks report through
// assertions, which outside a running test only print; a fuzz run must stop on them.
#pragma once

#include "FuzzSeeds.h"

#include <gtest/gtest.h>

// Aborts (so the fuzzer keeps the input) when any assertion failed during this input.
inline void AbortOnAssertionFailures()
{
    const ::testing::TestResult& result = ::testing::UnitTest::GetInstance()->ad_hoc_test_result();
    if (result.Failed()) {
        std::fprintf(stderr, "a fixture's check failed on this input\n");
        std::abort();
    }
}

// Runs a test fixture outside GoogleTest: set up when made, torn down when gone.
template <class TFixture>
class TFuzzRun : public TFixture {
public:
    TFuzzRun() { TFixture::SetUp(); }
    ~TFuzzRun() override { TFixture::TearDown(); }
    void TestBody() override {}
};
