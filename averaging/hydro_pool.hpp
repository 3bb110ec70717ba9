#pragma once
// The CPUs of a run, shared by the samplers of the data sets in flight and by
// helper threads that compute the hydrodynamics of their sampled
// conformations.
//
// A sampler (the thread that runs the Markov chain of one data set) is busy
// for as long as its data set runs; it holds one CPU from begin_sampler() to
// end_sampler(). The pool starts cpus - 1 helper threads; a helper computes
// one pending job of some data set's ring (ConcurrentHydro) at a time, and
// only while samplers + busy helpers stay below cpus, so that never more
// threads compute than there are CPUs. A sampler waiting to begin comes
// before the helpers: they take no new job until it has its CPU.
//
// Each helper makes its HydroEntries (the hydrodynamic workspace) when it
// first computes, so the pool holds at most cpus - 1 workspaces however many
// data sets are in flight.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "averaging/hydro_entries.hpp"

namespace bw {

class ConcurrentHydro;

class HydroPool {
public:
    using HydroFactory = std::function<std::unique_ptr<HydroEntries>()>;

    // cpus: the CPU budget (at least 1). eager: make every helper's
    // HydroEntries now, on this thread; otherwise each helper makes its own
    // when it first computes.
    HydroPool(unsigned cpus, HydroFactory make_hydro, bool eager = false);
    ~HydroPool();
    HydroPool(const HydroPool&) = delete;
    HydroPool& operator=(const HydroPool&) = delete;

    unsigned cpus() const { return cpus_; }
    std::unique_ptr<HydroEntries> make_hydro() const { return make_hydro_(); }

    // Waits until a CPU is free, then counts the calling thread as a busy
    // sampler until end_sampler().
    void begin_sampler();
    void end_sampler();

private:
    friend class ConcurrentHydro;

    void attach(ConcurrentHydro& ring);
    void detach(ConcurrentHydro& ring);
    // A job was submitted, or a CPU came free: wake a helper.
    void work_added() { work_ready_.notify_one(); }
    bool helper_may_start() const { return samplers_waiting_ == 0 && samplers_ + helpers_busy_ < cpus_; }
    ConcurrentHydro* ring_with_work();
    void help(std::stop_token stop, std::unique_ptr<HydroEntries>& hydro);

    const unsigned cpus_;
    HydroFactory make_hydro_;
    // Guards the counts below and the job state of every attached ring.
    std::mutex mutex_;
    std::condition_variable_any work_ready_;  // helpers wait here
    std::condition_variable cpu_free_;        // samplers about to begin wait here
    std::vector<ConcurrentHydro*> rings_;
    unsigned samplers_ = 0;
    unsigned samplers_waiting_ = 0;
    unsigned helpers_busy_ = 0;
    std::vector<std::unique_ptr<HydroEntries>> hydro_;  // one per helper, made eagerly or on first use

    // Last member: destroyed first, so the helpers are stopped and joined
    // while everything they use still exists.
    std::vector<std::jthread> threads_;
};

// A sampler's CPU, held for the lifetime of the object.
class SamplerCpu {
public:
    explicit SamplerCpu(HydroPool& pool) : pool_(pool) { pool_.begin_sampler(); }
    ~SamplerCpu() { pool_.end_sampler(); }
    SamplerCpu(const SamplerCpu&) = delete;
    SamplerCpu& operator=(const SamplerCpu&) = delete;

private:
    HydroPool& pool_;
};

}  // namespace bw
