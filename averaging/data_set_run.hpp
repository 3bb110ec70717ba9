#pragma once
// One data set from the sampler's first move to the final statistics: the
// entry point of the run driver. The Markov chain runs on the calling
// thread; with hydrodynamics asked for and more than one thread allowed, the
// rigid-body calculations of the sampled conformations are shared between
// threads - 1 workers and the calling thread while the chain goes on, and
// the results, the statistics and every console record are those of the
// serial run.
#include <array>
#include <cstdint>
#include <stop_token>
#include <vector>

#include "averaging/concurrent_hydro.hpp"
#include "averaging/data_set_state.hpp"
#include "averaging/hydro_pool.hpp"
#include "averaging/property_observer.hpp"
#include "driver/records/record_sink.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

struct DataSetOutcome {
    std::int64_t NREJ = 0;                     // refused Monte Carlo moves
    std::vector<std::array<float, 2>> PSTAT;   // {mean, standard error} of properties 1..NPROP
    std::int64_t NPREJ = 0;                    // refused pivots (run.NPIVOT > 0)
};

// MCRUN with the statistics sink: subsample, progress and hydrodynamic
// records go to console. threads <= 1 or IHYD = 0: everything on the calling
// thread, no thread is started. Advances run.ISEED. When the sampler throws
// (SimulationError for a chain that cannot be built, ...), whatever was
// sampled before the failure is flushed to console in order and the
// exception is rethrown.
DataSetOutcome run_data_set(RunData& run, RecordSink& console, unsigned threads);

// The same with the hydrodynamic calculation given by make_hydro (called once
// per computing thread).
DataSetOutcome run_data_set(RunData& run, RecordSink& console, unsigned threads,
                            const ConcurrentHydro::HydroFactory& make_hydro);

// One of several data sets in flight on the CPUs of `pool`: the calling
// thread waits for a CPU and holds it as the sampler's while the data set
// runs; with hydrodynamics the pool's helpers and this thread compute the
// sampled conformations. Records and results are those of the serial run.
// Gives up with DataSetStopped at the next sweep once control.stop is
// requested; offers its state to control.tap at sweep boundaries and
// continues from control.resume (see averaging/data_set_state.hpp).
DataSetOutcome run_data_set(RunData& run, RecordSink& console, HydroPool& pool, const DataSetControl& control = {});

// The same with observer (when not null) shown the property vector of every
// sampled conformation in sampling order, on the calling thread; what is
// computed and written does not change.
DataSetOutcome run_data_set(RunData& run, RecordSink& console, unsigned threads,
                            const ConcurrentHydro::HydroFactory& make_hydro, PropertyObserver* observer);

// Number of CPUs this process may run on (its affinity mask), at least 1.
unsigned usable_cpu_count();

}  // namespace bw
