// Trace::TraceLog: writing a whole trace file and reading one back, turning
// every read failure into a located error text.
#include "io/TraceLog.h"

#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/NoRaise.h"
#include "io/TraceLogRecord.h"

#include <sys/time.h>

#include <new>

namespace mcb {

namespace Trace {

TraceLog::TraceLog() : header_(HeaderNode::forNewFile()) {}

TraceLog::~TraceLog() = default;

TInt64 TraceLog::currentTimeStamp() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return TInt64(now.tv_sec) * 1000000 + now.tv_usec;
}

void TraceLog::append(std::unique_ptr<LogNode> node) {
    if (node) nodes_.push_back(std::move(node));
}

bool TraceLog::write(const CAppsString& path) const {
    CAppsFileWriter writer(path, true);
    if (!writer.isOk()) return false;
    const bool written = write(writer);
    return writer.close() && written;
}

bool TraceLog::write(CAppsFileWriter& writer) const {
    if (!writer.isOk()) return false;
    return VELMAR::runWithoutRaising([&] {
        HeaderNode::forNewFile()->writeRecord(writer);
        for (const auto& node : nodes_) node->writeRecord(writer);
    });
}

void TraceLog::readEvents(CAppsFileReader& reader) {
    while (!reader.atEnd()) {
        const TUint8 type = readByte(reader);
        std::unique_ptr<LogNode> node = LogNode::create(type);
        if (!node) failRead(CAppsString("Invalid type: ").appendDecimal(type));
        const TInt32 length = readLength(reader);
        const TUint32 start = reader.position();
        node->read(reader, length);
        nodes_.push_back(std::move(node));
        skipToEndOfRecord(reader, start, length);
    }
}

bool TraceLog::read(CAppsFileReader& reader, CAppsString* errorText, bool readEvents) {
    nodes_.clear();
    CAppsString reason;
    if (!reader.isOk()) {
        if (errorText) *errorText = CAppsString("File is not open");
        return false;
    }
    const bool hadPendingError = vmerr::pendingErrorCode() != 0;
    try {
        auto header = std::make_unique<HeaderNode>();
        header->readRecord(reader);
        header_ = std::move(header);
        if (readEvents) this->readEvents(reader);
        return true;
    } catch (const ReadError& e) {
        reason = e.text;
    } catch (const ErrorHandlingException&) {
        reason = vmerr::pendingErrorText();
        if (!hadPendingError) vmerr::clearPendingError();
    } catch (const std::bad_alloc&) {
        reason = CAppsString("out of memory");
    }
    if (errorText) {
        *errorText = CAppsString("Error while reading location: ")
                         .appendDecimal(reader.position())
                         .append(reason);
    }
    return false;
}

}  // namespace Trace

}  // namespace mcb
