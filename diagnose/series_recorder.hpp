#pragma once
// The series behind the averages of a data set: the main properties of every
// sampled conformation, kept per subsample in sampling order as steave added
// them (single precision, the values that were summed). Only r2, s2 and, with
// hydrodynamics, D* and [eta]* are kept, 2 or 4 floats per sample: the P(r)
// indicators follow from r2 and would multiply the memory by up to a million.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "averaging/property_observer.hpp"
#include "montecarlo/run_data.hpp"

namespace bw::diagnose {

class SeriesRecorder final : public PropertyObserver {
public:
    // count: properties kept per sample (2, or 4 with hydrodynamics);
    // per_subsample: room reserved in each subsample (NCONFSUB). Throws
    // std::bad_alloc when the room cannot be had.
    SeriesRecorder(std::size_t count, std::size_t per_subsample);

    void conformation(std::int32_t isub, std::span<const float> PROP) override;

    std::size_t count() const { return count_; }
    // Samples recorded in subsample j (0-based).
    std::size_t samples(std::size_t j) const { return values_[j].size() / count_; }
    // Property p (0-based) of sample t of subsample j.
    float value(std::size_t j, std::size_t t, std::size_t p) const { return values_[j][t * count_ + p]; }
    // Property p of every subsample, in double precision for the statistics.
    std::vector<std::vector<double>> series(std::size_t p) const;

private:
    std::size_t count_;
    std::array<std::vector<float>, NSUB> values_;  // per subsample, sample after sample
};

}  // namespace bw::diagnose
