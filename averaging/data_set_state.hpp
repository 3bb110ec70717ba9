#pragma once
// A data set in flight, frozen between two sweeps: the sampler's state and
// the subsample sums of steave with every conformation sampled before the
// boundary added, in sampling order. A run continued from it draws the same
// numbers, adds the same properties in the same order and so writes the same
// digits as a run that was never stopped.
#include <cstdint>
#include <stop_token>
#include <vector>

#include "montecarlo/sampler_state.hpp"

namespace bw {

struct DataSetState {
    SamplerState sampler;
    std::vector<float> PSUB;  // NPROP x NSUB running sums, column-major, as steave holds them
};

// Where a running data set offers its state: `wanted` is asked at every
// sweep boundary from the sampler's thread, `capture` is given the state
// there; the run goes on when it returns.
class DataSetTap {
public:
    virtual ~DataSetTap() = default;
    virtual bool wanted() const = 0;
    virtual void capture(DataSetState state) = 0;
};

// How a data set is run besides its data: given up at the next sweep once
// `stop` is requested, its state offered to `tap` (when not null), continued
// from `resume` (when not null) instead of from its start.
struct DataSetControl {
    std::stop_token stop;
    DataSetTap* tap = nullptr;
    const DataSetState* resume = nullptr;
};

}  // namespace bw
