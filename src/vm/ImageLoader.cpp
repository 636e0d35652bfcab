// The image loader: checks an image completely before it touches the tables,
// then appends its methods, classes, descriptors, strings and code with every
// cross-reference moved by the bases of the images loaded before it.
#include "vm/ImageLoader.h"

#include "foundation/VMError.h"
#include "io/Stream.h"
#include "io/StreamBytes.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

namespace mcb {

namespace {

TInt32 wrappingAdd(TInt32 a, TInt32 b) { return TInt32(TUint32(a) + TUint32(b)); }

TInt32 readWord(const TUint8* p) {
    return TInt32(TUint32(p[0]) | TUint32(p[1]) << 8 | TUint32(p[2]) << 16 | TUint32(p[3]) << 24);
}

void writeWord(TUint8* p, TInt32 v) {
    for (int i = 0; i < 4; ++i) p[i] = TUint8(TUint32(v) >> (8 * i));
}

std::u16string nameKey(const CAppsString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.data()), size_t(s.getSize()));
}

Vec<int> toVec(const std::vector<TInt32>& v) {
    Vec<int> out;
    out.reserve(TInt32(v.size()));
    for (TInt32 x : v) out.append(x);
    return out;
}

// What the program tables (and the machine's frame offsets) come to hold for
// `file`, Vec growth and the allocator's headers included.
TUint64 tableBytes(const ImageFile& f, TInt32 newClasses) {
    auto list = [](size_t n, size_t item) { return n ? TUint64(n) * item + 16 : 0; };
    TUint64 t = sizeof(BytecodeStruct) + f.code.size() + TUint64(newClasses) * (3 * sizeof(Vec<int>) + 4);
    for (const auto& m : f.globalMethods) t += sizeof(ExportedMethod) + list(m.name.size(), 2) + list(1, sizeof(MethodEntry));
    for (const auto& s : f.selectors)
        t += sizeof(ExportedMethod) + list(s.name.size(), 2) + list(s.implementations.size(), sizeof(MethodEntry));
    for (const auto& c : f.classes)
        t += list(c.referenceFields.size(), 4) + list(c.arrayFields.size(), 4) + list(c.arrayFields.size(), 1);
    for (const auto& d : f.descriptors)
        t += sizeof(MethodGCInfo) + sizeof(TInt64) + list(d.possibleReferenceSlots.size(), 4) +
             list(d.referenceSlots.size(), 4) + list(d.arraySlots.size(), 5) + list(d.twoWordArraySlots.size(), 5);
    for (const auto& s : f.strings) t += sizeof(CAppsString) + list(s.size(), 2);
    return t + t / 4;
}

// The name index that selectors are joined through, while the image is linked.
TUint64 nameIndexBytes(const ProgramTables& tables, const ImageFile& f) {
    TUint64 t = 0;
    for (const auto& e : tables.exportedMethods) t += 96 + 2 * TUint64(e.name.getSize());
    for (const auto& s : f.selectors) t += 96 + 4 * TUint64(s.name.size());
    return t;
}

void splitSlots(const std::vector<ImageArraySlot>& slots, Vec<int>& indices, Vec<TUint8>& flags) {
    indices.reserve(TInt32(slots.size()));
    flags.reserve(TInt32(slots.size()));
    for (const auto& s : slots) {
        indices.append(s.index);
        flags.append(s.flag);
    }
}

}  // namespace

// The pending out-of-memory error becomes the load's failure.
bool ImageLoader::outOfMemory(TUint32 offset, const char* section, const std::string& what) {
    std::string text = vmerr::pendingErrorTextUtf8();
    vmerr::clearPendingError();
    fail(offset, section, what + " (" + text + ")");
    error_.outOfMemory = true;
    return false;
}

bool ImageLoader::fail(TUint32 offset, const char* section, std::string expected) {
    error_.offset = offset;
    error_.section = section;
    error_.expected = std::move(expected);
    return false;
}

bool ImageLoader::load(const CAppsString& name, VELMAR::InputStream& stream, TInt32& imageIndex) {
    Vec<TUint8> bytes;
    if (!VELMAR::readToEnd(stream, bytes))
        return fail(0, "header", "a readable stream, but reading it failed");
    return load(name, bytes.data(), size_t(bytes.getSize()), imageIndex);
}

bool ImageLoader::load(const CAppsString& name, const TUint8* data, size_t size,
                       TInt32& imageIndex) {
    error_ = ImageError{};
    std::array<TUint8, kImageIdentifierLength> identifier{};
    if (!parseImageIdentifier(data, size, identifier, error_)) return false;
    TInt32 earlier = findImage(identifier, name);
    if (earlier >= 0) {
        imageIndex = earlier;
        return true;
    }
    // The parsed image, then the tables are charged before they are made.
    BudgetCharge parsing;
    ImageFile file;
    try {
        if (!parseImage(data, size, file, error_, &parsing)) return false;
    } catch (const ErrorHandlingException&) {
        return outOfMemory(error_.offset, "header", "memory for the parsed image");
    }
    Bases bases;
    if (!checkRoom(file, bases) || !allocateGlobals(file)) return false;
    try {
        const TInt32 newClasses = std::max(0, bases.classBase + TInt32(file.classes.size()) - tables_.classTableSize());
        tables_.hostMemory.grow(tableBytes(file, newClasses));
        parsing.grow(nameIndexBytes(tables_, file));
        appendImage(name, file, bases);
        appendGlobalMethods(file, bases);
        Vec<TInt32> selectorMap = appendSelectors(file, bases);
        appendClasses(file, bases);
        appendDescriptors(file);
        appendStrings(file);
        appendCode(file, bases, selectorMap);
    } catch (const ErrorHandlingException&) {
        // Only memory exhaustion gets here; the image may then be half linked.
        return outOfMemory(0, "header", "memory for the program tables");
    }
    heap_.setClassLayout(tables_.classLayout());
    imageIndex = bases.image;
    return true;
}

TInt32 ImageLoader::findImage(const std::array<TUint8, kImageIdentifierLength>& identifier,
                              const CAppsString& name) const {
    for (TInt32 i = 0; i < tables_.images.getSize(); ++i) {
        const BytecodeStruct& image = tables_.images[i];
        if (image.identifier == identifier && image.name == name) return i;
    }
    return -1;
}

// Bases come from the tables as they stand; the class tables and the code
// array must have room for this image on top of them.
bool ImageLoader::checkRoom(const ImageFile& file, Bases& bases) {
    TInt64 classBase = TInt64(tables_.largestClassIndex) + 1;
    if (classBase < 1) classBase = 1;
    if (classBase + TInt64(file.classes.size()) > kMaxClassTableSize)
        return fail(0, "classes",
                    "class indices below " + std::to_string(kMaxClassTableSize) +
                        ", but the class base is " + std::to_string(classBase));
    if (TInt64(tables_.code.getSize()) + TInt64(file.code.size()) > INT32_MAX)
        return fail(file.codeOffset, "code", "code that fits beside the code loaded before");
    bases.classBase = TInt32(classBase);
    bases.code = tables_.code.getSize();
    bases.descriptor = tables_.descriptors.getSize();
    bases.string = tables_.strings.getSize();
    bases.image = tables_.images.getSize();
    return true;
}

bool ImageLoader::allocateGlobals(const ImageFile& file) {
    if (file.globalCount < 1) return true;
    try {
        VMAddr ref = heap_.allocate(TUint32(file.globalCount) * 4, 0, GC_CODE_PLAIN);
        heap_.addRoot(ref);
        tables_.globals = ref;
        return true;
    } catch (const ErrorHandlingException&) {
        return outOfMemory(0, "globals", "room for " + std::to_string(file.globalCount) + " global words");
    }
}

void ImageLoader::appendImage(const CAppsString& name, const ImageFile& file, const Bases& bases) {
    BytecodeStruct image;
    image.identifier = file.identifier;
    image.name = name;
    image.codeBase = bases.code;
    image.codeLength = TInt32(file.code.size());
    tables_.images.append(std::move(image));
}

void ImageLoader::appendGlobalMethods(const ImageFile& file, const Bases& bases) {
    for (const auto& m : file.globalMethods) {
        ExportedMethod e;
        e.imageIndex = bases.image;
        e.name = decodeImageName(m.name);
        e.isVirtual = 0;
        e.entries.append(MethodEntry{-1, wrappingAdd(m.codeAddress, bases.code),
                                     wrappingAdd(m.descriptor, bases.descriptor)});
        tables_.exportedMethods.append(std::move(e));
    }
}

// A selector joins the first exported method of the same name from any image.
// Returns the selector map: image-local selector index -> exported method index.
Vec<TInt32> ImageLoader::appendSelectors(const ImageFile& file, const Bases& bases) {
    std::unordered_map<std::u16string, TInt32> byName;
    for (TInt32 i = 0; i < tables_.exportedMethods.getSize(); ++i)
        byName.emplace(nameKey(tables_.exportedMethods[i].name), i);
    Vec<TInt32> selectorMap;
    for (const auto& s : file.selectors) {
        CAppsString name = decodeImageName(s.name);
        auto [it, fresh] = byName.emplace(nameKey(name), tables_.exportedMethods.getSize());
        if (fresh) {
            ExportedMethod e;
            e.imageIndex = bases.image;
            e.name = std::move(name);
            e.isVirtual = 1;
            tables_.exportedMethods.append(std::move(e));
        }
        selectorMap.append(it->second);
        ExportedMethod& target = tables_.exportedMethods[it->second];
        for (const auto& impl : s.implementations) {
            TInt32 cls = wrappingAdd(impl.classIndex, bases.classBase);
            target.entries.append(MethodEntry{cls, wrappingAdd(impl.codeAddress, bases.code),
                                              wrappingAdd(impl.descriptor, bases.descriptor)});
            raiseLargestClassIndex(cls);
        }
    }
    return selectorMap;
}

void ImageLoader::appendClasses(const ImageFile& file, const Bases& bases) {
    const TInt32 needed = bases.classBase + TInt32(file.classes.size());
    if (tables_.superclasses.getSize() < needed) {
        TInt32 old = tables_.superclasses.getSize();
        tables_.referenceFields.resize(needed);
        tables_.arrayFields.resize(needed);
        tables_.arrayFlags.resize(needed);
        tables_.superclasses.resize(needed);
        for (TInt32 i = old; i < needed; ++i) tables_.superclasses[i] = -2;
    }
    for (size_t i = 0; i < file.classes.size(); ++i) {
        const ImageClass& c = file.classes[i];
        const TInt32 index = bases.classBase + TInt32(i);
        tables_.referenceFields[index] = toVec(c.referenceFields);
        Vec<int> fields;
        Vec<TUint8> flags;
        splitSlots(c.arrayFields, fields, flags);
        tables_.arrayFields[index] = std::move(fields);
        tables_.arrayFlags[index] = std::move(flags);
        tables_.superclasses[index] =
            c.superclassPresent != 0 ? wrappingAdd(c.superclass, bases.classBase) : -1;
        raiseLargestClassIndex(index);
    }
}

void ImageLoader::appendDescriptors(const ImageFile& file) {
    for (const auto& d : file.descriptors) {
        MethodGCInfo info;
        info.firstLength = d.firstLength;
        info.secondLength = d.secondLength;
        info.thirdLength = d.thirdLength;
        info.possibleReferenceSlots = toVec(d.possibleReferenceSlots);
        splitSlots(d.arraySlots, info.arraySlots, info.arraySlotFlags);
        info.referenceSlots = toVec(d.referenceSlots);
        splitSlots(d.twoWordArraySlots, info.twoWordArraySlots, info.twoWordArraySlotFlags);
        tables_.descriptors.append(std::move(info));
    }
}

void ImageLoader::appendStrings(const ImageFile& file) {
    for (const auto& s : file.strings) tables_.strings.append(decodeImageText(s));
}

// Copies the code, then rewrites the operands that name something outside the
// instruction. The parser has already checked that every operand is present.
void ImageLoader::appendCode(const ImageFile& file, const Bases& bases,
                             const Vec<TInt32>& selectorMap) {
    const TInt32 length = TInt32(file.code.size());
    tables_.code.resize(bases.code + length);
    if (length == 0) return;
    TUint8* code = tables_.code.data() + bases.code;
    std::memcpy(code, file.code.data(), size_t(length));
    for (TInt32 pc = 0; pc < length;) {
        const InstructionInfo* row = findInstruction(TInt8(code[pc]));
        if (!row) {
            ++pc;
            continue;
        }
        for (TInt32 i = 0; i < row->operandCount; ++i)
            relocate(code + pc + operandOffset(*row, i), row->operands[i], bases, selectorMap);
        pc += instructionLength(row->opcode);
    }
}

// Jump and handler offsets are relative to the instruction and stay as they are.
void ImageLoader::relocate(TUint8* operand, const OperandInfo& info, const Bases& bases,
                           const Vec<TInt32>& selectorMap) {
    using K = OperandKind;
    if (info.width != 4) return;
    const TInt32 v = readWord(operand);
    switch (info.kind) {
        case K::CodeAddress: writeWord(operand, wrappingAdd(v, bases.code)); break;
        case K::Descriptor:
            if (v >= 0) writeWord(operand, wrappingAdd(v, bases.descriptor));
            break;
        case K::Selector: writeWord(operand, selectorMap[v]); break;
        case K::StringIndex: writeWord(operand, wrappingAdd(v, bases.string)); break;
        case K::ClassIndex: {
            TInt32 cls = wrappingAdd(v, bases.classBase);
            writeWord(operand, cls);
            raiseLargestClassIndex(cls);
            break;
        }
        case K::HandlerClass:
            if (v >= 0) writeWord(operand, wrappingAdd(v, bases.classBase));
            break;
        default: break;
    }
}

void ImageLoader::raiseLargestClassIndex(TInt32 classIndex) {
    if (classIndex > tables_.largestClassIndex) tables_.largestClassIndex = classIndex;
}

}  // namespace mcb
