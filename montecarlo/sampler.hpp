#pragma once
// Metropolis Monte Carlo sampler of one data set. MCRUN runs NSUB subsamples,
// each from a new initial conformation, and hands every NFREQ-th conformation
// to a SampleSink; refused moves are counted in NREJ. A cycle is the N local
// moves of the model and then run.NPIVOT pivot attempts (montecarlo/pivot.hpp),
// whose refusals are counted apart in NPREJ. The Sampler owns the
// working copy X, Y, Z of the chain, the pair-energy table EPAIR and the
// trial energies ENEW; the random stream is the ISEED of the RunData it was
// given, advanced in place. Every SweepKernel gives the same trajectory, bit
// for bit: the same pair energies, the same ordered energy sums, the same draws.
#include <array>
#include <cstdint>
#include <stop_token>

#include "driver/records/record_sink.hpp"
#include "montecarlo/conformation.hpp"
#include "montecarlo/pair_lanes.hpp"
#include "montecarlo/pivot.hpp"
#include "montecarlo/potentials.hpp"
#include "montecarlo/run_data.hpp"
#include "montecarlo/sample_sink.hpp"
#include "montecarlo/sampler_state.hpp"

namespace bw {

class Sampler {
public:
    // Keeps a reference to run: its ISEED is the random stream, its model
    // parameters and counts (NFREQ, NCONFSUB, NPROG) are read at each call.
    // kernel: how each move evaluates its pairs; the scalar reference serves
    // tests and benchmarks, a kernel the processor lacks is replaced by the
    // best one it has.
    explicit Sampler(RunData& run, SweepKernel kernel = best_sweep_kernel())
        : run_(run), kernel_(sweep_kernel_supported(kernel) ? kernel : best_sweep_kernel()) {}

    // The whole data set: sink.begin(), NREJ := 0, NSUB subsamples of
    // NCONFSUB sampled conformations NFREQ sweeps apart, sink.finish().
    // Subsample and progress records go to console. Returns NREJ. Throws
    // SimulationError for an unknown model code, a bead count outside
    // 1..MAXBEADS, a chain that cannot be built or pair energies that are not
    // finite for the initial chain.
    std::int64_t MCRUN(SampleSink& sink, RecordSink& console);

    // From now on MCRUN gives up with DataSetStopped at the next sweep after
    // stop is requested (a data set run ahead of its turn that is no longer
    // wanted). The trajectory is not changed by the check.
    void stop_on(std::stop_token stop) { stop_ = std::move(stop); }
    // From now on MCRUN offers its state to tap at every sweep boundary
    // (also before a conformation is sampled when NFREQ is 0); capturing it
    // changes nothing of the trajectory.
    void tap_on(SamplerTap* tap) { tap_ = tap; }
    // The next MCRUN continues from state (captured from a run of the same
    // data set): it restores the random state, the chain, EPAIR, NREJ and
    // the counters, and neither begins the sink nor starts the subsample
    // again; the sink must hold the sums of that boundary.
    void resume_from(const SamplerState& state) { resume_ = &state; }

    // Starts a chain: a new initial conformation as working copy, EPAIR filled.
    void start_subsample();
    // Makes conf (its N must be run.N) the working copy and fills EPAIR.
    void load(const Conformation& conf);
    // One Monte Carlo cycle: one move attempt for each bead 1..N in turn.
    void SWEEP();
    // One move attempt of bead i (1-based); true when accepted.
    bool move(std::int32_t i);
    // One Monte Carlo cycle: SWEEP, then run.NPIVOT pivot attempts.
    void CYCLE();
    // One pivot attempt drawn from the stream: the inner bead k (one draw),
    // the part turned (one draw: below 0.5 beads 1..k-1, else k+1..N), the
    // rotation (three draws), then the model's acceptance. No draw and no
    // move for a chain without an inner bead (N < 3). True when accepted.
    bool pivot();
    // The part beyond bead k (beads 1..k-1 when `before`, else k+1..N)
    // turned about bead k by rot, accepted as the model accepts a move: hard
    // spheres refuse an overlap between the two parts; pair energies by
    // Metropolis on the energy change of the pairs across bead k (one draw
    // when it is positive). An accepted pivot leaves EPAIR the energies of
    // the new positions, as a fresh fill gives them; a refused one counts in
    // NPREJ and changes nothing.
    bool pivot(std::int32_t k, bool before, const Rotation& rot);

    // The working copy as a conformation.
    void copy_to(Conformation& conf) const;
    std::int64_t NREJ() const { return NREJ_; }
    std::int64_t NPREJ() const { return NPREJ_; }
    float EPAIR(std::int32_t i, std::int32_t k) const { return EPAIR_(i, k); }

private:
    template <class F> decltype(auto) with_model(F&& f);
    template <class Model> std::int64_t run_subsamples(const Model& model, SampleSink& sink, RecordSink& console);
    void boundary(std::int32_t ISUB, std::int32_t ICONF, std::int32_t sweep);
    void restore(const SamplerState& state);
    template <class Model> void sweep(const Model& model);
    template <class Model> void cycle(const Model& model);
    template <class Model> bool pivot_move(const Model& model, std::int32_t k, bool before, const Rotation& rot);
    template <class Model> bool pivot_energy(const Model& model, std::int32_t lo, std::int32_t hi, float& dE);
    bool pivot_overlaps(const RigidBondModel& model, std::int32_t lo, std::int32_t hi) const;
    void fill(const RigidBondModel&) {}
    template <class Model> void fill(const Model& model);
    bool move_bead(const RigidBondModel& model, std::int32_t i);
    template <class Model> bool move_bead(const Model& model, std::int32_t i);
    bool overlaps_any(const RigidBondModel& model, std::int32_t i) const;
    template <class Model> float energy_change(const Model& model, std::int32_t i);
    template <class Model> float energy_change_lanes(const Model& model, std::int32_t i);
    LaneChain chain() const { return {X.data(), Y.data(), Z.data(), run_.N}; }
    bool refuse() {
        ++NREJ_;
        return false;
    }

    RunData& run_;
    SweepKernel kernel_;
    // Room for LANES beads, read in whole vectors by the data-parallel pair
    // loops; what lies beyond N is never used.
    alignas(64) std::array<float, LANES> X{}, Y{}, Z{};
    alignas(64) std::array<float, LANES> ENEW{};
    LaneMask changed_;  // beads whose pair energy with the moved one may change
    PairEnergies EPAIR_;
    float TX = 0.0f, TY = 0.0f, TZ = 0.0f;
    std::int64_t NREJ_ = 0;
    std::int64_t NPREJ_ = 0;
    // A pivot's trial chain (the turned part at its new place, the rest as
    // it is) and the pair energies of each turned bead with every bead of it.
    alignas(64) std::array<float, LANES> PX{}, PY{}, PZ{};
    alignas(64) std::array<std::array<float, LANES>, MAXBEADS> PROW{};
    std::stop_token stop_;
    SamplerTap* tap_ = nullptr;
    const SamplerState* resume_ = nullptr;
    Conformation conf_;  // the conformation handed to the sink
};

// Convenience for the driver: a Sampler on run, MCRUN, NREJ.
std::int64_t MCRUN(RunData& run, SampleSink& sink, RecordSink& console);
std::int64_t MCRUN(RunData& run, SampleSink& sink, RecordSink& console, std::stop_token stop);

// Percentage of refused moves among the NCONF * N asked for, the product
// formed in 64 bits: q = NREJ / (NCONF * N) in single precision, then q * 100.
float rejection_percentage(std::int64_t NREJ, std::int32_t NCONF, std::int32_t N);

}  // namespace bw
