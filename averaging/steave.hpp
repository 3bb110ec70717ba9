#pragma once
// Subsample statistics of the properties of a data set. The sampled
// conformations fall into NSUB consecutive subsamples; each property is
// averaged within each subsample, and its mean and standard error are taken
// over the NSUB subsample means, so that the error reflects the correlation
// along the Markov chain. Storage is sized to the data set's NPROP at
// steave(0): there is no fixed limit on the number of P(r) intervals.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "averaging/hydro_entries.hpp"
#include "averaging/property_observer.hpp"
#include "driver/records/record_sink.hpp"
#include "montecarlo/conformation.hpp"
#include "montecarlo/run_data.hpp"
#include "montecarlo/sample_sink.hpp"

namespace bw {

// Mean AVE, standard deviation SD (divisor N) and standard error of the mean
// ERR = SD / sqrt(N - 1) of X, the sums accumulated in double precision.
void AVEDEV(std::span<const float> X, float& AVE, float& SD, float& ERR);

class Steave final : public SampleSink {
public:
    // run is read at every call (NCONFAVE, IHYD, NPR, RMAX); hydro may be null
    // when IHYD is 0; console receives the messages of steave and of the
    // hydrodynamic stages; observer, when given, is shown the PROP of every
    // conformation as it is added.
    Steave(const RunData& run, HydroEntries* hydro, RecordSink& console, PropertyObserver* observer = nullptr)
        : run_(run), hydro_(hydro), console_(console), observer_(observer) {}

    void begin() override { steave(0); }
    void sample(const Conformation& conf, std::int32_t isub) override;
    void finish() override { steave(2); }

    // 0: size the storage to the data set and clear the sums; 1 (only from
    // within sample()): add the properties of the conformation; 2: subsample
    // means, then mean and error of every property. Any other iflag writes
    // one error line to the console and changes nothing. Throws
    // SimulationError when the property storage of a data set cannot be had.
    void steave(std::int32_t iflag);

    std::int32_t NPROP() const { return NPROP_; }
    // PSTAT(p, 1): mean of property p; PSTAT(p, 2): its standard error.
    float PSTAT(std::int32_t p, std::int32_t k) const {
        return PSTAT_.at(static_cast<std::size_t>(p - 1)).at(static_cast<std::size_t>(k - 1));
    }
    // PSUB(p, j): running sum of property p in subsample j; its mean after steave(2).
    float PSUB(std::int32_t p, std::int32_t j) const { return PSUB_.at(index(p, j)); }
    // The running sums PSUB, NPROP x NSUB column-major: what a data set
    // frozen between two conformations holds.
    const std::vector<float>& sums() const { return PSUB_; }
    // steave(0), then the sums of a frozen data set (as sums() gave them for
    // the same data). Throws SimulationError when they do not fit.
    void resume_sums(const std::vector<float>& PSUB);
    // (mean, error) of properties 1..NPROP, in property order.
    std::vector<std::array<float, 2>> table() const;

private:
    std::size_t index(std::int32_t p, std::int32_t j) const {
        return static_cast<std::size_t>(p - 1) + static_cast<std::size_t>(j - 1) * PROP_.size();
    }
    void clear();
    void accumulate();
    void statistics();

    const RunData& run_;
    HydroEntries* hydro_;
    RecordSink& console_;
    PropertyObserver* observer_;
    const Conformation* conf_ = nullptr;  // set only during sample()
    std::int32_t ISUB_ = 1;
    std::int32_t NPROP_ = 0;
    std::vector<float> PROP_;
    std::vector<float> PSUB_;  // NPROP x NSUB, column-major
    std::vector<std::array<float, 2>> PSTAT_;
    std::array<float, NSUB> XSUB_{};
};

}  // namespace bw
