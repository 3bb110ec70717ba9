#pragma once
// Values as bytes, for what must travel or be kept exactly: integers and
// floats as their bit patterns (a float arrives as the very float that was
// formed), texts with their length. Used by the messages between ranks and by
// the checkpoint; the byte order is the machine's, which both ends share.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

class ByteWriter {
public:
    void u8(std::uint8_t v) { raw(&v, sizeof v); }
    void i32(std::int32_t v) { raw(&v, sizeof v); }
    void i64(std::int64_t v) { raw(&v, sizeof v); }
    void u64(std::uint64_t v) { raw(&v, sizeof v); }
    void f32(float v) { raw(&v, sizeof v); }
    void text(std::string_view s);
    void floats(std::span<const float> v);
    void raw(const void* p, std::size_t n);
    std::vector<char> bytes;
};

// What a ByteWriter wrote, read back in the same order. Past the end, or a
// length beyond what is left, throws ByteReader::Truncated: a cut message
// or file can never make it read outside its bytes or allocate beyond them.
class ByteReader {
public:
    struct Truncated : std::runtime_error {
        using std::runtime_error::runtime_error;
    };
    // what: how the bytes are named in the error ("a message", "the checkpoint").
    explicit ByteReader(std::span<const char> bytes, std::string what = "the bytes")
        : bytes_(bytes), what_(std::move(what)) {}
    std::uint8_t u8() { return get<std::uint8_t>(); }
    std::int32_t i32() { return get<std::int32_t>(); }
    std::int64_t i64() { return get<std::int64_t>(); }
    std::uint64_t u64() { return get<std::uint64_t>(); }
    float f32() { return get<float>(); }
    std::string text();
    std::vector<float> floats();
    void raw(void* to, std::size_t n);
    // A count of items of at least `item_bytes` each that must fit in what is left.
    std::size_t count(std::size_t item_bytes);
    bool at_end() const { return pos_ == bytes_.size(); }
    std::size_t position() const { return pos_; }

private:
    template <class T> T get() {
        T v;
        raw(&v, sizeof v);
        return v;
    }
    [[noreturn]] void truncated() const;

    std::span<const char> bytes_;
    std::string what_;
    std::size_t pos_ = 0;
};

}  // namespace bw
