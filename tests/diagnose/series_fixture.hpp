#pragma once
// Synthetic series with known statistics, from a fixed seed.
#include <cmath>
#include <random>
#include <vector>

namespace bw::diagnose::test {

// x(t) = phi x(t-1) + e(t), e standard normal, started in equilibrium
// (x(0) of variance 1 / (1 - phi^2)). Integrated time (1 + phi) / (1 - phi).
inline std::vector<double> ar1(std::size_t n, double phi, std::mt19937_64& rng) {
    std::normal_distribution<double> e(0.0, 1.0);
    std::vector<double> x(n);
    double v = e(rng) / std::sqrt(1.0 - phi * phi);
    for (std::size_t t = 0; t < n; ++t) {
        x[t] = v;
        v = phi * v + e(rng);
    }
    return x;
}

// Five runs of AR(1), each plus offset * exp(-t / decay).
inline std::vector<std::vector<double>> runs(std::size_t n, double phi, double offset, double decay,
                                             std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<std::vector<double>> r;
    for (int j = 0; j < 5; ++j) {
        r.push_back(ar1(n, phi, rng));
        for (std::size_t t = 0; t < n; ++t) r.back()[t] += offset * std::exp(-static_cast<double>(t) / decay);
    }
    return r;
}

}  // namespace bw::diagnose::test
