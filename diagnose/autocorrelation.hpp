#pragma once
// Autocorrelation of the series of one property along the Markov chain, and
// its integrated autocorrelation time with Sokal's automatic window.
//
// For runs x_j(t), t = 0..n_j - 1, of one chain (the subsamples, each started
// anew), each taken about its own mean m_j, the pooled autocovariance is
//   C(k) = sum_j sum_{t=0}^{n_j-1-k} (x_j(t) - m_j)(x_j(t+k) - m_j) / sum_j n_j,
// the estimator with the full count as divisor (it keeps C positive
// semi-definite). rho(k) = C(k) / C(0). The lag sums of one run come from one
// FFT of the run padded with zeros to twice its length: O(n log n).
#include <cstddef>
#include <span>
#include <vector>

namespace bw::diagnose {

// sum_{t=0}^{n-1-k} (x(t) - m)(x(t+k) - m) for k = 0..n-1, m the mean of x.
std::vector<double> lag_sums(std::span<const double> x);

// C(k) for k = 0 up to the longest run less one; empty when no run has a sample.
std::vector<double> pooled_autocovariance(std::span<const std::vector<double>> runs);

struct IntegratedTime {
    double tau = 0.0;           // 1 + 2 sum_{k=1}^{W} rho(k), in samples; NaN when C(0) is 0
    std::size_t window = 0;     // W
    bool window_found = false;  // W >= c tau(W) was reached before the end of the series
};

// Sokal's window: the smallest W with W >= c tau(W). When the series ends
// first, W is the last lag and the time is only a lower bound: the series is
// shorter than c autocorrelation times.
IntegratedTime integrated_time(std::span<const double> C, double c = 5.0);

}  // namespace bw::diagnose
