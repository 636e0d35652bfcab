// ZLib: round trips, agreement with other zlib users, damaged input and the file-section form.
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/Compress.h"
#include "io/MemoryOutputStream.h"
#include "Bytes.h"

#include <gtest/gtest.h>

#include <random>

namespace mcb {

namespace {

template <size_t N>
Bytes raw(const char (&s)[N]) { return bytesOf(std::string(s, N - 1)); }

// Deterministic data that compresses well (words) or not at all (noise).
Bytes sample(TInt32 size, bool words) {
    std::mt19937 rng(words ? 7 : 11);
    Bytes v;
    while (v.getSize() < size) v.append(words ? TUint8("abcd \n"[rng() % 6]) : TUint8(rng()));
    return v;
}

Bytes compressed(const Bytes& data, int level = -1) {
    Bytes out;
    EXPECT_TRUE(ZLib::compress(data, out, level));
    return out;
}

// The fox sentence three times at level 9, and "hello" as one stored block, both made by
// Python's zlib module; "hello world hello" against the preset dictionary "hello world".
const std::string kFox = "The quick brown fox jumps over the lazy dog. The quick brown fox jumps over the "
                         "lazy dog. The quick brown fox jumps over the lazy dog. ";
const Bytes kForeignFox = raw(
    "\x78\xda\x0b\xc9\x48\x55\x28\x2c\xcd\x4c\xce\x56\x48\x2a\xca\x2f\xcf\x53\x48\xcb\xaf\x50\xc8\x2a\xcd\x2d"
    "\x28\x56\xc8\x2f\x4b\x2d\x52\x28\x01\x4a\xe7\x24\x56\x55\x2a\xa4\xe4\xa7\xeb\x29\x84\xd0\x4c\x31\x00\xf9"
    "\x3c\x30\x76");
const Bytes kForeignStored = raw("\x78\x01\x01\x05\x00\xfa\xff" "hello\x06\x2c\x02\x15");
const Bytes kForeignWithDictionary = raw("\x78\xbb\x1a\x0b\x04\x5d\xcb\x40\x30\x15\xc0\x6c\x00\x3b\x20\x06\x91");

// Inflates `packed`, stored between "head" and "tail" in one in-memory file, into `target` from
// the writer's position `at`.
bool unpack(const Bytes& packed, Bytes& target, TInt32 length, int block, TInt32 at = 0) {
    Bytes file = bytesOf("head");
    for (TUint8 b : packed) file.append(b);
    for (TUint8 b : bytesOf("tail")) file.append(b);
    CAppsFileReader reader(file.data(), TUint32(file.getSize()));
    reader.seek(4);
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(target));
    if (at) writer.seek(at);
    return ZLib::unCompress(reader, writer, length, block);
}

}  // namespace

TEST(ZLib, EmptyInputAndUnknownLevels) {
    const Bytes empty, data = bytesOf("data");
    for (auto [input, level, ok] : {std::tuple{&empty, 9, true}, {&data, 10, false}, {&data, -2, false}}) {
        Bytes out = bytesOf("stale");
        EXPECT_EQ(ZLib::compress(*input, out, level), ok) << level;
        EXPECT_EQ(out.getSize(), 0) << level;
    }
    Bytes out = bytesOf("stale");
    EXPECT_TRUE(ZLib::unCompress(empty, out));
    EXPECT_EQ(out.getSize(), 0);
}

TEST(ZLib, RoundTripsAtTheLevelEdgesAroundChunkBoundariesAndInPlace) {
    std::vector<std::pair<Bytes, int>> cases = {{bytesOf("x"), -1}, {sample(5000, true), 0}, {sample(5000, true), 9}};
    // Noise at level 0 gives output of about the input's size: these put its end on and next to chunk edges.
    for (TInt32 size : {2037, 2038, 4096, 4097})
        cases.insert(cases.end(), {{sample(size, false), 0}, {sample(size, true), 9}});
    Bytes big = sample(3 << 20, true);  // many passes
    for (TUint8 b : sample(1 << 20, false)) big.append(b);
    cases.push_back({big, -1});
    for (const auto& [data, level] : cases) {
        SCOPED_TRACE(testing::Message() << "size " << data.getSize() << " level " << level);
        Bytes packed, unpacked;
        ASSERT_TRUE(ZLib::compress(data, packed, level));
        ASSERT_TRUE(ZLib::unCompress(packed, unpacked));
        EXPECT_TRUE(unpacked == data);
    }
    const Bytes original = sample(10000, true);
    Bytes v = original;
    ASSERT_TRUE(ZLib::compress(v, v, 6));
    EXPECT_LT(v.getSize(), original.getSize());
    ASSERT_TRUE(ZLib::unCompress(v, v));
    EXPECT_TRUE(v == original);
}

TEST(ZLib, AgreesWithAnotherZlibUser) {
    const Bytes packed = compressed(bytesOf(kFox), 9);
    ASSERT_GE(packed.getSize(), 6);
    EXPECT_EQ(packed[0], 0x78);  // deflate, 32 KiB window
    EXPECT_EQ((packed[0] * 256 + packed[1]) % 31, 0);
    for (TInt32 i = 1; i <= 4; ++i)  // the Adler-32 checksum
        EXPECT_EQ(packed[packed.getSize() - i], kForeignFox[kForeignFox.getSize() - i]);
    Bytes out;
    ASSERT_TRUE(ZLib::unCompress(kForeignFox, out));
    EXPECT_EQ(text(out), kFox);
    Bytes trailing = kForeignStored;
    for (TUint8 b : bytesOf("junk")) trailing.append(b);  // ignored after the stream
    ASSERT_TRUE(ZLib::unCompress(trailing, out));
    EXPECT_EQ(text(out), "hello");
}

TEST(ZLib, DamagedInputFailsAndLeavesNothing) {
    std::vector<Bytes> damaged = {bytesOf("plain text is no stream"), kForeignWithDictionary,
                                  raw("\x1f\x8b\x08\0\0\0\0\0\0\x03\x03\0")};  // gzip
    for (int i : {0, 1, 54}) {  // not deflate, header check not a multiple of 31, checksum
        damaged.push_back(kForeignFox);
        damaged.back()[i] ^= i == 54 ? 0x40 : 0x01;
    }
    Bytes unwrapped;  // deflate data without the zlib wrapping
    for (TInt32 i = 2; i < kForeignFox.getSize() - 4; ++i) unwrapped.append(kForeignFox[i]);
    damaged.push_back(unwrapped);
    for (const Bytes& whole : {kForeignFox, kForeignStored, compressed(sample(2300, false), 0)})
        for (TInt32 cut = 1; cut < whole.getSize(); ++cut) {  // every truncation fails instead of looping
            damaged.push_back(Bytes());
            for (TInt32 i = 0; i < cut; ++i) damaged.back().append(whole[i]);
        }
    std::mt19937 rng(3);
    const Bytes good = compressed(sample(6000, true), 6);
    for (int round = 0; round < 1000; ++round) {  // flipped bits: a failure or not, but never a crash
        Bytes bad = good;
        for (int flips = 1 + rng() % 4; flips > 0; --flips)
            bad[TInt32(rng() % bad.getSize())] ^= TUint8(1u << (rng() % 8));
        Bytes out;
        EXPECT_TRUE(ZLib::unCompress(bad, out) || out.getSize() == 0);
    }
    for (size_t i = 0; i < damaged.size(); ++i) {
        Bytes out = bytesOf("stale");
        EXPECT_FALSE(ZLib::unCompress(damaged[i], out)) << i;
        EXPECT_EQ(out.getSize(), 0) << i;
    }
}

TEST(ZLibFileSection, InflatesWithAnyBlockSizeAndFailsOnBadArgumentsClosedSidesBadSectionsOrWrites) {
    const Bytes data = sample(50000, true), packed = compressed(data);
    for (int block : {1, 7, 65536, 1 << 30}) {
        Bytes target;
        ASSERT_TRUE(unpack(packed, target, packed.getSize(), block)) << "block " << block;
        EXPECT_TRUE(target == data) << "block " << block;
    }
    Bytes target = bytesOf("kept:");
    const TInt32 stored = kForeignStored.getSize();
    ASSERT_TRUE(unpack(kForeignStored, target, stored, 3, 5));
    EXPECT_EQ(text(target), "kept:hello");
    target = Bytes();
    EXPECT_TRUE(unpack(kForeignStored, target, 0, 16));  // zero length: nothing written
    for (auto [length, block] : {std::pair{-1, 16}, {stored, 0}, {stored, -5}, {stored + 5, 16}})  // 5: past "tail"
        EXPECT_FALSE(unpack(kForeignStored, target, length, block)) << length << " " << block;
    EXPECT_EQ(target.getSize(), 0);
    for (TInt32 length : {1, packed.getSize() - 1}) EXPECT_FALSE(unpack(packed, target, length, 64)) << length;
    Bytes corrupt = packed;
    corrupt[corrupt.getSize() / 2] ^= 0xff;
    corrupt[corrupt.getSize() - 2] ^= 0xff;
    EXPECT_FALSE(unpack(corrupt, target, corrupt.getSize(), 512));
    EXPECT_FALSE(unpack(kForeignWithDictionary, target, kForeignWithDictionary.getSize(), 512));
    target = Bytes();
    EXPECT_FALSE(unpack(kForeignFox, target, kForeignFox.getSize(), 32, 10));  // writes refused
    CAppsFileReader reader(kForeignStored.data(), TUint32(stored)), closedReader;
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(target)), closedWriter;
    EXPECT_FALSE(ZLib::unCompress(reader, closedWriter, stored, 16));
    EXPECT_FALSE(ZLib::unCompress(closedReader, writer, stored, 16));
}

}  // namespace mcb
