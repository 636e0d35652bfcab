// Trace::TraceLog: an execution trace of a bytecode program as a list of typed
// nodes, and its binary file form: length-prefixed records, big-endian integers.
// The node classes are nested here and defined in TraceLogNodes.h.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Types.h"

#include <memory>
#include <vector>

namespace mcb {

class CAppsFileReader;
class CAppsFileWriter;

namespace Trace {

class TraceLog {
public:
    // Record type codes as they stand in the file.
    enum Type : TUint8 {
        kString = 1,
        kDateTime = 3,
        kData = 4,
        kHeader = 5,
        kBinary = 101,
        kMethodCall = 102,
        kMethodReturn = 103,
        kGarbageCollection = 104,
        kStopTrace = 105,
        kStartTrace = 106,
        kMessage = 107,
        kExceptionThrown = 108,
        kExceptionCaught = 109,
    };
    static constexpr TUint8 kFirstEventType = kBinary;
    static constexpr TUint8 kLastEventType = kExceptionCaught;

    class NodeBase;
    class StringNode;
    class DateTimeNode;
    class DataNode;
    class HeaderNode;
    class LogNode;
    class EntityNode;
    class BinaryNode;
    class OneValueNode;
    class TwoValueNode;
    class MethodCallNode;
    class MethodReturnNode;
    class GarbageCollectionNode;
    class StopTraceNode;
    class StartTraceNode;
    class MessageNode;
    class ExceptionThrownNode;
    class ExceptionCaughtNode;

    TraceLog();
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // Microseconds of the system clock: the time stamp of a new event.
    static TInt64 currentTimeStamp();

    void append(std::unique_ptr<LogNode> node);
    const std::vector<std::unique_ptr<LogNode>>& nodes() const { return nodes_; }
    // The header last read; a fresh log holds the one write() would produce.
    const HeaderNode& header() const { return *header_; }

    // Writes a header stamped with the current local time, then every event,
    // to a new file at `path`. False when the file cannot be opened or a write
    // fails.
    bool write(const CAppsString& path) const;
    bool write(CAppsFileWriter& writer) const;

    // Replaces the header and the events by those read from `reader`'s
    // position on; events only when `readEvents` is set. On failure the events
    // read so far stay and, when given, `errorText` receives the reason.
    bool read(CAppsFileReader& reader, CAppsString* errorText, bool readEvents);

private:
    void readEvents(CAppsFileReader& reader);

    std::unique_ptr<HeaderNode> header_;
    std::vector<std::unique_ptr<LogNode>> nodes_;
};

}  // namespace Trace

}  // namespace mcb

#include "io/TraceLogNodes.h"
