#pragma once
// The discrete Fourier transform of a complex sequence whose length is a
// power of two, in place, by the iterative radix-2 Cooley-Tukey algorithm:
// O(n log n) operations, double precision throughout.
//   forward: A(k) = sum_t a(t) exp(-2 pi i k t / n)
//   inverse: a(t) = (1/n) sum_k A(k) exp(+2 pi i k t / n)
#include <complex>
#include <cstddef>
#include <span>

namespace bw::diagnose {

// Smallest power of two not below n (1 for n = 0).
std::size_t fft_size(std::size_t n);

// Throws std::invalid_argument when the length is not a power of two.
void fft(std::span<std::complex<double>> a);
void inverse_fft(std::span<std::complex<double>> a);

}  // namespace bw::diagnose
