#pragma once
// Reading one input unit record by record, with the two reading rules of the
// program: a fixed integer field in the first columns of a record (the bead
// count) and list-directed reading of one value per read (everything else,
// console answers included). Every read starts on a new record; whatever
// follows the value on its record is ignored.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

namespace bw {

// Longest record accepted. Lines of hand-written data are short; the bound
// keeps a file without line ends (a device such as /dev/zero, a binary file)
// from filling the memory before anything can be said about it.
inline constexpr std::size_t kMaxRecordLength = std::size_t{1} << 20;

class RecordReader {
public:
    RecordReader(std::istream& in, int unit, std::string file);

    // The next record without its line terminator ("\n" or "\r\n"); a UTF-8
    // byte-order mark before the first record is dropped. Throws IoError
    // "end-of-file during read" when there is no record, "read error" when
    // the system cannot read the file, "record too long" beyond
    // kMaxRecordLength characters.
    std::string next();

    // Bytes of the unit taken so far: where the next record begins.
    std::uint64_t position() const { return position_; }
    // Goes on reading at `position` (a value position() gave for the same
    // bytes, after the first record): the run continued from a checkpoint.
    // Throws IoError "read error" when the unit cannot be positioned.
    void seek(std::uint64_t position);

    [[noreturn]] void conversion_error() const;
    int unit() const { return unit_; }
    const std::string& file() const { return file_; }

private:
    std::istream& in_;
    int unit_;
    std::string file_;
    bool first_record_ = true;
    std::uint64_t position_ = 0;
};

// Integer field of columns 1..width: blanks (and tabs) anywhere in the field
// are ignored, an all-blank field is 0, an optional sign then digits;
// anything else in the field is a conversion error.
std::int32_t read_fixed_int(RecordReader& in, int width);

// List-directed reads of one item. Empty records are skipped; a value ends at
// a blank, tab, comma, slash or the end of the record. A comma or slash met
// before any value ends the read and leaves `item` unchanged.
void read_list(RecordReader& in, std::int32_t& item);
// The same, true when a value was read (false: `item` kept its value).
bool read_list_given(RecordReader& in, std::int32_t& item);
// Reals: optional sign, digits with an optional decimal point, optional
// exponent with letter E or D ("2", "0.5", "1.5E-2", "1.5D-2").
void read_list(RecordReader& in, float& item);
// A file name: quoted with apostrophes or quotation marks (a doubled quote
// stands for one), or unquoted, when it ends at a blank or comma but not at a
// slash, so that a path ("/tmp/run.out" too) can be typed as it is; only a
// comma before the name leaves it unchanged. Trailing blanks are dropped; the
// name is never cut.
void read_list_name(RecordReader& in, std::string& item);

// Syntax of the values alone (exposed for tests): true and the value when
// `text` is a whole integer / real constant.
bool parse_int32(const std::string& text, std::int32_t& value);
bool parse_real(const std::string& text, float& value);

}  // namespace bw
