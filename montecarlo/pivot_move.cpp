// The pivot move of the sampler (montecarlo/pivot.hpp for its geometry).
// Only the pairs with one bead in the turned part A and one in the fixed part
// B (bead k included) can change: the energy change, and the hard-sphere
// test, run over those pairs alone. The pair energies of the turned beads
// with every bead are formed at the trial positions in one pass per turned
// bead, with the same kernels as the local moves, so that an accepted pivot
// leaves in EPAIR exactly what a fresh fill of the new chain holds.
#include <cmath>
#include <type_traits>

#include "montecarlo/random.hpp"
#include "montecarlo/sampler.hpp"

namespace bw {

template <class Model>
bool Sampler::pivot_move(const Model& model, std::int32_t k, bool before, const Rotation& rot) {
    const std::int32_t N = run_.N;
    if (k < 2 || k > N - 1) return false;
    // Part A: beads lo..hi, 0-based.
    const std::int32_t lo = before ? 0 : k;
    const std::int32_t hi = before ? k - 2 : N - 1;
    PX = X, PY = Y, PZ = Z;
    const float cx = X[k - 1], cy = Y[k - 1], cz = Z[k - 1];
    for (std::int32_t a = lo; a <= hi; ++a) {
        turn_about(rot, cx, cy, cz, PX[a], PY[a], PZ[a]);
        if (!std::isfinite(PX[a]) || !std::isfinite(PY[a]) || !std::isfinite(PZ[a])) {
            ++NPREJ_;
            return false;
        }
    }
    if constexpr (std::is_same_v<Model, RigidBondModel>) {
        if (pivot_overlaps(model, lo, hi)) {
            ++NPREJ_;
            return false;
        }
    } else {
        float dE = 0.0f;
        if (!pivot_energy(model, lo, hi, dE)) {
            ++NPREJ_;
            return false;
        }
        if (dE > 0.0f) {
            const float u = RAN(run_.ISEED);
            if (!(std::exp(-dE) > u)) {
                ++NPREJ_;
                return false;
            }
        }
        for (std::int32_t a = lo; a <= hi; ++a) {
            for (std::int32_t j = 0; j < N; ++j) {
                if (j == a) continue;
                EPAIR_(a + 1, j + 1) = PROW[a][j];
                EPAIR_(j + 1, a + 1) = PROW[a][j];
            }
        }
    }
    for (std::int32_t a = lo; a <= hi; ++a) X[a] = PX[a], Y[a] = PY[a], Z[a] = PZ[a];
    return true;
}

// A turned bead overlaps a bead of the fixed part (bead k and its bonded
// neighbour included, as in the local moves). Pairs within one part keep
// their distances and are not tested.
bool Sampler::pivot_overlaps(const RigidBondModel& model, std::int32_t lo, std::int32_t hi) const {
    const std::int32_t N = run_.N;
    const LaneChain trial{PX.data(), PY.data(), PZ.data(), N};
    for (std::int32_t a = lo; a <= hi; ++a) {
        if (kernel_ == SweepKernel::scalar) {
            for (std::int32_t j = 0; j < N; ++j) {
                if (j >= lo && j <= hi) continue;
                if (overlaps(squared_distance(PX[a], PY[a], PZ[a], PX[j], PY[j], PZ[j]), model.DHS2)) return true;
            }
        } else {
            LaneMask hit = overlap_lanes(kernel_, trial, {PX[a], PY[a], PZ[a]}, model.DHS2);
            for (std::int32_t j = lo; j <= hi; ++j) hit.clear(j);
            if (hit.any()) return true;
        }
    }
    return false;
}

// Fills PROW[a] (a in lo..hi) with the pair energies of turned bead a with
// every bead of the trial chain, and dE with the sum, over a in increasing
// order and then the fixed beads j in increasing order, of PROW[a][j] -
// EPAIR(a, j), in single precision. False when an energy is not finite (the
// pivot is then refused without a Metropolis draw, as a local move is).
template <class Model>
bool Sampler::pivot_energy(const Model& model, std::int32_t lo, std::int32_t hi, float& dE) {
    const std::int32_t N = run_.N;
    const LaneChain trial{PX.data(), PY.data(), PZ.data(), N};
    bool finite = true;
    dE = 0.0f;
    for (std::int32_t a = lo; a <= hi; ++a) {
        float* E = PROW[a].data();
        if (kernel_ == SweepKernel::scalar) {
            for (std::int32_t j = 0; j < N; ++j) {
                E[j] = j == a ? 0.0f
                              : pair_energy(model, a + 1, j + 1,
                                            squared_distance(PX[a], PY[a], PZ[a], PX[j], PY[j], PZ[j]));
            }
        } else {
            LaneMask changed;
            bw::energy_change_lanes(kernel_, model, trial, {PX[a], PY[a], PZ[a]}, a + 1, EPAIR_.column(a + 1), E,
                                changed);
        }
        for (std::int32_t j = 0; j < N; ++j) {
            if (j == a) continue;
            finite = finite && std::isfinite(E[j]);
            if (j < lo || j > hi) dE = dE + E[j] - EPAIR_(a + 1, j + 1);
        }
    }
    return finite && std::isfinite(dE);
}

template bool Sampler::pivot_move(const RigidBondModel&, std::int32_t, bool, const Rotation&);
template bool Sampler::pivot_move(const GaussianSpringModel&, std::int32_t, bool, const Rotation&);
template bool Sampler::pivot_move(const SoftSpringModel&, std::int32_t, bool, const Rotation&);

}  // namespace bw
