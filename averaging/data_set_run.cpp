#include "averaging/data_set_run.hpp"

#include <sched.h>

#include <cerrno>
#include <memory>

#include "averaging/rigid_bead_hydro.hpp"
#include "averaging/steave.hpp"
#include "montecarlo/sampler.hpp"

namespace bw {

namespace {

DataSetOutcome serial_run(RunData& run, RecordSink& console, HydroEntries* hydro, PropertyObserver* observer) {
    Steave steave(run, hydro, console, observer);
    const std::int64_t NREJ = MCRUN(run, steave, console);
    return {NREJ, steave.table()};
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
    std::int64_t NREJ = 0;
    try {
        NREJ = MCRUN(run, sink, sink.console());
    } catch (...) {
        // A failure of the chain comes after everything sampled before it.
        sink.drain();
        throw;
    }
    return {NREJ, steave.table()};
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
