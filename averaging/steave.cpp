#include "averaging/steave.hpp"

#include <cmath>
#include <new>
#include <stdexcept>
#include <string>

#include "averaging/confprop.hpp"
#include "driver/records/format.hpp"
#include "montecarlo/simulation_error.hpp"

namespace bw {

void AVEDEV(std::span<const float> X, float& AVE, float& SD, float& ERR) {
    const auto N = static_cast<std::int32_t>(X.size());
    double S1 = 0.0, S2 = 0.0;
    for (const float x : X) {
        S1 += x;
        S2 += double{x} * x;
    }
    const double mean = S1 / N;
    const double V = S2 / N - mean * mean;  // the unrounded mean
    AVE = static_cast<float>(mean);
    SD = V > 0.0 ? static_cast<float>(std::sqrt(V)) : 0.0f;
    ERR = SD / std::sqrt(static_cast<float>(N - 1));
}

void Steave::sample(const Conformation& conf, std::int32_t isub) {
    if (isub < 1 || isub > NSUB) throw std::out_of_range("steave: subsample " + std::to_string(isub));
    conf_ = &conf;
    ISUB_ = isub;
    steave(1);
    conf_ = nullptr;  // the sampler's conformation is only lent for this call
}

void Steave::steave(std::int32_t iflag) {
    switch (iflag) {
    case 0:
        clear();
        break;
    case 1:
        accumulate();
        break;
    case 2:
        statistics();
        break;
    default:
        console_.record(rec::Record()
                            .lit(" error in subroutine steave.")
                            .lit("  iflag=")
                            .i(iflag, 1)
                            .lit(" not equal to 0, 1 or 2")
                            .str());
    }
}

void Steave::clear() {
    const std::int64_t count = property_count(run_);
    if (count > INT32_MAX) {
        throw SimulationError("Too many properties per conformation: " + std::to_string(count));
    }
    try {
        const auto n = static_cast<std::size_t>(count);
        PROP_.assign(n, 0.0f);
        PSUB_.assign(n * NSUB, 0.0f);
        PSTAT_.resize(n);  // results of an earlier data set are kept, never cleared
    } catch (const std::bad_alloc&) {
        throw SimulationError("No room for the statistics of " + std::to_string(count) + " properties");
    } catch (const std::length_error&) {
        throw SimulationError("No room for the statistics of " + std::to_string(count) + " properties");
    }
    NPROP_ = static_cast<std::int32_t>(count);
}

void Steave::resume_sums(const std::vector<float>& PSUB) {
    steave(0);
    if (PSUB.size() != PSUB_.size()) {
        throw SimulationError("steave: saved sums of " + std::to_string(PSUB.size()) + " entries for " +
                              std::to_string(PSUB_.size()));
    }
    PSUB_ = PSUB;
}

void Steave::accumulate() {
    if (conf_ == nullptr) throw std::logic_error("steave(1) outside sample(): no conformation to add");
    NPROP_ = CONFPROP(*conf_, run_, hydro_, console_, PROP_);
    for (std::int32_t p = 1; p <= NPROP_; ++p) PSUB_[index(p, ISUB_)] += PROP_[static_cast<std::size_t>(p - 1)];
    if (observer_ != nullptr) {
        observer_->conformation(ISUB_, std::span<const float>(PROP_).first(static_cast<std::size_t>(NPROP_)));
    }
}

void Steave::statistics() {
    // Every subsample received NCONFAVE / NSUB conformations.
    const float M = static_cast<float>(run_.NCONFAVE / NSUB);
    for (std::int32_t p = 1; p <= NPROP_; ++p) {
        for (std::int32_t j = 1; j <= NSUB; ++j) {
            float& mean = PSUB_[index(p, j)];
            mean = mean / M;
            XSUB_[static_cast<std::size_t>(j - 1)] = mean;
        }
        float AVE, SD, ERR;
        AVEDEV(XSUB_, AVE, SD, ERR);
        PSTAT_[static_cast<std::size_t>(p - 1)] = {AVE, ERR};
    }
}

std::vector<std::array<float, 2>> Steave::table() const {
    return {PSTAT_.begin(), PSTAT_.begin() + NPROP_};
}

}  // namespace bw
