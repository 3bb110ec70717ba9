#pragma once
// Data-parallel pass of one Monte Carlo move over all beads of the chain: the
// squared distances of the trial position T from every bead at once, and from
// them the hard-sphere overlaps (family 1) or the new pair energies and the
// energy change (families 2 and 3). The coordinates are a structure of arrays
// padded to LANES floats. Each lane is computed with the same single-precision
// operations, in the same order, as the scalar kernels of potentials.hpp, and
// the energy change is summed in the same order, so a run gives the same
// floats, and the same trajectory, whichever kernel it uses.
#include <array>
#include <bit>
#include <cstdint>

#include "montecarlo/potentials.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

// How a sweep evaluates the pairs of a moved bead: the straightforward loop
// over k (the reference the others are checked against), or the lane pass
// compiled for the baseline instruction set, for AVX2 or for AVX-512.
enum class SweepKernel { scalar, generic, avx2, avx512 };

// True when this processor (and its operating system) can run the kernel.
bool sweep_kernel_supported(SweepKernel kernel);
// The fastest kernel this processor runs.
SweepKernel best_sweep_kernel();
const char* sweep_kernel_name(SweepKernel kernel);

// One bit per bead, bead k (0-based) in bit k % 64 of word k / 64.
struct LaneMask {
    std::array<std::uint64_t, (LANES + 63) / 64> w{};

    void set(std::int32_t k) { w[static_cast<std::size_t>(k) / 64] |= std::uint64_t{1} << (k % 64); }
    void clear(std::int32_t k) { w[static_cast<std::size_t>(k) / 64] &= ~(std::uint64_t{1} << (k % 64)); }
    bool test(std::int32_t k) const { return (w[static_cast<std::size_t>(k) / 64] >> (k % 64)) & 1u; }
    bool any() const {
        std::uint64_t a = 0;
        for (std::uint64_t x : w) a |= x;
        return a != 0;
    }
    // Calls f(k) for every set bit, in increasing k.
    template <class F>
    void for_each(F&& f) const {
        for (std::size_t j = 0; j < w.size(); ++j) {
            for (std::uint64_t m = w[j]; m != 0; m &= m - 1) {
                f(static_cast<std::int32_t>(j * 64 + static_cast<std::size_t>(std::countr_zero(m))));
            }
        }
    }
};

// Beads 0..n-1 of a chain in structure-of-arrays form; x, y, z each hold
// LANES floats (what lies beyond n is read but never used).
struct LaneChain {
    const float* x;
    const float* y;
    const float* z;
    std::int32_t n;
};

struct TrialPoint {
    float x, y, z;
};

// Beads k < n with |T - r_k|^2 <= DHS2, the squared distance summed in (y, x,
// z) order. The moved bead itself is not excluded.
LaneMask overlap_lanes(SweepKernel kernel, const LaneChain& chain, const TrialPoint& T, float DHS2);

// Energy change of a move of bead i (1-based) of the chain to T, families 2
// and 3, the same float as the straightforward loop
//   dE = 0; for k = 1..n, k /= i: dE = dE + ENEW(k) - EPAIR(i,k)
// in single precision. old holds EPAIR(1..LANES, i) (the table is symmetric);
// E receives the new pair energies (E[k-1] = ENEW(k), E[i-1] = 0), each the
// float of the scalar pair energy; changed receives the beads whose pair
// energy is not +0 before or after the move: every other entry of EPAIR is
// +0 and stays so.
float energy_change_lanes(SweepKernel kernel, const GaussianSpringModel& model, const LaneChain& chain,
                          const TrialPoint& T, std::int32_t i, const float* old, float* E, LaneMask& changed);
float energy_change_lanes(SweepKernel kernel, const SoftSpringModel& model, const LaneChain& chain,
                          const TrialPoint& T, std::int32_t i, const float* old, float* E, LaneMask& changed);

}  // namespace bw
