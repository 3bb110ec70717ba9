#include "diagnose/autocorrelation.hpp"

#include <algorithm>
#include <complex>
#include <limits>

#include "diagnose/fft.hpp"

namespace bw::diagnose {

namespace {

std::vector<double> lag_sums(std::span<const double> x, const Fft& plan) {
    const std::size_t n = x.size();
    if (n == 0) return {};
    double m = 0.0;
    for (const double v : x) m += v;
    m /= static_cast<double>(n);
    std::vector<std::complex<double>> a(plan.size());
    for (std::size_t t = 0; t < n; ++t) a[t] = x[t] - m;
    plan.forward(a);
    for (std::complex<double>& z : a) z = std::norm(z);
    plan.inverse(a);
    std::vector<double> sums(n);
    for (std::size_t k = 0; k < n; ++k) sums[k] = a[k].real();
    return sums;
}

// Zero padding to at least 2n keeps the circular correlation from wrapping
// lag k onto lag n - k.
std::size_t padded(std::size_t n) { return fft_size(2 * n); }

}  // namespace

std::vector<double> lag_sums(std::span<const double> x) { return lag_sums(x, Fft(padded(x.size()))); }

std::vector<double> pooled_autocovariance(std::span<const std::vector<double>> runs) {
    std::vector<double> C;
    std::size_t count = 0;
    Fft plan(1);
    for (const std::vector<double>& run : runs) {
        if (plan.size() != padded(run.size())) plan = Fft(padded(run.size()));
        const std::vector<double> sums = lag_sums(run, plan);
        if (sums.size() > C.size()) C.resize(sums.size(), 0.0);
        for (std::size_t k = 0; k < sums.size(); ++k) C[k] += sums[k];
        count += run.size();
    }
    for (double& c : C) c /= static_cast<double>(count);
    return C;
}

IntegratedTime integrated_time(std::span<const double> C, double c) {
    IntegratedTime r;
    if (C.empty() || !(C[0] > 0.0)) {
        r.tau = std::numeric_limits<double>::quiet_NaN();
        return r;
    }
    double tau = 1.0;
    for (std::size_t W = 1; W < C.size(); ++W) {
        tau += 2.0 * C[W] / C[0];
        if (static_cast<double>(W) >= c * tau) {
            r.tau = tau;
            r.window = W;
            r.window_found = true;
            return r;
        }
    }
    r.tau = tau;
    r.window = C.size() - 1;
    return r;
}

}  // namespace bw::diagnose
