// The data-parallel pair loops against the straightforward scalar ones: every
// lane the float of the scalar formula, and whole trajectories identical bit
// for bit (coordinates, pair table, refusals, random stream) on every
// instruction set this processor runs.
#include "montecarlo/pair_lanes.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "montecarlo/potentials.hpp"
#include "montecarlo/sampler.hpp"
#include "tests/montecarlo/run_setup.hpp"

namespace bw {
namespace {

std::uint32_t bits_of(float f) { return std::bit_cast<std::uint32_t>(f); }

// Same float, or both NaN.
bool same_float(float a, float b) { return bits_of(a) == bits_of(b) || (std::isnan(a) && std::isnan(b)); }

std::vector<SweepKernel> lane_kernels() {
    std::vector<SweepKernel> kernels;
    for (SweepKernel k : {SweepKernel::generic, SweepKernel::avx2, SweepKernel::avx512}) {
        if (sweep_kernel_supported(k)) kernels.push_back(k);
    }
    return kernels;
}

// A chain in padded structure-of-arrays form with the scalar reference beside it.
struct Lanes {
    alignas(64) float x[LANES]{}, y[LANES]{}, z[LANES]{}, old[LANES]{}, E[LANES]{};
    std::int32_t n = 0;
    LaneChain chain() const { return {x, y, z, n}; }
};

// Beads scattered at all scales around the trial point, with some placed on
// the cut-off sphere exactly (R2 == RCUT2 with RCUT2 = 4), just beyond it, and
// on the trial point itself (R2 = 0); old energies include +0, -0 and others.
Lanes random_lanes(std::mt19937& gen, std::int32_t n, TrialPoint T) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_int_distribution<int> pick(0, 9);
    Lanes l;
    l.n = n;
    for (std::int32_t k = 0; k < n; ++k) {
        const float scale = std::ldexp(1.0f, pick(gen) - 4);
        l.x[k] = T.x + scale * unit(gen), l.y[k] = T.y + scale * unit(gen), l.z[k] = T.z + scale * unit(gen);
        switch (pick(gen)) {
        case 0:
            l.x[k] = T.x + 2.0f, l.y[k] = T.y, l.z[k] = T.z;  // exactly at RCUT = 2
            break;
        case 1:
            l.x[k] = T.x, l.y[k] = T.y + std::nextafter(2.0f, 3.0f), l.z[k] = T.z;  // just beyond
            break;
        case 2:
            l.x[k] = T.x, l.y[k] = T.y, l.z[k] = T.z;  // on top of the trial point
            break;
        default:
            break;
        }
        const int o = pick(gen);
        l.old[k] = o < 4 ? 0.0f : o < 6 ? -0.0f : 10.0f * unit(gen);
    }
    return l;
}

// The straightforward loop of the sampler on the same data.
template <class Model>
float scalar_energy_change(const Model& model, const Lanes& l, TrialPoint T, std::int32_t i, std::vector<float>& E) {
    E.assign(static_cast<std::size_t>(l.n), 0.0f);
    float dE = 0.0f;
    for (std::int32_t k = 1; k <= l.n; ++k) {
        if (k == i) continue;
        E[k - 1] = pair_energy(model, i, k, squared_distance(T.x, T.y, T.z, l.x[k - 1], l.y[k - 1], l.z[k - 1]));
        dE = dE + E[k - 1] - l.old[k - 1];
    }
    return dE;
}

template <class Model>
void expect_lanes_match_scalar(const Model& model, std::uint32_t seed) {
    std::mt19937 gen(seed);
    const TrialPoint T{0.75f, -1.5f, 3.0f};
    for (SweepKernel kernel : lane_kernels()) {
        for (std::int32_t n : {1, 2, 3, 15, 16, 17, 63, 64, 65, 100}) {
            for (int rep = 0; rep < 20; ++rep) {
                Lanes l = random_lanes(gen, n, T);
                const std::int32_t i = 1 + static_cast<std::int32_t>(gen() % static_cast<std::uint32_t>(n));
                std::vector<float> E;
                const float want = scalar_energy_change(model, l, T, i, E);
                LaneMask changed;
                const float got = energy_change_lanes(kernel, model, l.chain(), T, i, l.old, l.E, changed);
                const std::string where = std::string(sweep_kernel_name(kernel)) + " n=" + std::to_string(n) +
                                          " i=" + std::to_string(i);
                // Only the sign of a zero sum may differ: neither dE <= 0 nor
                // exp(-dE) sees it.
                EXPECT_TRUE(same_float(got, want) || (got == 0.0f && want == 0.0f)) << where << ": " << got
                                                                                      << " vs " << want;
                for (std::int32_t k = 0; k < n; ++k) {
                    if (k == i - 1) continue;
                    ASSERT_TRUE(same_float(l.E[k], E[k])) << where << " k=" << k << ": " << l.E[k] << " vs " << E[k];
                    if (!changed.test(k)) {
                        EXPECT_EQ(bits_of(l.E[k]), 0u) << where << " k=" << k;
                        EXPECT_EQ(bits_of(l.old[k]), 0u) << where << " k=" << k;
                    }
                }
                EXPECT_FALSE(changed.test(i - 1));
                for (std::int32_t k = n; k < LANES; ++k) EXPECT_FALSE(changed.test(k));
            }
        }
    }
}

TEST(LaneKernelsTest, LennardJonesLanesAreTheScalarFloats) {
    expect_lanes_match_scalar(GaussianSpringModel{3.0f, 0.3f, 0.8f, 4.0f}, 11);
    expect_lanes_match_scalar(GaussianSpringModel{3.0f, 1e30f, 1.0f, 4.0f}, 12);  // overflow to inf
    expect_lanes_match_scalar(GaussianSpringModel{3.0f, -0.0f, 1.0f, 4.0f}, 13);  // energies of either zero
    expect_lanes_match_scalar(GaussianSpringModel{3.0f, 1.0f, 1.0f, 1e-6f}, 14);  // tiny cut-off
}

TEST(LaneKernelsTest, SoftRepulsionLanesAreTheScalarFloats) {
    expect_lanes_match_scalar(SoftSpringModel{100.0f, 10.0f, 3.0f, 4.0f}, 21);
    expect_lanes_match_scalar(SoftSpringModel{100.0f, 1e35f, -40.0f, 4.0f}, 22);  // exp overflows
    expect_lanes_match_scalar(SoftSpringModel{100.0f, -0.0f, 1.0f, 4.0f}, 23);
    expect_lanes_match_scalar(SoftSpringModel{100.0f, 1.0f, 1.0f, 0.0f}, 24);  // RCUT = 0
}

TEST(LaneKernelsTest, OverlapLanesAgreeWithTheScreenedScalarTest) {
    std::mt19937 gen(31);
    const TrialPoint T{-2.0f, 0.5f, 1.25f};
    for (SweepKernel kernel : lane_kernels()) {
        for (float DHS2 : {0.0f, 0.25f, 1.0f, 4.0f}) {
            for (std::int32_t n : {1, 2, 17, 100}) {
                Lanes l = random_lanes(gen, n, T);
                l.x[0] = T.x + std::sqrt(DHS2), l.y[0] = T.y, l.z[0] = T.z;  // touching: an overlap
                const LaneMask hit = overlap_lanes(kernel, l.chain(), T, DHS2);
                for (std::int32_t k = 0; k < n; ++k) {
                    const float dx = l.x[k] - T.x, dy = l.y[k] - T.y, dz = l.z[k] - T.z;
                    const bool screened_out = dx * dx > DHS2 || dy * dy > DHS2 || dz * dz > DHS2;
                    const bool want =
                        !screened_out && overlaps(squared_distance(T.x, T.y, T.z, l.x[k], l.y[k], l.z[k]), DHS2);
                    EXPECT_EQ(hit.test(k), want) << sweep_kernel_name(kernel) << " DHS2=" << DHS2 << " k=" << k;
                }
                EXPECT_TRUE(hit.test(0));
                for (std::int32_t k = n; k < LANES; ++k) EXPECT_FALSE(hit.test(k));
            }
        }
    }
}

// Runs the scalar loop and one lane kernel side by side from the same seed
// and compares after every sweep.
void expect_same_trajectory(const RunData& setup, int sweeps, const std::string& what) {
    for (SweepKernel kernel : lane_kernels()) {
        RunData ra = setup, rb = setup;
        Sampler scalar(ra, SweepKernel::scalar), fast(rb, kernel);
        scalar.start_subsample();
        fast.start_subsample();
        const std::string where = what + " " + sweep_kernel_name(kernel);
        Conformation a, b;
        for (int s = 0; s < sweeps; ++s) {
            scalar.SWEEP();
            fast.SWEEP();
            scalar.copy_to(a);
            fast.copy_to(b);
            bool same = ra.ISEED == rb.ISEED && scalar.NREJ() == fast.NREJ();
            for (std::int32_t k = 0; k < setup.N; ++k) {
                same = same && bits_of(a.x[k]) == bits_of(b.x[k]) && bits_of(a.y[k]) == bits_of(b.y[k]) &&
                       bits_of(a.z[k]) == bits_of(b.z[k]);
            }
            ASSERT_TRUE(same) << where << ": differs after sweep " << s + 1;
        }
        for (std::int32_t i = 1; i <= setup.N; ++i) {
            for (std::int32_t k = 1; k <= setup.N; ++k) {
                if (k != i) {
                    ASSERT_EQ(bits_of(scalar.EPAIR(i, k)), bits_of(fast.EPAIR(i, k))) << where;
                }
            }
        }
    }
}

RunData rigid(std::int32_t N, float DHS, float DELTAPHI) { return replay::rigid_run(N, DHS, DELTAPHI, 4242 + N); }

RunData gaussian(std::int32_t N, float EPS, float SIG, float RCUT, float AMPL) {
    RunData run = replay::spring_run(2, N, 3.0f, AMPL, 777 + N);
    run.EPS = EPS, run.SIG = SIG, run.RCUT = RCUT, run.RCUT2 = RCUT * RCUT;
    return run;
}

RunData soft(std::int32_t N, float A, float ALPHA, float RCUT, float AMPL) {
    RunData run = replay::spring_run(3, N, 100.0f, AMPL, 999 + N);
    run.A = A, run.ALPHA = ALPHA, run.RCUT = RCUT, run.RCUT2 = RCUT * RCUT;
    return run;
}

int sweeps_for(std::int32_t N) { return N >= 100 ? 300 : N >= 20 ? 1500 : 10000; }

TEST(SweepIdentityTest, RigidChainsWithHardSpheres) {
    for (std::int32_t N : {2, 3, 20, 100}) {
        const int S = sweeps_for(N);
        expect_same_trajectory(rigid(N, 0.5f, 3.0f), S, "RLHS N=" + std::to_string(N));
        expect_same_trajectory(rigid(N, 0.0f, 6.28f), S, "RL N=" + std::to_string(N));
        // Bonded neighbours at distance 1 up to rounding decide every move.
        expect_same_trajectory(rigid(N, 1.0f, 2.0f), S, "DHS=1 N=" + std::to_string(N));
        expect_same_trajectory(rigid(N, std::nextafter(1.0f, 0.0f), 2.0f), S, "DHS<1 N=" + std::to_string(N));
    }
}

TEST(SweepIdentityTest, GaussianChainsWithLennardJones) {
    for (std::int32_t N : {1, 2, 3, 20, 100}) {
        const int S = sweeps_for(N);
        const std::string n = " N=" + std::to_string(N);
        expect_same_trajectory(gaussian(N, 0.3f, 0.8f, 2.0f, 1.0f), S, "GSLJ" + n);
        expect_same_trajectory(gaussian(N, 1.0f, 1.0f, 1e-3f, 1.0f), S, "tiny RCUT" + n);
        expect_same_trajectory(gaussian(N, 1e30f, 1.0f, 2.5f, 1.5f), S, "huge EPS" + n);
        expect_same_trajectory(gaussian(N, 0.5f, 0.9f, 1e3f, 3.0f), S, "all pairs inside" + n);
        expect_same_trajectory(gaussian(N, -0.0f, 1.0f, 2.5f, 1.0f), S, "EPS=-0" + n);
    }
}

TEST(SweepIdentityTest, SoftSpringChainsWithSoftRepulsion) {
    for (std::int32_t N : {1, 2, 3, 20, 100}) {
        const int S = sweeps_for(N);
        const std::string n = " N=" + std::to_string(N);
        expect_same_trajectory(soft(N, 10.0f, 3.0f, 2.0f, 0.4f), S, "SSSR" + n);
        expect_same_trajectory(soft(N, 10.0f, 3.0f, 1e-3f, 0.4f), S, "tiny RCUT" + n);
        expect_same_trajectory(soft(N, 1e35f, -1.0f, 3.0f, 0.6f), S, "overflowing A" + n);
        expect_same_trajectory(soft(N, 2.0f, 0.5f, 1e3f, 1.0f), S, "all pairs inside" + n);
        expect_same_trajectory(soft(N, -0.0f, 1.0f, 2.5f, 0.4f), S, "A=-0" + n);
    }
}

// A whole data set through MCRUN: the same samples and refusals.
class KeepAll final : public SampleSink {
public:
    void begin() override {}
    void sample(const Conformation& conf, std::int32_t) override { confs.push_back(conf); }
    void finish() override {}
    std::vector<Conformation> confs;
};

TEST(SweepIdentityTest, WholeDataSetGivesTheSameSamples) {
    for (std::int32_t icode : {1, 2, 3}) {
        RunData setup = replay::make_run(icode, 30, 2000, 100, 123);
        setup.DHS = 0.6f, setup.DELTAPHI = 2.0f;
        setup.HOOK = icode == 2 ? 3.0f : 100.0f, setup.AMPL = icode == 2 ? 1.0f : 0.4f;
        setup.EPS = 0.5f, setup.SIG = 0.9f, setup.A = 10.0f, setup.ALPHA = 3.0f;
        setup.RCUT = 2.0f, setup.RCUT2 = 4.0f;
        NullSink console;
        RunData ra = setup;
        KeepAll want;
        const std::int64_t nrej = Sampler(ra, SweepKernel::scalar).MCRUN(want, console);
        for (SweepKernel kernel : lane_kernels()) {
            RunData rb = setup;
            KeepAll got;
            EXPECT_EQ(Sampler(rb, kernel).MCRUN(got, console), nrej);
            EXPECT_EQ(rb.ISEED, ra.ISEED);
            ASSERT_EQ(got.confs.size(), want.confs.size());
            for (std::size_t s = 0; s < got.confs.size(); ++s) {
                ASSERT_EQ(got.confs[s].x, want.confs[s].x) << "family " << icode << " sample " << s;
                ASSERT_EQ(got.confs[s].z, want.confs[s].z) << "family " << icode << " sample " << s;
            }
        }
    }
}

TEST(SweepKernelTest, BestKernelIsSupportedAndUnsupportedOnesAreReplaced) {
    EXPECT_TRUE(sweep_kernel_supported(best_sweep_kernel()));
    EXPECT_TRUE(sweep_kernel_supported(SweepKernel::scalar));
    // A Sampler asked for a kernel the processor lacks still runs, and agrees.
    for (SweepKernel k : {SweepKernel::avx2, SweepKernel::avx512}) {
        RunData ra = soft(20, 10.0f, 3.0f, 2.0f, 0.4f), rb = ra;
        Sampler asked(ra, k), scalar(rb, SweepKernel::scalar);
        asked.start_subsample();
        scalar.start_subsample();
        for (int s = 0; s < 50; ++s) asked.SWEEP(), scalar.SWEEP();
        EXPECT_EQ(ra.ISEED, rb.ISEED);
        EXPECT_EQ(asked.NREJ(), scalar.NREJ());
    }
}

}  // namespace
}  // namespace bw
