#pragma once
// Where the sampler hands its sampled conformations: begin() clears the
// accumulators of a data set, sample() adds one conformation of subsample isub
// (1..NSUB), finish() forms the final statistics. The averaging layer
// implements it; keeping it an interface keeps the Markov chain free of any
// knowledge of what is computed from each conformation.
#include <cstdint>

#include "montecarlo/conformation.hpp"

namespace bw {

class SampleSink {
public:
    virtual ~SampleSink() = default;
    virtual void begin() = 0;
    virtual void sample(const Conformation& conf, std::int32_t isub) = 0;
    virtual void finish() = 0;
};

}  // namespace bw
