#include "diagnose/arguments.hpp"

#include <gtest/gtest.h>

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
