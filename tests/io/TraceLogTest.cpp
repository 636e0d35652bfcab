// Trace log: the exact file bytes, round trips of every node, tolerance of unknown trailing
// fields, the reader's error texts, and a fuzzed reader that must never crash.
#include "foundation/VMError.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/MemoryOutputStream.h"
#include "io/TraceLog.h"
#include "Bytes.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>

namespace mcb {

namespace {

using Trace::TraceLog;

// Bytes of a hand-made file, integers big-endian as in the format.
struct Builder {
    Bytes bytes;
    Builder& be(TUint64 v, int width) {
        for (int i = width - 1; i >= 0; --i) bytes.append(TUint8(v >> (8 * i)));
        return *this;
    }
    Builder& u8(TUint8 v) { return be(v, 1); }
    Builder& i32(TInt32 v) { return be(TUint32(v), 4); }
    Builder& i64(TInt64 v) { return be(TUint64(v), 8); }
    Builder& head(TUint8 type, TInt32 length) { return u8(type).i32(length); }
    Builder& raw(const Bytes& more) {
        for (TUint8 b : more) u8(b);
        return *this;
    }
};

Bytes written(const TraceLog& log) {
    Bytes out;
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(out));
    EXPECT_TRUE(log.write(writer));
    return out;
}

// The reader's error text; empty when the file was read.
std::string readInto(TraceLog& log, const Bytes& file, bool events = true) {
    CAppsFileReader reader(file.data(), TUint32(file.getSize()));
    CAppsString error;
    return log.read(reader, &error, events) ? "" : error.toUtf8();
}

// The message for an error met after the bytes `before`.
std::string located(const Bytes& before, const std::string& text) {
    return "Error while reading location: " + std::to_string(before.getSize()) + text;
}

template <typename Node>
Node* add(TraceLog& log, TInt64 time, TInt32 value) {
    auto node = std::make_unique<Node>();
    node->timeStamp = time;
    node->logValue = value;
    Node* raw = node.get();
    log.append(std::move(node));
    return raw;
}

// One node of every event type with a distinct, sign-testing value in each field.
void fillWithEveryEvent(TraceLog& log) {
    auto* binary = add<TraceLog::BinaryNode>(log, -5, 101);
    binary->entityValue = -7;
    binary->entityLong = INT64_MIN + 3;
    binary->label.text = CAppsString("snapshot \xe9");
    binary->label.text.append(TUint16(0x20ac));
    for (int i = 0; i < 300; ++i) binary->data.bytes.append(TUint8(i * 13));
    binary->value1 = INT32_MIN;
    binary->value2 = INT32_MAX;
    add<TraceLog::MethodCallNode>(log, 1000001, 102)->value1 = 0x12345678;
    add<TraceLog::MethodReturnNode>(log, 1000002, 103);
    auto* gc = add<TraceLog::GarbageCollectionNode>(log, 1000003, 104);
    gc->entityValue = 64000;
    gc->entityLong = 0x0102030405060708;
    add<TraceLog::StopTraceNode>(log, 1000004, 105);
    add<TraceLog::StartTraceNode>(log, 1000005, 106)->value1 = -1;
    add<TraceLog::MessageNode>(log, INT64_MAX, 107)->message.text = CAppsString("hello, trace");
    auto* thrown = add<TraceLog::ExceptionThrownNode>(log, 1000007, 108);
    thrown->value1 = 7;
    thrown->value2 = -8;
    add<TraceLog::ExceptionCaughtNode>(log, 1000008, 109)->value1 = 9;
}

// A node of the wrong class throws std::bad_cast, failing the test.
template <typename Node>
const Node& nodeAt(const TraceLog& log, size_t i) { return dynamic_cast<const Node&>(*log.nodes().at(i)); }

}  // namespace

TEST(TraceLogFormat, BytesAreBigEndianAndTheHeaderReadsBack) {
    const Bytes file = written(TraceLog());
    Builder expected;
    expected.head(5, 73).u8(1).u8(0).head(1, 2 * TInt32(std::string(TraceLog::HeaderNode::kProducer).size()));
    for (char c : std::string(TraceLog::HeaderNode::kProducer)) expected.be(TUint8(c), 2);
    expected.i32(0);
    ASSERT_GE(file.getSize(), expected.bytes.getSize() + 12 + 8);
    for (TInt32 i = 0; i < expected.bytes.getSize(); ++i) EXPECT_EQ(file[i], expected.bytes[i]) << i;
    const TInt32 date = expected.bytes.getSize();
    EXPECT_EQ(file[date], 3);
    EXPECT_EQ(file[date + 4], 7);
    std::tm local{};
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &local);
    EXPECT_NEAR(file[date + 5] * 256 + file[date + 6], local.tm_year + 1900, 1);
    const Bytes ticks = Builder().i64(1000000).bytes;
    for (TInt32 i = 0; i < 8; ++i) EXPECT_EQ(file[date + 12 + i], ticks[i]);
    TraceLog log;
    add<TraceLog::MethodCallNode>(log, 0x0102030405060708, -2)->value1 = 0x0a0b0c0d;
    Bytes withCall = written(log);
    EXPECT_TRUE(withCall == Builder().raw(file).head(102, 16).i64(0x0102030405060708).i32(-2).i32(0x0a0b0c0d).bytes);
    withCall.append(200);  // would be an error if events were read
    TraceLog header;
    EXPECT_EQ(readInto(header, withCall, false), "");
    EXPECT_TRUE(header.nodes().empty());
    const TraceLog::HeaderNode& h = header.header();
    EXPECT_EQ(std::vector<TInt64>({h.versionMajor, h.versionMinor, h.reserved, h.ticksPerSecond}),
              std::vector<TInt64>({1, 0, 0, 1000000}));
    EXPECT_EQ(h.producer.text.toUtf8(), "Tavik Studio Emulator");
    const TInt64 before = TInt64(now) * 1000000;  // time stamps count microseconds
    const TInt64 stamp = TraceLog::currentTimeStamp();
    EXPECT_GE(stamp, before);
    EXPECT_LT(stamp, before + 2 * 1000000);
}

TEST(TraceLogRoundTrip, EveryNodeTypeComesBackUnchangedThroughARealFile) {
    Scratch dir;
    TraceLog log;
    fillWithEveryEvent(log);
    ASSERT_TRUE(log.write(cpath(dir, "traces/run.trace")));
    CAppsFileReader reader(cpath(dir, "traces/run.trace"));
    TraceLog back;
    CAppsString error;
    ASSERT_TRUE(back.read(reader, &error, true)) << error.toUtf8();
    ASSERT_EQ(back.nodes().size(), 9u);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(int(back.nodes()[i]->type()), int(101 + i));
        EXPECT_EQ(back.nodes()[i]->timeStamp, log.nodes()[i]->timeStamp);
        EXPECT_EQ(back.nodes()[i]->logValue, log.nodes()[i]->logValue);
    }
    const auto& binary = nodeAt<TraceLog::BinaryNode>(back, 0);
    EXPECT_TRUE(binary.label.text == nodeAt<TraceLog::BinaryNode>(log, 0).label.text);
    EXPECT_TRUE(binary.data.bytes == nodeAt<TraceLog::BinaryNode>(log, 0).data.bytes);
    const auto& gc = nodeAt<TraceLog::GarbageCollectionNode>(back, 3);
    const auto& thrown = nodeAt<TraceLog::ExceptionThrownNode>(back, 7);
    EXPECT_EQ(std::vector<TInt64>({binary.entityValue, binary.entityLong, binary.value1, binary.value2,
                                   nodeAt<TraceLog::MethodCallNode>(back, 1).value1, gc.entityValue, gc.entityLong,
                                   nodeAt<TraceLog::StartTraceNode>(back, 5).value1, thrown.value1, thrown.value2,
                                   nodeAt<TraceLog::ExceptionCaughtNode>(back, 8).value1}),
              std::vector<TInt64>({-7, INT64_MIN + 3, INT32_MIN, INT32_MAX, 0x12345678, 64000, 0x0102030405060708,
                                   -1, 7, -8, 9}));
    EXPECT_EQ(nodeAt<TraceLog::MessageNode>(back, 6).message.text.toUtf8(), "hello, trace");
}

TEST(TraceLogRoundTrip, ExtraBytesAtTheEndOfRecordsAreSkipped) {
    Builder file;
    // Header with a longer producer record (odd byte) and two unknown bytes.
    file.head(5, 2 + 8 + 4 + 14 + 8 + 2).u8(1).u8(0).head(1, 3).be('A', 2).u8(0xee).i32(0);
    file.head(3, 9).be(2024, 2).u8(2).u8(29).u8(23).u8(59).u8(58).u8(0xaa).u8(0xbb);
    file.i64(1000000).u8(0xcc).u8(0xdd);
    // A method call with four bytes of a later format, then a normal return.
    file.head(102, 20).i64(42).i32(1).i32(99).i32(-1);
    file.head(103, 12).i64(43).i32(2);
    TraceLog back;
    ASSERT_EQ(readInto(back, file.bytes), "");
    EXPECT_EQ(back.header().producer.text.toUtf8(), "A");
    EXPECT_EQ(back.header().created.year, 2024);
    EXPECT_EQ(back.header().created.second, 58);
    ASSERT_EQ(back.nodes().size(), 2u);
    EXPECT_EQ(nodeAt<TraceLog::MethodCallNode>(back, 0).value1, 99);
    EXPECT_EQ(back.nodes()[1]->timeStamp, 43);
}

TEST(TraceLogErrors, MessagesNameTheLocationAndTheFault) {
    const Bytes header = written(TraceLog());
    const Bytes shortCall = Builder().raw(header).head(102, 12).i64(0).i32(0).bytes;  // a call needs 16
    const Bytes cutField = Builder().raw(header).u8(103).u8(0).u8(0).bytes;
    const Bytes shortBody = Builder().raw(header).head(102, 4).i32(0).bytes;  // the length fits, the fields do not
    const std::pair<Bytes, std::string> cases[] = {
        {Builder().head(7, 0).bytes, "Error while reading location: 1invalid type (expecting type: 5) 7"},
        // a data record where the producer name belongs
        {Builder().head(5, 31).u8(1).u8(0).head(4, 0).i32(0).head(3, 7).i32(0).i32(0).i64(0).bytes,
         "Error while reading location: 8invalid type (expecting type: 1) 4"},
        {Builder().head(5, -1).bytes, "Error while reading location: 5invalid length: -1"},
        {Builder().head(5, 1).bytes, "Error while reading location: 5invalid length: 1"},
        {Builder().raw(header).head(103, 13).i64(0).i32(0).bytes,
         located(Builder().raw(header).head(0, 0).bytes, "invalid length: 13")},
        {Builder().raw(shortCall).head(105, 12).i64(0).i32(0).bytes,
         located(Builder().raw(shortCall).i32(0).bytes, "read: length exceeded")},
        // a failed read leaves the reader at the end of what there was
        {cutField, located(cutField, "unexpected end of file")},
        {shortBody, located(shortBody, "unexpected end of file")},
        {Bytes(), "Error while reading location: 0unexpected end of file"},
        {Builder().raw(header).head(100, 0).bytes, located(Builder().raw(header).u8(0).bytes, "Invalid type: 100")},
        {Builder().raw(header).head(5, 0).bytes, located(Builder().raw(header).u8(0).bytes, "Invalid type: 5")},
        {Builder().raw(header).head(255, 0).bytes, located(Builder().raw(header).u8(0).bytes, "Invalid type: 255")},
    };
    for (const auto& [file, message] : cases) {
        TraceLog back;
        EXPECT_EQ(readInto(back, file), message);
    }
    Builder file;  // an unknown event type, after a record that is kept
    file.raw(header).head(103, 12).i64(1).i32(1);
    const Bytes before = file.bytes;
    file.head(110, 12).i64(2).i32(2);
    TraceLog back;
    EXPECT_EQ(readInto(back, file.bytes), located(Builder().raw(before).u8(110).bytes, "Invalid type: 110"));
    EXPECT_EQ(back.nodes().size(), 1u);
    CAppsFileReader closed;
    CAppsString error;
    EXPECT_FALSE(back.read(closed, &error, true));
    EXPECT_EQ(error.toUtf8(), "File is not open");
    EXPECT_FALSE(back.read(closed, nullptr, true));
}

TEST(TraceLogErrors, FailedWritesReportFalseAndLeaveNoPendingError) {
    Scratch dir;
    dir.makeDir("a-directory");
    TraceLog log;
    fillWithEveryEvent(log);
    EXPECT_FALSE(log.write(cpath(dir, "a-directory")));
    vmerr::clearPendingError();
    Bytes target;
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(target)), none;
    writer.seek(1);  // past the end: every write is refused
    EXPECT_FALSE(log.write(writer));
    EXPECT_EQ(vmerr::pendingErrorCode(), 0);
    EXPECT_FALSE(log.write(none));
}

TEST(TraceLogFuzz, MutatedFilesNeverCrashTheReader) {
    TraceLog log;
    fillWithEveryEvent(log);
    const Bytes good = written(log);
    std::mt19937 rng(20261206);
    int accepted = 0;
    for (int round = 0; round < 6000; ++round) {
        Bytes bad = good;  // flipped bits, a short file, an extreme word, random bytes after the header
        if (round % 4 == 0)
            for (int n = 1 + rng() % 4; n > 0; --n) bad[TInt32(rng() % bad.getSize())] ^= TUint8(1u << (rng() % 8));
        if (round % 4 == 1) bad.resize(TInt32(rng() % bad.getSize()));
        if (round % 4 == 2)
            for (TInt32 at = TInt32(rng() % (bad.getSize() - 4)), i = 0; i < 4; ++i)
                bad[at + i] = (rng() % 2) ? 0xff : TUint8(0x7f * (i == 0));
        for (TInt32 i = 5 + 73; round % 4 == 3 && i < bad.getSize(); ++i) bad[i] = TUint8(rng());
        TraceLog back;
        const std::string error = readInto(back, bad);
        if (error.empty()) ++accepted;
        else EXPECT_EQ(error.rfind("Error while reading location: ", 0), 0u);
    }
    EXPECT_EQ(vmerr::pendingErrorCode(), 0);
    EXPECT_GT(accepted, 0);
}

}  // namespace mcb
