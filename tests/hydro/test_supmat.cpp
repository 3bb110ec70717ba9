#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "hydro/packed.hpp"
#include "hydro/supmat.hpp"
#include "hydro_test_support.hpp"

namespace bw {
namespace {

void expect_diag(const Mat3& b, float d1, float d2, float d3) {
    EXPECT_FLOAT_EQ(b(0, 0), d1);
    EXPECT_FLOAT_EQ(b(1, 1), d2);
    EXPECT_FLOAT_EQ(b(2, 2), d3);
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) {
            if (k != l) {
                EXPECT_EQ(b(k, l), 0.0f) << k << "," << l;
            }
        }
}

TEST(supermatrix, self_block_is_inverse_radius) { expect_diag(self_block(0.257f), 3.8910506f, 3.8910506f, 3.8910506f); }

TEST(supermatrix, two_bead_blocks_at_unit_distance) {
    const Vec3 d = {1.0f, 0.0f, 0.0f};
    // RPY: Q = 0.132098, A = 0.1305041, B = 0.1084878; diagonal 6(A + B), 6A, 6A.
    expect_diag(pair_block(IND_RPY, 0.257f, 0.257f, d), 1.433951f, 0.7830245f, 0.7830245f);
    // Oseen: A = B = 1/8.
    expect_diag(pair_block(IND_OSEEN, 0.257f, 0.257f, d), 1.5f, 0.75f, 0.75f);
    expect_diag(pair_block(IND_NONE, 0.257f, 0.257f, d), 0.0f, 0.0f, 0.0f);
}

TEST(supermatrix, overlap_switch_has_one_percent_margin) {
    // 0.514 > 1.01 * 0.4: overlapping spheres.
    expect_diag(pair_block(IND_RPY, 0.257f, 0.257f, {0.4f, 0.0f, 0.0f}), 2.7555300f, 2.1877697f, 2.1877697f);

    // 0.514 < 1.01 * 0.51: the far-field formula although the spheres
    // interpenetrate; reference evaluated here in double.
    const double r = 0.51, a = 0.257;
    const double Q = 2.0 * a * a / (r * r);
    const double A = (1.0 + Q / 3.0) / (8.0 * r), B = (1.0 - Q) / (8.0 * r * r * r);
    const Mat3 b = pair_block(IND_RPY, 0.257f, 0.257f, {0.51f, 0.0f, 0.0f});
    EXPECT_NEAR(b(0, 0), 6.0 * (A + B * r * r), 2e-6);
    EXPECT_NEAR(b(1, 1), 6.0 * A, 2e-6);
}

TEST(supermatrix, oblique_pair_block_is_symmetric_dyadic) {
    // Oseen at unit distance along (0.6, 0.8, 0): 0.75 (I + d d^T).
    const Mat3 b = pair_block(IND_OSEEN, 0.257f, 0.257f, {0.6f, 0.8f, 0.0f});
    EXPECT_FLOAT_EQ(b(0, 1), 0.36f);
    EXPECT_EQ(b(0, 1), b(1, 0));
    EXPECT_FLOAT_EQ(b(0, 0), 0.75f * 1.36f);
    EXPECT_FLOAT_EQ(b(1, 1), 0.75f * 1.64f);
    EXPECT_FLOAT_EQ(b(2, 2), 0.75f);
}

TEST(supermatrix, sigma_is_radius_of_mean_volume) {
    EXPECT_EQ(overlap_sigma(0.257f, 0.257f), 0.257f);
    EXPECT_NEAR(overlap_sigma(0.3f, 0.5f), 0.4235824f, 1e-7);
    EXPECT_EQ(overlap_sigma(0.3f, 0.5f), overlap_sigma(0.5f, 0.3f));
}

TEST(supermatrix, coincident_beads_take_the_overlap_limit) {
    // r = 0 with RPY: (1/sigma) I, finite, instead of 0/0.
    const Mat3 same = pair_block(IND_RPY, 0.257f, 0.257f, {0.0f, 0.0f, 0.0f});
    expect_diag(same, 1.0f / 0.257f, 1.0f / 0.257f, 1.0f / 0.257f);
    const float s = overlap_sigma(0.3f, 0.5f);
    expect_diag(pair_block(IND_RPY, 0.3f, 0.5f, {0.0f, 0.0f, 0.0f}), 1.0f / s, 1.0f / s, 1.0f / s);
    // And the limit is approached continuously.
    const Mat3 near = pair_block(IND_RPY, 0.257f, 0.257f, {1e-4f, 0.0f, 0.0f});
    EXPECT_NEAR(near(0, 0), same(0, 0), 1e-3);
    EXPECT_NEAR(near(1, 1), same(1, 1), 1e-3);
}

TEST(supermatrix, stoblk_places_pair_and_diagonal_blocks_above_the_diagonal) {
    constexpr float untouched = -1.0f;
    std::vector<float> ap(static_cast<std::size_t>(packed_size(6)), untouched);
    Mat3 blk;
    for (int e = 0; e < 9; ++e) blk.a[e] = float(10 + e);  // deliberately not symmetric

    STOBLK(1, 0, blk, ap.data());
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) EXPECT_EQ(ap[packed_index(b, 3 + a)], blk(a, b));

    STOBLK(1, 1, blk, ap.data());
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b <= a; ++b) EXPECT_EQ(ap[packed_index(3 + b, 3 + a)], blk(a, b));
    // Bead 0's diagonal block was not written by either call.
    for (int q = 0; q < 3; ++q)
        for (int p = 0; p <= q; ++p) EXPECT_EQ(ap[packed_index(p, q)], untouched);
}

TEST(supermatrix, supmat_writes_whole_triangle_from_pair_blocks) {
    const auto pos = test::random_walk(4, 3);
    test::BeadModel bm(pos, 0.257f, 10);
    bm.rad[2] = 0.4f;
    std::fill(bm.ap.begin(), bm.ap.end(), std::numeric_limits<float>::quiet_NaN());
    SUPMAT(bm.ap.data(), IND_RPY, bm.view(), bm.N, bm.rad.data());
    for (float v : bm.ap) ASSERT_TRUE(std::isfinite(v));

    // The block of pair (I, J), J < I, is built with d = r_J - r_I; S_IJ is
    // that block and S_JI its transpose.
    for (std::int32_t I = 0; I < bm.N; ++I)
        for (std::int32_t J = 0; J <= I; ++J) {
            const Mat3 want =
                I == J ? self_block(bm.rad[I])
                       : pair_block(IND_RPY, bm.rad[I], bm.rad[J],
                                    {pos[J][0] - pos[I][0], pos[J][1] - pos[I][1], pos[J][2] - pos[I][2]});
            const Mat3 sij = GETBLK(I, J, bm.ap.data()), sji = GETBLK(J, I, bm.ap.data());
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) {
                    if (I == J && l < k) continue;  // lower half of a diagonal block mirrors the upper
                    EXPECT_EQ(sij(k, l), want(k, l)) << I << "," << J << "," << k << "," << l;
                    EXPECT_EQ(sji(l, k), want(k, l)) << I << "," << J << "," << k << "," << l;
                }
        }
}

TEST(supermatrix, no_interaction_gives_diagonal_matrix) {
    test::BeadModel bm(test::random_walk(3, 5));
    bm.rad = {0.2f, 0.3f, 0.5f};
    SUPMAT(bm.ap.data(), IND_NONE, bm.view(), bm.N, bm.rad.data());
    for (std::int64_t q = 0; q < 9; ++q)
        for (std::int64_t p = 0; p <= q; ++p)
            EXPECT_EQ(bm.ap[packed_index(p, q)], p == q ? 1.0f / bm.rad[q / 3] : 0.0f);
}

}  // namespace
}  // namespace bw
