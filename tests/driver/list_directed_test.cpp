#include "driver/records/list_directed.hpp"

#include <gtest/gtest.h>

namespace bw::rec {
namespace {

using Records = std::vector<std::string>;

TEST(list_directed, texts_get_one_leading_blank) {
    EXPECT_EQ(list_directed({"General data"}), Records{" General data"});
    EXPECT_EQ(list_directed({"------------"}), Records{" ------------"});
    EXPECT_EQ(list_directed({"ab", "cd"}), Records{" abcd"});  // no blank between two texts
    EXPECT_EQ(list_directed({""}), Records{" "});
}

TEST(list_directed, integer_in_twelve_columns_and_one_blank_before_the_next_text) {
    const Records r = list_directed({"N=", 150, " is not valid. Maximum number of beads is 100"});
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0], " N=         150  is not valid. Maximum number of beads is 100");
    EXPECT_EQ(r[0].size(), 61u);
    EXPECT_EQ(list_directed({-7}), Records{"           -7"});
    EXPECT_EQ(list_directed({1, 2}), Records{"            1           2"});
}

TEST(list_directed, an_integer_wider_than_twelve_columns_widens_its_field) {
    EXPECT_EQ(list_directed({-2147483647 - 1}), Records{"  -2147483648"});
    // Found by fuzzing: a 64-bit value was written as twelve asterisks.
    EXPECT_EQ(list_directed({"N=", std::int64_t{144115188075855872}, " x"}),
              Records{" N= 144115188075855872  x"});
}

TEST(list_directed, a_text_too_long_for_the_room_left_starts_a_new_record) {
    const Records r =
        list_directed({"NCONFAVE=", 3, " is not valid. Minimum value of conformations for averaging is 5"});
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], " NCONFAVE=           3 ");
    EXPECT_EQ(r[0].size(), 23u);
    EXPECT_EQ(r[1], "  is not valid. Minimum value of conformations for averaging is 5");
    EXPECT_EQ(r[1].size(), 65u);
}

TEST(list_directed, room_is_counted_before_the_separating_blank) {
    // " NCONFAVE=" and the integer fill 22 columns and leave 58.
    const std::string fits(58, 'x');
    const Records one = list_directed({"NCONFAVE=", 3, fits});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], " NCONFAVE=           3 " + fits);

    const std::string too_long(59, 'x');
    const Records two = list_directed({"NCONFAVE=", 3, too_long});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0], " NCONFAVE=           3 ");
    EXPECT_EQ(two[1], " " + too_long);
}

TEST(list_directed, text_after_text_splits_without_a_blank) {
    const std::string first(70, 'a');
    const Records r = list_directed({first, "0123456789"});  // room 9, value 10
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], " " + first);
    EXPECT_EQ(r[1], " 0123456789");
}

TEST(list_directed, a_text_longer_than_a_record_is_written_whole) {
    const std::string huge(100, 'z');
    EXPECT_EQ(list_directed({huge}), Records{" " + huge});
}

TEST(list_directed, validation_messages_of_the_driver) {
    EXPECT_EQ(list_directed({"N=", 0, " is not valid. Minimum number of beads is 2"}),
              Records{" N=           0  is not valid. Minimum number of beads is 2"});
    EXPECT_EQ(list_directed({"NPR=", 1000001, " is not valid. Maximum number of intervals is 1000000"}),
              Records{" NPR=     1000001  is not valid. Maximum number of intervals is 1000000"});
}

}  // namespace
}  // namespace bw::rec
