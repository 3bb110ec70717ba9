#include "montecarlo/conformational.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace bw {
namespace {

TEST(Rgyr2Test, StraightChainsAndTwoBeads) {
    for (std::int32_t N : {2, 3, 10, 51, 100}) {
        Conformation c;
        c.N = N;
        for (std::int32_t i = 0; i < N; ++i) c.x[i] = static_cast<float>(i);
        float S2 = -1.0f;
        RGYR2(c, S2);
        const double expected = (double(N) * N - 1.0) / 12.0;
        EXPECT_NEAR(S2, expected, 2e-6 * expected * N) << "N=" << N;
    }
    Conformation two;
    two.N = 2;
    two.y[1] = 1.0f;
    float S2 = 0.0f;
    RGYR2(two, S2);
    EXPECT_EQ(S2, 0.25f);
}

TEST(Rgyr2Test, NormalisesByNAboutTheCentreOfMass) {
    // Square of side 2 centred on (5, 5, 5): every bead at squared distance 2.
    Conformation c;
    c.N = 4;
    const float xs[] = {4, 6, 6, 4}, ys[] = {4, 4, 6, 6};
    for (int i = 0; i < 4; ++i) c.x[i] = xs[i], c.y[i] = ys[i], c.z[i] = 5.0f;
    float S2 = 0.0f;
    RGYR2(c, S2);
    EXPECT_EQ(S2, 2.0f);
}

TEST(HistbinTest, IntervalEndsAndInteriorBoundaries) {
    std::int32_t IBIN = -7, ISTAT = -7;
    HISTBIN(5.0f, 0.0f, 10.0f, 10, IBIN, ISTAT);
    EXPECT_EQ(ISTAT, 0);
    EXPECT_EQ(IBIN, 5);  // boundary between intervals 5 and 6 goes to the lower
    HISTBIN(10.0f, 0.0f, 10.0f, 10, IBIN, ISTAT);
    EXPECT_EQ(IBIN, 10);  // the upper end is in the last interval
    HISTBIN(0.0f, 0.0f, 10.0f, 10, IBIN, ISTAT);
    EXPECT_EQ(IBIN, 1);
    HISTBIN(5.01f, 0.0f, 10.0f, 10, IBIN, ISTAT);
    EXPECT_EQ(IBIN, 6);
    HISTBIN(7.5f, 0.0f, 20.0f, 50, IBIN, ISTAT);
    EXPECT_EQ(IBIN, 19);
    HISTBIN(3.0f, 0.0f, 4.0f, 1, IBIN, ISTAT);
    EXPECT_EQ(IBIN, 1);
}

TEST(HistbinTest, OutOfRangeLeavesTheIntervalUnchanged) {
    std::int32_t IBIN = 3, ISTAT = 0;
    HISTBIN(-0.5f, 0.0f, 10.0f, 10, IBIN, ISTAT);
    EXPECT_EQ(ISTAT, 1);
    EXPECT_EQ(IBIN, 3);
    HISTBIN(std::nextafter(10.0f, 11.0f), 0.0f, 10.0f, 10, IBIN, ISTAT);
    EXPECT_EQ(ISTAT, 2);
    EXPECT_EQ(IBIN, 3);
}

TEST(HistbinTest, EmptyRangeGivesNoInterval) {
    std::int32_t IBIN = 3, ISTAT = 5;
    HISTBIN(0.0f, 0.0f, 0.0f, 4, IBIN, ISTAT);
    EXPECT_EQ(ISTAT, 0);
    EXPECT_EQ(IBIN, 0);
    HISTBIN(std::nanf(""), 0.0f, 10.0f, 4, IBIN, ISTAT);
    EXPECT_EQ(IBIN, 0);
}

}  // namespace
}  // namespace bw
