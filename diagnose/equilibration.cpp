#include "diagnose/equilibration.hpp"

#include <algorithm>

#include "diagnose/autocorrelation.hpp"

namespace bw::diagnose {
namespace {

constexpr std::size_t kSearchLength = 2048;
constexpr std::size_t kCoarseSteps = 30;
constexpr std::size_t kFineSteps = 20;

// Means of consecutive blocks of b samples; an incomplete last block is left out.
std::vector<double> block_means(const std::vector<double>& x, std::size_t b) {
    std::vector<double> m(x.size() / b);
    for (std::size_t i = 0; i < m.size(); ++i) {
        double s = 0.0;
        for (std::size_t t = i * b; t < (i + 1) * b; ++t) s += x[t];
        m[i] = s / static_cast<double>(b);
    }
    return m;
}

// n_eff of the runs without their first t0 entries, in entries; 0 when they do
// not fluctuate.
double effective_size(std::span<const std::vector<double>> runs, std::size_t t0, double c) {
    std::vector<std::vector<double>> rest;
    std::size_t count = 0;
    for (const std::vector<double>& r : runs) {
        rest.emplace_back(r.begin() + static_cast<std::ptrdiff_t>(t0), r.end());
        count += rest.back().size();
    }
    const IntegratedTime it = integrated_time(pooled_autocovariance(rest), c);
    return it.tau > 0.0 ? static_cast<double>(count) / it.tau : 0.0;
}

struct Candidate {
    std::size_t t0 = 0;
    double n_eff = 0.0;
};

// Best of first, first + step, ... up to last; ties go to the shorter discard.
Candidate best_on_grid(std::span<const std::vector<double>> runs, std::size_t first, std::size_t last,
                       std::size_t step, double c) {
    Candidate best;
    for (std::size_t t0 = first; t0 <= last; t0 += step) {
        const double n_eff = effective_size(runs, t0, c);
        if (n_eff > best.n_eff) best = {t0, n_eff};
    }
    return best;
}

}  // namespace

std::size_t equilibration(std::span<const std::vector<double>> runs, double c) {
    if (runs.empty()) return 0;
    std::size_t n = runs[0].size();
    for (const std::vector<double>& r : runs) n = std::min(n, r.size());
    const std::size_t b = std::max<std::size_t>(1, (n + kSearchLength - 1) / kSearchLength);
    std::vector<std::vector<double>> blocks;
    for (const std::vector<double>& r : runs) blocks.push_back(block_means(r, b));
    const std::size_t last = (n / b) / 2;
    const std::size_t step = std::max<std::size_t>(1, last / kCoarseSteps);
    Candidate best = best_on_grid(blocks, 0, last, step, c);
    if (step > 1 && best.n_eff > 0.0) {
        const std::size_t lo = best.t0 > step ? best.t0 - step : 0;
        const std::size_t hi = std::min(last, best.t0 + step);
        const Candidate fine = best_on_grid(blocks, lo, hi, std::max<std::size_t>(1, (hi - lo) / kFineSteps), c);
        if (fine.n_eff > best.n_eff) best = fine;
    }
    return best.t0 * b;
}

}  // namespace bw::diagnose
