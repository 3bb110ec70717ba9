#include "driver/records/list_directed.hpp"

#include <algorithm>

#include "driver/records/format.hpp"

namespace bw::rec {

std::vector<std::string> list_directed(std::initializer_list<ListValue> values) {
    return list_directed(std::vector<ListValue>(values));
}

std::vector<std::string> list_directed(const std::vector<ListValue>& values) {
    std::vector<std::string> records;
    std::string current(1, ' ');
    bool after_number = false;
    // True while the current record holds nothing but its leading blank: a
    // value too long for an empty record is written whole rather than
    // producing an endless run of empty records.
    auto fresh = [&] { return current.size() == 1; };
    auto new_record = [&] {
        records.push_back(current);
        current.assign(1, ' ');
    };

    for (const ListValue& v : values) {
        if (v.is_int()) {
            // Twelve columns hold any 32-bit value with a blank before it; a
            // wider value widens its field, keeping that blank, rather than
            // turn into asterisks: nothing written list-directed is lost.
            const auto digits = static_cast<int>(std::to_string(v.int_value()).size());
            const std::string field = I(v.int_value(), std::max(kListIntegerWidth, digits + 1));
            if (current.size() + field.size() > kListRecordLength && !fresh()) new_record();
            current += field;
            after_number = true;
            continue;
        }
        // The room is counted before the separating blank; when the value
        // does not fit, the blank still closes the current record.
        const std::string_view text = v.text();
        const std::size_t room = kListRecordLength - std::min(current.size(), kListRecordLength);
        const bool fits = text.size() <= room || fresh();
        if (after_number) current += ' ';
        if (!fits) new_record();
        current += text;
        after_number = false;
    }
    records.push_back(current);
    return records;
}

}  // namespace bw::rec
