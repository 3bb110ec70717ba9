#pragma once
// List-directed records: the layout a list of integer and character values
// takes without a format. A record begins with one blank; an integer takes 12
// columns, right-justified; a character value is copied as it is, preceded by
// one blank when it follows a number. A record holds at most 80 characters: a
// value that does not fit in the room left starts a new record. (A 64-bit
// integer too wide for 12 columns widens its field, one blank before it.)
//
//   list_directed({"N=", 150, " is not valid."})
//     -> {" N=         150  is not valid."}
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace bw::rec {

inline constexpr std::size_t kListRecordLength = 80;
inline constexpr int kListIntegerWidth = 12;

// One value of a list: an integer or a character value.
class ListValue {
public:
    ListValue(std::int64_t v) : is_int_(true), int_(v) {}
    ListValue(std::int32_t v) : is_int_(true), int_(v) {}
    ListValue(std::string_view s) : text_(s) {}
    ListValue(const char* s) : text_(s) {}
    ListValue(const std::string& s) : text_(s) {}

    bool is_int() const { return is_int_; }
    std::int64_t int_value() const { return int_; }
    std::string_view text() const { return text_; }

private:
    bool is_int_ = false;
    std::int64_t int_ = 0;
    std::string_view text_;
};

// The records of one list-directed write of `values`, in order.
std::vector<std::string> list_directed(std::initializer_list<ListValue> values);
std::vector<std::string> list_directed(const std::vector<ListValue>& values);

}  // namespace bw::rec
