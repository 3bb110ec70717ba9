#include "averaging/steave.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "montecarlo/simulation_error.hpp"
#include "tests/averaging/fake_hydro.hpp"

namespace bw {
namespace {

// Two beads at distance d: r2 = d^2, s2 = d^2 / 4.
Conformation dumbbell(float d) {
    Conformation c;
    c.N = 2;
    c.z[1] = d;
    return c;
}

RunData averaging_run(std::int32_t NCONFAVE, std::int32_t IHYD, std::int32_t NPR, float RMAX) {
    RunData run;
    run.NCONFAVE = NCONFAVE;
    run.IHYD = IHYD;
    run.NPR = NPR;
    run.RMAX = RMAX;
    return run;
}

TEST(AvedevTest, MeansOneToFive) {
    const float x[] = {1, 2, 3, 4, 5};
    float AVE, SD, ERR;
    AVEDEV(x, AVE, SD, ERR);
    EXPECT_EQ(AVE, 3.0f);
    EXPECT_EQ(SD, std::sqrt(2.0f));  // population variance 2
    EXPECT_FLOAT_EQ(ERR, 0.70710678f);
}

TEST(AvedevTest, EqualValuesHaveNoSpread) {
    for (float v : {0.0f, 0.1f, 1.0f / 3.0f, 12345.678f}) {
        const float x[] = {v, v, v, v, v};
        float AVE, SD, ERR;
        AVEDEV(x, AVE, SD, ERR);
        EXPECT_EQ(AVE, v);
        EXPECT_EQ(SD, 0.0f);
        EXPECT_EQ(ERR, 0.0f);
    }
}

TEST(AvedevTest, AccumulatesInDoublePrecision) {
    // Large mean, small spread: a single-precision S2 / N - AVE^2 would lose
    // the variance entirely (relative spread 1e-4, float epsilon 6e-8 on S2).
    const float x[] = {10000.0f, 10001.0f, 10002.0f, 10003.0f, 10004.0f};
    float AVE, SD, ERR;
    AVEDEV(x, AVE, SD, ERR);
    EXPECT_EQ(AVE, 10002.0f);
    EXPECT_FLOAT_EQ(SD, std::sqrt(2.0f));
}

TEST(SteaveTest, SubsampleMeansDivideByNconfaveOverNsub) {
    // NCONFAVE = 12: each subsample receives 12 / 5 = 2 conformations.
    const RunData run = averaging_run(12, 0, 0, 0.0f);
    NullSink console;
    Steave st(run, nullptr, console);
    st.begin();
    EXPECT_EQ(st.NPROP(), 2);
    for (std::int32_t j = 1; j <= NSUB; ++j) {
        // Distances j and j + 1: r2 sum j^2 + (j+1)^2, mean over 2.
        st.sample(dumbbell(float(j)), j);
        st.sample(dumbbell(float(j + 1)), j);
        EXPECT_EQ(st.PSUB(1, j), float(j * j + (j + 1) * (j + 1)));
    }
    st.finish();
    std::vector<double> means;
    for (std::int32_t j = 1; j <= NSUB; ++j) {
        const double m = (double(j) * j + double(j + 1) * (j + 1)) / 2.0;
        EXPECT_EQ(st.PSUB(1, j), float(m));
        means.push_back(m);
    }
    double mean = 0, ss = 0;
    for (double m : means) mean += m / NSUB;
    for (double m : means) ss += (m - mean) * (m - mean);
    EXPECT_FLOAT_EQ(st.PSTAT(1, 1), float(mean));
    EXPECT_FLOAT_EQ(st.PSTAT(1, 2), float(std::sqrt(ss / (NSUB * (NSUB - 1)))));
    EXPECT_FLOAT_EQ(st.PSTAT(2, 1), float(mean / 4.0));
    const auto table = st.table();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0][0], st.PSTAT(1, 1));
    EXPECT_EQ(table[1][1], st.PSTAT(2, 2));
}

TEST(SteaveTest, UnreachedIntervalHasZeroMeanAndError) {
    const RunData run = averaging_run(10, 0, 3, 3.0f);
    NullSink console;
    Steave st(run, nullptr, console);
    st.begin();
    for (std::int32_t j = 1; j <= NSUB; ++j) {
        st.sample(dumbbell(0.5f), j);   // interval 1
        st.sample(dumbbell(2.5f), j);   // interval 3
    }
    st.finish();
    ASSERT_EQ(st.NPROP(), 5);
    EXPECT_EQ(st.PSTAT(3, 1), 0.5f);
    EXPECT_EQ(st.PSTAT(3, 2), 0.0f);
    EXPECT_EQ(st.PSTAT(4, 1), 0.0f);
    EXPECT_EQ(st.PSTAT(4, 2), 0.0f);
    EXPECT_EQ(st.PSTAT(5, 1), 0.5f);
}

TEST(SteaveTest, UnknownIflagReportsAndChangesNothing) {
    const RunData run = averaging_run(10, 0, 0, 0.0f);
    CapturingSink console;
    Steave st(run, nullptr, console);
    st.begin();
    st.sample(dumbbell(2.0f), 1);
    st.steave(3);
    st.steave(-1);
    st.steave(10);
    EXPECT_EQ(console.records, (std::vector<std::string>{
                                   " error in subroutine steave.  iflag=3 not equal to 0, 1 or 2",
                                   " error in subroutine steave.  iflag=* not equal to 0, 1 or 2",
                                   " error in subroutine steave.  iflag=* not equal to 0, 1 or 2",
                               }));
    EXPECT_EQ(st.PSUB(1, 1), 4.0f);
    EXPECT_EQ(st.PSUB(2, 1), 1.0f);
    // Adding needs a conformation lent by sample(); none is held after it.
    EXPECT_THROW(st.steave(1), std::logic_error);
    EXPECT_THROW(st.sample(dumbbell(1.0f), NSUB + 1), std::out_of_range);
    EXPECT_EQ(st.PSUB(1, 1), 4.0f);
}

TEST(SteaveTest, BeginClearsSumsOfTheNextDataSet) {
    const RunData run = averaging_run(5, 0, 0, 0.0f);
    NullSink console;
    Steave st(run, nullptr, console);
    for (int set = 0; set < 2; ++set) {
        st.begin();
        for (std::int32_t j = 1; j <= NSUB; ++j) st.sample(dumbbell(3.0f), j);
        st.finish();
        EXPECT_EQ(st.PSTAT(1, 1), 9.0f) << "data set " << set;
        EXPECT_EQ(st.PSTAT(1, 2), 0.0f);
    }
}

TEST(SteaveTest, HydrodynamicEntriesAndConsoleForwarding) {
    const RunData run = averaging_run(5, 1, 2, 4.0f);
    FakeHydro hydro;
    CapturingSink console;
    Steave st(run, &hydro, console);
    st.begin();
    ASSERT_EQ(st.NPROP(), 6);
    for (std::int32_t j = 1; j <= NSUB; ++j) st.sample(dumbbell(float(j) * 0.5f), j);
    st.finish();
    EXPECT_EQ(hydro.calls, 5);
    EXPECT_EQ(console.records.size(), 5u);
    EXPECT_EQ(st.PSTAT(3, 1), 0.5f);                        // DT = 1/N
    EXPECT_FLOAT_EQ(st.PSTAT(4, 1), (0.25f + 1 + 2.25f + 4 + 6.25f) / 5);  // ETA = r2
    EXPECT_FLOAT_EQ(st.PSTAT(5, 1), 0.8f);  // r = 0.5, 1, 1.5 and 2 (a boundary counts low)
    EXPECT_FLOAT_EQ(st.PSTAT(6, 1), 0.2f);  // r = 2.5
}

TEST(SteaveTest, PropertyStorageFitsManyIntervals) {
    // 300 intervals: more properties than a fixed table of 200 could hold.
    const RunData run = averaging_run(5, 1, 300, 300.0f);
    FakeHydro hydro;
    NullSink console;
    Steave st(run, &hydro, console);
    st.begin();
    ASSERT_EQ(st.NPROP(), 304);
    for (std::int32_t j = 1; j <= NSUB; ++j) st.sample(dumbbell(299.5f), j);
    st.finish();
    EXPECT_EQ(st.PSTAT(304, 1), 1.0f);
    EXPECT_EQ(st.PSTAT(303, 1), 0.0f);
    EXPECT_EQ(st.table().size(), 304u);
}

TEST(SteaveTest, UnaffordableStorageIsASimulationError) {
    const RunData run = averaging_run(5, 1, INT32_MAX, 1.0f);
    NullSink console;
    FakeHydro hydro;
    Steave st(run, &hydro, console);
    EXPECT_THROW(st.begin(), SimulationError);
}

}  // namespace
}  // namespace bw
