// Reads a bytecode image through the loader's parser and converts it to the tools' model.
#include "ImageReader.h"

#include "vm/ImageFile.h"

namespace mcb {

namespace mcbtools {

ImageFormatError::ImageFormatError(size_t offset, std::string section, std::string expected)
    : std::runtime_error("byte offset " + std::to_string(offset) + " (" + section + "): expected "
                         + expected)
    , offset_(offset)
    , section_(std::move(section))
    , expected_(std::move(expected))
{
}

namespace {

std::vector<Value> values(const std::vector<TInt32>& in) { return {in.begin(), in.end()}; }

std::vector<FlaggedSlot> slots(const std::vector<ImageArraySlot>& in)
{
    std::vector<FlaggedSlot> out;
    out.reserve(in.size());
    for (const ImageArraySlot& s : in)
        out.push_back({s.flag, s.index});
    return out;
}

ClassRecord convertClass(const ImageClass& c)
{
    ClassRecord r;
    r.width = c.fieldWidth;
    r.refFields = values(c.referenceFields);
    r.arrayFields = slots(c.arrayFields);
    r.superPresent = c.superclassPresent;
    r.superIndex = c.superclass;
    r.trailing = values(c.trailing);
    return r;
}

Descriptor convertDescriptor(const ImageDescriptor& d)
{
    Descriptor r;
    r.width = d.slotWidth;
    r.first = d.firstLength;
    r.maybeRefs = values(d.possibleReferenceSlots);
    r.arrays = slots(d.arraySlots);
    r.second = d.secondLength;
    r.third = d.thirdLength;
    r.refs = values(d.referenceSlots);
    r.pairArrays = slots(d.twoWordArraySlots);
    return r;
}

Image convert(const ImageFile& f)
{
    Image im;
    im.identifier = f.identifier;
    std::copy(f.widths.begin(), f.widths.end(), im.widths.begin());
    for (const ImageGlobalMethod& m : f.globalMethods)
        im.methods.push_back({m.name, m.codeAddress, m.descriptor});
    for (const ImageSelector& s : f.selectors) {
        Selector sel{s.name, {}};
        for (const ImageImplementation& i : s.implementations)
            sel.impls.push_back({i.classIndex, i.codeAddress, i.descriptor});
        im.selectors.push_back(std::move(sel));
    }
    im.globals = f.globalCount;
    for (const ImageClass& c : f.classes)
        im.classes.push_back(convertClass(c));
    for (const ImageDescriptor& d : f.descriptors)
        im.descriptors.push_back(convertDescriptor(d));
    im.strings = f.strings;
    im.code = f.code;
    return im;
}

}  // namespace

Image readImage(std::span<const TUint8> bytes)
{
    ImageFile file;
    ImageError error;
    if (!parseImage(bytes.data(), bytes.size(), file, error))
        throw ImageFormatError(error.offset, error.section, error.expected);
    return convert(file);
}

}  // namespace mcbtools

}  // namespace mcb
