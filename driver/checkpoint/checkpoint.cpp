#include "driver/checkpoint/checkpoint.hpp"

#include <string_view>

#include "driver/bytes.hpp"
#include "driver/state_codec.hpp"

namespace bw {
namespace {

constexpr std::string_view kMagic = "BEADWALKS checkpoint\n";

void put_digest(ByteWriter& w, const Digest& d) { w.raw(d.data(), d.size()); }
Digest get_digest(ByteReader& r) {
    Digest d;
    r.raw(d.data(), d.size());
    return d;
}

void put_owner(ByteWriter& w, const CheckpointOwner& o) {
    w.text(o.build);
    w.text(o.lapack);
    w.i32(o.ICODE);
    w.text(o.input_name);
    w.u64(o.input_size);
    put_digest(w, o.input_digest);
    w.text(o.output_name);
    w.u64(o.output_length);
    put_digest(w, o.output_digest);
}

CheckpointOwner get_owner(ByteReader& r) {
    CheckpointOwner o;
    o.build = r.text();
    o.lapack = r.text();
    o.ICODE = r.i32();
    o.input_name = r.text();
    o.input_size = r.u64();
    o.input_digest = get_digest(r);
    o.output_name = r.text();
    o.output_length = r.u64();
    o.output_digest = get_digest(r);
    return o;
}

void put_texts(ByteWriter& w, const std::vector<std::string>& texts) {
    w.u64(texts.size());
    for (const std::string& t : texts) w.text(t);
}

std::vector<std::string> get_texts(ByteReader& r) {
    std::vector<std::string> texts(r.count(sizeof(std::int64_t)));
    for (std::string& t : texts) t = r.text();
    return texts;
}

void put_data_set(ByteWriter& w, const SavedDataSet& d) {
    put_run_data(w, d.rd);
    w.u8(d.echo_written);
    w.u64(d.echo.size());
    for (const RoutedRecord& r : d.echo) {
        w.u8(static_cast<std::uint8_t>(r.route));
        w.text(r.text);
    }
    w.u8(d.seed_pending);
    put_texts(w, d.console);
    w.u8(static_cast<std::uint8_t>(d.kind));
    if (d.kind == SavedDataSet::Kind::InFlight) put_state(w, d.state);
    if (d.kind == SavedDataSet::Kind::Finished) {
        put_result(w, d.result);
        w.i32(d.final_ISEED);
    }
}

bool get_flag(ByteReader& r) {
    const std::uint8_t v = r.u8();
    if (v > 1) throw CheckpointRefused("a flag that is neither 0 nor 1");
    return v == 1;
}

SavedDataSet get_data_set(ByteReader& r) {
    SavedDataSet d;
    d.rd = get_run_data(r);
    d.echo_written = get_flag(r);
    d.echo.resize(r.count(1 + sizeof(std::int64_t)));
    for (RoutedRecord& rec : d.echo) {
        const std::uint8_t route = r.u8();
        if (route > static_cast<std::uint8_t>(Route::File)) throw CheckpointRefused("a record of no known route");
        rec.route = static_cast<Route>(route);
        rec.text = r.text();
    }
    d.seed_pending = get_flag(r);
    d.console = get_texts(r);
    const std::uint8_t kind = r.u8();
    if (kind > static_cast<std::uint8_t>(SavedDataSet::Kind::Finished)) throw CheckpointRefused("a data set of no known kind");
    d.kind = static_cast<SavedDataSet::Kind>(kind);
    if (d.kind == SavedDataSet::Kind::InFlight) d.state = get_state(r);
    if (d.kind == SavedDataSet::Kind::Finished) {
        d.result = get_result(r);
        d.final_ISEED = r.i32();
    }
    return d;
}

}  // namespace

std::vector<char> encode_checkpoint(const Checkpoint& c) {
    ByteWriter w;
    w.raw(kMagic.data(), kMagic.size());
    w.u64(kCheckpointVersion);
    put_owner(w, c.owner);
    w.u64(c.input_offset);
    put_run_data(w, c.reader);
    w.u64(c.written);
    w.u64(c.data_sets.size());
    for (const SavedDataSet& d : c.data_sets) put_data_set(w, d);
    const Digest sum = sha256(std::string_view(w.bytes.data(), w.bytes.size()));
    w.raw(sum.data(), sum.size());
    return std::move(w.bytes);
}

Checkpoint decode_checkpoint(std::span<const char> bytes) {
    Digest stored;
    if (bytes.size() < kMagic.size() + stored.size()) throw CheckpointRefused("too short to be a checkpoint");
    const std::span<const char> body = bytes.first(bytes.size() - stored.size());
    std::copy(bytes.end() - static_cast<std::ptrdiff_t>(stored.size()), bytes.end(),
              reinterpret_cast<char*>(stored.data()));
    if (sha256(std::string_view(body.data(), body.size())) != stored)
        throw CheckpointRefused("its checksum does not match (cut, damaged or not a checkpoint)");
    if (std::string_view(body.data(), kMagic.size()) != kMagic) throw CheckpointRefused("not a checkpoint of BEADWALKS");
    ByteReader r(body.subspan(kMagic.size()), "the checkpoint");
    try {
        const std::uint64_t version = r.u64();
        if (version != kCheckpointVersion)
            throw CheckpointRefused("written in format " + std::to_string(version) + ", this program reads format " +
                                    std::to_string(kCheckpointVersion));
        Checkpoint c;
        c.owner = get_owner(r);
        c.input_offset = r.u64();
        c.reader = get_run_data(r);
        c.written = r.u64();
        c.data_sets.resize(r.count(1));
        for (SavedDataSet& d : c.data_sets) d = get_data_set(r);
        if (!r.at_end()) throw CheckpointRefused("bytes after its end");
        return c;
    } catch (const ByteReader::Truncated&) {
        throw CheckpointRefused("its layout does not parse");
    }
}

}  // namespace bw
