#pragma once
// The options of a companion that choose the Monte Carlo moves:
//   --moves local|pivot   the model's local moves only (the default), or each
//                         cycle followed by pivot attempts
//   --pivots K            pivot attempts per cycle, a positive integer (with
//                         --moves pivot; kDefaultPivots when not given)
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bw {

// The attempts per cycle that gave the most effective samples of <s2>* per
// CPU-second in bench/bench_pivot.cpp (codes 1, 2, 3 at N = 30 and 100): the
// best of K = 1, 2, 4, 8, 16, 32 in four of the six cases and within 11 % of
// the best in the other two (K = 4 for code 2 at N = 30, K = 16 for code 1
// at N = 100). Fewer attempts leave the chain correlated over tens of cycles;
// more spend the cycle on pivots once the shape decorrelates within one.
inline constexpr std::int32_t kDefaultPivots = 8;

struct MovesOption {
    bool pivot = false;
    std::int32_t pivots = 0;  // 0: not given
};

// When args[i] is --moves or --pivots, takes it and its value (advancing i
// past the value) and returns true; problem says what is wrong with it, or
// stays empty. Any other word: false, nothing taken.
bool take_moves_option(const std::vector<std::string>& args, std::size_t& i, MovesOption& moves,
                       std::string& problem);

// The run's NPIVOT (0: local moves only) once every word is taken; problem
// is set for --pivots without --moves pivot.
std::int32_t pivots_per_cycle(const MovesOption& moves, std::string& problem);

}  // namespace bw
