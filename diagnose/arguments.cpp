#include "diagnose/arguments.hpp"

#include "driver/moves_option.hpp"
#include "driver/record_reader.hpp"

namespace bw::diagnose {
namespace {

ParsedArguments refused(std::string problem) { return {std::nullopt, std::move(problem)}; }

bool is_integer(const std::string& w) {
    std::int32_t v = 0;
    return parse_int32(w, v);
}

}  // namespace

ParsedArguments parse_arguments(const std::vector<std::string>& args) {
    Arguments a;
    MovesOption moves;
    std::string problem;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (take_moves_option(args, i, moves, problem)) {
            if (!problem.empty()) return refused(problem);
            continue;
        }
        const std::string& w = args[i];
        if (w == "--help" || w == "-h") {
            a.help = true;
            return {a, ""};
        }
        if (w == "--json" || w == "--series") {
            if (i + 1 == args.size() || args[i + 1].empty()) return refused(w + " needs a file name");
            (w == "--json" ? a.json : a.series) = args[++i];
        } else if (w.size() > 1 && w[0] == '-' && !(words.empty() && is_integer(w))) {
            // A negative number in the place of the code is a code, refused below.
            return refused("unknown option " + w);
        } else {
            words.push_back(w);
        }
    }
    if (words.empty()) return refused("no model code and no input file");
    if (words.size() == 1) return refused("no input file");
    if (words.size() > 2) return refused("unexpected argument " + words[2]);
    if (!parse_int32(words[0], a.ICODE) || a.ICODE < 1 || a.ICODE > 3)
        return refused("unknown model code " + words[0]);
    if (words[1].empty()) return refused("no input file");
    a.INFILE = words[1];
    a.NPIVOT = pivots_per_cycle(moves, problem);
    if (!problem.empty()) return refused(problem);
    return {a, ""};
}

}  // namespace bw::diagnose
