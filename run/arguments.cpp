#include "run/arguments.hpp"

#include "driver/moves_option.hpp"
#include "driver/record_reader.hpp"

namespace bw::run {
namespace {

ParsedArguments refused(std::string problem) { return {std::nullopt, std::move(problem)}; }

}  // namespace

ParsedArguments parse_arguments(const std::vector<std::string>& args) {
    Arguments a;
    MovesOption moves;
    std::string problem;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& w = args[i];
        if (w == "--help" || w == "-h") {
            a.help = true;
            return {a, ""};
        }
        if (take_moves_option(args, i, moves, problem)) {
            if (!problem.empty()) return refused(problem);
            continue;
        }
        std::int32_t number = 0;
        // A negative number in the place of the code is a code, refused below.
        if (w.size() > 1 && w[0] == '-' && !(words.empty() && parse_int32(w, number)))
            return refused("unknown option " + w);
        words.push_back(w);
    }
    if (words.empty()) return refused("no model code, input file or output file");
    if (!parse_int32(words[0], a.ICODE) || a.ICODE < 1 || a.ICODE > 3)
        return refused("unknown model code " + words[0]);
    if (words.size() < 2 || words[1].empty()) return refused("no input file");
    if (words.size() < 3 || words[2].empty()) return refused("no output file");
    if (words.size() > 3) return refused("unexpected argument " + words[3]);
    a.INFILE = words[1];
    a.OUTFILE = words[2];
    a.NPIVOT = pivots_per_cycle(moves, problem);
    if (!problem.empty()) return refused(problem);
    return {a, ""};
}

}  // namespace bw::run
