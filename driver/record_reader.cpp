#include "driver/record_reader.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>
#include <streambuf>
#include <string_view>

#include "driver/io_error.hpp"

namespace bw {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Position of the first character at or after `pos` that is in `stops`.
std::size_t find_stop(const std::string& line, std::size_t pos, const char* stops) {
    const std::size_t end = line.find_first_of(stops, pos);
    return end == std::string::npos ? line.size() : end;
}

// Skips empty records and leading blanks. Returns the record and the
// position of the first character of the value, or nothing when one of
// `null_marks` (a comma, and a slash unless it may begin a value) comes
// before any value: the item then keeps its value.
std::optional<std::pair<std::string, std::size_t>> start_of_value(RecordReader& in,
                                                                  const char* null_marks = ",/") {
    for (;;) {
        std::string line = in.next();
        std::size_t pos = 0;
        while (pos < line.size() && is_blank(line[pos])) ++pos;
        if (pos == line.size()) continue;
        if (std::string_view(null_marks).find(line[pos]) != std::string_view::npos) return std::nullopt;
        return std::make_pair(std::move(line), pos);
    }
}

// The unquoted numeric value that starts at `pos`.
std::string numeric_token(const std::string& line, std::size_t pos) {
    return line.substr(pos, find_stop(line, pos, " \t,/") - pos);
}

std::string trim_trailing_blanks(std::string s) {
    std::size_t end = s.size();
    while (end > 0 && is_blank(s[end - 1])) --end;
    s.resize(end);
    return s;
}

}  // namespace

RecordReader::RecordReader(std::istream& in, int unit, std::string file)
    : in_(in), unit_(unit), file_(std::move(file)) {}

std::string RecordReader::next() {
    std::string line;
    bool terminated = false;
    std::streambuf* buf = in_.rdbuf();
    try {
        for (int c = buf->sbumpc(); c != std::char_traits<char>::eof(); c = buf->sbumpc()) {
            ++position_;
            if (c == '\n') {
                terminated = true;
                break;
            }
            if (line.size() == kMaxRecordLength) throw IoError("record too long", unit_, file_);
            line.push_back(static_cast<char>(c));
        }
    } catch (const IoError&) {
        throw;
    } catch (const std::exception&) {
        // The file stream reports a failed read(2) (EIO, EISDIR) by throwing.
        in_.setstate(std::ios::badbit);
        throw IoError("read error", unit_, file_);
    }
    if (!terminated) {
        in_.setstate(std::ios::eofbit);
        // The last line may lack its line end; nothing at all is the end.
        if (line.empty()) throw IoError("end-of-file during read", unit_, file_);
    }
    // A file written with Windows line ends reads like the same file with "\n".
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Some editors begin a UTF-8 file with a byte-order mark; it is not data.
    if (first_record_ && line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
    first_record_ = false;
    return line;
}

void RecordReader::seek(std::uint64_t position) {
    in_.clear();
    const auto at = in_.rdbuf()->pubseekpos(static_cast<std::streamoff>(position), std::ios::in);
    if (at == std::streampos(std::streamoff(-1))) throw IoError("read error", unit_, file_);
    position_ = position;
    first_record_ = false;
}

void RecordReader::conversion_error() const { throw IoError("input conversion error", unit_, file_); }

bool parse_int32(const std::string& text, std::int32_t& value) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    if (pos == text.size()) return false;
    // Accumulate the magnitude in 64 bits and stop as soon as it leaves the
    // 32-bit range, so that any number of digits is safe.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        if (!is_digit(text[pos])) return false;
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > limit) return false;
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

bool parse_real(const std::string& text, float& value) {
    // [sign] (digits [. [digits]] | . digits) [(E|D) [sign] digits]
    std::string normal;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) normal += text[pos++];
    std::size_t mantissa_digits = 0;
    while (pos < text.size() && is_digit(text[pos])) { normal += text[pos++]; ++mantissa_digits; }
    if (pos < text.size() && text[pos] == '.') {
        normal += text[pos++];
        while (pos < text.size() && is_digit(text[pos])) { normal += text[pos++]; ++mantissa_digits; }
    }
    if (mantissa_digits == 0) return false;
    if (pos < text.size()) {
        const char letter = text[pos];
        if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd') return false;
        normal += 'e';
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) normal += text[pos++];
        std::size_t exponent_digits = 0;
        while (pos < text.size() && is_digit(text[pos])) { normal += text[pos++]; ++exponent_digits; }
        if (exponent_digits == 0 || pos != text.size()) return false;
    }
    // strtof rounds the decimal value correctly to single precision; a value
    // beyond the float range is refused, one that underflows reads as the
    // nearest subnormal or zero.
    const float v = std::strtof(normal.c_str(), nullptr);
    if (std::isinf(v)) return false;
    value = v;
    return true;
}

std::int32_t read_fixed_int(RecordReader& in, int width) {
    const std::string line = in.next();
    std::string field;
    for (std::size_t k = 0; k < line.size() && k < static_cast<std::size_t>(width); ++k)
        if (!is_blank(line[k])) field += line[k];
    if (field.empty()) return 0;
    std::int32_t value = 0;
    if (!parse_int32(field, value)) in.conversion_error();
    return value;
}

void read_list(RecordReader& in, std::int32_t& item) { read_list_given(in, item); }

bool read_list_given(RecordReader& in, std::int32_t& item) {
    const auto start = start_of_value(in);
    if (!start) return false;
    std::int32_t value = 0;
    if (!parse_int32(numeric_token(start->first, start->second), value)) in.conversion_error();
    item = value;
    return true;
}

void read_list(RecordReader& in, float& item) {
    const auto start = start_of_value(in);
    if (!start) return;
    float value = 0.0f;
    if (!parse_real(numeric_token(start->first, start->second), value)) in.conversion_error();
    item = value;
}

void read_list_name(RecordReader& in, std::string& item) {
    // A slash may begin an absolute path.
    const auto start = start_of_value(in, ",");
    if (!start) return;
    const std::string& line = start->first;
    std::size_t pos = start->second;
    const char quote = line[pos];
    if (quote != '\'' && quote != '"') {
        item = line.substr(pos, find_stop(line, pos, " \t,") - pos);
        return;
    }
    // Quoted: up to the closing quote (or the end of the record), a doubled
    // quote standing for one quote character.
    std::string name;
    for (++pos; pos < line.size(); ++pos) {
        if (line[pos] == quote) {
            if (pos + 1 < line.size() && line[pos + 1] == quote) {
                name += quote;
                ++pos;
                continue;
            }
            break;
        }
        name += line[pos];
    }
    item = trim_trailing_blanks(name);
}

}  // namespace bw
