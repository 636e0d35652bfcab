// ZLib: the deflate and inflate loops behind the vector forms and the
// file-section form. zlib's own results never escape: each ends in true or false.
#include "io/Compress.h"

#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/NoRaise.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace mcb {

namespace {

// Ends the zlib stream however the work ends, a raise from Vec included.
struct ZStream {
    z_stream strm{};
    int (*end)(z_streamp) = nullptr;
    ~ZStream() {
        if (end) end(&strm);
    }
};

// Blocks of the file form never need to be larger than this: a bigger block
// would only move the same bytes in fewer steps.
constexpr TUint32 kMaxFileBlock = 1u << 20;

bool isInflateFailure(int ret) {
    // A preset dictionary is never supplied, so asking for one is bad data.
    return ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR ||
           ret == Z_STREAM_ERROR;
}

template <typename Byte>
bool appendChunk(Vec<Byte>& out, const TUint8* bytes, TUint32 count) {
    if (count == 0) return true;
    const TInt64 wanted = TInt64(out.getSize()) + count;
    if (wanted > INT32_MAX) return false;
    const TInt32 old = out.getSize();
    out.growTo(TInt32(wanted));
    std::memcpy(out.data() + old, bytes, count);
    return true;
}

template <typename Byte>
bool deflateAll(const TUint8* in, TInt32 size, Vec<Byte>& out, int level) {
    if (size == 0) return true;
    ZStream z;
    if (deflateInit(&z.strm, level) != Z_OK) return false;
    z.end = deflateEnd;
    z.strm.next_in = const_cast<Bytef*>(in);
    z.strm.avail_in = uInt(size);
    TUint8 chunk[ZLib::kChunkSize];
    int ret;
    do {
        z.strm.next_out = chunk;
        z.strm.avail_out = ZLib::kChunkSize;
        ret = deflate(&z.strm, Z_FINISH);
        if (ret == Z_STREAM_ERROR) return false;
        if (!appendChunk(out, chunk, ZLib::kChunkSize - z.strm.avail_out)) return false;
    } while (z.strm.avail_out == 0);
    return z.strm.avail_in == 0 && ret == Z_STREAM_END;
}

template <typename Byte>
bool inflateAll(const TUint8* in, TInt32 size, Vec<Byte>& out) {
    if (size == 0) return true;
    ZStream z;
    if (inflateInit(&z.strm) != Z_OK) return false;
    z.end = inflateEnd;
    z.strm.next_in = const_cast<Bytef*>(in);
    z.strm.avail_in = uInt(size);
    TUint8 chunk[ZLib::kChunkSize];
    do {
        z.strm.next_out = chunk;
        z.strm.avail_out = ZLib::kChunkSize;
        const int ret = inflate(&z.strm, Z_NO_FLUSH);
        if (isInflateFailure(ret)) return false;
        if (!appendChunk(out, chunk, ZLib::kChunkSize - z.strm.avail_out)) return false;
        if (ret == Z_STREAM_END) return true;
    } while (z.strm.avail_out == 0);
    // The input ran out before the stream's end: zlib can make no more progress.
    return false;
}

// The result is built aside and swapped in, so `in` may be `out` itself and a
// failure never leaves half an output behind.
template <typename Byte, typename Work>
bool replaceOutput(Vec<Byte>& out, Work&& work) {
    Vec<Byte> result;
    bool done = false;
    if (!VELMAR::runWithoutRaising([&] { done = work(result); })) done = false;
    if (!done) Vec<Byte>().swap(result);
    out.swap(result);
    return done;
}

template <typename Byte>
bool deflateVector(const Vec<Byte>& in, Vec<Byte>& out, int level) {
    const auto* bytes = reinterpret_cast<const TUint8*>(in.data());
    const TInt32 size = in.getSize();
    return replaceOutput(out, [&](Vec<Byte>& r) { return deflateAll(bytes, size, r, level); });
}

template <typename Byte>
bool inflateVector(const Vec<Byte>& in, Vec<Byte>& out) {
    const auto* bytes = reinterpret_cast<const TUint8*>(in.data());
    const TInt32 size = in.getSize();
    return replaceOutput(out, [&](Vec<Byte>& r) { return inflateAll(bytes, size, r); });
}

// Inflates the pending input into `output` as often as it comes back full,
// writing each part. Gives zlib's last result, or Z_DATA_ERROR on any failure.
int inflateInto(z_stream& strm, std::vector<TUint8>& output, CAppsFileWriter& writer) {
    int ret;
    do {
        strm.next_out = output.data();
        strm.avail_out = uInt(output.size());
        ret = inflate(&strm, Z_NO_FLUSH);
        if (isInflateFailure(ret)) return Z_DATA_ERROR;
        const TUint32 produced = TUint32(output.size() - strm.avail_out);
        if (produced > 0 && !writer.writeByteBufferToFile(output.data(), int(produced)))
            return Z_DATA_ERROR;
    } while (ret != Z_STREAM_END && strm.avail_out == 0);
    return ret;
}

bool inflateSection(CAppsFileReader& reader, CAppsFileWriter& writer, TUint32 left,
                    TUint32 blockSize) {
    const TUint32 block = std::min(blockSize, kMaxFileBlock);
    std::vector<TUint8> input(std::min(block, left));
    std::vector<TUint8> output(block);
    ZStream z;
    if (inflateInit(&z.strm) != Z_OK) return false;
    z.end = inflateEnd;
    while (left > 0) {
        const TUint32 count = std::min<TUint32>(TUint32(input.size()), left);
        if (!reader.read(input.data(), TInt32(count))) return false;
        left -= count;
        z.strm.next_in = input.data();
        z.strm.avail_in = uInt(count);
        const int ret = inflateInto(z.strm, output, writer);
        if (ret == Z_STREAM_END) return true;
        if (ret == Z_DATA_ERROR) return false;
    }
    // The section ended before the stream did.
    return false;
}

}  // namespace

bool ZLib::compress(const Vec<TUint8>& in, Vec<TUint8>& out, int level) {
    return deflateVector(in, out, level);
}

bool ZLib::compress(const Vec<TInt8>& in, Vec<TInt8>& out, int level) {
    return deflateVector(in, out, level);
}

bool ZLib::unCompress(const Vec<TUint8>& in, Vec<TUint8>& out) { return inflateVector(in, out); }

bool ZLib::unCompress(const Vec<TInt8>& in, Vec<TInt8>& out) { return inflateVector(in, out); }

bool ZLib::unCompress(CAppsFileReader& reader, CAppsFileWriter& writer, int length,
                      int blockSize) {
    if (!reader.isOk() || !writer.isOk() || length < 0 || blockSize <= 0) return false;
    const TUint32 size = reader.size();
    const TUint32 position = reader.position();
    if (position > size || size - position < TUint32(length)) return false;
    if (length == 0) return true;
    bool done = false;
    if (!VELMAR::runWithoutRaising([&] {
            done = inflateSection(reader, writer, TUint32(length), TUint32(blockSize));
        }))
        return false;
    return done;
}

}  // namespace mcb
