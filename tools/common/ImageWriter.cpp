// Serialises an Image into the bytecode file layout.
#include "ImageWriter.h"

namespace mcb {

namespace mcbtools {
namespace {

class ByteSink {
public:
    void u8(TUint32 v) { bytes_.push_back(TUint8(v)); }
    void int32(TInt64 v) { sized(v, 4); }
    void sized(Value v, int width)
    {
        const auto u = TUint32(v);
        for (int i = 0; i < width; ++i)
            u8(u >> (8 * i));
    }
    void string(const std::string& s)
    {
        int32(TInt64(s.size()));
        bytes_.insert(bytes_.end(), s.begin(), s.end());
    }
    void values(const std::vector<Value>& vs, int width)
    {
        int32(TInt64(vs.size()));
        for (Value v : vs)
            sized(v, width);
    }
    void flagged(const std::vector<FlaggedSlot>& slots, int width)
    {
        int32(TInt64(slots.size()));
        for (const FlaggedSlot& s : slots) {
            u8(s.flag);
            sized(s.index, width);
        }
    }
    std::vector<TUint8> take() { return std::move(bytes_); }

private:
    std::vector<TUint8> bytes_;
};

void writeHeader(ByteSink& out, const Image& im)
{
    out.u8(kIdentifierLength);
    for (TUint8 b : im.identifier)
        out.u8(b);
    out.u8(0xFF);
    out.u8(0xFF);
    for (int w : im.widths)
        out.u8(TUint32(w));
}

void writeMethods(ByteSink& out, const Image& im)
{
    const auto& w = im.widths;
    out.int32(TInt64(im.methods.size()));
    for (const GlobalMethod& m : im.methods) {
        out.string(m.name);
        out.sized(m.codeAddress, w[WCodeAddress]);
        out.sized(m.descriptor, w[WDescriptor]);
    }
    out.int32(TInt64(im.selectors.size()));
    for (const Selector& s : im.selectors) {
        out.string(s.name);
        out.sized(Value(s.impls.size()), w[WImplCount]);
        for (const Implementation& i : s.impls) {
            out.sized(i.classIndex, w[WClass]);
            out.sized(i.codeAddress, w[WCodeAddress]);
            out.sized(i.descriptor, w[WDescriptor]);
        }
    }
}

void writeClasses(ByteSink& out, const Image& im)
{
    const auto& w = im.widths;
    out.int32(TInt64(im.classes.size()));
    for (const ClassRecord& c : im.classes) {
        out.u8(TUint32(c.width));
        out.values(c.refFields, c.width);
        out.flagged(c.arrayFields, c.width);
        out.sized(c.superPresent, w[WSuperPresent]);
        if (c.superPresent != 0)
            out.sized(c.superIndex, w[WClass]);
        out.sized(Value(c.trailing.size()), w[WTrailingCount]);
        for (Value t : c.trailing)
            out.sized(t, w[WClass]);
    }
}

void writeDescriptors(ByteSink& out, const Image& im)
{
    const auto& w = im.widths;
    out.int32(TInt64(im.descriptors.size()));
    for (const Descriptor& d : im.descriptors) {
        out.u8(TUint32(d.width));
        out.sized(d.first, w[WFirstLength]);
        out.values(d.maybeRefs, d.width);
        out.flagged(d.arrays, d.width);
        out.sized(d.second, w[WSecondLength]);
        out.sized(d.third, w[WThirdLength]);
        out.values(d.refs, d.width);
        out.flagged(d.pairArrays, d.width);
    }
}

}  // namespace

std::vector<TUint8> writeImage(const Image& im)
{
    ByteSink out;
    writeHeader(out, im);
    writeMethods(out, im);
    out.int32(im.globals);
    writeClasses(out, im);
    writeDescriptors(out, im);
    out.int32(TInt64(im.strings.size()));
    for (const std::string& s : im.strings)
        out.string(s);
    std::vector<TUint8> bytes = out.take();
    bytes.insert(bytes.end(), im.code.begin(), im.code.end());
    return bytes;
}

}  // namespace mcbtools

}  // namespace mcb
