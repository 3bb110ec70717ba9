#include "averaging/data_set_run.hpp"

#include <sched.h>

#include <cerrno>
#include <memory>
#include <optional>

#include "averaging/rigid_bead_hydro.hpp"
#include "averaging/steave.hpp"
#include "montecarlo/sampler.hpp"
#include "montecarlo/simulation_error.hpp"

namespace bw {

namespace {

// Offers the data set's state at a sweep boundary, once every conformation
// sampled before it has been added to the sums: the hydrodynamic jobs still
// pending (when they are computed on other threads) are handed to steave
// first, with the console records behind them.
class StateCapture final : public SamplerTap {
public:
    StateCapture(DataSetTap& tap, const Steave& steave, ConcurrentHydro* pending)
        : tap_(tap), steave_(steave), pending_(pending) {}
    bool wanted() const override { return tap_.wanted(); }
    void capture(const SamplerState& state) override {
        if (pending_ != nullptr) pending_->drain();
        tap_.capture({state, steave_.sums()});
    }

private:
    DataSetTap& tap_;
    const Steave& steave_;
    ConcurrentHydro* pending_;
};

struct Refused {
    std::int64_t NREJ = 0, NPREJ = 0;
};

// MCRUN of `run` into `sink`, with the sums of `steave` and the sampler
// continued from control.resume, the state offered to control.tap.
Refused sample(RunData& run, SampleSink& sink, RecordSink& console, Steave& steave, ConcurrentHydro* pending,
                    const DataSetControl& control) {
    auto sampler = std::make_unique<Sampler>(run);
    sampler->stop_on(control.stop);
    std::optional<StateCapture> capture;
    if (control.tap != nullptr) sampler->tap_on(&capture.emplace(*control.tap, steave, pending));
    if (control.resume != nullptr) {
        steave.resume_sums(control.resume->PSUB);
        sampler->resume_from(control.resume->sampler);
    }
    const std::int64_t NREJ = sampler->MCRUN(sink, console);
    return {NREJ, sampler->NPREJ()};
}

DataSetOutcome serial_run(RunData& run, RecordSink& console, HydroEntries* hydro, PropertyObserver* observer,
                          const DataSetControl& control = {}) {
    Steave steave(run, hydro, console, observer);
    const Refused refused = sample(run, steave, console, steave, nullptr, control);
    return {refused.NREJ, steave.table(), refused.NPREJ};
}

// The sampler feeding `sink` (a ConcurrentHydro around `steave`).
DataSetOutcome concurrent_run(RunData& run, Steave& steave, ConcurrentHydro& sink, const DataSetControl& control = {}) {
    Refused refused;
    try {
        refused = sample(run, sink, sink.console(), steave, &sink, control);
    } catch (const DataSetStopped&) {
        throw;  // nothing of it is wanted
    } catch (...) {
        // A failure of the chain comes after everything sampled before it.
        sink.drain();
        throw;
    }
    return {refused.NREJ, steave.table(), refused.NPREJ};
}

}  // namespace

DataSetOutcome run_data_set(RunData& run, RecordSink& console, unsigned threads) {
    return run_data_set(run, console, threads, [] { return std::make_unique<RigidBeadHydro>(); });
}

DataSetOutcome run_data_set(RunData& run, RecordSink& console, unsigned threads,
                            const ConcurrentHydro::HydroFactory& make_hydro) {
    return run_data_set(run, console, threads, make_hydro, nullptr);
}

DataSetOutcome run_data_set(RunData& run, RecordSink& console, unsigned threads,
                            const ConcurrentHydro::HydroFactory& make_hydro, PropertyObserver* observer) {
    if (run.IHYD == 0) return serial_run(run, console, nullptr, observer);
    if (threads <= 1) {
        const std::unique_ptr<HydroEntries> hydro = make_hydro();
        return serial_run(run, console, hydro.get(), observer);
    }
    ReplayedHydro replay;
    Steave steave(run, &replay, console, observer);
    ConcurrentHydro sink(steave, replay, console, make_hydro, threads);
    return concurrent_run(run, steave, sink);
}

DataSetOutcome run_data_set(RunData& run, RecordSink& console, HydroPool& pool, const DataSetControl& control) {
    const SamplerCpu cpu(pool);
    if (run.IHYD == 0) return serial_run(run, console, nullptr, nullptr, control);
    if (pool.cpus() <= 1) {
        const std::unique_ptr<HydroEntries> hydro = pool.make_hydro();
        return serial_run(run, console, hydro.get(), nullptr, control);
    }
    ReplayedHydro replay;
    Steave steave(run, &replay, console);
    ConcurrentHydro sink(steave, replay, console, pool);
    return concurrent_run(run, steave, sink, control);
}

unsigned usable_cpu_count() {
    // A mask sized for the machine: cpu_set_t holds only 1024 CPUs.
    for (int ncpu = 1024; ncpu <= (1 << 20); ncpu *= 4) {
        cpu_set_t* set = CPU_ALLOC(ncpu);
        if (set == nullptr) return 1;
        const std::size_t size = CPU_ALLOC_SIZE(ncpu);
        CPU_ZERO_S(size, set);
        const int rc = sched_getaffinity(0, size, set);
        const int err = errno;
        const int count = rc == 0 ? CPU_COUNT_S(size, set) : 0;
        CPU_FREE(set);
        if (rc == 0) return count > 0 ? static_cast<unsigned>(count) : 1u;
        if (err != EINVAL) return 1;  // EINVAL: the mask is too small for the kernel's
    }
    return 1;
}

}  // namespace bw
