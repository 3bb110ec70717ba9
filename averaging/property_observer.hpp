#pragma once
// A watcher of the property vectors that steave adds up: told of every
// sampled conformation, after its PROP is formed, in sampling order. It
// lets a companion record the series behind each average without a second
// copy of the properties' physics. Called on the thread that runs steave.
#include <cstdint>
#include <span>

namespace bw {

class PropertyObserver {
public:
    virtual ~PropertyObserver() = default;
    // PROP(1..NPROP) of the conformation just added to subsample isub (1..NSUB).
    virtual void conformation(std::int32_t isub, std::span<const float> PROP) = 0;
};

}  // namespace bw
