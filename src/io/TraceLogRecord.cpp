// Big-endian integers and the record framing of trace files over the file
// reader and writer.
#include "io/TraceLogRecord.h"

#include "foundation/VMError.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"

namespace mcb {

namespace Trace {

namespace {

TUint64 readBigEndian(CAppsFileReader& reader, int width) {
    TUint8 bytes[8];
    readBytes(reader, bytes, width);
    TUint64 value = 0;
    for (int i = 0; i < width; ++i) value = (value << 8) | bytes[i];
    return value;
}

void writeBigEndian(CAppsFileWriter& writer, TUint64 value, int width) {
    TUint8 bytes[8];
    for (int i = width - 1; i >= 0; --i, value >>= 8) bytes[i] = TUint8(value);
    writeBytes(writer, bytes, width);
}

}  // namespace

void failRead(const CAppsString& text) { throw ReadError{text}; }

void readBytes(CAppsFileReader& reader, TUint8* buffer, TInt32 count) {
    if (!reader.read(buffer, count)) failRead("unexpected end of file");
}

TUint8 readByte(CAppsFileReader& reader) {
    TUint8 byte = 0;
    if (!reader.read(byte)) failRead("unexpected end of file");
    return byte;
}

TUint16 readUint16(CAppsFileReader& reader) { return TUint16(readBigEndian(reader, 2)); }

TInt32 readInt32(CAppsFileReader& reader) { return TInt32(TUint32(readBigEndian(reader, 4))); }

TInt64 readInt64(CAppsFileReader& reader) { return TInt64(readBigEndian(reader, 8)); }

void readAndCheckType(CAppsFileReader& reader, int expectedType) {
    if (expectedType < 0 || expectedType >= 255)
        vmerr::raise(vmerr::msg::TraceTypeInRange);
    const TUint8 type = readByte(reader);
    if (type == expectedType) return;
    failRead(CAppsString("invalid type (expecting type: ")
                 .appendDecimal(expectedType)
                 .appendLatin1(") ")
                 .appendDecimal(type));
}

TInt32 readLength(CAppsFileReader& reader) {
    const TInt32 length = readInt32(reader);
    if (length < 0 || TUint32(length) > reader.bytesLeft())
        failRead(CAppsString("invalid length: ").appendDecimal(length));
    return length;
}

void skipToEndOfRecord(CAppsFileReader& reader, TUint32 start, TInt32 length) {
    const TInt64 end = TInt64(start) + length;
    const TInt64 position = reader.position();
    if (position > end) failRead("read: length exceeded");
    if (position == end) return;
    // A memory stream's seek reports false for its very end although it moves
    // there, so the position decides.
    if (end > INT32_MAX) failRead(CAppsString("invalid length: ").appendDecimal(length));
    reader.seek(TInt32(end));
    if (reader.position() != end) failRead("unexpected end of file");
}

void writeByte(CAppsFileWriter& writer, TUint8 value) {
    if (!writer.write(value)) vmerr::raise(vmerr::IO);
}

void writeBytes(CAppsFileWriter& writer, const TUint8* bytes, TInt32 count) {
    if (!writer.writeByteBufferToFile(bytes, count)) vmerr::raise(vmerr::IO);
}

void writeUint16(CAppsFileWriter& writer, TUint16 value) {
    writeBigEndian(writer, value, 2);
}

void writeInt32(CAppsFileWriter& writer, TInt32 value) {
    writeBigEndian(writer, TUint32(value), 4);
}

void writeInt64(CAppsFileWriter& writer, TInt64 value) {
    writeBigEndian(writer, TUint64(value), 8);
}

void writeRecordHead(CAppsFileWriter& writer, TUint8 type, TInt64 bodyLength) {
    if (bodyLength < 0 || bodyLength > INT32_MAX) vmerr::raise(vmerr::IO);
    writeByte(writer, type);
    writeInt32(writer, TInt32(bodyLength));
}

}  // namespace Trace

}  // namespace mcb
