// The trace file's record framing (type byte, big-endian signed 32-bit body
// length, body) and its big-endian integers. Reads fail with a ReadError whose
// text the log reports; writes fail with VM error 7.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Types.h"

namespace mcb {

class CAppsFileReader;
class CAppsFileWriter;

namespace Trace {

// A failed read, with the reason as the log reports it after the location.
struct ReadError {
    CAppsString text;
};

[[noreturn]] void failRead(const CAppsString& text);

TUint8 readByte(CAppsFileReader& reader);
TUint16 readUint16(CAppsFileReader& reader);
TInt32 readInt32(CAppsFileReader& reader);
TInt64 readInt64(CAppsFileReader& reader);
void readBytes(CAppsFileReader& reader, TUint8* buffer, TInt32 count);

// Reads one type byte; anything but `expectedType` (below 255) fails.
void readAndCheckType(CAppsFileReader& reader, int expectedType);
// Reads a body length; it must lie between 0 and the bytes left to read.
TInt32 readLength(CAppsFileReader& reader);
// Moves past whatever of the body at `start` the reader left unread. Fails
// when more than `length` bytes were consumed.
void skipToEndOfRecord(CAppsFileReader& reader, TUint32 start, TInt32 length);

void writeByte(CAppsFileWriter& writer, TUint8 value);
void writeUint16(CAppsFileWriter& writer, TUint16 value);
void writeInt32(CAppsFileWriter& writer, TInt32 value);
void writeInt64(CAppsFileWriter& writer, TInt64 value);
void writeBytes(CAppsFileWriter& writer, const TUint8* bytes, TInt32 count);
// The type byte and the body length; a body too long to frame fails.
void writeRecordHead(CAppsFileWriter& writer, TUint8 type, TInt64 bodyLength);

}  // namespace Trace

}  // namespace mcb
