#include "averaging/confprop.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "tests/averaging/fake_hydro.hpp"

namespace bw {
namespace {

// Chain along x whose end-to-end distance is r: beads at 0, r/2, r.
Conformation chain_with_end_distance(float r) {
    Conformation c;
    c.N = 3;
    c.x[1] = 0.5f * r;
    c.x[2] = r;
    return c;
}

RunData run_with(std::int32_t IHYD, std::int32_t NPR, float RMAX) {
    RunData run;
    run.IHYD = IHYD;
    run.NPR = NPR;
    run.RMAX = RMAX;
    return run;
}

TEST(ConfpropTest, ConformationalEntriesOnly) {
    const RunData run = run_with(0, 0, 10.0f);
    std::vector<float> PROP(2, -1.0f);
    NullSink console;
    EXPECT_EQ(property_count(run), 2);
    EXPECT_EQ(CONFPROP(chain_with_end_distance(2.0f), run, nullptr, console, PROP), 2);
    EXPECT_EQ(PROP[0], 4.0f);
    EXPECT_FLOAT_EQ(PROP[1], 2.0f / 3.0f);  // beads 0, 1, 2: (1 + 0 + 1) / 3
}

TEST(ConfpropTest, OneIndicatorInRangeNoneBeyond) {
    const RunData run = run_with(0, 4, 8.0f);  // intervals of width 2
    std::vector<float> PROP(6);
    NullSink console;
    struct Case {
        float r;
        int bin;  // 0: none
    };
    for (const Case& c : {Case{0.0f, 1}, Case{3.0f, 2}, Case{4.0f, 2}, Case{8.0f, 4}, Case{8.5f, 0}}) {
        ASSERT_EQ(CONFPROP(chain_with_end_distance(c.r), run, nullptr, console, PROP), 6);
        EXPECT_EQ(PROP[0], c.r * c.r);
        float sum = 0.0f;
        for (int k = 1; k <= 4; ++k) {
            EXPECT_EQ(PROP[1 + k], k == c.bin ? 1.0f : 0.0f) << "r=" << c.r << " k=" << k;
            sum += PROP[1 + k];
        }
        EXPECT_EQ(sum, c.bin == 0 ? 0.0f : 1.0f);
    }
}

TEST(ConfpropTest, HydrodynamicEntriesComeBeforeTheIndicators) {
    const RunData run = run_with(1, 3, 3.0f);
    EXPECT_EQ(property_count(run), 7);
    std::vector<float> PROP(7);
    FakeHydro hydro;
    CapturingSink console;
    EXPECT_EQ(CONFPROP(chain_with_end_distance(2.5f), run, &hydro, console, PROP), 7);
    EXPECT_EQ(hydro.calls, 1);
    EXPECT_EQ(PROP[2], 1.0f / 3.0f);  // DT
    EXPECT_EQ(PROP[3], 6.25f);        // ETA
    EXPECT_EQ(PROP[4], 0.0f);
    EXPECT_EQ(PROP[5], 0.0f);
    EXPECT_EQ(PROP[6], 1.0f);
    EXPECT_EQ(console.records, std::vector<std::string>{" hydro 1"});
}

TEST(ConfpropTest, NoHydrodynamicsNoCall) {
    FakeHydro hydro;
    NullSink console;
    std::vector<float> PROP(6);
    EXPECT_EQ(CONFPROP(chain_with_end_distance(1.0f), run_with(0, 4, 4.0f), &hydro, console, PROP), 6);
    EXPECT_EQ(hydro.calls, 0);
    EXPECT_EQ(property_count(run_with(0, -3, 4.0f)), 2);
    EXPECT_EQ(property_count(run_with(5, 0, 4.0f)), 4);
}

TEST(ConfpropTest, RefusesAShortPropertyVector) {
    std::vector<float> PROP(5);
    NullSink console;
    EXPECT_THROW(CONFPROP(chain_with_end_distance(1.0f), run_with(0, 4, 4.0f), nullptr, console, PROP),
                 std::invalid_argument);
}

}  // namespace
}  // namespace bw
