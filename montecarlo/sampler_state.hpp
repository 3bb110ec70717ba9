#pragma once
// The whole state of a sampler between two sweeps of a data set: enough to
// continue the Markov chain draw for draw in another process. Captured at a
// sweep boundary (never inside a move), so the trial position and the trial
// energies, which live only within one move, are not part of it.
#include <cstdint>
#include <vector>

namespace bw {

struct SamplerState {
    std::int32_t ISEED = 0;  // the random state at the boundary
    // Where the boundary lies: before sweep `sweep` (0-based) of sampled
    // conformation ICONF of subsample ISUB; sweep = NFREQ: its sweeps are
    // done and the conformation is sampled next.
    std::int32_t ISUB = 1;
    std::int32_t ICONF = 1;
    std::int32_t sweep = 0;
    std::int64_t NREJ = 0;  // refused local moves so far
    // The working chain, beads 1..N, and the pair-energy table EPAIR(i,k) at
    // (i-1) + (k-1) N, the diagonal included: the exact single-precision bits
    // the sampler holds, which a fresh fill would not always reproduce.
    std::vector<float> X, Y, Z;
    std::vector<float> EPAIR;
    std::int64_t NPREJ = 0;  // refused pivots so far
};

// Where a sampler offers its state: asked at every sweep boundary whether it
// is wanted (an atomic read, so that asking costs nothing against a sweep),
// and given it when it is.
class SamplerTap {
public:
    virtual ~SamplerTap() = default;
    virtual bool wanted() const = 0;
    virtual void capture(const SamplerState& state) = 0;
};

}  // namespace bw
