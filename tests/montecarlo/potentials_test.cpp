#include "montecarlo/potentials.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace bw {
namespace {

TEST(PotentialsTest, SpringsHaveTheirRestLengths) {
    EXPECT_EQ(UGS(3.0f, 2.0f), 3.0f);
    EXPECT_EQ(UGS(3.0f, 0.0f), 0.0f);
    EXPECT_GT(UGS(3.0f, 1.0f), 0.0f);  // rest length 0: a unit bond is stretched
    EXPECT_EQ(USS(50.0f, 1.0f), 0.0f);  // rest length 1
    EXPECT_EQ(USS(2.0f, 4.0f), 1.0f);   // r = 2: (2/2) (2-1)^2
    EXPECT_EQ(USS(2.0f, 0.0f), 1.0f);   // r = 0: compressed by 1
}

TEST(PotentialsTest, LennardJonesShapeAndCutoff) {
    const float SIG = 1.0f, EPS = 0.5f, RCUT2 = 6.25f;
    EXPECT_EQ(ULJ(EPS, SIG, RCUT2, 1.0f), 0.0f);  // zero at r = SIG
    const float rmin2 = std::pow(2.0f, 1.0f / 3.0f);  // r = 2^(1/6) SIG
    EXPECT_NEAR(ULJ(EPS, SIG, RCUT2, rmin2), -EPS, 1e-6f);
    // r = 2: 4 EPS (2^-12 - 2^-6), exactly representable.
    EXPECT_EQ(ULJ(EPS, SIG, 4.0f, 4.0f), 2.0f * (1.0f / 4096.0f - 1.0f / 64.0f));
    // Cut, not shifted: full value at R2 = RCUT2, nothing beyond.
    EXPECT_LT(ULJ(EPS, SIG, 4.0f, 4.0f), 0.0f);
    EXPECT_EQ(ULJ(EPS, SIG, 4.0f, std::nextafter(4.0f, 5.0f)), 0.0f);
    EXPECT_EQ(ULJ(0.0f, SIG, RCUT2, 1.2f), 0.0f);  // EPS = 0: pure spring chain
    EXPECT_EQ(ULJ(EPS, SIG, 0.0f, 0.5f), 0.0f);    // RCUT = 0 switches it off
}

TEST(PotentialsTest, SoftRepulsionShapeAndCutoff) {
    const float A = 2.0f, ALPHA = 1.5f;
    EXPECT_EQ(USR(A, ALPHA, 9.0f, 0.0f), A);
    EXPECT_NEAR(USR(A, ALPHA, 9.0f, 4.0f), 2.0 * std::exp(-3.0), 1e-6);
    EXPECT_GT(USR(A, ALPHA, 4.0f, 4.0f), 0.0f);
    EXPECT_EQ(USR(A, ALPHA, 4.0f, std::nextafter(4.0f, 5.0f)), 0.0f);
    EXPECT_EQ(USR(0.0f, ALPHA, 9.0f, 1.0f), 0.0f);
}

TEST(PotentialsTest, PairEnergyChoosesBondOnlyForNeighbours) {
    const GaussianSpringModel gs{3.0f, 1.0f, 1.0f, 100.0f};
    const float R2 = 1.5f;
    EXPECT_EQ(pair_energy(gs, 4, 5, R2), UGS(3.0f, R2));
    EXPECT_EQ(pair_energy(gs, 5, 4, R2), UGS(3.0f, R2));
    EXPECT_EQ(pair_energy(gs, 3, 5, R2), ULJ(1.0f, 1.0f, 100.0f, R2));
    EXPECT_EQ(pair_energy(gs, 1, 9, R2), ULJ(1.0f, 1.0f, 100.0f, R2));
    const SoftSpringModel ss{40.0f, 5.0f, 2.0f, 4.0f};
    EXPECT_EQ(pair_energy(ss, 2, 1, R2), USS(40.0f, R2));
    EXPECT_EQ(pair_energy(ss, 2, 4, R2), USR(5.0f, 2.0f, 4.0f, R2));
}

TEST(PotentialsTest, FilledTableIsSymmetricAndHoldsEveryPair) {
    const float x[] = {0.0f, 1.0f, 1.0f, 2.0f};
    const float y[] = {0.0f, 0.0f, 1.0f, 1.0f};
    const float z[] = {0.0f, 0.0f, 0.0f, 0.5f};
    const SoftSpringModel model{40.0f, 5.0f, 2.0f, 9.0f};
    PairEnergies EPAIR;
    ASSERT_TRUE(fill_pair_energies(model, 4, x, y, z, EPAIR));
    for (int i = 1; i <= 4; ++i) {
        for (int k = 1; k <= 4; ++k) {
            if (i == k) continue;
            const float dx = x[i - 1] - x[k - 1], dy = y[i - 1] - y[k - 1], dz = z[i - 1] - z[k - 1];
            const float R2 = dy * dy + dx * dx + dz * dz;
            const float expected = (std::abs(i - k) == 1) ? USS(40.0f, R2) : USR(5.0f, 2.0f, 9.0f, R2);
            EXPECT_EQ(EPAIR(i, k), expected) << i << "," << k;
            EXPECT_EQ(EPAIR(i, k), EPAIR(k, i));
        }
    }
    EXPECT_EQ(EPAIR(1, 2), 0.0f);  // unit bond of a rest-length-1 spring
    EXPECT_EQ(EPAIR(1, 3), 5.0f * std::exp(-(std::sqrt(2.0f) * 2.0f)));
}

TEST(PotentialsTest, FillReportsEnergiesThatAreNotFinite) {
    // Beads 1 and 3 coincide: Lennard-Jones at R2 = 0.
    const float x[] = {0.0f, 1.0f, 0.0f};
    const float y[] = {0.0f, 0.0f, 0.0f};
    const float z[] = {0.0f, 0.0f, 0.0f};
    PairEnergies EPAIR;
    EXPECT_FALSE(fill_pair_energies(GaussianSpringModel{3.0f, 1.0f, 1.0f, 4.0f}, 3, x, y, z, EPAIR));
    // R2 = 0 is not beyond a zero cutoff either.
    EXPECT_FALSE(fill_pair_energies(GaussianSpringModel{3.0f, 1.0f, 1.0f, 0.0f}, 3, x, y, z, EPAIR));
    EXPECT_TRUE(fill_pair_energies(SoftSpringModel{3.0f, 1.0f, 1.0f, 4.0f}, 3, x, y, z, EPAIR));
}

TEST(PotentialsTest, TouchingHardSpheresOverlap) {
    EXPECT_TRUE(overlaps(1.0f, 1.0f));
    EXPECT_FALSE(overlaps(std::nextafter(1.0f, 2.0f), 1.0f));
    EXPECT_FALSE(overlaps(1e-30f, 0.0f));  // DHS = 0: only exact coincidence
    EXPECT_TRUE(overlaps(0.0f, 0.0f));
}

}  // namespace
}  // namespace bw
