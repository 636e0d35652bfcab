// Reading and writing the record bodies of the trace log's nodes, field by
// field in file order.
#include "io/TraceLogNodes.h"

#include "io/CAppsFileReader.h"
#include "io/TraceLogRecord.h"

#include <ctime>

namespace mcb {

namespace Trace {

using T = TraceLog;

void T::NodeBase::readRecord(CAppsFileReader& reader) {
    readAndCheckType(reader, type());
    const TInt32 length = readLength(reader);
    const TUint32 start = reader.position();
    read(reader, length);
    skipToEndOfRecord(reader, start, length);
}

void T::NodeBase::writeRecord(CAppsFileWriter& writer) const {
    writeRecordHead(writer, type(), bodyLength());
    writeBody(writer);
}

// --- Entities ---

void T::StringNode::read(CAppsFileReader& reader, TInt32 bodyLength) {
    CAppsString chars;
    chars.reserve(bodyLength / 2);
    for (TInt32 i = 0; i < bodyLength / 2; ++i) chars.append(readUint16(reader));
    text.swap(chars);
}

void T::StringNode::writeBody(CAppsFileWriter& writer) const {
    for (TUint16 c : text) writeUint16(writer, c);
}

T::DateTimeNode T::DateTimeNode::now() {
    DateTimeNode node;
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return node;
    node.year = TUint16(local.tm_year + 1900);
    node.month = TUint8(local.tm_mon + 1);
    node.day = TUint8(local.tm_mday);
    node.hour = TUint8(local.tm_hour);
    node.minute = TUint8(local.tm_min);
    node.second = TUint8(local.tm_sec);
    return node;
}

void T::DateTimeNode::read(CAppsFileReader& reader, TInt32) {
    year = readUint16(reader);
    month = readByte(reader);
    day = readByte(reader);
    hour = readByte(reader);
    minute = readByte(reader);
    second = readByte(reader);
}

void T::DateTimeNode::writeBody(CAppsFileWriter& writer) const {
    writeUint16(writer, year);
    for (TUint8 field : {month, day, hour, minute, second}) writeByte(writer, field);
}

void T::DataNode::read(CAppsFileReader& reader, TInt32 bodyLength) {
    Vec<TUint8> read;
    read.resize(bodyLength);
    readBytes(reader, read.data(), bodyLength);
    bytes.swap(read);
}

void T::DataNode::writeBody(CAppsFileWriter& writer) const {
    writeBytes(writer, bytes.data(), bytes.getSize());
}

// --- Header ---

std::unique_ptr<T::HeaderNode> T::HeaderNode::forNewFile() {
    auto header = std::make_unique<HeaderNode>();
    header->producer.text = CAppsString(kProducer);
    header->created = DateTimeNode::now();
    return header;
}

void T::HeaderNode::read(CAppsFileReader& reader, TInt32) {
    versionMajor = readByte(reader);
    versionMinor = readByte(reader);
    producer.readRecord(reader);
    reserved = readInt32(reader);
    created.readRecord(reader);
    ticksPerSecond = readInt64(reader);
}

void T::HeaderNode::writeBody(CAppsFileWriter& writer) const {
    writeByte(writer, versionMajor);
    writeByte(writer, versionMinor);
    producer.writeRecord(writer);
    writeInt32(writer, reserved);
    created.writeRecord(writer);
    writeInt64(writer, ticksPerSecond);
}

// --- Events ---

std::unique_ptr<T::LogNode> T::LogNode::create(TUint8 type) {
    switch (type) {
    case kBinary: return std::make_unique<BinaryNode>();
    case kMethodCall: return std::make_unique<MethodCallNode>();
    case kMethodReturn: return std::make_unique<MethodReturnNode>();
    case kGarbageCollection: return std::make_unique<GarbageCollectionNode>();
    case kStopTrace: return std::make_unique<StopTraceNode>();
    case kStartTrace: return std::make_unique<StartTraceNode>();
    case kMessage: return std::make_unique<MessageNode>();
    case kExceptionThrown: return std::make_unique<ExceptionThrownNode>();
    case kExceptionCaught: return std::make_unique<ExceptionCaughtNode>();
    default: return nullptr;
    }
}

void T::LogNode::read(CAppsFileReader& reader, TInt32) {
    timeStamp = readInt64(reader);
    logValue = readInt32(reader);
}

void T::LogNode::writeBody(CAppsFileWriter& writer) const {
    writeInt64(writer, timeStamp);
    writeInt32(writer, logValue);
}

void T::EntityNode::read(CAppsFileReader& reader, TInt32 bodyLength) {
    LogNode::read(reader, bodyLength);
    entityValue = readInt32(reader);
    entityLong = readInt64(reader);
}

void T::EntityNode::writeBody(CAppsFileWriter& writer) const {
    LogNode::writeBody(writer);
    writeInt32(writer, entityValue);
    writeInt64(writer, entityLong);
}

void T::BinaryNode::read(CAppsFileReader& reader, TInt32 bodyLength) {
    EntityNode::read(reader, bodyLength);
    label.readRecord(reader);
    data.readRecord(reader);
    value1 = readInt32(reader);
    value2 = readInt32(reader);
}

void T::BinaryNode::writeBody(CAppsFileWriter& writer) const {
    EntityNode::writeBody(writer);
    label.writeRecord(writer);
    data.writeRecord(writer);
    writeInt32(writer, value1);
    writeInt32(writer, value2);
}

void T::OneValueNode::read(CAppsFileReader& reader, TInt32 bodyLength) {
    LogNode::read(reader, bodyLength);
    value1 = readInt32(reader);
}

void T::OneValueNode::writeBody(CAppsFileWriter& writer) const {
    LogNode::writeBody(writer);
    writeInt32(writer, value1);
}

void T::TwoValueNode::read(CAppsFileReader& reader, TInt32 bodyLength) {
    OneValueNode::read(reader, bodyLength);
    value2 = readInt32(reader);
}

void T::TwoValueNode::writeBody(CAppsFileWriter& writer) const {
    OneValueNode::writeBody(writer);
    writeInt32(writer, value2);
}

void T::MessageNode::read(CAppsFileReader& reader, TInt32 bodyLength) {
    LogNode::read(reader, bodyLength);
    message.readRecord(reader);
}

void T::MessageNode::writeBody(CAppsFileWriter& writer) const {
    LogNode::writeBody(writer);
    message.writeRecord(writer);
}

}  // namespace Trace

}  // namespace mcb
