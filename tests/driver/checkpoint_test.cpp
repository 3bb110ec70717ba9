// The checkpoint in this process: its hash, its layout read back bit for bit,
// every cut and every flipped bit refused, the atomic write, when one is due,
// and the reading of a data file continued at a position.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sstream>

#include "driver/checkpoint/checkpoint.hpp"
#include "driver/checkpoint/checkpoint_file.hpp"
#include "driver/checkpoint/checkpointer.hpp"
#include "driver/record_reader.hpp"
#include "driver/record_spool.hpp"
#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

TEST(Sha256, digests_of_the_standard_test_messages) {
    EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // A million 'a', given in pieces that straddle the 64-byte blocks.
    Sha256 h;
    const std::string piece(1000, 'a');
    for (int k = 0; k < 1000; ++k) h.update(piece.data(), piece.size());
    EXPECT_EQ(hex(h.digest()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(h.length(), 1000000u);
}

// A checkpoint with a data set of every kind, values whose bits a printed
// decimal would lose (a NaN, -0, a subnormal) and a record of every route.
Checkpoint sample() {
    Checkpoint c;
    c.owner = {"BEADWALKS test", "lapack x; blas y", 3, "study.dat", 1234, sha256("in"), "study.out", 999, sha256("out")};
    c.input_offset = 321;
    c.reader.ICODE = 3;
    c.reader.N = 20;
    c.reader.RMAX = 7.5f;
    c.reader.ISEED = -2058220428;
    c.written = 2;
    SavedDataSet waiting;
    waiting.rd = c.reader;
    waiting.echo = {{Route::Both, " N=  20"}, {Route::Console, "console"}, {Route::File, "file"}};
    waiting.seed_pending = true;
    SavedDataSet flying;
    flying.rd = c.reader;
    flying.echo_written = true;
    flying.kind = SavedDataSet::Kind::InFlight;
    flying.console = {" ***** Subsample 2  ******", ""};
    flying.state.sampler = {-7, 2, 3, 4, 5, {1.0f, -0.0f}, {std::numeric_limits<float>::denorm_min(), 2.0f},
                            {std::nanf(""), 3.0f}, {0.5f, 0.25f, 0.125f, 1e30f}};
    flying.state.sampler.NPREJ = 6;
    flying.rd.NPIVOT = 3;
    flying.state.PSUB = {1.5f, 2.5f};
    SavedDataSet finished;
    finished.rd = c.reader;
    finished.kind = SavedDataSet::Kind::Finished;
    finished.result = {123456789012LL, {{1.0f, 0.1f}, {std::numeric_limits<float>::infinity(), 0.0f}}};
    finished.result.NPREJ = 98765432109LL;
    finished.final_ISEED = 42;
    c.data_sets = {waiting, flying, finished};
    return c;
}

std::vector<std::uint32_t> bits(const std::vector<float>& v) {
    std::vector<std::uint32_t> b;
    for (const float f : v) {
        std::uint32_t u;
        std::memcpy(&u, &f, sizeof u);
        b.push_back(u);
    }
    return b;
}

TEST(CheckpointLayout, what_is_written_is_read_back_bit_for_bit) {
    const Checkpoint c = sample();
    const Checkpoint d = decode_checkpoint(encode_checkpoint(c));
    EXPECT_EQ(d.owner.build, c.owner.build);
    EXPECT_EQ(d.owner.lapack, c.owner.lapack);
    EXPECT_EQ(d.owner.input_digest, c.owner.input_digest);
    EXPECT_EQ(d.owner.output_length, 999u);
    EXPECT_EQ(d.input_offset, 321u);
    EXPECT_EQ(d.reader.ISEED, -2058220428);
    EXPECT_EQ(d.reader.RMAX, 7.5f);
    EXPECT_EQ(d.written, 2u);
    ASSERT_EQ(d.data_sets.size(), 3u);
    EXPECT_EQ(d.data_sets[0].echo, c.data_sets[0].echo);
    EXPECT_TRUE(d.data_sets[0].seed_pending);
    EXPECT_EQ(d.data_sets[0].kind, SavedDataSet::Kind::Waiting);
    const SavedDataSet& f = d.data_sets[1];
    EXPECT_TRUE(f.echo_written);
    EXPECT_EQ(f.console, c.data_sets[1].console);
    EXPECT_EQ(f.state.sampler.ISEED, -7);
    EXPECT_EQ(f.state.sampler.sweep, 4);
    EXPECT_EQ(f.state.sampler.NREJ, 5);
    EXPECT_EQ(f.state.sampler.NPREJ, 6);
    EXPECT_EQ(f.rd.NPIVOT, 3);
    EXPECT_EQ(bits(f.state.sampler.X), bits(c.data_sets[1].state.sampler.X));
    EXPECT_EQ(bits(f.state.sampler.Y), bits(c.data_sets[1].state.sampler.Y));
    EXPECT_EQ(bits(f.state.sampler.Z), bits(c.data_sets[1].state.sampler.Z));
    EXPECT_EQ(bits(f.state.sampler.EPAIR), bits(c.data_sets[1].state.sampler.EPAIR));
    EXPECT_EQ(f.state.PSUB, c.data_sets[1].state.PSUB);
    EXPECT_EQ(d.data_sets[2].result.NREJ, 123456789012LL);
    EXPECT_EQ(d.data_sets[2].result.NPREJ, 98765432109LL);
    EXPECT_EQ(d.data_sets[2].result.PSTAT, c.data_sets[2].result.PSTAT);
    EXPECT_EQ(d.data_sets[2].final_ISEED, 42);
}

TEST(CheckpointLayout, every_cut_and_every_flipped_bit_is_refused) {
    const std::vector<char> bytes = encode_checkpoint(sample());
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_THROW(decode_checkpoint(std::span<const char>(bytes.data(), n)), CheckpointRefused) << n << " bytes";
    std::vector<char> flipped = bytes;
    for (std::size_t bit = 0; bit < 8 * bytes.size(); ++bit) {
        flipped[bit / 8] ^= static_cast<char>(1 << (bit % 8));
        EXPECT_THROW(decode_checkpoint(flipped), CheckpointRefused) << "bit " << bit;
        flipped[bit / 8] = bytes[bit / 8];
    }
    std::vector<char> longer = bytes;
    longer.push_back('\n');
    EXPECT_THROW(decode_checkpoint(longer), CheckpointRefused);
    EXPECT_THROW(decode_checkpoint(std::vector<char>(4096, '\0')), CheckpointRefused);
}

// A layout that passes the checksum but not the parser: the file of a
// program that hashed its bytes the same way, or a newer format.
TEST(CheckpointLayout, a_whole_file_of_another_layout_is_refused_with_its_reason) {
    auto sealed = [](std::string body) {
        const Digest d = sha256(body);
        body.append(reinterpret_cast<const char*>(d.data()), d.size());
        return std::vector<char>(body.begin(), body.end());
    };
    EXPECT_THROW(decode_checkpoint(sealed("another program's bytes\n")), CheckpointRefused);
    // The format after this one.
    const std::uint32_t next = kCheckpointVersion + 1;
    std::string v2 = "BEADWALKS checkpoint\n";
    v2.push_back(static_cast<char>(next));
    v2.append("\0\0\0\0\0\0\0", 7);
    try {
        decode_checkpoint(sealed(v2));
        FAIL() << "format " << next << " was read";
    } catch (const CheckpointRefused& e) {
        EXPECT_NE(std::string(e.what()).find("format " + std::to_string(next)), std::string::npos) << e.what();
    }
    std::string huge_count = v2;
    huge_count[21] = static_cast<char>(kCheckpointVersion);
    huge_count.append(std::string(8, '\xff'));  // a text length of 2^64 - 1
    EXPECT_THROW(decode_checkpoint(sealed(huge_count)), CheckpointRefused);
}

TEST(CheckpointFile, written_whole_or_not_at_all) {
    test::TempDir dir;
    const std::string path = dir / "run.out.ckpt";
    const std::vector<char> first(1000, 'a'), second(3000, 'b');
    write_checkpoint_file(path, first, nullptr);
    write_checkpoint_file(path, second, nullptr);
    EXPECT_EQ(*read_checkpoint_file(path), second);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    // A temporary name that cannot be created leaves the old one as it was.
    std::filesystem::create_directory(path + ".tmp");
    EXPECT_THROW(write_checkpoint_file(path, first, nullptr), CheckpointFileError);
    EXPECT_EQ(*read_checkpoint_file(path), second);
    std::filesystem::remove(path + ".tmp");
    remove_checkpoint_file(path);
    EXPECT_FALSE(read_checkpoint_file(path).has_value());
    remove_checkpoint_file(path);  // none: quiet
    EXPECT_THROW(read_checkpoint_file(dir.path()), CheckpointFileError);  // a folder
}

TEST(Checkpointer, due_every_interval_and_after_a_data_set_unless_too_soon_for_its_cost) {
    CapturingSink console;
    Checkpointer c("unused", {}, console, [] {}, "", nullptr, std::chrono::milliseconds(30000));
    const auto t0 = Checkpointer::Clock::now();
    c.start(t0);
    EXPECT_FALSE(c.due(t0 + std::chrono::seconds(29), false));
    EXPECT_TRUE(c.due(t0 + std::chrono::seconds(30), false));
    EXPECT_TRUE(c.due(t0, true));  // no checkpoint yet: it costs nothing so far
    // One that could not be written says so once, and the run goes on.
    Checkpointer none("x.ckpt", {}, console, [] {}, "cannot be written (the input data file is not a regular file)");
    EXPECT_FALSE(none.save({}, 0, {}, t0));
    EXPECT_FALSE(none.save({}, 0, {}, t0));
    ASSERT_EQ(console.records.size(), 1u);
    EXPECT_EQ(console.records[0],
              " Checkpoint x.ckpt cannot be written (the input data file is not a regular file); the run goes on "
              "without one");
}

TEST(CheckpointReading, a_data_file_read_on_from_a_position_gives_the_records_that_follow) {
    const std::string text = "\xEF\xBB\xBF" "12\r\n7\n\n  3.5 D0 comment\nlast";
    std::istringstream whole(text);
    RecordReader r(whole, 4, "f");
    EXPECT_EQ(r.next(), "12");
    EXPECT_EQ(r.position(), 7u);  // the byte-order mark counts as bytes of the file
    EXPECT_EQ(r.next(), "7");
    const std::uint64_t at = r.position();
    const std::string rest1 = r.next(), rest2 = r.next(), rest3 = r.next();
    std::istringstream again(text);
    RecordReader s(again, 4, "f");
    s.seek(at);
    EXPECT_EQ(s.next(), rest1);
    EXPECT_EQ(s.next(), rest2);
    EXPECT_EQ(s.next(), rest3);
    EXPECT_EQ(s.position(), text.size());
}

TEST(CheckpointReading, the_waiting_records_are_copied_in_order_also_past_the_memory_bound) {
    RecordSpool spool(10);
    for (int k = 0; k < 8; ++k) spool.add("record " + std::to_string(k));
    ASSERT_TRUE(spool.spilled());
    std::vector<std::string> first5, all;
    spool.copy(first5, 5);
    spool.copy(all, 100);
    ASSERT_EQ(first5.size(), 5u);
    ASSERT_EQ(all.size(), 8u);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(all[k], "record " + std::to_string(k));
    std::vector<std::string> taken;
    spool.take(taken);
    EXPECT_EQ(taken, all);  // copying took nothing
}

}  // namespace
}  // namespace bw
