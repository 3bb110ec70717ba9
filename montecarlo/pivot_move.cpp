// The pivot move of the sampler (montecarlo/pivot.hpp for its geometry).
// Only the pairs with one bead in the turned part A and one in the fixed part
// B (bead k included) can change: the energy change, and the hard-sphere
// test, run over those pairs alone. The pair energies of the turned beads
// with every bead are formed at the trial positions in one pass per turned
// bead, with the same kernels as the local moves, so that an accepted pivot
// leaves in EPAIR exactly what a fresh fill of the new chain holds.
#include <algorithm>
#include <cmath>
#include <type_traits>

#include "montecarlo/random.hpp"
#include "montecarlo/sampler.hpp"

namespace bw {
namespace {

// Sums in single precision in a fixed order: eight running sums, term j
// going to sum (j - j0) % 8, then the eight added pairwise. Eight
// independent sums over whole blocks are formed by vector instructions
// without changing a bit, where one running sum waits on each addition; the
// order does not depend on the kernel.
inline float pairwise(const float (&acc)[8]) {
    return ((acc[0] + acc[1]) + (acc[2] + acc[3])) + ((acc[4] + acc[5]) + (acc[6] + acc[7]));
}

// The sum of e[j] - old[j] over j in [j0, j1).
inline float change_sum(const float* e, const float* old, std::int32_t j0, std::int32_t j1) {
    float acc[8] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    std::int32_t j = j0;
    for (; j + 8 <= j1; j += 8) {
        for (int l = 0; l < 8; ++l) acc[l] = acc[l] + (e[j + l] - old[j + l]);
    }
    for (int l = 0; j < j1; ++j, ++l) acc[l] = acc[l] + (e[j] - old[j]);
    return pairwise(acc);
}

// The sum of e[j] over j in [j0, j1).
inline float plain_sum(const float* e, std::int32_t j0, std::int32_t j1) {
    float acc[8] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    std::int32_t j = j0;
    for (; j + 8 <= j1; j += 8) {
        for (int l = 0; l < 8; ++l) acc[l] = acc[l] + e[j + l];
    }
    for (int l = 0; j < j1; ++j, ++l) acc[l] = acc[l] + e[j];
    return pairwise(acc);
}

}  // namespace

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
        // Column a of EPAIR is row a of PROW (its diagonal 0, as a fill
        // leaves it); the mirrored entries are needed only across bead k,
        // those within the turned part being columns of their own.
        for (std::int32_t a = lo; a <= hi; ++a) std::copy_n(PROW[a].data(), N, EPAIR_.column(a + 1));
        for (std::int32_t j = 0; j < N; ++j) {
            if (j >= lo && j <= hi) continue;
            float* column = EPAIR_.column(j + 1);
            for (std::int32_t a = lo; a <= hi; ++a) column[a] = PROW[a][j];
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
    LaneMask fixed;
    for (std::int32_t j = 0; j < N; ++j) {
        if (j < lo || j > hi) fixed.set(j);
    }
    for (std::int32_t a = lo; a <= hi; ++a) {
        if (kernel_ == SweepKernel::scalar) {
            for (std::int32_t j = 0; j < N; ++j) {
                if (j >= lo && j <= hi) continue;
                if (overlaps(squared_distance(PX[a], PY[a], PZ[a], PX[j], PY[j], PZ[j]), model.DHS2)) return true;
            }
        } else {
            LaneMask hit = overlap_lanes(kernel_, trial, {PX[a], PY[a], PZ[a]}, model.DHS2);
            for (std::size_t w = 0; w < hit.w.size(); ++w) hit.w[w] &= fixed.w[w];
            if (hit.any()) return true;
        }
    }
    return false;
}

// Fills PROW[a] (a in lo..hi) with the pair energies of turned bead a with
// every bead of the trial chain, and dE with the sum over a, in increasing
// order, of change_sum of PROW[a][j] - EPAIR(a, j) over the fixed beads j,
// in single precision. False when an energy is not finite (the
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
        // The fixed part is beads 0..lo-1 or hi+1..N-1.
        const std::int32_t b0 = lo == 0 ? hi + 1 : 0, b1 = lo == 0 ? N : lo;
        dE = dE + change_sum(E, EPAIR_.column(a + 1), b0, b1);
        // The energies within the turned part only go into the table: a sum
        // is not finite when one of them is not.
        finite = finite && std::isfinite(plain_sum(E, lo, hi + 1));
    }
    return finite && std::isfinite(dE);
}

template bool Sampler::pivot_move(const RigidBondModel&, std::int32_t, bool, const Rotation&);
template bool Sampler::pivot_move(const GaussianSpringModel&, std::int32_t, bool, const Rotation&);
template bool Sampler::pivot_move(const SoftSpringModel&, std::int32_t, bool, const Rotation&);

}  // namespace bw
