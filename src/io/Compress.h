// ZLib: whole-buffer compression and decompression in the zlib stream format
// (header, deflate data, Adler-32 trailer), and decompression of a section of
// one file into another. Every failure is a false result; nothing here raises.
#pragma once

#include "foundation/Types.h"
#include "foundation/Vec.h"

namespace mcb {

class CAppsFileReader;
class CAppsFileWriter;

class ZLib {
public:
    // The output buffer size of the vector forms: output larger than this is
    // collected over several passes.
    static constexpr TInt32 kChunkSize = 2048;

    // Replaces `out` by the compressed form of all of `in`, at `level` (0..9,
    // or -1 for zlib's default). Empty input gives empty output, not a stream
    // of nothing. On failure `out` is empty. `in` and `out` may be the same.
    static bool compress(const Vec<TUint8>& in, Vec<TUint8>& out, int level);
    static bool compress(const Vec<TInt8>& in, Vec<TInt8>& out, int level);

    // Replaces `out` by the data of the one complete zlib stream at the start
    // of `in`; bytes after the stream's end are ignored. Fails on a bad header,
    // corrupt data, a preset dictionary and input that ends too early, leaving
    // `out` empty. `in` and `out` may be the same.
    static bool unCompress(const Vec<TUint8>& in, Vec<TUint8>& out);
    static bool unCompress(const Vec<TInt8>& in, Vec<TInt8>& out);

    // Inflates the `length` bytes at the reader's position and appends the
    // result to the writer, moving data through blocks of `blockSize` bytes.
    // Fails when either side is not open, `length` < 0, `blockSize` <= 0, fewer
    // than `length` bytes are left, the stream is corrupt or ends after
    // `length` bytes, or a write fails. What was appended before a failure
    // stays in the writer.
    static bool unCompress(CAppsFileReader& reader, CAppsFileWriter& writer, int length,
                           int blockSize);
};

}  // namespace mcb
