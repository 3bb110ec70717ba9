#include "montecarlo/random.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "tests/montecarlo/lcg_replay.hpp"

namespace bw {
namespace {

struct Reference {
    std::int32_t seed;
    std::uint32_t states[3];
    float values[3];
};

TEST(RanTest, ReproducesReferenceStreams) {
    const Reference refs[] = {
        {0, {1u, 69070u, 475628535u}, {0.0f, 1.6033649E-05f, 0.11074084f}},
        {12345, {852656806u, 3856338159u, 1023442532u}, {0.19852459f, 0.89787364f, 0.23828876f}},
    };
    for (const Reference& r : refs) {
        std::int32_t seed = r.seed;
        for (int k = 0; k < 3; ++k) {
            const float u = RAN(seed);
            EXPECT_EQ(static_cast<std::uint32_t>(seed), r.states[k]) << "seed " << r.seed << " draw " << k;
            EXPECT_FLOAT_EQ(u, r.values[k]) << "seed " << r.seed << " draw " << k;
            // Every value lies exactly on the 2^-24 grid of the upper 24 bits.
            EXPECT_EQ(u, static_cast<float>(r.states[k] >> 8) / 16777216.0f);
        }
    }
    std::int32_t seed = 12345;
    RAN(seed);
    RAN(seed);
    EXPECT_EQ(seed, -438629137);
}

TEST(RanTest, NegativeSeedIsItsBitPattern) {
    std::int32_t seed = -1;
    const float u = RAN(seed);
    EXPECT_EQ(static_cast<std::uint32_t>(seed), 4294898228u);
    EXPECT_EQ(seed, -69068);
    EXPECT_FLOAT_EQ(u, 0.99998391f);
}

TEST(RanTest, LargestValueIsBelowOne) {
    // The seed whose successor is 0xFFFFFFFF: s = (2^32 - 2) / 69069 mod 2^32,
    // with the inverse of 69069 found by Newton iteration.
    std::uint32_t inv = 69069u;
    for (int k = 0; k < 5; ++k) inv *= 2u - 69069u * inv;
    ASSERT_EQ(69069u * inv, 1u);
    std::int32_t seed = static_cast<std::int32_t>(0xFFFFFFFEu * inv);
    const float u = RAN(seed);
    EXPECT_EQ(static_cast<std::uint32_t>(seed), 0xFFFFFFFFu);
    EXPECT_EQ(u, 1.0f - 0x1p-24f);
    EXPECT_LT(u, 1.0f);
}

TEST(RanTest, StreamHasUniformMoments) {
    std::int32_t seed = 2024;
    const int n = 200000;
    double s1 = 0.0, s2 = 0.0;
    for (int k = 0; k < n; ++k) {
        const double u = RAN(seed);
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        s1 += u;
        s2 += u * u;
    }
    // Standard errors: sqrt(1/12/n) = 6.5e-4 for the mean, about 6e-4 for the
    // second moment; the bounds are about 5 of them.
    EXPECT_NEAR(s1 / n, 0.5, 3e-3);
    EXPECT_NEAR(s2 / n, 1.0 / 3.0, 3e-3);
}

TEST(RanvecTest, FirstDrawZeroPointsDown) {
    std::int32_t seed = 0;  // first value exactly 0.0
    float ux = 1.0f, uy = 1.0f, uz = 1.0f;
    RANVEC(seed, ux, uy, uz);
    EXPECT_EQ(ux, 0.0f);
    EXPECT_EQ(uy, 0.0f);
    EXPECT_EQ(uz, -1.0f);
    EXPECT_EQ(replay::draws_between(0, seed), 2);
}

TEST(RanvecTest, UsesPolarCosineAndShortAzimuthConstant) {
    std::int32_t seed = 777;
    const std::int32_t s1 = replay::lcg_next(777), s2 = replay::lcg_next(s1);
    const float ct = 2.0f * replay::lcg_value(s1) - 1.0f;
    const float st = std::sqrt(1.0f - ct * ct);
    const float phi = replay::lcg_value(s2) * 6.28318f;
    float ux, uy, uz;
    RANVEC(seed, ux, uy, uz);
    EXPECT_EQ(seed, s2);
    EXPECT_EQ(ux, st * std::cos(phi));
    EXPECT_EQ(uy, st * std::sin(phi));
    EXPECT_EQ(uz, ct);
}

TEST(RanvecTest, UnitVectorsAreIsotropic) {
    std::int32_t seed = 99;
    const int n = 100000;
    double sx = 0, sy = 0, sz = 0, szz = 0, sxx = 0;
    for (int k = 0; k < n; ++k) {
        float x, y, z;
        RANVEC(seed, x, y, z);
        ASSERT_NEAR(double(x) * x + double(y) * y + double(z) * z, 1.0, 1e-6);
        sx += x, sy += y, sz += z, sxx += double(x) * x, szz += double(z) * z;
    }
    // Each component has mean 0 and variance 1/3 (standard error of the mean
    // 1.8e-3, of the second moment about 9.4e-4).
    EXPECT_NEAR(sx / n, 0.0, 1e-2);
    EXPECT_NEAR(sy / n, 0.0, 1e-2);
    EXPECT_NEAR(sz / n, 0.0, 1e-2);
    EXPECT_NEAR(sxx / n, 1.0 / 3.0, 5e-3);
    EXPECT_NEAR(szz / n, 1.0 / 3.0, 5e-3);
}

}  // namespace
}  // namespace bw
