#include "diagnose/diagnosis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "diagnose/autocorrelation.hpp"
#include "diagnose/equilibration.hpp"

namespace bw::diagnose {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kItemMax = 2147483647.0;  // the largest NCONF a data file can hold

double mean_of(std::span<const double> x) {
    double s = 0.0;
    for (const double v : x) s += v;
    return s / static_cast<double>(x.size());
}

// Mean of the subsample means: every subsample has the same weight, as in steave.
double mean_of_means(std::span<const std::vector<double>> runs) {
    double s = 0.0;
    for (const std::vector<double>& r : runs) s += mean_of(r);
    return s / static_cast<double>(runs.size());
}

bool all_finite(std::span<const std::vector<double>> runs) {
    for (const std::vector<double>& r : runs)
        for (const double v : r)
            if (!std::isfinite(v)) return false;
    return true;
}

std::string count_text(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
}

// A span in autocorrelation times, to three significant digits ("12.3", "0.52").
std::string span_text(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.3g", v);
    return buf;
}

// NCONFAVE a multiple of 5 (every subsample gets the same share) and at least `samples`.
double subsampled(double samples) { return 5.0 * std::ceil(samples / 5.0); }

std::string run_text(double NCONFAVE, double NFREQ) {
    const double NCONF = NCONFAVE * NFREQ;
    std::string s = "NCONF = " + count_text(NCONF) + " with NCONFAVE = " + count_text(NCONFAVE) +
                    " (NFREQ = " + count_text(NFREQ) + ")";
    if (NCONF > kItemMax) s += ", beyond one data set: split it over data sets with different seeds";
    return s;
}

// The run that gives `factor` times the effective samples (and `factor` times
// longer subsamples) at the same NFREQ; when the samples are correlated, also
// the one that samples about once per autocorrelation time. For the latter
// the autocorrelation is taken as exp(-cycles / T), whose integrated time at
// a spacing of NFREQ cycles is coth(NFREQ / 2T).
std::string run_advice(const PropertyDiagnosis& d, const DataSetShape& shape, double factor, bool spread) {
    std::string advice = run_text(subsampled(shape.NCONFAVE * factor), shape.NFREQ);
    if (spread && d.tau_samples >= kCorrelatedTau) {
        const double half_rate = std::atanh(1.0 / d.tau_samples) / shape.NFREQ;  // 1 / 2T
        const double NFREQ = std::ceil(d.tau_cycles);
        const double tau = 1.0 / std::tanh(NFREQ * half_rate);
        advice += ", or " + run_text(subsampled(kTargetSamples * tau), NFREQ);
    }
    return advice;
}

std::string join(const std::vector<std::string>& parts) {
    std::string s;
    for (const std::string& p : parts) s += (s.empty() ? "" : "; ") + p;
    return s;
}

void not_diagnosed(PropertyDiagnosis& d, const std::string& why, const std::string& advice) {
    d.tau_samples = d.tau_cycles = d.n_eff = d.error_autocorr = kNaN;
    d.verdict = "cannot be diagnosed: " + why;
    d.advice = advice;
}

}  // namespace

PropertyDiagnosis diagnose_property(std::span<const std::vector<double>> subsamples, const DataSetShape& shape,
                                    float mean, float error) {
    PropertyDiagnosis d;
    d.mean = mean;
    d.error_subsamples = error;
    std::size_t n = 0;
    for (const std::vector<double>& r : subsamples) n += r.size();
    const std::size_t M = subsamples.empty() ? 0 : subsamples[0].size();
    if (M < 2) {
        not_diagnosed(d, "fewer than 2 samples per subsample", run_text(subsampled(kTargetSamples), shape.NFREQ));
        return d;
    }
    if (!all_finite(subsamples)) {
        not_diagnosed(d, "values not finite", "none");
        return d;
    }

    // Each subsample without the burn-in.
    d.burn_in_samples = equilibration(subsamples, kWindowFactor);
    std::vector<std::vector<double>> kept;
    for (const std::vector<double>& x : subsamples)
        kept.emplace_back(x.begin() + static_cast<std::ptrdiff_t>(d.burn_in_samples), x.end());
    const std::vector<double> C = pooled_autocovariance(kept);
    const IntegratedTime it = integrated_time(C, kWindowFactor);
    if (!(it.tau > 0.0)) {
        not_diagnosed(d, "no change within any subsample", "none");
        return d;
    }
    const double samples = static_cast<double>(n);
    d.tau_samples = it.tau;
    d.tau_cycles = it.tau * shape.NFREQ;
    d.window_found = it.window_found;
    d.n_eff = samples / it.tau;
    d.error_autocorr = std::sqrt(C[0] * it.tau / samples);
    d.burn_in_shift = mean_of_means(kept) - mean_of_means(subsamples);

    std::vector<std::string> problems;
    const std::size_t K = d.burn_in_samples;
    const double shift_in_errors = std::abs(d.burn_in_shift) / d.error_autocorr;
    const bool biased = K > 0 && shift_in_errors > kBurnInShift;
    if (biased) problems.push_back("not equilibrated: first " + std::to_string(K) + " samples of each subsample");
    if (d.n_eff < kTargetSamples) {
        problems.push_back((d.tau_samples >= kCorrelatedTau ? "correlated samples: n_eff = " : "too few samples: n_eff = ") +
                           count_text(d.n_eff));
    }
    // Each subsample, burn-in included, in autocorrelation times.
    const double span = static_cast<double>(M) / d.tau_samples;
    const bool short_span = span < kSpanTaus;
    if (short_span) problems.push_back("tau underestimated: a subsample spans only " + span_text(span) + " tau");
    const bool too_small = d.error_autocorr > kTooSmallFactor * static_cast<double>(d.error_subsamples);
    if (too_small) problems.push_back("error bar too small");
    d.verdict = problems.empty() ? "reliable" : join(problems);

    // The bias of the start shrinks as 1 / length, the error as 1 / sqrt(length);
    // a short series asks for subsamples of kSpanTaus times the tau measured,
    // which is itself a lower bound: the next run measures again.
    const double for_samples = kTargetSamples / d.n_eff;
    const double for_bias = biased ? std::pow(shift_in_errors / kBurnInShift, 2) : 0.0;
    const double for_span = short_span ? kSpanTaus / span : 0.0;
    const double factor = std::max({for_samples, for_bias, for_span});
    if (factor > 1.0) {
        d.advice = run_advice(d, shape, factor, for_samples >= for_bias);
    } else if (too_small) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "none; quote the autocorrelation error %.4g", d.error_autocorr);
        d.advice = buf;
    } else {
        d.advice = "none";
    }
    return d;
}

}  // namespace bw::diagnose
