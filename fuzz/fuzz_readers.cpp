// The readers of the data file and the console: the bead-count field, the
// list-directed integer, real and file-name reads, in an order chosen by the
// first byte, over the rest of the input as a file. Each read either yields a
// value or fails with IoError; nothing else may happen, and what is read must
// agree with the text it came from.
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "driver/io_error.hpp"
#include "driver/record_reader.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

using bw::fuzz::Bytes;

// The canonical decimal form of an integer constant: no "+", no leading zeros.
std::string canonical_int(const std::string& text) {
    std::size_t pos = 0;
    std::string sign;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        if (text[0] == '-') sign = "-";
        pos = 1;
    }
    while (pos + 1 < text.size() && text[pos] == '0') ++pos;
    const std::string digits = text.substr(pos);
    return digits == "0" ? "0" : sign + digits;
}

void check_syntax_alone(const std::string& text) {
    std::int32_t i = 0;
    if (bw::parse_int32(text, i)) FUZZ_CHECK(std::to_string(i) == canonical_int(text), "integer read back");
    float x = 0.0f;
    if (bw::parse_real(text, x)) FUZZ_CHECK(std::isfinite(x), "a real read is finite");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const auto program = in.take<std::uint8_t>();
    const std::string text = in.rest();
    check_syntax_alone(text.substr(0, 64));

    std::istringstream stream(text);
    bw::RecordReader reader(stream, bw::kInputUnit, "fuzz.dat");
    try {
        for (int k = 0;; k = (k + 1) % 4) {
            switch ((program >> (2 * k)) & 3) {
            case 0: {
                const std::int32_t n = bw::read_fixed_int(reader, 7);
                FUZZ_CHECK(n >= -999999 && n <= 9999999, "a 7-column field holds at most 7 characters");
                break;
            }
            case 1: {
                std::int32_t v = 0;
                bw::read_list(reader, v);
                break;
            }
            case 2: {
                float v = 0.0f;
                bw::read_list(reader, v);
                FUZZ_CHECK(std::isfinite(v), "a real item is finite");
                break;
            }
            default: {
                std::string name;
                bw::read_list_name(reader, name);
                FUZZ_CHECK(name.find('\n') == std::string::npos, "a name stays on its record");
                FUZZ_CHECK(name.empty() || (name.back() != ' ' && name.back() != '\t'),
                           "trailing blanks are not part of a name");
                break;
            }
            }
        }
    } catch (const bw::IoError&) {
        // The only way a read may fail; the end of the input always ends here.
    }
    return 0;
}
