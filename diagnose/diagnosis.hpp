#pragma once
// The diagnosis of one averaged property of a data set from its series over
// the sampled conformations of each subsample: how correlated the samples
// are, how many independent ones they are worth, whether each subsample had
// forgotten its starting chain, whether the five-subsample error bar can be
// believed, and what to ask for when it cannot. Pure arithmetic, no I/O.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace bw::diagnose {

// Targets and thresholds of the verdict.
inline constexpr double kWindowFactor = 5.0;      // Sokal's c: window W >= c tau
inline constexpr double kTargetSamples = 1000.0;  // effective samples that make a result "reliable"
inline constexpr double kCorrelatedTau = 2.0;     // tau_samples from which the samples count as correlated
// The mean moves by more than this many (autocorrelation) errors when the
// burn-in is dropped: the start of each subsample biases the result.
inline constexpr double kBurnInShift = 1.0;
// The autocorrelation error exceeds the five-subsample error by more than
// this factor: the printed error bar is too small.
inline constexpr double kTooSmallFactor = 2.0;
// A series of fewer than this many autocorrelation times estimates its own
// tau too low (the window cannot reach the slow tail of the autocorrelation),
// and the advice with it: each subsample should span at least this many.
inline constexpr double kSpanTaus = 50.0;

struct DataSetShape {
    std::int32_t NCONF = 0;
    std::int32_t NCONFAVE = 0;
    std::int32_t NFREQ = 0;  // Monte Carlo cycles between two samples
};

struct PropertyDiagnosis {
    float mean = 0.0f;              // as steave gives it (the report's value)
    float error_subsamples = 0.0f;  // the report's error, from the five subsample means
    // NaN when the series says nothing about them (see `verdict`).
    double tau_samples = 0.0;       // integrated autocorrelation time, in sampled conformations
    double tau_cycles = 0.0;        // tau_samples * NFREQ, in Monte Carlo cycles
    double n_eff = 0.0;             // samples / tau_samples
    double error_autocorr = 0.0;    // sqrt(var tau_samples / samples), pooled over the subsamples
    bool window_found = false;      // Sokal's window fitted inside the subsamples
    std::size_t burn_in_samples = 0;  // leading samples to discard from each subsample
    double burn_in_shift = 0.0;     // mean without the burn-in minus the mean with it
    std::string verdict;            // "reliable" or the problems found, "; " between them
    std::string advice;             // what to run instead, or "none"
};

// subsamples: the property in sampling order, one run per subsample (all of
// one length); mean and error: the report's values for it.
PropertyDiagnosis diagnose_property(std::span<const std::vector<double>> subsamples, const DataSetShape& shape,
                                    float mean, float error);

}  // namespace bw::diagnose
