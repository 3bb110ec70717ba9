#pragma once
// Pair potentials of the three chain families, in reduced units: lengths in
// bond lengths b, energies in kT. R2 is the squared distance of the pair. Each
// kernel keeps its exact order of single-precision operations: the sampler's
// accept/refuse decisions, and so every printed digit, depend on it.
#include <array>
#include <cmath>
#include <cstdint>

#include "montecarlo/run_data.hpp"

namespace bw {

// Hookean spring of rest length 0: (HOOK/2) r^2. HOOK in kT/b^2.
inline float UGS(float HOOK, float R2) { return (HOOK * 0.5f) * R2; }

// Hookean spring of rest length 1: (HOOK/2) (r - 1)^2.
inline float USS(float HOOK, float R2) {
    const float d = std::sqrt(R2) - 1.0f;
    return (HOOK * 0.5f) * (d * d);
}

// Lennard-Jones 4 EPS ((SIG/r)^12 - (SIG/r)^6), cut (not shifted) beyond
// RCUT: a pair exactly at R2 = RCUT2 still gets the full value.
inline float ULJ(float EPS, float SIG, float RCUT2, float R2) {
    if (R2 > RCUT2) return 0.0f;
    const float x = SIG * SIG / R2;
    const float x3 = x * x * x;
    return (4.0f * EPS) * (x3 * x3 - x3);
}

// Soft exponential repulsion A exp(-ALPHA r), cut like ULJ. ALPHA in 1/b.
inline float USR(float A, float ALPHA, float RCUT2, float R2) {
    if (R2 > RCUT2) return 0.0f;
    const float r = std::sqrt(R2);
    return A * std::exp(-(r * ALPHA));
}

// Family 1 (RL, RLHS): rigid unit bonds, hard spheres of diameter DHS
// (DHS2 = DHS * DHS) against every other bead, neighbours included; DELTAPHI
// is the range of the crankshaft angle, a move size rather than physics.
struct RigidBondModel {
    float DHS2, DELTAPHI;
};

// Family 2 (GS, GSLJ): Gaussian springs, Lennard-Jones between non-bonded beads.
struct GaussianSpringModel {
    float HOOK, EPS, SIG, RCUT2;
    float bond(float R2) const { return UGS(HOOK, R2); }
    float pair(float R2) const { return ULJ(EPS, SIG, RCUT2, R2); }
};

// Family 3 (SS, SSSR): springs of rest length 1, soft repulsion between
// non-bonded beads.
struct SoftSpringModel {
    float HOOK, A, ALPHA, RCUT2;
    float bond(float R2) const { return USS(HOOK, R2); }
    float pair(float R2) const { return USR(A, ALPHA, RCUT2, R2); }
};

// Energy of beads i and k (1-based) at squared distance R2: bonded neighbours
// (|i - k| = 1) have the bond energy only, every other pair the interaction.
template <class Model>
inline float pair_energy(const Model& model, std::int32_t i, std::int32_t k, float R2) {
    return (i - k == 1 || k - i == 1) ? model.bond(R2) : model.pair(R2);
}

// Room of a bead array that data-parallel loops read in whole vectors of up
// to 16 floats: MAXBEADS rounded up to a multiple of 16.
inline constexpr std::int32_t LANES = (MAXBEADS + 15) / 16 * 16;

// Pair-energy table of the sampler: EPAIR(i,k) = EPAIR(k,i), 1-based, the
// diagonal never read. Column k holds EPAIR(1..N, k) contiguously in room for
// LANES entries, aligned for vector loads.
class PairEnergies {
public:
    float& operator()(std::int32_t i, std::int32_t k) { return e_[index(i, k)]; }
    float operator()(std::int32_t i, std::int32_t k) const { return e_[index(i, k)]; }
    // EPAIR(1, k) .. EPAIR(LANES, k).
    float* column(std::int32_t k) { return &e_[index(1, k)]; }
    const float* column(std::int32_t k) const { return &e_[index(1, k)]; }

private:
    static std::size_t index(std::int32_t i, std::int32_t k) {
        return static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(k - 1) * LANES;
    }
    alignas(64) std::array<float, static_cast<std::size_t>(LANES) * MAXBEADS> e_{};
};

// Squared distance of bead k from the point T, summed in (y, x, z) order.
inline float squared_distance(float TX, float TY, float TZ, float xk, float yk, float zk) {
    const float dx = TX - xk, dy = TY - yk, dz = TZ - zk;
    return dy * dy + dx * dx + dz * dz;
}

// Fills EPAIR for beads 1..N of the coordinates x, y, z (index i-1 for bead
// i). Returns false if some pair energy is not finite (the chain cannot be
// simulated with these parameters).
template <class Model>
inline bool fill_pair_energies(const Model& model, std::int32_t N, const float* x, const float* y,
                               const float* z, PairEnergies& EPAIR) {
    bool finite = true;
    for (std::int32_t i = 1; i <= N; ++i) {
        for (std::int32_t k = 1; k <= N; ++k) {
            if (k == i) continue;
            const float R2 = squared_distance(x[i - 1], y[i - 1], z[i - 1], x[k - 1], y[k - 1], z[k - 1]);
            const float e = pair_energy(model, i, k, R2);
            finite = finite && std::isfinite(e);
            EPAIR(i, k) = e;
            EPAIR(k, i) = e;
        }
    }
    return finite;
}

// Hard-sphere overlap of a trial position: squared distance <= DHS2, touching
// spheres included.
inline bool overlaps(float R2, float DHS2) { return R2 <= DHS2; }

}  // namespace bw
