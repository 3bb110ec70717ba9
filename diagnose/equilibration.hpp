#pragma once
// How many leading samples to discard from each run of a chain before it has
// forgotten its start: the prefix t0 that maximises the effective size of
// what is left,
//   n_eff(t0) = sum_j (n - t0) / tau(t0),
// tau(t0) the integrated autocorrelation time pooled over the runs without
// their first t0 samples (autocorrelation.hpp). A transient inflates both the
// variance and the apparent correlation of a series, so dropping it raises
// n_eff until what is dropped is equilibrium (Chodera, J. Chem. Theory
// Comput. 12, 1799 (2016)). The runs are the subsamples: each starts from a
// new chain built the same way, so one t0 serves them all and is estimated
// from all of them.
#include <cstddef>
#include <span>
#include <vector>

namespace bw::diagnose {

// t0 is sought in 0..n/2 (n the shortest run) on the means of consecutive
// blocks of ceil(n / 2048) samples, which leaves n_eff of a correlated series
// unchanged and bounds the cost: a grid of 30 steps, then a grid of 20 steps
// between the neighbours of the best point; each candidate costs one pooled
// autocorrelation of at most 2048 blocks per run. The result is a multiple
// of the block length; 0 when no candidate fluctuates.
std::size_t equilibration(std::span<const std::vector<double>> runs, double c = 5.0);

}  // namespace bw::diagnose
