#include "diagnose/fft.hpp"

#include <bit>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace bw::diagnose {
namespace {

// Reorders a so that element t sits at the bit-reversed index of t: the
// butterflies then combine neighbouring halves in place.
void bit_reverse(std::span<std::complex<double>> a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
}

// The plain product: the library's operator* also sorts out infinities and
// NaNs through a function call, which the butterflies do not need.
std::complex<double> times(std::complex<double> a, std::complex<double> b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

std::size_t fft_size(std::size_t n) { return n <= 1 ? 1 : std::bit_ceil(n); }

Fft::Fft(std::size_t n) : n_(n), w_(n / 2) {
    if (n != 0 && !std::has_single_bit(n)) throw std::invalid_argument("fft: length is not a power of two");
    // Each factor from its own cosine and sine rather than by repeated
    // multiplication, so that rounding does not grow along a stage.
    for (std::size_t k = 0; k < n / 2; ++k) {
        const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
        w_[k] = {std::cos(angle), std::sin(angle)};
    }
}

void Fft::transform(std::span<std::complex<double>> a, bool conjugate) const {
    if (a.size() != n_) throw std::invalid_argument("fft: sequence length differs from the plan's");
    if (n_ < 2) return;
    bit_reverse(a);
    for (std::size_t len = 2; len <= n_; len <<= 1) {
        const std::size_t half = len / 2;
        const std::size_t stride = n_ / len;
        for (std::size_t start = 0; start < n_; start += len) {
            for (std::size_t k = 0; k < half; ++k) {
                const std::complex<double> w = conjugate ? std::conj(w_[k * stride]) : w_[k * stride];
                const std::complex<double> u = a[start + k];
                const std::complex<double> v = times(a[start + k + half], w);
                a[start + k] = u + v;
                a[start + k + half] = u - v;
            }
        }
    }
}

void Fft::inverse(std::span<std::complex<double>> a) const {
    transform(a, true);
    const double scale = n_ == 0 ? 1.0 : 1.0 / static_cast<double>(n_);
    for (std::complex<double>& z : a) z *= scale;
}

void fft(std::span<std::complex<double>> a) { Fft(a.size()).forward(a); }

void inverse_fft(std::span<std::complex<double>> a) { Fft(a.size()).inverse(a); }

}  // namespace bw::diagnose
