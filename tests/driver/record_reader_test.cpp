// Reading rules for the data file and the console answers.
#include "driver/record_reader.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "driver/io_error.hpp"

namespace bw {
namespace {

// A reader over `text`, as unit 4 of file "data.txt".
struct Input {
    explicit Input(std::string text) : stream(std::move(text)), reader(stream, kInputUnit, "data.txt") {}
    std::istringstream stream;
    RecordReader reader;
};

std::string io_failure(const std::function<void(RecordReader&)>& read, const std::string& text) {
    Input in(text);
    try {
        read(in.reader);
    } catch (const IoError& e) {
        return e.what();
    }
    return "no failure";
}

std::int32_t fixed(const std::string& text) {
    Input in(text);
    return read_fixed_int(in.reader, 7);
}

std::int32_t list_int(const std::string& text, std::int32_t initial = -99) {
    Input in(text);
    read_list(in.reader, initial);
    return initial;
}

float list_real(const std::string& text, float initial = -99.0f) {
    Input in(text);
    read_list(in.reader, initial);
    return initial;
}

std::string list_name(const std::string& text, std::string initial = "unchanged") {
    Input in(text);
    read_list_name(in.reader, initial);
    return initial;
}

const std::string kConversion = "input conversion error, unit 4, file data.txt";
const std::string kEof = "end-of-file during read, unit 4, file data.txt";

TEST(read_fixed_int, columns_one_to_seven) {
    EXPECT_EQ(fixed("20\n"), 20);
    EXPECT_EQ(fixed("     -1\n"), -1);
    EXPECT_EQ(fixed("-1      end of the data\n"), -1);  // text from column 8 on is ignored
    EXPECT_EQ(fixed("\n"), 0);                          // an empty record reads as 0
    EXPECT_EQ(fixed("       20\n"), 0);                 // the value stands beyond column 7
    EXPECT_EQ(fixed(" 1 0\n"), 10);                     // blanks inside the field are ignored
    EXPECT_EQ(fixed("+100\n"), 100);
    EXPECT_EQ(fixed("\t30\n"), 30);
    EXPECT_EQ(fixed("30\r\n"), 30);
    EXPECT_EQ(fixed("-999999xyz\n"), -999999);
}

TEST(read_fixed_int, anything_else_in_the_field_is_a_conversion_error) {
    auto read = [](RecordReader& r) { read_fixed_int(r, 7); };
    EXPECT_EQ(io_failure(read, "-1 end\n"), kConversion);
    EXPECT_EQ(io_failure(read, "20.0\n"), kConversion);
    EXPECT_EQ(io_failure(read, "-\n"), kConversion);
    EXPECT_EQ(io_failure(read, "1-2\n"), kConversion);
    EXPECT_EQ(io_failure(read, ""), kEof);
}

TEST(read_list_int, values_and_what_ends_them) {
    EXPECT_EQ(list_int("1000  total conformations\n"), 1000);
    EXPECT_EQ(list_int("   42\n"), 42);
    EXPECT_EQ(list_int("\n\n   \n7\n"), 7);  // empty and blank records are skipped
    EXPECT_EQ(list_int("5,6\n"), 5);
    EXPECT_EQ(list_int("5/\n"), 5);
    EXPECT_EQ(list_int("\t-3\tseed\n"), -3);
    EXPECT_EQ(list_int("+12\r\n"), 12);
    EXPECT_EQ(list_int("2147483647\n"), 2147483647);
    EXPECT_EQ(list_int("-2147483648\n"), -2147483647 - 1);
}

TEST(read_list_int, comma_or_slash_before_the_value_leaves_the_item_unchanged) {
    EXPECT_EQ(list_int(",5\n", 17), 17);
    EXPECT_EQ(list_int("  / 5\n", 17), 17);
    EXPECT_EQ(list_int("\n,\n", 17), 17);
}

TEST(read_list_int, refused_forms) {
    auto read = [](RecordReader& r) { std::int32_t v = 0; read_list(r, v); };
    EXPECT_EQ(io_failure(read, "2147483648\n"), kConversion);
    EXPECT_EQ(io_failure(read, "-2147483649\n"), kConversion);
    EXPECT_EQ(io_failure(read, "99999999999999999999999\n"), kConversion);
    EXPECT_EQ(io_failure(read, "1.0\n"), kConversion);
    EXPECT_EQ(io_failure(read, "1e3\n"), kConversion);
    EXPECT_EQ(io_failure(read, "3*5\n"), kConversion);
    EXPECT_EQ(io_failure(read, "abc\n"), kConversion);
    EXPECT_EQ(io_failure(read, "-\n"), kConversion);
    EXPECT_EQ(io_failure(read, "'5'\n"), kConversion);
    EXPECT_EQ(io_failure(read, "\n\n"), kEof);
}

TEST(read_list_real, accepted_forms) {
    EXPECT_EQ(list_real("2\n"), 2.0f);
    EXPECT_EQ(list_real("0.5\n"), 0.5f);
    EXPECT_EQ(list_real("1.5E-2\n"), 1.5e-2f);
    EXPECT_EQ(list_real("1.5e-2\n"), 1.5e-2f);
    EXPECT_EQ(list_real("1.5D-2\n"), 1.5e-2f);
    EXPECT_EQ(list_real("1.5d+2\n"), 150.0f);
    EXPECT_EQ(list_real("-.25\n"), -0.25f);
    EXPECT_EQ(list_real("+3.\n"), 3.0f);
    EXPECT_EQ(list_real("20.0   rmax\n"), 20.0f);
    EXPECT_EQ(list_real("0.8,\n"), 0.8f);
    EXPECT_EQ(list_real("1E5\n"), 100000.0f);
    // Correctly rounded to single precision, not via a double.
    EXPECT_EQ(list_real("0.1\n"), 0.1f);
    EXPECT_EQ(list_real("1e-50\n"), 0.0f);  // underflow reads as zero
    EXPECT_EQ(list_real("/\n", 4.5f), 4.5f);
}

TEST(read_list_real, refused_forms) {
    auto read = [](RecordReader& r) { float v = 0; read_list(r, v); };
    for (const char* bad : {"1.0.0\n", "1e\n", "--1\n", "NaN\n", "Inf\n", "-Infinity\n", ".\n", "e5\n",
                            "1e+\n", "3*1.0\n", "1.0+3\n", "1e50\n", "0x10\n"})
        EXPECT_EQ(io_failure(read, bad), kConversion) << bad;
}

TEST(read_list_name, unquoted_names) {
    EXPECT_EQ(list_name("data.txt\n"), "data.txt");
    EXPECT_EQ(list_name("  results/run1.out   trailing words\n"), "results/run1.out");  // a path keeps its slashes
    EXPECT_EQ(list_name("a.dat,b.dat\n"), "a.dat");
    EXPECT_EQ(list_name("/tmp/x.dat\n"), "/tmp/x.dat");  // an absolute path
    EXPECT_EQ(list_name(",name\n"), "unchanged");
    EXPECT_EQ(list_name("\n\nname\r\n"), "name");
    const std::string long_name(45, 'n');
    EXPECT_EQ(list_name(long_name + "\n"), long_name);  // never cut to 30
}

TEST(read_list_name, quoted_names) {
    EXPECT_EQ(list_name("'my data.txt'\n"), "my data.txt");
    EXPECT_EQ(list_name("\"a,b/c d\"  rest\n"), "a,b/c d");
    EXPECT_EQ(list_name("'it''s.dat'\n"), "it's.dat");
    EXPECT_EQ(list_name("'out.txt   '\n"), "out.txt");  // trailing blanks are not part of the name
    EXPECT_EQ(list_name("'  lead'\n"), "  lead");
    EXPECT_EQ(list_name("'open ended\n"), "open ended");
}

TEST(read_list_name, end_of_file_names_unit_and_file) {
    std::istringstream empty("");
    RecordReader con(empty, kConsoleUnit, "stdin");
    std::string name;
    try {
        read_list_name(con, name);
        FAIL();
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "end-of-file during read, unit 5, file stdin");
    }
}

TEST(record_reader, records_as_the_file_holds_them) {
    Input in("\xEF\xBB\xBF" "20\n\xEF\xBB\xBF" "30\r\n\r\nlast without a line end");
    EXPECT_EQ(in.reader.next(), "20");  // the byte-order mark of the file is dropped
    EXPECT_EQ(in.reader.next(), "\xEF\xBB\xBF" "30");  // elsewhere it is data
    EXPECT_EQ(in.reader.next(), "");
    EXPECT_EQ(in.reader.next(), "last without a line end");
    EXPECT_THROW(in.reader.next(), IoError);  // the input is spent
    EXPECT_EQ(io_failure([](RecordReader& r) { r.next(); }, ""), kEof);
}

TEST(record_reader, a_record_beyond_the_longest_accepted_is_refused) {
    const std::string longest(kMaxRecordLength, 'x');
    Input fits(longest + "\n");
    EXPECT_EQ(fits.reader.next(), longest);
    EXPECT_EQ(io_failure([](RecordReader& r) { r.next(); }, longest + "x\n"),
              "record too long, unit 4, file data.txt");
}

TEST(record_reader, a_failing_read_is_a_read_error_not_an_end_of_file) {
    // Reading the process's own memory at address 0 fails with EIO, also for root.
    std::ifstream mem("/proc/self/mem", std::ios::binary);
    if (!mem) GTEST_SKIP() << "no /proc/self/mem";
    RecordReader reader(mem, kInputUnit, "/proc/self/mem");
    try {
        reader.next();
        FAIL();
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "read error, unit 4, file /proc/self/mem");
    }
}

TEST(io_error, control_characters_of_a_name_are_shown_as_hex) {
    EXPECT_STREQ(IoError("invalid file name", 8, std::string("a\0b\r\x7f", 5)).what(),
                 "invalid file name, unit 8, file a\\x00b\\x0D\\x7F");
}

TEST(record_reader, crlf_and_lf_read_alike) {
    const std::string lf = "30\n2000\n\n  100  ave\n0.8\n'a b'\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string& text : {lf, crlf}) {
        Input in(text);
        std::int32_t n = read_fixed_int(in.reader, 7), nconf = 0, nave = 0;
        float x = 0;
        std::string name;
        read_list(in.reader, nconf);
        read_list(in.reader, nave);
        read_list(in.reader, x);
        read_list_name(in.reader, name);
        EXPECT_EQ(n, 30);
        EXPECT_EQ(nconf, 2000);
        EXPECT_EQ(nave, 100);
        EXPECT_EQ(x, 0.8f);
        EXPECT_EQ(name, "a b");
    }
}

}  // namespace
}  // namespace bw
