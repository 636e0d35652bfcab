// Trace log: record sizes, the exact file bytes, round trips of every node,
// tolerance of unknown trailing fields, the reader's error texts, and a
// fuzzed reader that must never crash.
#include "foundation/VMError.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/MemoryOutputStream.h"
#include "io/TraceLog.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <stdexcept>
#include <string>

namespace {

using Trace::TraceLog;
using Bytes = Vec<TUint8>;

// Bytes of a hand-made file, integers big-endian as in the format.
struct Builder {
    Bytes bytes;
    Builder& u8(TUint8 v) {
        bytes.append(v);
        return *this;
    }
    Builder& be(TUint64 v, int width) {
        for (int i = width - 1; i >= 0; --i) u8(TUint8(v >> (8 * i)));
        return *this;
    }
    Builder& i32(TInt32 v) { return be(TUint32(v), 4); }
    Builder& i64(TInt64 v) { return be(TUint64(v), 8); }
    Builder& head(TUint8 type, TInt32 length) { return u8(type).i32(length); }
    Builder& raw(const Bytes& more) {
        for (TUint8 b : more) u8(b);
        return *this;
    }
    Builder& string(const std::string& s) {
        head(1, TInt32(2 * s.size()));
        for (char c : s) be(TUint8(c), 2);
        return *this;
    }
};

Bytes written(const TraceLog& log) {
    Bytes out;
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(out));
    EXPECT_TRUE(log.write(writer));
    return out;
}

Bytes headerBytes() {
    TraceLog empty;
    return written(empty);
}

struct ReadResult {
    bool ok;
    std::string error;
};

ReadResult readInto(TraceLog& log, const Bytes& file, bool events = true) {
    CAppsFileReader reader(file.data(), TUint32(file.getSize()));
    CAppsString error;
    const bool ok = log.read(reader, &error, events);
    return {ok, error.toUtf8()};
}

std::string located(const Bytes& before, const std::string& text) {
    return "Error while reading location: " + std::to_string(before.getSize()) + text;
}

template <typename Node>
std::unique_ptr<Node> stamped(TInt64 time, TInt32 value) {
    auto node = std::make_unique<Node>();
    node->timeStamp = time;
    node->logValue = value;
    return node;
}

// One node of every event type with a distinct, sign-testing value in each field.
void fillWithEveryEvent(TraceLog& log) {
    auto binary = stamped<TraceLog::BinaryNode>(-5, 101);
    binary->entityValue = -7;
    binary->entityLong = INT64_MIN + 3;
    binary->label.text = CAppsString("snapshot \xe9");
    binary->label.text.append(TUint16(0x20ac));
    for (int i = 0; i < 300; ++i) binary->data.bytes.append(TUint8(i * 13));
    binary->value1 = INT32_MIN;
    binary->value2 = INT32_MAX;
    log.append(std::move(binary));

    auto call = stamped<TraceLog::MethodCallNode>(1000001, 102);
    call->value1 = 0x12345678;
    log.append(std::move(call));
    log.append(stamped<TraceLog::MethodReturnNode>(1000002, 103));

    auto gc = stamped<TraceLog::GarbageCollectionNode>(1000003, 104);
    gc->entityValue = 64000;
    gc->entityLong = 0x0102030405060708;
    log.append(std::move(gc));
    log.append(stamped<TraceLog::StopTraceNode>(1000004, 105));

    auto start = stamped<TraceLog::StartTraceNode>(1000005, 106);
    start->value1 = -1;
    log.append(std::move(start));

    auto message = stamped<TraceLog::MessageNode>(INT64_MAX, 107);
    message->message.text = CAppsString("hello, trace");
    log.append(std::move(message));

    auto thrown = stamped<TraceLog::ExceptionThrownNode>(1000007, 108);
    thrown->value1 = 7;
    thrown->value2 = -8;
    log.append(std::move(thrown));

    auto caught = stamped<TraceLog::ExceptionCaughtNode>(1000008, 109);
    caught->value1 = 9;
    log.append(std::move(caught));
}

template <typename Node>
const Node& nodeAt(const TraceLog& log, size_t i) {
    const Node* node = dynamic_cast<const Node*>(log.nodes().at(i).get());
    if (!node) throw std::runtime_error("node " + std::to_string(i) + " has the wrong class");
    return *node;
}

}  // namespace

// --- Sizes and bytes on disk -------------------------------------------------

TEST(TraceLogFormat, HeaderBodyLengths) {
    TraceLog::HeaderNode header;
    EXPECT_EQ(header.bodyLength(), 31);  // 5 + 12 + 14
    header.producer.text = CAppsString(TraceLog::HeaderNode::kProducer);
    EXPECT_EQ(header.bodyLength(), 73);
    EXPECT_EQ(headerBytes().getSize(), 5 + 73);
}

TEST(TraceLogFormat, EventBodyLengths) {
    TraceLog::MessageNode message;
    message.message.text = CAppsString("hi");
    EXPECT_EQ(message.bodyLength(), 12 + 5 + 4);
    EXPECT_EQ(TraceLog::BinaryNode().bodyLength(), 24 + 5 + 5 + 8);
    EXPECT_EQ(TraceLog::MethodCallNode().bodyLength(), 16);
    EXPECT_EQ(TraceLog::MethodReturnNode().bodyLength(), 12);
    EXPECT_EQ(TraceLog::GarbageCollectionNode().bodyLength(), 24);
    EXPECT_EQ(TraceLog::StopTraceNode().bodyLength(), 12);
    EXPECT_EQ(TraceLog::StartTraceNode().bodyLength(), 16);
    EXPECT_EQ(TraceLog::ExceptionThrownNode().bodyLength(), 20);
    EXPECT_EQ(TraceLog::ExceptionCaughtNode().bodyLength(), 16);
    EXPECT_EQ(TraceLog::DateTimeNode().recordSize(), 12);
}

TEST(TraceLogFormat, EveryRecordIsAsLongAsItsLengthSays) {
    TraceLog log;
    fillWithEveryEvent(log);
    const Bytes file = written(log);
    TInt64 expected = log.header().recordSize();
    for (const auto& node : log.nodes()) expected += node->recordSize();
    EXPECT_EQ(file.getSize(), expected);
}

TEST(TraceLogFormat, HeaderBytesAreBigEndian) {
    const Bytes file = headerBytes();
    Builder expected;
    expected.head(5, 73).u8(1).u8(0).string(TraceLog::HeaderNode::kProducer).i32(0);
    ASSERT_GE(file.getSize(), expected.bytes.getSize() + 12 + 8);
    for (TInt32 i = 0; i < expected.bytes.getSize(); ++i)
        EXPECT_EQ(file[i], expected.bytes[i]) << i;
    const TInt32 date = expected.bytes.getSize();
    EXPECT_EQ(file[date], 3);
    EXPECT_EQ(file[date + 4], 7);
    std::tm local{};
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &local);
    EXPECT_NEAR(file[date + 5] * 256 + file[date + 6], local.tm_year + 1900, 1);
    Builder ticks;
    ticks.i64(1000000);
    for (TInt32 i = 0; i < 8; ++i) EXPECT_EQ(file[date + 12 + i], ticks.bytes[i]);
}

TEST(TraceLogFormat, EventBytesAreBigEndian) {
    TraceLog log;
    auto call = stamped<TraceLog::MethodCallNode>(0x0102030405060708, -2);
    call->value1 = 0x0a0b0c0d;
    log.append(std::move(call));
    const Bytes file = written(log);
    Builder expected;
    expected.head(102, 16).i64(0x0102030405060708).i32(-2).i32(0x0a0b0c0d);
    const TInt32 headerSize = 5 + 73;
    ASSERT_EQ(file.getSize(), headerSize + expected.bytes.getSize());
    for (TInt32 i = 0; i < expected.bytes.getSize(); ++i)
        EXPECT_EQ(file[headerSize + i], expected.bytes[i]) << i;
}

// --- Round trips --------------------------------------------------------------

TEST(TraceLogRoundTrip, EveryNodeTypeComesBackUnchanged) {
    TraceLog log;
    fillWithEveryEvent(log);
    TraceLog back;
    const ReadResult r = readInto(back, written(log));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(back.nodes().size(), 9u);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(int(back.nodes()[i]->type()), int(101 + i));
        EXPECT_EQ(back.nodes()[i]->timeStamp, log.nodes()[i]->timeStamp);
        EXPECT_EQ(back.nodes()[i]->logValue, log.nodes()[i]->logValue);
    }
    const auto& binary = nodeAt<TraceLog::BinaryNode>(back, 0);
    const auto& original = nodeAt<TraceLog::BinaryNode>(log, 0);
    EXPECT_EQ(binary.entityValue, -7);
    EXPECT_EQ(binary.entityLong, INT64_MIN + 3);
    EXPECT_TRUE(binary.label.text == original.label.text);
    EXPECT_TRUE(binary.data.bytes == original.data.bytes);
    EXPECT_EQ(binary.value1, INT32_MIN);
    EXPECT_EQ(binary.value2, INT32_MAX);
    EXPECT_EQ(nodeAt<TraceLog::MethodCallNode>(back, 1).value1, 0x12345678);
    EXPECT_EQ(nodeAt<TraceLog::GarbageCollectionNode>(back, 3).entityValue, 64000);
    EXPECT_EQ(nodeAt<TraceLog::GarbageCollectionNode>(back, 3).entityLong, 0x0102030405060708);
    EXPECT_EQ(nodeAt<TraceLog::StartTraceNode>(back, 5).value1, -1);
    EXPECT_EQ(nodeAt<TraceLog::MessageNode>(back, 6).message.text.toUtf8(), "hello, trace");
    EXPECT_EQ(nodeAt<TraceLog::ExceptionThrownNode>(back, 7).value1, 7);
    EXPECT_EQ(nodeAt<TraceLog::ExceptionThrownNode>(back, 7).value2, -8);
    EXPECT_EQ(nodeAt<TraceLog::ExceptionCaughtNode>(back, 8).value1, 9);
}

TEST(TraceLogRoundTrip, HeaderNamesTheProducerAndTheClock) {
    TraceLog back;
    ASSERT_TRUE(readInto(back, headerBytes()).ok);
    const TraceLog::HeaderNode& h = back.header();
    EXPECT_EQ(h.versionMajor, 1);
    EXPECT_EQ(h.versionMinor, 0);
    EXPECT_EQ(h.producer.text.toUtf8(), "Tavik Studio Emulator");
    EXPECT_EQ(h.reserved, 0);
    EXPECT_EQ(h.ticksPerSecond, 1000000);
    EXPECT_GE(h.created.month, 1);
    EXPECT_LE(h.created.month, 12);
    EXPECT_TRUE(back.nodes().empty());
}

TEST(TraceLogRoundTrip, ThroughARealFile) {
    TempDir dir;
    TraceLog log;
    fillWithEveryEvent(log);
    ASSERT_TRUE(log.write(dir.path("traces/run.trace")));
    CAppsFileReader reader(dir.path("traces/run.trace"));
    TraceLog back;
    CAppsString error;
    ASSERT_TRUE(back.read(reader, &error, true)) << error.toUtf8();
    EXPECT_EQ(back.nodes().size(), 9u);
}

TEST(TraceLogRoundTrip, TimeStampsCountMicroseconds) {
    const TInt64 before = TInt64(std::time(nullptr)) * 1000000;
    const TInt64 stamp = TraceLog::currentTimeStamp();
    EXPECT_GE(stamp, before);
    EXPECT_LT(stamp, before + 2 * 1000000);
}

TEST(TraceLogRoundTrip, HeaderOnlyWhenEventsAreNotWanted) {
    TraceLog log;
    fillWithEveryEvent(log);
    Bytes file = written(log);
    file.append(200);  // would be an error if events were read
    TraceLog back;
    const ReadResult r = readInto(back, file, false);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(back.nodes().empty());
}

// --- Tolerance of fields it does not know -----------------------------------

TEST(TraceLogTolerance, ExtraBytesAtTheEndOfRecordsAreSkipped) {
    Builder file;
    // Header with a longer producer record (odd byte) and two unknown bytes.
    file.head(5, 2 + 8 + 4 + 14 + 8 + 2).u8(1).u8(0).head(1, 3).be('A', 2).u8(0xee).i32(0);
    file.head(3, 9).be(2024, 2).u8(2).u8(29).u8(23).u8(59).u8(58).u8(0xaa).u8(0xbb);
    file.i64(1000000).u8(0xcc).u8(0xdd);
    // A method call with four bytes of a later format, then a normal return.
    file.head(102, 20).i64(42).i32(1).i32(99).i32(-1);
    file.head(103, 12).i64(43).i32(2);
    TraceLog back;
    const ReadResult r = readInto(back, file.bytes);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(back.header().producer.text.toUtf8(), "A");
    EXPECT_EQ(back.header().created.year, 2024);
    EXPECT_EQ(back.header().created.second, 58);
    ASSERT_EQ(back.nodes().size(), 2u);
    EXPECT_EQ(nodeAt<TraceLog::MethodCallNode>(back, 0).value1, 99);
    EXPECT_EQ(back.nodes()[1]->timeStamp, 43);
}

// --- Error texts --------------------------------------------------------------

TEST(TraceLogErrors, UnknownEventTypeIsRejected) {
    Builder file;
    file.raw(headerBytes()).head(103, 12).i64(1).i32(1);
    const Bytes before = Builder(file).u8(110).bytes;
    file.head(110, 12).i64(2).i32(2);
    TraceLog back;
    const ReadResult r = readInto(back, file.bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, located(before, "Invalid type: 110"));
    ASSERT_EQ(back.nodes().size(), 1u) << "what was read before the error stays";
    for (TUint8 type : {0, 1, 5, 100, 255}) {
        Builder bad;
        bad.raw(headerBytes()).head(type, 0);
        EXPECT_EQ(readInto(back, bad.bytes).error,
                  located(Builder().raw(headerBytes()).u8(0).bytes,
                          "Invalid type: " + std::to_string(type)));
    }
}

TEST(TraceLogErrors, WrongRecordTypeNamesBothCodes) {
    TraceLog back;
    Builder file;
    file.head(7, 0);
    EXPECT_EQ(readInto(back, file.bytes).error,
              "Error while reading location: 1invalid type (expecting type: 5) 7");
    Builder nested;  // a data record where the producer name belongs
    nested.head(5, 31).u8(1).u8(0).head(4, 0).i32(0).head(3, 7).i32(0).i32(0).i64(0);
    EXPECT_EQ(readInto(back, nested.bytes).error,
              "Error while reading location: 8invalid type (expecting type: 1) 4");
}

TEST(TraceLogErrors, LengthsOutsideTheFileAreInvalid) {
    TraceLog back;
    EXPECT_EQ(readInto(back, Builder().head(5, -1).bytes).error,
              "Error while reading location: 5invalid length: -1");
    EXPECT_EQ(readInto(back, Builder().head(5, 1).bytes).error,
              "Error while reading location: 5invalid length: 1");
    Builder event;
    event.raw(headerBytes()).head(103, 13).i64(0).i32(0);
    EXPECT_EQ(readInto(back, event.bytes).error,
              located(Builder().raw(headerBytes()).head(0, 0).bytes, "invalid length: 13"));
}

TEST(TraceLogErrors, FieldsLongerThanTheRecordExceedIt) {
    Builder file;
    file.raw(headerBytes()).head(102, 12).i64(0).i32(0);  // a call needs 16
    const Bytes before = Builder(file).i32(0).bytes;
    file.head(105, 12).i64(0).i32(0);
    TraceLog back;
    EXPECT_EQ(readInto(back, file.bytes).error, located(before, "read: length exceeded"));
}

TEST(TraceLogErrors, EndOfFileInsideAFieldIsUnexpected) {
    Builder file;
    file.raw(headerBytes()).u8(103).u8(0).u8(0);
    TraceLog back;
    // A failed read leaves the reader at the end of what there was.
    EXPECT_EQ(readInto(back, file.bytes).error, located(file.bytes, "unexpected end of file"));
    Builder shortBody;  // the length fits, the fields do not
    shortBody.raw(headerBytes()).head(102, 4).i32(0);
    EXPECT_EQ(readInto(back, shortBody.bytes).error,
              located(shortBody.bytes, "unexpected end of file"));
    EXPECT_EQ(readInto(back, Bytes()).error,
              "Error while reading location: 0unexpected end of file");
}

TEST(TraceLogErrors, ClosedReaderIsNotOpen) {
    TraceLog back;
    CAppsFileReader closed;
    CAppsString error;
    EXPECT_FALSE(back.read(closed, &error, true));
    EXPECT_EQ(error.toUtf8(), "File is not open");
    EXPECT_FALSE(back.read(closed, nullptr, true));
}

TEST(TraceLogErrors, FailedWritesReportFalseAndLeaveNoPendingError) {
    TempDir dir;
    dir.makeDir("a-directory");
    TraceLog log;
    fillWithEveryEvent(log);
    EXPECT_FALSE(log.write(dir.path("a-directory")));
    vmerr::clearPendingError();
    Bytes target;
    CAppsFileWriter writer(new VELMAR::MemoryOutputStream(target));
    writer.seek(1);  // past the end: every write is refused
    EXPECT_FALSE(log.write(writer));
    EXPECT_EQ(vmerr::pendingErrorCode(), 0);
    CAppsFileWriter none;
    EXPECT_FALSE(log.write(none));
}

// --- Fuzzing ------------------------------------------------------------------

TEST(TraceLogFuzz, MutatedFilesNeverCrashTheReader) {
    TraceLog log;
    fillWithEveryEvent(log);
    const Bytes good = written(log);
    std::mt19937 rng(20261206);
    int accepted = 0;
    for (int round = 0; round < 6000; ++round) {
        Bytes bad = good;
        switch (round % 4) {
        case 0:  // flip a few bits
            for (int n = 1 + rng() % 4; n > 0; --n)
                bad[TInt32(rng() % bad.getSize())] ^= TUint8(1u << (rng() % 8));
            break;
        case 1:  // cut the file short
            bad.resize(TInt32(rng() % bad.getSize()));
            break;
        case 2:  // overwrite a word with an extreme value
            for (TInt32 at = TInt32(rng() % (bad.getSize() - 4)), i = 0; i < 4; ++i)
                bad[at + i] = (rng() % 2) ? 0xff : TUint8(0x7f * (i == 0));
            break;
        default:  // random bytes after the header
            for (TInt32 i = 5 + 73; i < bad.getSize(); ++i) bad[i] = TUint8(rng());
            break;
        }
        TraceLog back;
        CAppsFileReader reader(bad.data(), TUint32(bad.getSize()));
        CAppsString error;
        if (back.read(reader, &error, true)) {
            ++accepted;
        } else {
            EXPECT_EQ(error.toUtf8().rfind("Error while reading location: ", 0), 0u);
        }
    }
    EXPECT_EQ(vmerr::pendingErrorCode(), 0);
    EXPECT_GT(accepted, 0);
}
