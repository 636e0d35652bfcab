// The node classes of Trace::TraceLog: entities (text, date and time, bytes),
// the file header and the trace events. Each node reads and writes its own
// record body; fields whose meaning the format leaves open are kept unchanged.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Vec.h"
#include "io/TraceLog.h"

#include <memory>

namespace mcb {

namespace Trace {

class TraceLog::NodeBase {
public:
    virtual ~NodeBase() = default;
    // Reads the body of a record whose type and length were already read.
    virtual void read(CAppsFileReader& reader, TInt32 bodyLength) = 0;
    virtual TUint8 type() const = 0;
    // Bytes of the body that writeRecord produces.
    virtual TInt64 bodyLength() const = 0;
    TInt64 recordSize() const { return 5 + bodyLength(); }

    // A whole record of this node's type: type, checked length, body, and
    // whatever unknown fields follow the body skipped.
    void readRecord(CAppsFileReader& reader);
    void writeRecord(CAppsFileWriter& writer) const;

protected:
    virtual void writeBody(CAppsFileWriter& writer) const = 0;
};

class TraceLog::StringNode : public TraceLog::NodeBase {
public:
    StringNode() = default;
    explicit StringNode(const CAppsString& t) : text(t) {}
    // Characters come in byte pairs; a final odd byte is ignored.
    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TUint8 type() const override { return kString; }
    TInt64 bodyLength() const override { return 2 * TInt64(text.getSize()); }

    CAppsString text;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

class TraceLog::DateTimeNode : public TraceLog::NodeBase {
public:
    // The local date and time now.
    static DateTimeNode now();

    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TUint8 type() const override { return kDateTime; }
    TInt64 bodyLength() const override { return 7; }

    TUint16 year = 1970;
    TUint8 month = 1;  // 1..12
    TUint8 day = 1;    // 1..31
    TUint8 hour = 0;
    TUint8 minute = 0;
    TUint8 second = 0;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

class TraceLog::DataNode : public TraceLog::NodeBase {
public:
    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TUint8 type() const override { return kData; }
    TInt64 bodyLength() const override { return bytes.getSize(); }

    Vec<TUint8> bytes;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

class TraceLog::HeaderNode : public TraceLog::NodeBase {
public:
    static constexpr const char* kProducer = "Tavik Studio Emulator";
    static constexpr TInt64 kTicksPerSecond = 1000000;

    // The header write() puts in front of a file now.
    static std::unique_ptr<HeaderNode> forNewFile();

    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TUint8 type() const override { return kHeader; }
    TInt64 bodyLength() const override {
        return producer.recordSize() + created.recordSize() + 14;
    }

    TUint8 versionMajor = 1;
    TUint8 versionMinor = 0;
    StringNode producer;
    TInt32 reserved = 0;
    DateTimeNode created;
    TInt64 ticksPerSecond = kTicksPerSecond;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

// Every event starts with a time stamp in ticks and one further word.
class TraceLog::LogNode : public TraceLog::NodeBase {
public:
    // A new node of an event type (101..109); null for any other code.
    static std::unique_ptr<LogNode> create(TUint8 type);

    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TInt64 bodyLength() const override { return 12; }

    TInt64 timeStamp = 0;
    TInt32 logValue = 0;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

// Events about one object carry a word and a long about it.
class TraceLog::EntityNode : public TraceLog::LogNode {
public:
    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TInt64 bodyLength() const override { return LogNode::bodyLength() + 12; }

    TInt32 entityValue = 0;
    TInt64 entityLong = 0;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

class TraceLog::BinaryNode : public TraceLog::EntityNode {
public:
    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TUint8 type() const override { return kBinary; }
    TInt64 bodyLength() const override {
        return EntityNode::bodyLength() + label.recordSize() + data.recordSize() + 8;
    }

    StringNode label;
    DataNode data;
    TInt32 value1 = 0;
    TInt32 value2 = 0;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

// Log records whose body after the log fields is one or two integers.
class TraceLog::OneValueNode : public TraceLog::LogNode {
public:
    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TInt64 bodyLength() const override { return LogNode::bodyLength() + 4; }

    TInt32 value1 = 0;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

class TraceLog::TwoValueNode : public TraceLog::OneValueNode {
public:
    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TInt64 bodyLength() const override { return OneValueNode::bodyLength() + 4; }

    TInt32 value2 = 0;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

class TraceLog::MethodCallNode : public TraceLog::OneValueNode {
public:
    TUint8 type() const override { return kMethodCall; }
};

class TraceLog::StartTraceNode : public TraceLog::OneValueNode {
public:
    TUint8 type() const override { return kStartTrace; }
};

class TraceLog::ExceptionThrownNode : public TraceLog::TwoValueNode {
public:
    TUint8 type() const override { return kExceptionThrown; }
};

class TraceLog::ExceptionCaughtNode : public TraceLog::OneValueNode {
public:
    TUint8 type() const override { return kExceptionCaught; }
};

class TraceLog::MethodReturnNode : public TraceLog::LogNode {
public:
    TUint8 type() const override { return kMethodReturn; }
};

class TraceLog::GarbageCollectionNode : public TraceLog::EntityNode {
public:
    TUint8 type() const override { return kGarbageCollection; }
};

class TraceLog::StopTraceNode : public TraceLog::LogNode {
public:
    TUint8 type() const override { return kStopTrace; }
};

class TraceLog::MessageNode : public TraceLog::LogNode {
public:
    void read(CAppsFileReader& reader, TInt32 bodyLength) override;
    TUint8 type() const override { return kMessage; }
    TInt64 bodyLength() const override { return LogNode::bodyLength() + message.recordSize(); }

    StringNode message;

protected:
    void writeBody(CAppsFileWriter& writer) const override;
};

}  // namespace Trace

}  // namespace mcb
