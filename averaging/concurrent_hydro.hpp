#pragma once
// Hydrodynamics of the sampled conformations on a pool of worker threads,
// with the accumulation and the console left exactly as in a serial run.
//
// The Markov chain is sequential, but the rigid-body calculation of one
// sampled conformation (one factorisation of a 3N x 3N matrix) depends on
// nothing else. ConcurrentHydro sits between the sampler and the statistics
// sink: sample() copies the conformation into a bounded ring of job slots and
// returns at once; a worker computes DT and ETA with its own HydroEntries and
// captures the messages of the hydrodynamic stages. The sampler's thread is
// one of the computing threads: whenever it would wait for a result (the
// ring full, or at the end) it computes the next job no one has taken, so
// that T threads keep T CPUs busy without a sleeping extra thread switching
// in and out once per conformation. The sampler's thread then
// flushes finished jobs strictly in sampling order: it hands each
// conformation to the wrapped sink, whose hydrodynamic calls are answered by
// a ReplayedHydro with the precomputed DT and ETA, the captured messages
// written to the console at the very point where the serial calculation
// would have written them. Sums, their order of summation and the order of
// every console record are therefore those of the serial run.
//
// Everything but the calculations runs on the thread that calls
// begin/sample/finish/drain and writes to console(); that thread alone
// touches the wrapped sink and the real console.
//
// The computing threads other than the sampler's are the helpers of a
// HydroPool: a pool of its own (threads - 1 helpers, for one data set), or
// one shared by every data set in flight, whose helpers serve the ring with
// the most jobs waiting.
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "averaging/hydro_entries.hpp"
#include "averaging/hydro_pool.hpp"
#include "driver/records/record_sink.hpp"
#include "montecarlo/conformation.hpp"
#include "montecarlo/sample_sink.hpp"

namespace bw {

// What the calculation found for one conformation: DT, ETA, the messages of the
// hydrodynamic stages in the order they came, and the exception that ended
// the calculation, if one did.
struct HydroOutcome {
    float DT = 0.0f;
    float ETA = 0.0f;
    CapturingSink messages;
    std::exception_ptr error;
};

// The HydroEntries the wrapped sink must be built with. While a job is being
// flushed it answers the one call for that job's conformation: it writes the
// captured messages to the console it is given, then rethrows the
// calculation's exception or returns DT and ETA. Any other call is a wiring fault and
// throws std::logic_error.
class ReplayedHydro final : public HydroEntries {
public:
    void compute(const Conformation& conf, float& DT, float& ETA, RecordSink& console) override;
    // Makes outcome the answer for conf until it is given or the next lend
    // (null: no answer).
    void lend(const Conformation* conf, const HydroOutcome* outcome) {
        conf_ = conf;
        outcome_ = outcome;
    }
    // True while a lent answer has not been asked for.
    bool unanswered() const { return outcome_ != nullptr; }

private:
    const Conformation* conf_ = nullptr;
    const HydroOutcome* outcome_ = nullptr;
};

class ConcurrentHydro final : public SampleSink {
public:
    using HydroFactory = HydroPool::HydroFactory;

    // inner: the statistics sink, built with `replay` as its HydroEntries and
    // writing to `console`; it must ask for the hydrodynamics of every
    // conformation it is given (so that no worker's failure goes unseen).
    // threads: the computing threads, this one included (threads - 1 workers
    // are started; at least 1). make_hydro is called once per computing
    // thread, here, on this thread. The ring holds threads * slots_per_thread
    // conformations (at least one each); sample() computes or waits while it
    // is full.
    ConcurrentHydro(SampleSink& inner, ReplayedHydro& replay, RecordSink& console, const HydroFactory& make_hydro,
                    unsigned threads, unsigned slots_per_thread = 3);
    // The same on a pool shared with other data sets: the ring holds
    // pool.cpus() * slots_per_thread conformations, and this thread makes its
    // own HydroEntries (pool.make_hydro()) only when it first has to compute.
    ConcurrentHydro(SampleSink& inner, ReplayedHydro& replay, RecordSink& console, HydroPool& pool,
                    unsigned slots_per_thread = 3);
    ~ConcurrentHydro() override;
    ConcurrentHydro(const ConcurrentHydro&) = delete;
    ConcurrentHydro& operator=(const ConcurrentHydro&) = delete;

    // Drops whatever an interrupted data set left pending, then begins inner.
    void begin() override;
    void sample(const Conformation& conf, std::int32_t isub) override;
    // drain(), then finish inner.
    void finish() override;
    // Waits for every pending job and flushes it, with the records queued
    // behind it, in sampling order. For a sampler that stopped with an
    // exception: what it produced before the failure comes out in full.
    void drain();

    // The console to give the sampler. A record written while conformations
    // are pending is held behind the last of them and released when that one
    // is flushed; with nothing pending it goes straight to the console.
    RecordSink& console() { return ordered_; }

    unsigned threads() const { return pool_.cpus(); }
    std::size_t slots() const { return ring_.size(); }

private:
    friend class HydroPool;

    struct Job {
        Conformation conf;
        std::int32_t isub = 0;
        bool done = false;              // guarded by the pool's mutex
        HydroOutcome out;               // the computing thread's until done, then the flusher's
        std::vector<std::string> held;  // console records released after this job
    };

    class OrderedConsole final : public RecordSink {
    public:
        explicit OrderedConsole(ConcurrentHydro& owner) : owner_(owner) {}
        void record(std::string_view line) override { owner_.ordered_record(line); }

    private:
        ConcurrentHydro& owner_;
    };

    Job& slot(std::uint64_t seq) { return ring_[seq % ring_.size()]; }
    bool head_done_locked() { return flushed_ < dispatched_ && slot(flushed_).done; }
    std::uint64_t untaken_locked() const { return submitted_ - dispatched_; }
    HydroEntries& own_hydro();
    bool head_done();
    void compute_next(std::unique_lock<std::mutex>& lock, HydroEntries& hydro);
    void flush_ready();
    void flush_head();
    void flush_one();
    void discard_pending();
    void ordered_record(std::string_view line);

    std::unique_ptr<HydroPool> private_pool_;  // declared first: outlives everything that uses it
    HydroPool& pool_;
    SampleSink& inner_;
    ReplayedHydro& replay_;
    RecordSink& console_;
    OrderedConsole ordered_{*this};
    std::unique_ptr<HydroEntries> hydro_;  // this thread's
    std::vector<Job> ring_;

    // Jobs are numbered in sampling order. [flushed_, submitted_) are pending;
    // [dispatched_, submitted_) wait for a computing thread. flushed_ is the sampler
    // thread's own; the others change under the pool's mutex.
    std::uint64_t flushed_ = 0;
    std::uint64_t dispatched_ = 0;
    std::uint64_t submitted_ = 0;
    std::mutex& mutex_;                       // the pool's
    std::condition_variable job_done_;        // the sampler's thread waits here
};

}  // namespace bw
