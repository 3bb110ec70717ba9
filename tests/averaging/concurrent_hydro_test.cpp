// A data set run with its hydrodynamics on several threads must give the
// records and statistics of the serial run, on the success path and on every
// failure path, whatever order the calculations finish in.
#include "averaging/concurrent_hydro.hpp"

#include <gtest/gtest.h>
#include <sched.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "averaging/data_set_run.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "averaging/steave.hpp"
#include "montecarlo/sampler.hpp"
#include "tests/montecarlo/run_setup.hpp"

namespace bw {
namespace {

RunData chain_run(std::int32_t ICODE, std::int32_t N, std::int32_t NCONF, std::int32_t NCONFAVE, std::int32_t ISEED) {
    RunData run = replay::make_run(ICODE, N, NCONF, NCONFAVE, ISEED);
    run.IHYD = 1;
    run.NPR = 4;
    run.RMAX = 8.0f;
    run.NPROP = 2 + 2 + run.NPR;
    if (ICODE == 1) {  // RLHS
        run.DHS = 0.5f, run.DELTAPHI = 2.0f;
    } else if (ICODE == 2) {  // GSLJ
        run.HOOK = 3.0f, run.EPS = 0.3f, run.SIG = 0.8f, run.AMPL = 0.8f;
    } else {  // SSSR
        run.HOOK = 50.0f, run.A = 5.0f, run.ALPHA = 3.0f, run.AMPL = 0.4f;
    }
    run.RCUT = 2.0f;
    run.RCUT2 = run.RCUT * run.RCUT;
    return run;
}

std::uint32_t fingerprint(const Conformation& conf) {
    std::uint32_t h = 2166136261u;
    for (std::int32_t i = 0; i < conf.N; ++i) {
        for (float v : {conf.x[i], conf.y[i], conf.z[i]}) {
            std::uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            h = (h ^ bits) * 16777619u;
        }
    }
    return h;
}

bool same_chain(const Conformation& a, const Conformation& b) {
    if (a.N != b.N) return false;
    for (std::int32_t i = 0; i < a.N; ++i)
        if (a.x[i] != b.x[i] || a.y[i] != b.y[i] || a.z[i] != b.z[i]) return false;
    return true;
}

// Stand-in for the rigid-body calculation: DT and ETA are sums over the beads
// (so any change of conformation or of summation order shows in PSTAT), about
// one conformation in three writes a message and one in seven a second one,
// and each call sleeps for up to 0.3 ms so that threads finish out of order.
// Throws after its message for the conformation equal to `poison`.
class ShuffledHydro final : public HydroEntries {
public:
    explicit ShuffledHydro(const Conformation* poison = nullptr, bool sleepy = true)
        : poison_(poison), sleepy_(sleepy) {}
    void compute(const Conformation& conf, float& DT, float& ETA, RecordSink& console) override {
        const std::uint32_t h = fingerprint(conf);
        if (sleepy_) std::this_thread::sleep_for(std::chrono::microseconds(h % 300));
        float r2 = 0.0f, xz = 0.0f;
        for (std::int32_t i = 0; i < conf.N; ++i) {
            r2 += conf.x[i] * conf.x[i] + conf.y[i] * conf.y[i] + conf.z[i] * conf.z[i];
            xz += conf.x[i] * conf.z[i];
        }
        DT = 1.0f / (1.0f + r2 / static_cast<float>(conf.N));
        ETA = xz / 3.0f;
        if (h % 3 == 0) console.record(" fake hydro message " + std::to_string(h));
        if (h % 7 == 0) console.record(" fake second message " + std::to_string(h % 1000));
        if (poison_ != nullptr && same_chain(conf, *poison_)) {
            console.record(" fake hydro gives up");
            throw std::runtime_error("fake hydrodynamics failed");
        }
    }

private:
    const Conformation* poison_;
    bool sleepy_;
};

// Keeps every conformation it is given.
class RecordingHydro final : public HydroEntries {
public:
    explicit RecordingHydro(std::vector<Conformation>& seen) : seen_(seen) {}
    void compute(const Conformation& conf, float& DT, float& ETA, RecordSink&) override {
        seen_.push_back(conf);
        DT = ETA = 0.0f;
    }

private:
    std::vector<Conformation>& seen_;
};

struct Transcript {
    std::vector<std::string> records;
    std::int64_t NREJ = -1;
    std::vector<std::array<float, 2>> PSTAT;
    std::string error;  // what() of the exception that ended the run
};

void expect_same(const Transcript& a, const Transcript& b) {
    EXPECT_EQ(a.records, b.records);
    EXPECT_EQ(a.NREJ, b.NREJ);
    EXPECT_EQ(a.PSTAT, b.PSTAT);
    EXPECT_EQ(a.error, b.error);
}

Transcript run_with(RunData run, unsigned threads, const ConcurrentHydro::HydroFactory& make_hydro) {
    Transcript t;
    CapturingSink console;
    try {
        const DataSetOutcome out = run_data_set(run, console, threads, make_hydro);
        t.NREJ = out.NREJ;
        t.PSTAT = out.PSTAT;
    } catch (const std::exception& e) {
        t.error = e.what();
    }
    t.records = console.records;
    return t;
}

// The decorator driven directly, with a chosen ring size.
Transcript run_concurrent(RunData run, unsigned threads, unsigned slots_per_thread,
                          const ConcurrentHydro::HydroFactory& make_hydro) {
    Transcript t;
    CapturingSink console;
    ReplayedHydro replay;
    Steave steave(run, &replay, console);
    ConcurrentHydro sink(steave, replay, console, make_hydro, threads, slots_per_thread);
    t.NREJ = MCRUN(run, sink, sink.console());
    t.PSTAT = steave.table();
    t.records = console.records;
    return t;
}

// The same data set on 2 and 8 threads gives the serial transcript.
void expect_serial_on_more_threads(const RunData& run, const Transcript& serial,
                                   const ConcurrentHydro::HydroFactory& make_hydro) {
    for (unsigned threads : {2u, 8u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        expect_same(run_with(run, threads, make_hydro), serial);
    }
}

// Sweeps a fresh chain of run and hands count conformations to sink.
void sample_some(ConcurrentHydro& sink, RunData run, std::int32_t count) {
    Sampler sampler(run);
    sampler.start_subsample();
    Conformation conf;
    for (std::int32_t k = 0; k < count; ++k) {
        sampler.SWEEP();
        sampler.copy_to(conf);
        sink.sample(conf, 1);
    }
}

ConcurrentHydro::HydroFactory shuffled(const Conformation* poison = nullptr) {
    return [poison] { return std::make_unique<ShuffledHydro>(poison); };
}

std::size_t count_prefix(const std::vector<std::string>& records, const std::string& prefix) {
    std::size_t n = 0;
    for (const std::string& r : records) n += r.rfind(prefix, 0) == 0;
    return n;
}

TEST(ConcurrentHydroTest, RecordsAndStatisticsOfTheSerialRunForAnyThreadCount) {
    for (std::int32_t ICODE : {1, 2, 3}) {
        SCOPED_TRACE("model code " + std::to_string(ICODE));
        const RunData run = chain_run(ICODE, 12, 320, 160, 4711 + ICODE);
        const Transcript serial = run_with(run, 1, shuffled());
        // Not vacuous: messages and progress records interleave.
        ASSERT_GT(count_prefix(serial.records, " fake hydro message"), 20u);
        ASSERT_EQ(count_prefix(serial.records, " Subsample:"), 20u);
        ASSERT_EQ(serial.PSTAT.size(), 8u);
        expect_serial_on_more_threads(run, serial, shuffled());
    }
}

TEST(ConcurrentHydroTest, FullRingHoldsTheSamplerWithoutChangingAnything) {
    const RunData run = chain_run(2, 10, 200, 100, 99);
    const Transcript serial = run_with(run, 1, shuffled());
    // One thread: no worker, the sampler's thread computes every job itself.
    for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads, one slot each");
        expect_same(run_concurrent(run, threads, 1, shuffled()), serial);
    }
}

TEST(ConcurrentHydroTest, WorkerFailureSurfacesAtItsConformationAfterItsMessages) {
    const RunData run = chain_run(3, 10, 200, 100, 2024);
    // The 43rd sampled conformation, in subsample 3, makes the calculation fail.
    std::vector<Conformation> seen;
    {
        RunData copy = run;
        NullSink quiet;
        run_data_set(copy, quiet, 1, [&] { return std::make_unique<RecordingHydro>(seen); });
    }
    ASSERT_EQ(seen.size(), 100u);
    const Conformation poison = seen[42];
    const Transcript serial = run_with(run, 1, shuffled(&poison));
    EXPECT_EQ(serial.error, "fake hydrodynamics failed");
    ASSERT_FALSE(serial.records.empty());
    EXPECT_EQ(serial.records.back(), " fake hydro gives up");
    EXPECT_EQ(count_prefix(serial.records, " ***** Subsample"), 3u);
    expect_serial_on_more_threads(run, serial, shuffled(&poison));
}

// Lennard-Jones so strong that a non-bonded pair of the initial walk closer
// than about 0.94 bond lengths has an energy beyond the float range: the
// sampler refuses such a chain, which happens only for some subsamples.
RunData overflowing_run(std::int32_t ISEED) {
    RunData run = chain_run(2, 30, 40, 20, ISEED);
    run.EPS = 3.4e37f;
    run.SIG = 1.1f;
    run.RCUT = 2.5f;
    run.RCUT2 = run.RCUT * run.RCUT;
    return run;
}

TEST(ConcurrentHydroTest, ChainFailureComesAfterEverythingSampledBeforeIt) {
    const auto quick = [] { return std::make_unique<ShuffledHydro>(nullptr, false); };
    RunData run;
    Transcript serial;
    for (std::int32_t ISEED = 1; ISEED < 400; ++ISEED) {
        run = overflowing_run(ISEED);
        serial = run_with(run, 1, quick);
        if (!serial.error.empty() && count_prefix(serial.records, " Subsample:") > 0) break;
    }
    ASSERT_FALSE(serial.error.empty()) << "no seed fails in a later subsample";
    ASSERT_GT(count_prefix(serial.records, " Subsample:"), 0u);
    EXPECT_NE(serial.error.find("not finite"), std::string::npos);
    expect_serial_on_more_threads(run, serial, shuffled());
}

TEST(ConcurrentHydroTest, InterruptedDataSetLeavesNothingBehind) {
    const RunData run = chain_run(1, 10, 100, 50, 77);
    const Transcript serial = run_with(run, 1, shuffled());
    {
        // Pending jobs at destruction: the workers stop and are joined.
        NullSink console;
        ReplayedHydro replay;
        Steave steave(run, &replay, console);
        ConcurrentHydro sink(steave, replay, console, shuffled(), 4);
        sink.begin();
        sample_some(sink, run, 12);
    }
    // A data set abandoned with jobs pending, then a full one on the same sink:
    // nothing of the first reaches the second's records or statistics.
    RunData second = run;
    CapturingSink console;
    ReplayedHydro replay;
    Steave steave(run, &replay, console);
    ConcurrentHydro sink(steave, replay, console, shuffled(), 2);
    sink.begin();
    sample_some(sink, chain_run(3, 10, 100, 50, 5), 6);
    const std::size_t before = console.records.size();
    const std::int64_t NREJ = MCRUN(second, sink, sink.console());
    EXPECT_EQ(std::vector<std::string>(console.records.begin() + static_cast<std::ptrdiff_t>(before),
                                       console.records.end()),
              serial.records);
    EXPECT_EQ(NREJ, serial.NREJ);
    EXPECT_EQ(steave.table(), serial.PSTAT);
}

TEST(ConcurrentHydroTest, ReplayAnswersOnlyTheConformationBeingFlushed) {
    ReplayedHydro replay;
    NullSink console;
    Conformation a, b;
    float DT = 0.0f, ETA = 0.0f;
    EXPECT_THROW(replay.compute(a, DT, ETA, console), std::logic_error);
    HydroOutcome out;
    out.DT = 0.5f;
    out.ETA = 2.0f;
    replay.lend(&a, &out);
    EXPECT_THROW(replay.compute(b, DT, ETA, console), std::logic_error);
    replay.compute(a, DT, ETA, console);
    EXPECT_EQ(DT, 0.5f);
    EXPECT_EQ(ETA, 2.0f);
    EXPECT_THROW(replay.compute(a, DT, ETA, console), std::logic_error);  // one answer per flush
}

TEST(ConcurrentHydroTest, WrappedSinkThatNeverAsksIsRefused) {
    // A statistics sink without hydrodynamics would silently drop what the
    // workers computed, failures included.
    RunData run = chain_run(2, 8, 20, 10, 3);
    run.IHYD = 0;
    NullSink console;
    ReplayedHydro replay;
    Steave steave(run, &replay, console);
    ConcurrentHydro sink(steave, replay, console, shuffled(), 2);
    sink.begin();
    sample_some(sink, run, 3);
    EXPECT_THROW(sink.drain(), std::logic_error);
}

TEST(DataSetRunTest, WorkersOnlyWithHydrodynamicsAndMoreThanOneThread) {
    int made = 0;
    const auto counting = [&] {
        ++made;
        return std::make_unique<ShuffledHydro>(nullptr, false);
    };
    RunData run = chain_run(2, 8, 20, 10, 3);
    run.IHYD = 0;
    NullSink console;
    RunData copy = run;
    run_data_set(copy, console, 4, counting);
    EXPECT_EQ(made, 0);
    run.IHYD = 1;
    copy = run;
    run_data_set(copy, console, 1, counting);
    EXPECT_EQ(made, 1);
    copy = run;
    run_data_set(copy, console, 3, counting);
    EXPECT_EQ(made, 4);
}

TEST(DataSetRunTest, RigidBeadHydrodynamicsIdenticalOnOneTwoAndEightThreads) {
    for (std::int32_t ICODE : {1, 2, 3}) {
        SCOPED_TRACE("model code " + std::to_string(ICODE));
        const RunData run = chain_run(ICODE, 20, 80, 40, 1234 + ICODE);
        const Transcript serial = run_with(run, 1, [] { return std::make_unique<RigidBeadHydro>(); });
        ASSERT_EQ(serial.error, "");
        ASSERT_EQ(serial.PSTAT.size(), 8u);
        EXPECT_GT(serial.PSTAT[2][0], 0.0f);  // D*
        EXPECT_GT(serial.PSTAT[3][0], 0.0f);  // [eta]*
        for (unsigned threads : {2u, 8u}) {
            SCOPED_TRACE(std::to_string(threads) + " threads");
            RunData copy = run;
            CapturingSink console;
            const DataSetOutcome out = run_data_set(copy, console, threads);  // rigid beads by default
            expect_same({console.records, out.NREJ, out.PSTAT, ""}, serial);
        }
    }
}

TEST(DataSetRunTest, CpuCountFollowsTheAffinityMask) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(usable_cpu_count(), static_cast<unsigned>(CPU_COUNT(&all)));
    int first = 0;
    while (!CPU_ISSET(first, &all)) ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const unsigned pinned = usable_cpu_count();
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(pinned, 1u);
}

}  // namespace
}  // namespace bw

namespace bw {
namespace {

// Keeps every property vector it is shown.
struct KeepingObserver final : PropertyObserver {
    void conformation(std::int32_t isub, std::span<const float> PROP) override {
        seen.push_back({isub, std::vector<float>(PROP.begin(), PROP.end())});
    }
    std::vector<std::pair<std::int32_t, std::vector<float>>> seen;
};

TEST(DataSetRunTest, AnObserverSeesEveryPropertyVectorInOrderAndChangesNothing) {
    const RunData run = chain_run(2, 12, 60, 30, 77);
    const auto rigid = [] { return std::make_unique<RigidBeadHydro>(); };
    const Transcript plain = run_with(run, 1, rigid);
    std::vector<std::pair<std::int32_t, std::vector<float>>> first;
    for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        RunData copy = run;
        CapturingSink console;
        KeepingObserver observer;
        const DataSetOutcome out = run_data_set(copy, console, threads, rigid, &observer);
        expect_same({console.records, out.NREJ, out.PSTAT, ""}, plain);
        ASSERT_EQ(observer.seen.size(), 30u);
        // Six per subsample, in subsample order; the sums of steave from them.
        std::vector<float> XSUB(NSUB, 0.0f);
        for (std::size_t c = 0; c < 30; ++c) {
            EXPECT_EQ(observer.seen[c].first, static_cast<std::int32_t>(c / 6 + 1));
            ASSERT_EQ(observer.seen[c].second.size(), 8u);
            XSUB[c / 6] += observer.seen[c].second[0];
        }
        for (float& x : XSUB) x /= 6.0f;
        float AVE, SD, ERR;
        AVEDEV(XSUB, AVE, SD, ERR);
        EXPECT_EQ(AVE, out.PSTAT[0][0]);
        EXPECT_EQ(ERR, out.PSTAT[0][1]);
        if (threads == 1) first = observer.seen;
        EXPECT_EQ(observer.seen, first);
    }
}

}  // namespace
}  // namespace bw
