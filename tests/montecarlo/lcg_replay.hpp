#pragma once
// An independent model of the generator for the tests: the state sequence
// s -> 69069 s + 1 mod 2^32 written with 64-bit arithmetic and masking, used to
// count how many draws a routine consumed between two seeds.
#include <cstdint>

namespace bw::replay {

inline std::int32_t lcg_next(std::int32_t seed) {
    const std::uint64_t s = static_cast<std::uint32_t>(seed);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>((69069ull * s + 1ull) & 0xFFFFFFFFull));
}

inline float lcg_value(std::int32_t state) {
    return static_cast<float>(static_cast<std::uint32_t>(state) >> 8) / 16777216.0f;
}

// Number of draws that lead from `from` to `to`, or -1 if more than max_draws.
inline std::int64_t draws_between(std::int32_t from, std::int32_t to, std::int64_t max_draws = 10000000) {
    std::int32_t s = from;
    for (std::int64_t k = 0; k <= max_draws; ++k) {
        if (s == to) return k;
        s = lcg_next(s);
    }
    return -1;
}

// The state `k` draws after `from`.
inline std::int32_t advance(std::int32_t from, std::int64_t k) {
    for (std::int64_t i = 0; i < k; ++i) from = lcg_next(from);
    return from;
}

}  // namespace bw::replay
