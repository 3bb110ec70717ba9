#pragma once
// The discrete Fourier transform of a complex sequence whose length is a
// power of two, in place, by the iterative radix-2 Cooley-Tukey algorithm:
// O(n log n) operations, double precision throughout.
//   forward: A(k) = sum_t a(t) exp(-2 pi i k t / n)
//   inverse: a(t) = (1/n) sum_k A(k) exp(+2 pi i k t / n)
#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace bw::diagnose {

// Smallest power of two not below n (1 for n = 0).
std::size_t fft_size(std::size_t n);

// The transforms of one length, with its twiddle factors computed once.
class Fft {
public:
    // Throws std::invalid_argument when n is not a power of two.
    explicit Fft(std::size_t n);
    std::size_t size() const { return n_; }
    // a.size() must be size().
    void forward(std::span<std::complex<double>> a) const { transform(a, false); }
    void inverse(std::span<std::complex<double>> a) const;

private:
    void transform(std::span<std::complex<double>> a, bool conjugate) const;
    std::size_t n_;
    std::vector<std::complex<double>> w_;  // exp(-2 pi i k / n), k < n / 2
};

// One-off transforms of any power-of-two length.
void fft(std::span<std::complex<double>> a);
void inverse_fft(std::span<std::complex<double>> a);

}  // namespace bw::diagnose
