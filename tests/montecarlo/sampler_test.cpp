#include "montecarlo/sampler.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "montecarlo/crankshaft.hpp"
#include "montecarlo/iniconf.hpp"
#include "montecarlo/simulation_error.hpp"
#include "tests/montecarlo/lcg_replay.hpp"
#include "tests/montecarlo/run_setup.hpp"

namespace bw {
namespace {

using replay::draws_between;

// Keeps every sampled conformation and the order of the calls.
class RecordingSink final : public SampleSink {
public:
    void begin() override { calls += "b"; }
    void sample(const Conformation& conf, std::int32_t isub) override {
        calls += "s";
        confs.push_back(conf);
        isubs.push_back(isub);
    }
    void finish() override { calls += "f"; }
    std::string calls;
    std::vector<Conformation> confs;
    std::vector<std::int32_t> isubs;
};

Conformation chain_of(std::initializer_list<Point3> beads) {
    Conformation c;
    for (const Point3& p : beads) {
        c.x[c.N] = p.x, c.y[c.N] = p.y, c.z[c.N] = p.z;
        ++c.N;
    }
    return c;
}

double total_energy_change(const RunData& run, const Conformation& before, const Conformation& after) {
    // Bond energies of a pure Gaussian spring chain, in double.
    auto energy = [&](const Conformation& c) {
        double e = 0.0;
        for (int i = 1; i < c.N; ++i) {
            const double dx = c.x[i] - c.x[i - 1], dy = c.y[i] - c.y[i - 1], dz = c.z[i] - c.z[i - 1];
            e += 0.5 * run.HOOK * (dx * dx + dy * dy + dz * dz);
        }
        return e;
    };
    return energy(after) - energy(before);
}

TEST(SamplerMovesTest, RigidBondDrawsFourForEndsAndOneForInnerBeads) {
    RunData run = replay::rigid_run(6, 0.0f, 1.0f, 555);
    Sampler s(run);
    s.start_subsample();
    for (std::int32_t i = 1; i <= 6; ++i) {
        const std::int32_t before = run.ISEED;
        EXPECT_TRUE(s.move(i));
        EXPECT_EQ(draws_between(before, run.ISEED), (i == 1 || i == 6) ? 4 : 1) << "bead " << i;
    }
    const std::int32_t before = run.ISEED;
    s.SWEEP();
    EXPECT_EQ(draws_between(before, run.ISEED), 4 + 4 * 1 + 4);
    EXPECT_EQ(s.NREJ(), 0);
}

TEST(SamplerMovesTest, SpringMovesDrawAFourthValueOnlyUphill) {
    for (std::int32_t icode : {2, 3}) {
        RunData run = replay::spring_run(icode, 8, 3.0f, 1.0f, 2468);
        Sampler s(run);
        s.start_subsample();
        int uphill = 0, downhill = 0;
        for (int sweep = 0; sweep < 50; ++sweep) {
            for (std::int32_t i = 1; i <= run.N; ++i) {
                Conformation before, after;
                s.copy_to(before);
                const std::int32_t seed = run.ISEED;
                const std::int64_t nrej = s.NREJ();
                const bool accepted = s.move(i);
                s.copy_to(after);
                EXPECT_EQ(s.NREJ(), nrej + (accepted ? 0 : 1));
                const std::int64_t draws = draws_between(seed, run.ISEED);
                if (!accepted) {
                    EXPECT_EQ(draws, 4);  // refused only after a Metropolis draw
                    EXPECT_EQ(before.x, after.x);
                    EXPECT_EQ(before.y, after.y);
                    EXPECT_EQ(before.z, after.z);
                    ++uphill;
                } else if (icode == 2) {
                    // For a pure Gaussian chain the sign of dE is known
                    // independently; skip changes within rounding of zero.
                    const double dE = total_energy_change(run, before, after);
                    if (dE > 1e-4) {
                        EXPECT_EQ(draws, 4);
                        ++uphill;
                    } else if (dE < -1e-4) {
                        EXPECT_EQ(draws, 3);
                        ++downhill;
                    }
                } else {
                    EXPECT_TRUE(draws == 3 || draws == 4) << draws;
                }
            }
        }
        EXPECT_GT(uphill, 0);
        if (icode == 2) {
            EXPECT_GT(downhill, 0);
        }
    }
}

TEST(SamplerMovesTest, PairTableStaysTheEnergyOfTheCurrentChain) {
    RunData run = replay::spring_run(2, 12, 3.0f, 1.2f, 97531);
    run.EPS = 1.0f;
    Sampler s(run);
    s.start_subsample();
    for (int k = 0; k < 200; ++k) s.SWEEP();
    ASSERT_GT(s.NREJ(), 0);
    Conformation c;
    s.copy_to(c);
    Sampler fresh(run);
    fresh.load(c);
    for (std::int32_t i = 1; i <= run.N; ++i) {
        for (std::int32_t k = 1; k <= run.N; ++k) {
            if (k != i) {
                EXPECT_EQ(s.EPAIR(i, k), fresh.EPAIR(i, k)) << i << "," << k;
            }
        }
    }
}

TEST(SamplerMovesTest, OversizedHardSpheresRefuseEveryMove) {
    // DHS > 1: the bonded neighbours overlap every trial position.
    RunData run = replay::rigid_run(5, 1.5f, 1.0f, 42);
    Sampler s(run);
    s.load(chain_of({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {2, 1, 0}, {2, 1, 1}}));
    for (int k = 0; k < 10; ++k) s.SWEEP();
    EXPECT_EQ(s.NREJ(), 50);
    Conformation c;
    s.copy_to(c);
    EXPECT_EQ(c.x[4], 2.0f);
    EXPECT_EQ(c.z[4], 1.0f);
}

TEST(SamplerMovesTest, RigidChainKeepsUnitBonds) {
    RunData run = replay::rigid_run(20, 0.5f, 2.0f, 8080);
    Sampler s(run);
    s.start_subsample();
    for (int k = 0; k < 500; ++k) s.SWEEP();
    Conformation c;
    s.copy_to(c);
    for (std::int32_t i = 2; i <= c.N; ++i) EXPECT_NEAR(DIST2(c, i - 1, i), 1.0f, 1e-4f);
    for (std::int32_t i = 1; i <= c.N; ++i) {
        for (std::int32_t k = i + 1; k <= c.N; ++k) EXPECT_GT(DIST2(c, i, k), 0.25f);
    }
}

TEST(SamplerMovesTest, TwoBeadRigidChainOnlyTurnsItsBond) {
    RunData run = replay::rigid_run(2, 0.0f, 1.0f, 17);
    Sampler s(run);
    s.start_subsample();
    for (int k = 0; k < 20; ++k) {
        const std::int32_t seed = run.ISEED;
        s.SWEEP();
        EXPECT_EQ(draws_between(seed, run.ISEED), 8);
        Conformation c;
        s.copy_to(c);
        EXPECT_NEAR(DIST2(c, 1, 2), 1.0f, 1e-5f);
    }
}

TEST(SamplerSafetyTest, DegenerateCrankshaftIsRefusedAfterItsDraw) {
    RunData run = replay::rigid_run(3, 0.0f, 1.0f, 5);
    Sampler s(run);
    // Bead 2 on the midpoint of its neighbours, then neighbours coinciding.
    for (const Conformation& c : {chain_of({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}),
                                  chain_of({{0, 0, 0}, {1, 0, 0}, {0, 0, 0}})}) {
        s.load(c);
        const std::int32_t seed = run.ISEED;
        const std::int64_t nrej = s.NREJ();
        EXPECT_FALSE(s.move(2));
        EXPECT_EQ(draws_between(seed, run.ISEED), 1);
        EXPECT_EQ(s.NREJ(), nrej + 1);
        Conformation after;
        s.copy_to(after);
        EXPECT_EQ(after.x, c.x);
    }
}

TEST(SamplerSafetyTest, OverflowingEnergyChangeIsRefusedWithoutMetropolisDraw) {
    // 4 EPS is just representable; a trial position well inside SIG of the
    // non-bonded bead 1 makes the Lennard-Jones energy overflow to infinity.
    RunData run = replay::spring_run(2, 3, 0.0f, 4.0f, 1234);
    run.EPS = 5e37f;
    run.RCUT2 = 100.0f;
    Sampler s(run);
    s.load(chain_of({{0, 0, 0}, {1, 0, 0}, {1, 0, 1}}));  // r13 = sqrt 2
    ASSERT_TRUE(std::isfinite(s.EPAIR(1, 3)));
    int refused_without_draw = 0;
    for (int k = 0; k < 3000; ++k) {
        const std::int32_t seed = run.ISEED;
        if (!s.move(3) && draws_between(seed, run.ISEED) == 3) ++refused_without_draw;
        Conformation c;
        s.copy_to(c);
        ASSERT_TRUE(std::isfinite(c.x[2]) && std::isfinite(c.y[2]) && std::isfinite(c.z[2]));
        ASSERT_TRUE(std::isfinite(s.EPAIR(1, 3)) && std::isfinite(s.EPAIR(3, 2)));
    }
    EXPECT_GT(refused_without_draw, 0);
}

TEST(SamplerSafetyTest, InitialChainWithInfiniteEnergyCannotBeSimulated) {
    RunData run = replay::spring_run(2, 3, 3.0f, 1.0f, 1);
    run.EPS = 1.0f;
    run.SIG = 1e10f;  // (SIG/r)^12 overflows for any initial chain
    run.RCUT2 = 100.0f;
    RecordingSink sink;
    NullSink console;
    EXPECT_THROW(MCRUN(run, sink, console), SimulationError);
}

TEST(SamplerSafetyTest, BadModelCodeOrBeadCountIsASimulationError) {
    RecordingSink sink;
    NullSink console;
    RunData run = replay::make_run(4, 5, 100, 10, 1);
    EXPECT_THROW(MCRUN(run, sink, console), SimulationError);
    run = replay::make_run(1, MAXBEADS + 1, 100, 10, 1);
    EXPECT_THROW(MCRUN(run, sink, console), SimulationError);
    run = replay::make_run(2, 0, 100, 10, 1);
    EXPECT_THROW(MCRUN(run, sink, console), SimulationError);
}

TEST(SamplerSafetyTest, SingleBeadRunsWithoutMovingARigidChain) {
    RunData run = replay::rigid_run(1, 0.0f, 1.0f, 77);
    RecordingSink sink;
    NullSink console;
    EXPECT_EQ(MCRUN(run, sink, console), 0);
    EXPECT_EQ(run.ISEED, 77);  // no draw at all
    ASSERT_EQ(sink.confs.size(), 10u);
    EXPECT_EQ(sink.confs.back().x[0], 0.0f);
    // A single spring bead has no pair: every displacement is accepted.
    RunData spring = replay::spring_run(3, 1, 3.0f, 1.0f, 77);
    RecordingSink sink2;
    EXPECT_EQ(MCRUN(spring, sink2, console), 0);
    EXPECT_EQ(draws_between(77, spring.ISEED), 3 * 5 * 2 * 10);
}

TEST(McrunTest, RecordsAndSinkCallsForOneConformationPerSubsample) {
    // NCONFAVE = 7: one sampled conformation per subsample, a progress line
    // after each. NCONF < NCONFAVE: no sweep, so each sample is its initial chain.
    RunData run = replay::make_run(1, 4, 3, 7, 2024);
    RecordingSink sink;
    CapturingSink console;
    EXPECT_EQ(MCRUN(run, sink, console), 0);
    EXPECT_EQ(sink.calls, "bsssssf");
    EXPECT_EQ(sink.isubs, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
    std::vector<std::string> expected;
    for (int isub = 1; isub <= 5; ++isub) {
        expected.push_back(" ***** Subsample " + std::to_string(isub) + "  ******");
        expected.push_back(" Subsample:  " + std::to_string(isub) + "   Conformation:              1");
    }
    EXPECT_EQ(console.records, expected);
    std::int32_t seed = 2024;
    for (const Conformation& c : sink.confs) {
        Conformation initial;
        INICONF(4, seed, initial);
        EXPECT_EQ(c.x, initial.x);
        EXPECT_EQ(c.z, initial.z);
    }
    EXPECT_EQ(seed, run.ISEED);
}

TEST(McrunTest, SweepsBetweenSamplesAndProgressEveryNprog) {
    // NCONFAVE = 100, NCONF = 1050: NFREQ 10, NCONFSUB 20, NPROG 5.
    RunData run = replay::make_run(1, 3, 1050, 100, 99);
    RecordingSink sink;
    CapturingSink console;
    MCRUN(run, sink, console);
    EXPECT_EQ(sink.confs.size(), 100u);
    EXPECT_EQ(console.records.size(), 5u + 20u);
    EXPECT_EQ(console.records[1], " Subsample:  1   Conformation:              5");
    EXPECT_EQ(console.records[5], " ***** Subsample 2  ******");
    EXPECT_EQ(console.records.back(), " Subsample:  5   Conformation:             20");
    // Three beads: 4 + 1 + 4 draws per sweep, 1000 sweeps, plus five walks of
    // two steps (a third bead is refused only if it comes back within 0.95,
    // which costs further pairs of draws).
    const std::int64_t draws = draws_between(99, run.ISEED);
    EXPECT_GE(draws, 9 * 1000 + 5 * 4);
    EXPECT_EQ((draws - 9 * 1000) % 2, 0);
}

TEST(McrunTest, SameDataSameRunAndRejectionsCountedOverTheDataSet) {
    RunData a = replay::spring_run(2, 10, 3.0f, 1.5f, 31337);
    a.NCONF = 400;
    a.NFREQ = 40;
    a.EPS = 1.0f;
    RunData b = a;
    RecordingSink sa, sb;
    NullSink console;
    const std::int64_t na = MCRUN(a, sa, console);
    const std::int64_t nb = MCRUN(b, sb, console);
    EXPECT_EQ(na, nb);
    EXPECT_GT(na, 0);
    EXPECT_EQ(a.ISEED, b.ISEED);
    ASSERT_EQ(sa.confs.size(), sb.confs.size());
    for (std::size_t k = 0; k < sa.confs.size(); ++k) EXPECT_EQ(sa.confs[k].x, sb.confs[k].x);
    // A second data set on the same sampler counts from zero again: its count
    // equals that of a fresh sampler started from the same state.
    Sampler s(b);
    s.MCRUN(sb, console);
    RunData c = b;
    const std::int64_t fresh = MCRUN(c, sb, console);
    EXPECT_EQ(s.MCRUN(sb, console), fresh);
}

TEST(McrunTest, RejectionPercentageUsesSixtyFourBitMoveCount) {
    EXPECT_EQ(rejection_percentage(1234, 20000, 20), static_cast<float>(1234) / 400000.0f * 100.0f);
    EXPECT_EQ(rejection_percentage(0, 20000, 20), 0.0f);
    // 2^31-ish moves asked for: a 32-bit product would wrap negative.
    const float p = rejection_percentage(1000000000LL, 50000000, 100);
    EXPECT_NEAR(p, 20.0f, 1e-4f);
}

}  // namespace
}  // namespace bw
