#include "diagnose/arguments.hpp"

#include <gtest/gtest.h>

#include "driver/moves_option.hpp"

namespace bw::diagnose {
namespace {

TEST(Arguments, code_file_and_options_in_any_order) {
    const ParsedArguments p = parse_arguments({"--series", "out dir", "3", "data.dat", "--json", "d.json"});
    ASSERT_TRUE(p.arguments) << p.problem;
    EXPECT_EQ(p.arguments->ICODE, 3);
    EXPECT_EQ(p.arguments->INFILE, "data.dat");
    EXPECT_EQ(p.arguments->json, "d.json");
    EXPECT_EQ(p.arguments->series, "out dir");
    EXPECT_FALSE(p.arguments->help);
    EXPECT_TRUE(parse_arguments({"-h"}).arguments->help);
    EXPECT_EQ(p.arguments->NPIVOT, 0);  // local moves unless asked
}

TEST(Arguments, moves_and_pivots) {
    const ParsedArguments pivot = parse_arguments({"--moves", "pivot", "2", "a.dat"});
    ASSERT_TRUE(pivot.arguments) << pivot.problem;
    EXPECT_EQ(pivot.arguments->NPIVOT, kDefaultPivots);
    const ParsedArguments five = parse_arguments({"2", "a.dat", "--pivots", "5", "--moves", "pivot"});
    ASSERT_TRUE(five.arguments) << five.problem;
    EXPECT_EQ(five.arguments->NPIVOT, 5);
    const ParsedArguments local = parse_arguments({"2", "a.dat", "--moves", "local"});
    ASSERT_TRUE(local.arguments) << local.problem;
    EXPECT_EQ(local.arguments->NPIVOT, 0);
    EXPECT_EQ(parse_arguments({"2", "a.dat", "--moves", "local", "--pivots", "3"}).problem,
              "--pivots needs --moves pivot");
    EXPECT_EQ(parse_arguments({"2", "a.dat", "--moves", "pivot", "--pivots", "+0"}).problem,
              "--pivots +0 is not a positive integer");
    EXPECT_EQ(parse_arguments({"2", "a.dat", "--moves", "both"}).problem, "unknown moves both (local or pivot)");
}

TEST(Arguments, each_refusal_says_why) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no model code and no input file"},
        {{"2"}, "no input file"},
        {{"0", "a.dat"}, "unknown model code 0"},
        {{"-1", "a.dat"}, "unknown model code -1"},
        {{"2.0", "a.dat"}, "unknown model code 2.0"},
        {{"2", "a.dat", "--verbose"}, "unknown option --verbose"},
        {{"2", "-a.dat"}, "unknown option -a.dat"},
        {{"2", "a.dat", "--series"}, "--series needs a file name"},
        {{"2", "a.dat", "b.dat"}, "unexpected argument b.dat"},
    };
    for (const auto& [args, problem] : cases) {
        const ParsedArguments p = parse_arguments(args);
        EXPECT_FALSE(p.arguments) << problem;
        EXPECT_EQ(p.problem, problem);
    }
}

}  // namespace
}  // namespace bw::diagnose
