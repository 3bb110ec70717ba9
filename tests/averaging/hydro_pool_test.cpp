// Data sets in flight at once on one shared pool of CPUs: each gives the
// records and statistics of its serial run, never more threads compute than
// the pool has CPUs, and a data set asked to stop gives up.
#include "averaging/hydro_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "averaging/data_set_run.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "montecarlo/simulation_error.hpp"
#include "tests/montecarlo/run_setup.hpp"

namespace bw {
namespace {

RunData hydro_run(std::int32_t ICODE, std::int32_t N, std::int32_t ISEED, std::int32_t IHYD) {
    RunData run = replay::make_run(ICODE, N, 40 * N, 20 * N, ISEED);
    run.IHYD = IHYD;
    run.NPR = 3;
    run.RMAX = 6.0f;
    run.NPROP = 2 + (IHYD != 0 ? 2 : 0) + run.NPR;
    run.HOOK = 3.0f, run.EPS = 0.2f, run.SIG = 0.8f, run.AMPL = 0.7f;
    run.A = 2.0f, run.ALPHA = 2.0f, run.DHS = 0.4f, run.DELTAPHI = 2.0f;
    run.RCUT = 2.0f;
    run.RCUT2 = run.RCUT * run.RCUT;
    return run;
}

// Counts the calculations running at once.
class CountingHydro final : public HydroEntries {
public:
    CountingHydro(std::atomic<int>& now, std::atomic<int>& peak) : now_(now), peak_(peak) {}
    void compute(const Conformation& conf, float& DT, float& ETA, RecordSink& console) override {
        const int n = ++now_;
        for (int p = peak_.load(); p < n && !peak_.compare_exchange_weak(p, n);) {
        }
        hydro_.compute(conf, DT, ETA, console);
        --now_;
    }

private:
    std::atomic<int>& now_;
    std::atomic<int>& peak_;
    RigidBeadHydro hydro_;
};

struct Result {
    std::vector<std::string> records;
    DataSetOutcome outcome;
};

TEST(HydroPoolTest, DataSetsSharingThePoolGiveTheirSerialResults) {
    const std::vector<RunData> runs = {hydro_run(1, 14, 11, 1), hydro_run(2, 10, 12, 1), hydro_run(3, 12, 13, 0),
                                       hydro_run(2, 16, 14, 1), hydro_run(3, 9, 15, 1)};
    std::vector<Result> serial(runs.size());
    for (std::size_t k = 0; k < runs.size(); ++k) {
        RunData run = runs[k];
        CapturingSink console;
        serial[k].outcome = run_data_set(run, console, 1);
        serial[k].records = console.records;
    }
    std::atomic<int> now{0}, peak{0};
    HydroPool pool(3, [&] { return std::make_unique<CountingHydro>(now, peak); });
    std::vector<Result> shared(runs.size());
    {
        std::vector<std::jthread> threads;
        for (std::size_t k = 0; k < runs.size(); ++k) {
            threads.emplace_back([&, k] {
                RunData run = runs[k];
                CapturingSink console;
                shared[k].outcome = run_data_set(run, console, pool);
                shared[k].records = console.records;
            });
        }
    }
    for (std::size_t k = 0; k < runs.size(); ++k) {
        SCOPED_TRACE("data set " + std::to_string(k));
        EXPECT_EQ(shared[k].records, serial[k].records);
        EXPECT_EQ(shared[k].outcome.NREJ, serial[k].outcome.NREJ);
        EXPECT_EQ(shared[k].outcome.PSTAT, serial[k].outcome.PSTAT);
    }
    // Samplers hold CPUs too, so calculations alone never exceed them.
    EXPECT_LE(peak.load(), 3);
    EXPECT_GE(peak.load(), 1);
}

TEST(HydroPoolTest, AStoppedDataSetGivesUp) {
    HydroPool pool(2, [] { return std::make_unique<RigidBeadHydro>(); });
    RunData run = hydro_run(2, 20, 5, 1);
    run.NCONF = 200000000;  // far longer than the test
    run.NFREQ = run.NCONF / run.NCONFAVE;
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.request_stop();
    });
    NullSink console;
    EXPECT_THROW(run_data_set(run, console, pool, DataSetControl{stop.get_token()}), DataSetStopped);
    stopper.join();
    // The pool is whole again: a data set runs to its end.
    RunData again = hydro_run(2, 8, 6, 1);
    EXPECT_NO_THROW(run_data_set(again, console, pool));
}

}  // namespace
}  // namespace bw
