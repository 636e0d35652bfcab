// A sample image that fills every section and uses every relocated operand,
// shared by the parser, loader and robustness tests.
#pragma once

#include "ImageBuilder.h"

namespace testimg {

// Offsets into the sample's code, for checking relocations.
struct SampleCode {
    Code code;
    size_t call, callNoDescriptor, callVirtual0, callVirtual1, loadString, setClass, tryClass,
        tryAny, invalid;
};

inline SampleCode sampleCode() {
    using mcb::Op;
    SampleCode s;
    Code& c = s.code;
    c.op(Op::Nop);
    s.call = c.bytes.size();
    c.op(Op::Call, {7, 1});
    s.callNoDescriptor = c.bytes.size();
    c.op(Op::Call, {7, -1});
    s.callVirtual0 = c.bytes.size();
    c.op(Op::CallVirtual, {0});
    s.callVirtual1 = c.bytes.size();
    c.op(Op::CallVirtual, {1});
    s.loadString = c.bytes.size();
    c.op(Op::LoadString, {3});
    s.setClass = c.bytes.size();
    c.op(Op::SetClass, {2});
    s.tryClass = c.bytes.size();
    c.op(Op::PushHandler, {1, 5});
    s.tryAny = c.bytes.size();
    c.op(Op::PushHandler, {-1, 9});
    c.op(Op::JumpW, {-3}).op(Op::Jump, {-7}).op(Op::JumpIfZero, {4});
    c.op(Op::Native, {8, 135}).op(Op::Extension, {20, 11});
    c.op(Op::Push, {42}).op(Op::Push64, {1, 2}).op(Op::Alloc, {2, 3});
    c.op(Op::AllocTo, {2, 1, 1}).op(Op::LocalDeref1Field, {-2, 3});
    s.invalid = c.bytes.size();
    c.byte(56).byte(0xFF).byte(0xFF);  // invalid opcodes take no operands
    c.op(Op::Return, {1, 2});
    return s;
}

// Every value fits in one unsigned byte, so any header width can hold it.
inline ImageFile sampleImage(TUint8 width = 4, const std::string& identifier = kIdentifier) {
    ImageFile f = emptyImage(identifier);
    f.widths.fill(width);
    f.globalMethods = {{"main", 0, 0}, {"::global::init", 5, 1}};
    f.selectors = {{"<application>.draw to<canvas>", {{0, 10, 1}, {2, 20, 1}}},
                   {"main", {{1, 30, 0}}}};
    f.globalCount = 2;
    ImageClass c0;
    c0.fieldWidth = 1;
    c0.referenceFields = {1, 2};
    c0.arrayFields = {{kArrayFlagReferences, 3}};
    c0.trailing = {1};
    ImageClass c1;
    c1.fieldWidth = 2;
    c1.referenceFields = {300};
    c1.arrayFields = {{kArrayFlagPlain, 4}};
    c1.superclassPresent = 1;
    c1.superclass = 0;
    ImageClass c2;
    c2.fieldWidth = 4;
    c2.referenceFields = {70000};
    c2.superclassPresent = 1;
    c2.superclass = 1;
    f.classes = {c0, c1, c2};
    ImageDescriptor d0;
    d0.slotWidth = 1;
    d0.firstLength = 2;
    d0.possibleReferenceSlots = {1};
    d0.arraySlots = {{kArrayFlagReferences, 2}};
    d0.secondLength = 3;
    d0.thirdLength = 4;
    d0.referenceSlots = {5, 6};
    d0.twoWordArraySlots = {{kArrayFlagPlain, 7}};
    ImageDescriptor d1;
    d1.slotWidth = 2;
    d1.firstLength = 1;
    d1.referenceSlots = {400};
    f.descriptors = {d0, d1};
    f.strings = {"hello", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", ""};
    f.code = sampleCode().code.bytes;
    return f;
}

}  // namespace testimg
