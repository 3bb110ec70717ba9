// A data set frozen between two sweeps and continued from its state gives
// the results and console records of a run never stopped, on one CPU and on
// a pool of helpers, for every model code, with and without hydrodynamics;
// asking for the state changes nothing of the run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "averaging/data_set_run.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "montecarlo/simulation_error.hpp"
#include "tests/montecarlo/run_setup.hpp"

namespace bw {
namespace {

RunData study_run(std::int32_t ICODE, std::int32_t N, std::int32_t NCONF, std::int32_t NCONFAVE,
                  std::int32_t IHYD) {
    RunData run = replay::make_run(ICODE, N, NCONF, NCONFAVE, 1234 + ICODE);
    run.IHYD = IHYD;
    run.NPR = 4;
    run.RMAX = 5.0f;
    run.NPROP = 2 + (IHYD != 0 ? 2 : 0) + run.NPR;
    run.HOOK = 3.0f, run.EPS = 0.3f, run.SIG = 0.8f, run.AMPL = 0.7f;
    run.A = 2.0f, run.ALPHA = 2.0f, run.DHS = 0.5f, run.DELTAPHI = 2.0f;
    run.RCUT = 2.0f;
    run.RCUT2 = run.RCUT * run.RCUT;
    return run;
}

RunData with_pivots(RunData run, std::int32_t K) {
    run.NPIVOT = K;
    return run;
}

// Wants the state at the sweep boundaries numbered in `at` (counted from 1
// as the sampler asks) and keeps each with the count of console records
// written before it.
class RecordingTap final : public DataSetTap {
public:
    RecordingTap(std::vector<int> at, const CapturingSink& console) : at_(std::move(at)), console_(console) {}
    bool wanted() const override {
        ++asked_;
        return next_ < at_.size() && asked_ == at_[next_];
    }
    void capture(DataSetState state) override {
        ++next_;
        states.push_back(std::move(state));
        records_before.push_back(console_.records.size());
    }
    int asked() const { return asked_; }
    std::vector<DataSetState> states;
    std::vector<std::size_t> records_before;

private:
    std::vector<int> at_;
    const CapturingSink& console_;
    mutable int asked_ = 0;
    std::size_t next_ = 0;
};

struct Outcome {
    DataSetOutcome result;
    std::vector<std::string> records;
    std::int32_t ISEED = 0;
};

Outcome run_on(HydroPool& pool, RunData run, const DataSetControl& control = {}) {
    CapturingSink console;
    Outcome o;
    o.result = run_data_set(run, console, pool, control);
    o.records = console.records;
    o.ISEED = run.ISEED;
    return o;
}

void expect_same(const Outcome& a, const Outcome& b) {
    EXPECT_EQ(a.result.NREJ, b.result.NREJ);
    EXPECT_EQ(a.result.NPREJ, b.result.NPREJ);
    EXPECT_EQ(a.result.PSTAT, b.result.PSTAT);
    EXPECT_EQ(a.records, b.records);
    EXPECT_EQ(a.ISEED, b.ISEED);
}

TEST(DataSetState, a_run_continued_from_any_captured_boundary_ends_as_the_whole_run) {
    for (unsigned cpus : {1u, 3u}) {
        HydroPool pool(cpus, [] { return std::make_unique<RigidBeadHydro>(); });
        for (const RunData& run : {study_run(1, 9, 400, 50, 1), study_run(2, 8, 300, 30, 1),
                                   study_run(3, 10, 500, 25, 0), study_run(2, 6, 20, 40, 1),
                                   with_pivots(study_run(1, 9, 400, 50, 1), 2),
                                   with_pivots(study_run(2, 8, 300, 30, 0), 1),
                                   with_pivots(study_run(3, 10, 500, 25, 1), 3)}) {
            SCOPED_TRACE("code " + std::to_string(run.ICODE) + ", " + std::to_string(run.NPIVOT) + " pivots, " +
                         std::to_string(cpus) + " CPUs");
            if (run.NPIVOT > 0 && run.ICODE != 2) {
                EXPECT_GT(run_on(pool, run).result.NPREJ, 0);  // the count that a resume must carry
            }
            const Outcome whole = run_on(pool, run);
            CapturingSink console;
            // Boundaries inside a subsample, at its first sweep, and with
            // NFREQ = 0 (NCONF < NCONFAVE) before each sample.
            RecordingTap tap({1, 2, 7, 61, 150, 233, 299}, console);
            RunData tapped = run;
            Outcome captured;
            captured.result = run_data_set(tapped, console, pool, DataSetControl{{}, &tap, nullptr});
            captured.records = console.records;
            captured.ISEED = tapped.ISEED;
            expect_same(captured, whole);
            ASSERT_FALSE(tap.states.empty());
            for (std::size_t k = 0; k < tap.states.size(); ++k) {
                SCOPED_TRACE("state " + std::to_string(k));
                Outcome resumed = run_on(pool, run, DataSetControl{{}, nullptr, &tap.states[k]});
                // What the whole run wrote after the boundary, and the same end.
                Outcome tail = whole;
                tail.records.erase(tail.records.begin(),
                                   tail.records.begin() + static_cast<std::ptrdiff_t>(tap.records_before[k]));
                expect_same(resumed, tail);
            }
        }
    }
}

TEST(DataSetState, the_state_holds_the_chain_counters_and_sums_of_its_boundary) {
    HydroPool pool(1, [] { return std::make_unique<RigidBeadHydro>(); });
    RunData run = study_run(2, 5, 100, 10, 0);  // NFREQ = 10, NCONFSUB = 2
    CapturingSink console;
    // Boundary 25: the 25th sweep overall; 20 sweeps make a subsample.
    RecordingTap tap({25}, console);
    run_data_set(run, console, pool, DataSetControl{{}, &tap, nullptr});
    ASSERT_EQ(tap.states.size(), 1u);
    const DataSetState& s = tap.states[0];
    EXPECT_EQ(s.sampler.ISUB, 2);
    EXPECT_EQ(s.sampler.ICONF, 1);
    EXPECT_EQ(s.sampler.sweep, 4);
    EXPECT_EQ(s.sampler.X.size(), 5u);
    EXPECT_EQ(s.sampler.EPAIR.size(), 25u);
    // Spring energies of the chain: EPAIR(i, i+1) = HOOK / 2 r^2.
    for (int i = 0; i + 1 < 5; ++i) {
        const float dx = s.sampler.X[i + 1] - s.sampler.X[i], dy = s.sampler.Y[i + 1] - s.sampler.Y[i],
                    dz = s.sampler.Z[i + 1] - s.sampler.Z[i];
        EXPECT_NEAR(s.sampler.EPAIR[i + (i + 1) * 5], 1.5 * (dx * dx + dy * dy + dz * dz), 1e-5);
    }
    // Subsample 1 is complete (2 conformations), subsample 2 has none yet.
    ASSERT_EQ(s.PSUB.size(), std::size_t{6 * NSUB});
    EXPECT_GT(s.PSUB[0], 0.0f);                                // sum of r2 in subsample 1
    EXPECT_EQ(s.PSUB[2] + s.PSUB[3] + s.PSUB[4] + s.PSUB[5], 2.0f);  // both samples lie within RMAX, one interval each
    for (std::size_t p = 6; p < 12; ++p) EXPECT_EQ(s.PSUB[p], 0.0f);
}

TEST(DataSetState, a_state_of_another_data_set_is_refused) {
    HydroPool pool(1, [] { return std::make_unique<RigidBeadHydro>(); });
    RunData run = study_run(3, 7, 100, 10, 0);
    CapturingSink console;
    RecordingTap tap({3}, console);
    run_data_set(run, console, pool, DataSetControl{{}, &tap, nullptr});
    ASSERT_EQ(tap.states.size(), 1u);
    RunData longer = study_run(3, 8, 100, 10, 0);
    NullSink quiet;
    EXPECT_THROW(run_data_set(longer, quiet, pool, DataSetControl{{}, nullptr, &tap.states[0]}), SimulationError);
    DataSetState cut = tap.states[0];
    cut.PSUB.pop_back();
    RunData same = run;
    EXPECT_THROW(run_data_set(same, quiet, pool, DataSetControl{{}, nullptr, &cut}), SimulationError);
}

}  // namespace
}  // namespace bw
