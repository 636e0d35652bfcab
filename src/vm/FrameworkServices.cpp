// The answers of a host that offers nothing beyond the log and the clocks.
#include "vm/FrameworkServices.h"

#include "foundation/VMError.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace mcb {

namespace {
const auto kStart = std::chrono::steady_clock::now();
}

std::unique_ptr<CAppsFileWriter> FileSystemServices::openForWriting(const OString&, bool) { return nullptr; }

std::unique_ptr<CAppsFileReader> FileSystemServices::openForReading(const OString&, TInt32) { return nullptr; }

TInt32 FrameworkServices::currentMillis() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return TInt32(TUint32(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}

TInt32 FrameworkServices::elapsedMillis() {
    auto since = std::chrono::steady_clock::now() - kStart;
    return TInt32(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void FrameworkServices::log(const OString& message) { writeLogLine(stderr, message); }

// In pieces, so that a long message is never copied whole. The bytes are
// those of the line put out at once: a 0 byte ends it there, line end and all.
void FrameworkServices::writeLogLine(std::FILE* out, const OString& message) {
    char piece[4096];
    std::fputs("LOG: ", out);
    for (TInt32 i = 0; i < message.length();) {
        size_t n = 0;
        for (; n < sizeof piece && i < message.length(); ++n, ++i) {
            piece[n] = char(message.charAt(i) & 0xFF);
            if (piece[n] == 0) {
                std::fwrite(piece, 1, n, out);
                return;
            }
        }
        std::fwrite(piece, 1, n, out);
    }
    std::fputc('\n', out);
}

void FrameworkServices::exit() { std::exit(0); }

TInt32 FrameworkServices::callDllNative(TInt32, TInt32, TInt32, TInt32*) {
    vmerr::raise(vmerr::msg::DllNotSupported);
}

}  // namespace mcb
