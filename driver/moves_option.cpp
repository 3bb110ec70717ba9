#include "driver/moves_option.hpp"

#include "driver/record_reader.hpp"

namespace bw {

bool take_moves_option(const std::vector<std::string>& args, std::size_t& i, MovesOption& moves,
                       std::string& problem) {
    const std::string& w = args[i];
    if (w != "--moves" && w != "--pivots") return false;
    if (i + 1 == args.size()) {
        problem = w + (w == "--moves" ? " needs local or pivot" : " needs a positive integer");
        return true;
    }
    const std::string& value = args[++i];
    if (w == "--moves") {
        if (value == "local" || value == "pivot") {
            moves.pivot = value == "pivot";
        } else {
            problem = "unknown moves " + value + " (local or pivot)";
        }
        return true;
    }
    std::int32_t K = 0;
    if (!parse_int32(value, K) || K < 1) {
        problem = "--pivots " + value + " is not a positive integer";
    } else {
        moves.pivots = K;
    }
    return true;
}

std::int32_t pivots_per_cycle(const MovesOption& moves, std::string& problem) {
    if (!moves.pivot) {
        if (moves.pivots > 0) problem = "--pivots needs --moves pivot";
        return 0;
    }
    return moves.pivots > 0 ? moves.pivots : kDefaultPivots;
}

}  // namespace bw
