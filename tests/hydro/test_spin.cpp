#include <gtest/gtest.h>

#include <array>
#include <random>
#include <stdexcept>

#include "hydro/spin.hpp"

namespace bw {
namespace {

TEST(spin, inverts_diagonal_and_keeps_identity) {
    std::array<float, 4> a = {2.0f, 0.0f, 0.0f, 4.0f};
    std::int32_t ierr = -1;
    SPIN(a.data(), 2, 2, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(a, (std::array<float, 4>{0.5f, 0.0f, 0.0f, 0.25f}));

    std::array<float, 36> id{};
    for (int k = 0; k < 6; ++k) id[k * 7] = 1.0f;
    const auto before = id;
    SPIN(id.data(), 6, 6, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(id, before);
}

TEST(spin, singular_matrix_stops_after_first_step_with_partial_reduction) {
    // [[1, 2], [2, 4]], column-major. First pivot is the 4 at (2,2); after
    // one step the remaining element is exactly zero.
    std::array<float, 4> a = {1.0f, 2.0f, 2.0f, 4.0f};
    std::int32_t ierr = 0;
    SPIN(a.data(), 2, 2, ierr);
    EXPECT_EQ(ierr, 1);
    EXPECT_EQ(a, (std::array<float, 4>{0.0f, 0.5f, -0.5f, 0.25f}));
}

TEST(spin, off_diagonal_pivot_swaps_rows_and_unscrambles_columns) {
    std::array<float, 4> a = {0.0f, 1.0f, 1.0f, 0.0f};
    std::int32_t ierr = 1;
    SPIN(a.data(), 2, 2, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(a, (std::array<float, 4>{0.0f, 1.0f, 1.0f, 0.0f}));
}

TEST(spin, general_matrix_times_inverse_is_identity_with_leading_dimension) {
    // A non-symmetric 5x5 matrix stored with leading dimension 7; the rows
    // beyond the order must stay untouched.
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    constexpr int n = 5, ld = 7;
    std::array<float, ld * n> a{};
    for (auto& v : a) v = u(gen);
    for (int k = 0; k < n; ++k) a[k + k * ld] += 3.0f;
    const auto orig = a;
    std::int32_t ierr = 1;
    SPIN(a.data(), ld, n, ierr);
    ASSERT_EQ(ierr, 0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += double(orig[i + k * ld]) * a[k + j * ld];
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-5) << i << "," << j;
        }
    for (int j = 0; j < n; ++j)
        for (int i = n; i < ld; ++i) EXPECT_EQ(a[i + j * ld], orig[i + j * ld]);
}

TEST(spin, refuses_orders_beyond_its_pivot_tables) {
    std::array<float, 4> a{};
    std::int32_t ierr = 0;
    EXPECT_THROW(SPIN(a.data(), 101, 101, ierr), std::invalid_argument);
    EXPECT_THROW(SPIN(a.data(), 1, 2, ierr), std::invalid_argument);
}

}  // namespace
}  // namespace bw
