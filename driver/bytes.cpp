#include "driver/bytes.hpp"

#include <cstring>

namespace bw {

void ByteWriter::raw(const void* p, std::size_t n) {
    const auto* c = static_cast<const char*>(p);
    bytes.insert(bytes.end(), c, c + n);
}

void ByteWriter::text(std::string_view s) {
    i64(static_cast<std::int64_t>(s.size()));
    raw(s.data(), s.size());
}

void ByteWriter::floats(std::span<const float> v) {
    u64(v.size());
    raw(v.data(), v.size_bytes());
}

void ByteReader::truncated() const { throw Truncated(what_ + " ended too soon"); }

void ByteReader::raw(void* to, std::size_t n) {
    if (bytes_.size() - pos_ < n) truncated();
    std::memcpy(to, bytes_.data() + pos_, n);
    pos_ += n;
}

std::size_t ByteReader::count(std::size_t item_bytes) {
    const std::uint64_t n = u64();
    if (item_bytes == 0 || n > (bytes_.size() - pos_) / item_bytes) truncated();
    return static_cast<std::size_t>(n);
}

std::string ByteReader::text() {
    const std::int64_t n = i64();
    if (n < 0 || static_cast<std::uint64_t>(n) > bytes_.size() - pos_) truncated();
    std::string s(bytes_.data() + pos_, static_cast<std::size_t>(n));
    pos_ += static_cast<std::size_t>(n);
    return s;
}

std::vector<float> ByteReader::floats() {
    std::vector<float> v(count(sizeof(float)));
    raw(v.data(), v.size() * sizeof(float));
    return v;
}

}  // namespace bw
