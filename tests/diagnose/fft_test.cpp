#include "diagnose/fft.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

namespace bw::diagnose {
namespace {

using cd = std::complex<double>;

// The transform by its definition, O(n^2).
std::vector<cd> dft(const std::vector<cd>& a) {
    const std::size_t n = a.size();
    std::vector<cd> A(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t t = 0; t < n; ++t)
            A[k] += a[t] * std::polar(1.0, -2.0 * std::numbers::pi * double(k * t % n) / double(n));
    return A;
}

TEST(Fft, agrees_with_the_definition_and_inverts) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (std::size_t n : {1u, 2u, 4u, 8u, 64u, 256u}) {
        std::vector<cd> a(n);
        for (cd& z : a) z = {u(rng), u(rng)};
        const std::vector<cd> expected = dft(a);
        std::vector<cd> A = a;
        fft(A);
        for (std::size_t k = 0; k < n; ++k) EXPECT_NEAR(std::abs(A[k] - expected[k]), 0.0, 1e-12 * double(n)) << n;
        inverse_fft(A);
        for (std::size_t t = 0; t < n; ++t) EXPECT_NEAR(std::abs(A[t] - a[t]), 0.0, 1e-13 * double(n)) << n;
    }
}

TEST(Fft, a_single_frequency_lands_in_its_bin) {
    const std::size_t n = 16;
    std::vector<cd> a(n);
    for (std::size_t t = 0; t < n; ++t) a[t] = std::cos(2.0 * std::numbers::pi * 3.0 * double(t) / double(n));
    fft(a);
    for (std::size_t k = 0; k < n; ++k) EXPECT_NEAR(std::abs(a[k]), (k == 3 || k == 13) ? 8.0 : 0.0, 1e-12) << k;
}

TEST(Fft, sizes) {
    EXPECT_EQ(fft_size(0), 1u);
    EXPECT_EQ(fft_size(1), 1u);
    EXPECT_EQ(fft_size(5), 8u);
    EXPECT_EQ(fft_size(8), 8u);
    std::vector<cd> a(6);
    EXPECT_THROW(fft(a), std::invalid_argument);
}

}  // namespace
}  // namespace bw::diagnose
