// ZLib: round trips, agreement with other zlib users, damaged input and the
// file-section form.
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/Compress.h"
#include "io/MemoryOutputStream.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = Vec<TUint8>;

Bytes bytesOf(std::initializer_list<TUint8> list) {
    Bytes v;
    for (TUint8 b : list) v.append(b);
    return v;
}

Bytes bytesOf(const std::string& s) {
    Bytes v;
    for (char c : s) v.append(TUint8(c));
    return v;
}

std::string textOf(const Bytes& v) { return std::string(v.begin(), v.end()); }

// Deterministic data that compresses to a few percent, or not at all.
Bytes textLike(TInt32 size) {
    static const char* words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta, "};
    std::mt19937 rng(7);
    Bytes v;
    while (v.getSize() < size) {
        for (const char* w = words[rng() % 6]; *w && v.getSize() < size; ++w) v.append(TUint8(*w));
    }
    return v;
}

Bytes noise(TInt32 size, unsigned seed = 11) {
    std::mt19937 rng(seed);
    Bytes v;
    v.resize(size);
    for (TUint8& b : v) b = TUint8(rng());
    return v;
}

Bytes compressed(const Bytes& data, int level = -1) {
    Bytes out;
    EXPECT_TRUE(ZLib::compress(data, out, level));
    return out;
}

void expectRoundTrip(const Bytes& data, int level) {
    Bytes packed, unpacked;
    ASSERT_TRUE(ZLib::compress(data, packed, level)) << "size " << data.getSize();
    ASSERT_TRUE(ZLib::unCompress(packed, unpacked)) << "size " << data.getSize();
    EXPECT_TRUE(unpacked == data) << "size " << data.getSize() << " level " << level;
}

// "The quick brown fox jumps over the lazy dog. " three times, compressed at
// level 9 by Python's zlib module.
const Bytes kForeignFox = bytesOf({
    0x78, 0xda, 0x0b, 0xc9, 0x48, 0x55, 0x28, 0x2c, 0xcd, 0x4c, 0xce, 0x56, 0x48, 0x2a,
    0xca, 0x2f, 0xcf, 0x53, 0x48, 0xcb, 0xaf, 0x50, 0xc8, 0x2a, 0xcd, 0x2d, 0x28, 0x56,
    0xc8, 0x2f, 0x4b, 0x2d, 0x52, 0x28, 0x01, 0x4a, 0xe7, 0x24, 0x56, 0x55, 0x2a, 0xa4,
    0xe4, 0xa7, 0xeb, 0x29, 0x84, 0xd0, 0x4c, 0x31, 0x00, 0xf9, 0x3c, 0x30, 0x76});
// "hello" as one stored block (level 0).
const Bytes kForeignStored =
    bytesOf({0x78, 0x01, 0x01, 0x05, 0x00, 0xfa, 0xff, 0x68, 0x65, 0x6c, 0x6c, 0x6f, 0x06,
             0x2c, 0x02, 0x15});
// "hello world hello", compressed against the preset dictionary "hello world".
const Bytes kForeignWithDictionary =
    bytesOf({0x78, 0xbb, 0x1a, 0x0b, 0x04, 0x5d, 0xcb, 0x40, 0x30, 0x15, 0xc0, 0x6c, 0x00,
             0x3b, 0x20, 0x06, 0x91});

std::string foxText() {
    std::string s;
    for (int i = 0; i < 3; ++i) s += "The quick brown fox jumps over the lazy dog. ";
    return s;
}

}  // namespace

// --- Vector forms ---------------------------------------------------------

TEST(ZLibVectors, EmptyInputGivesEmptyOutputBothWays) {
    Bytes empty, out = bytesOf("stale");
    EXPECT_TRUE(ZLib::compress(empty, out, 9));
    EXPECT_EQ(out.getSize(), 0);
    out = bytesOf("stale");
    EXPECT_TRUE(ZLib::unCompress(empty, out));
    EXPECT_EQ(out.getSize(), 0);
}

TEST(ZLibVectors, RoundTripsAtEveryLevel) {
    const Bytes data = textLike(5000);
    for (int level = -1; level <= 9; ++level) expectRoundTrip(data, level);
    expectRoundTrip(bytesOf("x"), -1);
}

TEST(ZLibVectors, RoundTripsAroundTheChunkBoundary) {
    // Incompressible data at level 0 makes output of about the input's size,
    // so these sizes put the end of the output on and next to chunk edges.
    for (TInt32 size : {2037, 2038, 2039, 2047, 2048, 2049, 4085, 4096, 4097, 6144}) {
        expectRoundTrip(noise(size), 0);
        expectRoundTrip(noise(size), 6);
        expectRoundTrip(textLike(size), 9);
    }
}

TEST(ZLibVectors, MultiMegabyteDataSurvivesManyPasses) {
    Bytes data = textLike(3 << 20);
    const Bytes tail = noise(1 << 20);
    for (TUint8 b : tail) data.append(b);
    Bytes packed, unpacked;
    ASSERT_TRUE(ZLib::compress(data, packed, -1));
    EXPECT_LT(packed.getSize(), data.getSize());
    ASSERT_TRUE(ZLib::unCompress(packed, unpacked));
    EXPECT_TRUE(unpacked == data);
}

TEST(ZLibVectors, OutputIsAZlibStreamWithHeaderAndChecksum) {
    const Bytes packed = compressed(bytesOf(foxText()), 9);
    ASSERT_GE(packed.getSize(), 6);
    EXPECT_EQ(packed[0], 0x78);  // deflate, 32 KiB window
    EXPECT_EQ((packed[0] * 256 + packed[1]) % 31, 0);
    const TInt32 n = packed.getSize();
    const TUint32 adler = TUint32(packed[n - 4]) << 24 | packed[n - 3] << 16 | packed[n - 2] << 8 |
                          packed[n - 1];
    EXPECT_EQ(adler, 0xf93c3076u);
}

TEST(ZLibVectors, ReadsStreamsMadeByAnotherZlibUser) {
    Bytes out;
    ASSERT_TRUE(ZLib::unCompress(kForeignFox, out));
    EXPECT_EQ(textOf(out), foxText());
    ASSERT_TRUE(ZLib::unCompress(kForeignStored, out));
    EXPECT_EQ(textOf(out), "hello");
}

TEST(ZLibVectors, AnotherZlibUserReadsOurStreams) {
    if (std::system("python3 -c 'import zlib' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 with zlib is not available";
    TempDir dir;
    const Bytes data = textLike(100000);
    const Bytes packed = compressed(data, 9);
    dir.writeFile("packed", textOf(packed));
    const std::string command =
        "python3 -c 'import zlib,sys; "
        "sys.stdout.buffer.write(zlib.decompress(open(sys.argv[1],\"rb\").read()))' " +
        dir.os("packed");
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string result;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(result, textOf(data));
}

TEST(ZLibVectors, SignedByteVectorsWorkAlike) {
    Vec<TInt8> data, packed, unpacked;
    for (int i = 0; i < 3000; ++i) data.append(TInt8(i * 7));
    ASSERT_TRUE(ZLib::compress(data, packed, 5));
    ASSERT_TRUE(ZLib::unCompress(packed, unpacked));
    EXPECT_TRUE(unpacked == data);
}

TEST(ZLibVectors, InputAndOutputMayBeTheSameVector) {
    const Bytes original = textLike(10000);
    Bytes v = original;
    ASSERT_TRUE(ZLib::compress(v, v, 6));
    EXPECT_LT(v.getSize(), original.getSize());
    ASSERT_TRUE(ZLib::unCompress(v, v));
    EXPECT_TRUE(v == original);
}

TEST(ZLibVectors, TrailingBytesAfterTheStreamAreIgnored) {
    Bytes packed = kForeignStored;
    for (TUint8 b : bytesOf("junk")) packed.append(b);
    Bytes out;
    ASSERT_TRUE(ZLib::unCompress(packed, out));
    EXPECT_EQ(textOf(out), "hello");
}

TEST(ZLibVectors, UnknownLevelFails) {
    Bytes out = bytesOf("stale");
    EXPECT_FALSE(ZLib::compress(bytesOf("data"), out, 10));
    EXPECT_FALSE(ZLib::compress(bytesOf("data"), out, -2));
    EXPECT_EQ(out.getSize(), 0);
}

// --- Damaged input --------------------------------------------------------

TEST(ZLibDamage, WrongHeaderFails) {
    Bytes out = bytesOf("stale");
    Bytes packed = kForeignFox;
    packed[0] = 0x79;  // not deflate
    EXPECT_FALSE(ZLib::unCompress(packed, out));
    EXPECT_EQ(out.getSize(), 0);
    packed = kForeignFox;
    packed[1] ^= 1;  // header check no longer a multiple of 31
    EXPECT_FALSE(ZLib::unCompress(packed, out));
    EXPECT_FALSE(ZLib::unCompress(bytesOf("plain text is no stream"), out));
}

TEST(ZLibDamage, RawDeflateAndGzipAreNotAccepted) {
    Bytes out;
    Bytes raw;
    for (TInt32 i = 2; i < kForeignFox.getSize() - 4; ++i) raw.append(kForeignFox[i]);
    EXPECT_FALSE(ZLib::unCompress(raw, out));
    const Bytes gzipHeader = bytesOf({0x1f, 0x8b, 0x08, 0x00, 0, 0, 0, 0, 0x00, 0x03, 0x03, 0x00});
    EXPECT_FALSE(ZLib::unCompress(gzipHeader, out));
}

TEST(ZLibDamage, EveryTruncationFailsInsteadOfLooping) {
    for (const Bytes& whole : {kForeignFox, kForeignStored, compressed(noise(2300), 0)}) {
        for (TInt32 cut = 1; cut < whole.getSize(); ++cut) {
            Bytes part, out;
            for (TInt32 i = 0; i < cut; ++i) part.append(whole[i]);
            EXPECT_FALSE(ZLib::unCompress(part, out)) << "cut at " << cut;
            EXPECT_EQ(out.getSize(), 0);
        }
    }
}

TEST(ZLibDamage, ChecksumMismatchFails) {
    Bytes packed = kForeignFox;
    packed[packed.getSize() - 1] ^= 0x40;
    Bytes out;
    EXPECT_FALSE(ZLib::unCompress(packed, out));
}

TEST(ZLibDamage, PresetDictionaryCountsAsBadData) {
    Bytes out;
    EXPECT_FALSE(ZLib::unCompress(kForeignWithDictionary, out));
}

TEST(ZLibDamage, FlippedBitsNeverCrash) {
    const Bytes good = compressed(textLike(6000), 6);
    std::mt19937 rng(3);
    for (int round = 0; round < 1000; ++round) {
        Bytes bad = good;
        for (int flips = 1 + rng() % 4; flips > 0; --flips)
            bad[TInt32(rng() % bad.getSize())] ^= TUint8(1u << (rng() % 8));
        Bytes out;
        if (!ZLib::unCompress(bad, out)) {
            EXPECT_EQ(out.getSize(), 0);
        }
    }
}

// --- File-section form ----------------------------------------------------

namespace {

// "head" + the compressed bytes + "tail", as one in-memory file.
struct Section {
    Bytes file;
    TInt32 start = 4;
    TInt32 length = 0;
    explicit Section(const Bytes& packed) {
        file = bytesOf("head");
        for (TUint8 b : packed) file.append(b);
        for (TUint8 b : bytesOf("tail")) file.append(b);
        length = packed.getSize();
    }
    CAppsFileReader* reader() const {
        auto* r = new CAppsFileReader(file.data(), TUint32(file.getSize()));
        r->seek(start);
        return r;
    }
};

bool unpackSection(const Section& s, Bytes& target, TInt32 length, int block) {
    std::unique_ptr<CAppsFileReader> reader(s.reader());
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(target));
    return ZLib::unCompress(*reader, writer, length, block);
}

}  // namespace

TEST(ZLibFileSection, InflatesTheSectionWhateverTheBlockSize) {
    const Bytes data = textLike(50000);
    const Section s(compressed(data));
    for (int block : {1, 2, 7, 100, 2048, 65536, 1 << 30}) {
        Bytes target;
        ASSERT_TRUE(unpackSection(s, target, s.length, block)) << "block " << block;
        EXPECT_TRUE(target == data) << "block " << block;
    }
}

TEST(ZLibFileSection, AppendsToWhatTheWriterHolds) {
    Bytes target = bytesOf("kept:");
    const Section s(kForeignStored);
    std::unique_ptr<CAppsFileReader> reader(s.reader());
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(target));
    writer.seek(5);
    ASSERT_TRUE(ZLib::unCompress(*reader, writer, s.length, 3));
    EXPECT_EQ(textOf(target), "kept:hello");
}

TEST(ZLibFileSection, ZeroLengthSucceedsWithoutWriting) {
    const Section s(kForeignStored);
    Bytes target;
    EXPECT_TRUE(unpackSection(s, target, 0, 16));
    EXPECT_EQ(target.getSize(), 0);
}

TEST(ZLibFileSection, RefusesBadArguments) {
    const Section s(kForeignStored);
    Bytes target;
    EXPECT_FALSE(unpackSection(s, target, -1, 16));
    EXPECT_FALSE(unpackSection(s, target, s.length, 0));
    EXPECT_FALSE(unpackSection(s, target, s.length, -5));
    // More than is left in the file, even though the stream itself fits.
    EXPECT_FALSE(unpackSection(s, target, s.file.getSize() - s.start + 1, 16));
    EXPECT_EQ(target.getSize(), 0);
}

TEST(ZLibFileSection, NeedsBothSidesOpen) {
    const Section s(kForeignStored);
    Bytes target;
    std::unique_ptr<CAppsFileReader> reader(s.reader());
    CAppsFileWriter closedWriter;
    EXPECT_FALSE(ZLib::unCompress(*reader, closedWriter, s.length, 16));
    CAppsFileReader closedReader;
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(target));
    EXPECT_FALSE(ZLib::unCompress(closedReader, writer, s.length, 16));
    TempDir dir;
    CAppsFileReader missing(dir.path("no-such-file"));
    EXPECT_FALSE(ZLib::unCompress(missing, writer, 0, 16));
}

TEST(ZLibFileSection, SectionShorterThanTheStreamFails) {
    const Section s(compressed(textLike(20000)));
    for (TInt32 length : {1, 2, s.length / 2, s.length - 1}) {
        Bytes target;
        EXPECT_FALSE(unpackSection(s, target, length, 64)) << "length " << length;
    }
}

TEST(ZLibFileSection, CorruptSectionFails) {
    Bytes packed = compressed(textLike(20000));
    packed[packed.getSize() / 2] ^= 0xff;
    packed[packed.getSize() - 2] ^= 0xff;
    const Section s(packed);
    Bytes target;
    EXPECT_FALSE(unpackSection(s, target, s.length, 512));
    const Section dictionary(kForeignWithDictionary);
    EXPECT_FALSE(unpackSection(dictionary, target, dictionary.length, 512));
}

TEST(ZLibFileSection, FailedWriteFails) {
    const Section s(kForeignFox);
    std::unique_ptr<CAppsFileReader> reader(s.reader());
    Bytes target;
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(target));
    writer.seek(10);  // past the end: every write is refused
    EXPECT_FALSE(ZLib::unCompress(*reader, writer, s.length, 32));
}

TEST(ZLibFileSection, WorksOnRealFiles) {
    TempDir dir;
    const Bytes data = textLike(300000);
    const Section s(compressed(data, 9));
    dir.writeFile("archive", textOf(s.file));
    {
        CAppsFileReader reader(dir.path("archive"));
        CAppsFileWriter writer(dir.path("out/unpacked"), true);
        ASSERT_TRUE(reader.seek(s.start));
        ASSERT_TRUE(ZLib::unCompress(reader, writer, s.length, 4096));
        EXPECT_EQ(reader.position(), TUint32(s.start + s.length));
    }
    EXPECT_EQ(dir.readFile("out/unpacked"), textOf(data));
}
