#pragma once
// The one random stream of a data set: a 32-bit linear congruential generator
// whose whole state is the seed ISEED, plus the random unit vector built on it.
// Every draw advances ISEED in place; nothing else holds state, so a data set
// replays draw for draw.
#include <cmath>
#include <cstdint>

namespace bw {

// Uniform u in [0, 1) on the grid k * 2^-24 (k = upper 24 bits of the new
// state), exactly representable in single precision. The state is stepped as
// s := 69069 s + 1 mod 2^32 on the unsigned pattern of ISEED; full period.
inline float RAN(std::int32_t& ISEED) {
    std::uint32_t s = static_cast<std::uint32_t>(ISEED);
    s = 69069u * s + 1u;
    ISEED = static_cast<std::int32_t>(s);
    return static_cast<float>(s >> 8) * 0x1p-24f;
}

// Random unit vector, uniform over the sphere: cosine of the polar angle
// uniform in [-1, 1), azimuth uniform in [0, 6.28318). Two draws of RAN.
inline void RANVEC(std::int32_t& ISEED, float& UX, float& UY, float& UZ) {
    const float ct = 2.0f * RAN(ISEED) - 1.0f;
    const float st = std::sqrt(1.0f - ct * ct);
    const float phi = RAN(ISEED) * 6.28318f;
    UX = st * std::cos(phi);
    UY = st * std::sin(phi);
    UZ = ct;
}

}  // namespace bw
