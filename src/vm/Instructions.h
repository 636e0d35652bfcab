// The instruction set, declared once: one row per opcode with its mnemonic,
// operands, fixed stack effect and meaning. The interpreter, the loader's code
// walk, the assembler and the disassembler are all driven by this table.
#pragma once

#include "foundation/Types.h"

#include <array>
#include <string_view>

namespace mcb {

// What an operand means; the loader relocates by kind, the tools print by kind.
enum class OperandKind : TUint8 {
    Int,             // plain value, count, stack offset or word index
    JumpOffset,      // relative to the instruction's last operand byte
    CodeAddress,     // absolute code index; relocated by the code base
    Descriptor,      // method descriptor index; negative = none; relocated
    Selector,        // image-local selector index; mapped to an exported method
    StringIndex,     // string constant index; relocated by the string base
    ClassIndex,      // class index; relocated by the class base
    HandlerClass,    // class caught by a handler; negative = any; relocated otherwise
    HandlerOffset,   // relative to the instruction's last operand byte
    GcCode,          // heap block kind
    Level,           // reference-level difference of the level conversion
    ElementSize,     // vector element size in bytes
    NativeGroup,     // native group number of instruction 78
    NativeFunction,  // native function number of instruction 78 (unsigned)
    Extension,       // extension number of instruction 97
    ExtensionFunction,
};

struct OperandInfo {
    TUint8 width = 0;  // bytes: 1, 2 or 4, little-endian
    bool isSigned = true;
    OperandKind kind = OperandKind::Int;
};

constexpr TInt8 kVariableEffect = -1;

struct InstructionInfo {
    TInt8 opcode;
    std::string_view mnemonic;
    TInt8 pops;    // words taken from the top; kVariableEffect when it depends on operands or state
    TInt8 pushes;  // words left on the top; kVariableEffect likewise
    TUint8 operandCount;
    std::array<OperandInfo, 3> operands;
    std::string_view meaning;
};

namespace opnd {
using K = OperandKind;
constexpr OperandInfo S8{1, true, K::Int};
constexpr OperandInfo U8{1, false, K::Int};
constexpr OperandInfo S32{4, true, K::Int};
constexpr OperandInfo U32{4, false, K::Int};
constexpr OperandInfo Jump16{2, true, K::JumpOffset};
constexpr OperandInfo Jump32{4, true, K::JumpOffset};
constexpr OperandInfo Code32{4, true, K::CodeAddress};
constexpr OperandInfo Desc32{4, true, K::Descriptor};
constexpr OperandInfo Sel32{4, true, K::Selector};
constexpr OperandInfo Str32{4, true, K::StringIndex};
constexpr OperandInfo Class32{4, true, K::ClassIndex};
constexpr OperandInfo Catch32{4, true, K::HandlerClass};
constexpr OperandInfo Handler32{4, true, K::HandlerOffset};
constexpr OperandInfo Gc8{1, true, K::GcCode};
constexpr OperandInfo Level8{1, true, K::Level};
constexpr OperandInfo Elem8{1, true, K::ElementSize};
constexpr OperandInfo Group8{1, true, K::NativeGroup};
constexpr OperandInfo Func8{1, false, K::NativeFunction};  // string natives reach 128 and beyond
constexpr OperandInfo Ext8{1, true, K::Extension};
constexpr OperandInfo ExtFunc8{1, true, K::ExtensionFunction};
}  // namespace opnd

#define MCB_V kVariableEffect

// X(Name, opcode, "mnemonic", pops, pushes, "meaning", operands...)
// Notation: s0 top word, s1 the one below; [a] the word at VM address a (null-checked).
#define MCB_INSTRUCTIONS(X)                                                                     \
    X(Nop, 0, "nop", 0, 0, "do nothing")                                                        \
    X(LoadLocal, 1, "ldloc", 0, 1, "push the stack word at (new sp + k)", S8)                   \
    X(LoadLocalW, 2, "ldloc_w", 0, 1, "push the stack word at (new sp + k)", S32)               \
    X(LocalAddr, 3, "ldloca", 0, 1, "push the address of stack slot (new sp + k)", S8)          \
    X(LocalAddrW, 4, "ldloca_w", 0, 1, "push the address of stack slot (new sp + k)", S32)      \
    X(FieldAddr, 5, "fielda", 1, 1, "s0 = s0 + 4n, the address of word n of block s0", S8)      \
    X(FieldAddrW, 6, "fielda_w", 1, 1, "s0 = s0 + 4n, the address of word n of block s0", S32)  \
    X(Deref, 7, "deref", 1, 1, "s0 = [s0]")                                                     \
    X(AdjustStack, 8, "adjsp", MCB_V, MCB_V, "n <= 0: pop -n words; n > 0: push n zeros", S8)   \
    X(AdjustStackW, 9, "adjsp_w", MCB_V, MCB_V, "n <= 0: pop -n words; n > 0: push n zeros",    \
      S32)                                                                                      \
    X(JumpIfZero, 10, "jz", 1, 0, "pop; jump when the popped word is 0", Jump16)                \
    X(JumpIfZeroW, 11, "jz_w", 1, 0, "pop; jump when the popped word is 0", Jump32)             \
    X(Jump, 12, "jmp", 0, 0, "jump", Jump16)                                                    \
    X(JumpW, 13, "jmp_w", 0, 0, "jump", Jump32)                                                 \
    X(Call, 14, "call", MCB_V, MCB_V, "direct call of a code address with a descriptor",        \
      Code32, Desc32)                                                                           \
    X(CallVirtual, 15, "callv", MCB_V, MCB_V, "virtual call on the class index in s0", Sel32)   \
    X(Return, 16, "ret", MCB_V, MCB_V, "return to the word at (sp - a), then drop b words",     \
      S32, S32)                                                                                 \
    X(Alloc, 17, "alloc", 0, 1, "push a new heap block of n words with GcCode c", Gc8, U32)     \
    X(Dup, 18, "dup", 1, 2, "push s0 again")                                                    \
    X(Not, 19, "not", 1, 1, "s0 = (s0 == 0) ? -1 : 0")                                          \
    X(Push, 20, "push", 0, 1, "push the value", S32)                                            \
    X(LoadString, 21, "ldstr", 0, 1, "push a new string cell holding string constant i",        \
      Str32)                                                                                    \
    X(SetClass, 22, "setclass", 1, 0, "[s0] = class index; pop (stamps a new instance)",        \
      Class32)                                                                                  \
    X(Store, 23, "store", 2, 0, "[s1] = s0; pop 2")                                             \
    X(StoreZero, 24, "storez", 1, 0, "[s0] = 0; pop")                                           \
    X(StoreAlt, 25, "store_b", 2, 0, "[s1] = s0; pop 2 (same effect as store)")                 \
    X(Add, 26, "add", 2, 1, "s1 = s1 + s0; pop")                                                \
    X(Sub, 27, "sub", 2, 1, "s1 = s1 - s0; pop")                                                \
    X(Mul, 28, "mul", 2, 1, "s1 = s1 * s0; pop")                                                \
    X(Div, 29, "div", 2, 1, "s1 = s1 / s0; pop")                                                \
    X(Rem, 30, "rem", 2, 1, "s1 = s1 % s0; pop")                                                \
    X(Neg, 31, "neg", 1, 1, "s0 = -s0")                                                         \
    X(IncMem, 32, "incm", 1, 0, "[s0] += 1; pop")                                               \
    X(DecMem, 33, "decm", 1, 0, "[s0] -= 1; pop")                                               \
    X(AddMem, 34, "addm", 2, 0, "[s1] += s0; pop 2")                                            \
    X(SubMem, 35, "subm", 2, 0, "[s1] -= s0; pop 2")                                            \
    X(MulMem, 36, "mulm", 2, 0, "[s1] *= s0; pop 2")                                            \
    X(DivMem, 37, "divm", 2, 0, "[s1] /= s0; pop 2")                                            \
    X(RemMem, 38, "remm", 2, 0, "[s1] %= s0; pop 2")                                            \
    X(Eq, 39, "eq", 2, 1, "s1 = (s1 == s0) ? -1 : 0; pop")                                      \
    X(Lt, 40, "lt", 2, 1, "s1 = (s1 < s0) ? -1 : 0; pop")                                       \
    X(Le, 41, "le", 2, 1, "s1 = (s1 <= s0) ? -1 : 0; pop")                                      \
    X(Ne, 42, "ne", 2, 1, "s1 = (s1 != s0) ? -1 : 0; pop")                                      \
    X(Gt, 43, "gt", 2, 1, "s1 = (s1 > s0) ? -1 : 0; pop")                                       \
    X(Ge, 44, "ge", 2, 1, "s1 = (s1 >= s0) ? -1 : 0; pop")                                      \
    X(And, 45, "and", 2, 1, "s1 = s1 & s0; pop")                                                \
    X(Or, 46, "or", 2, 1, "s1 = s1 | s0; pop")                                                  \
    X(Xor, 47, "xor", 2, 1, "s1 = s1 ^ s0; pop")                                                \
    X(Shl, 48, "shl", 2, 1, "s1 = s1 shifted left by s0; pop")                                 \
    X(Shr, 49, "shr", 2, 1, "s1 = s1 shifted right (arithmetic) by s0; pop")                   \
    X(AndMem, 50, "andm", 2, 0, "[s1] &= s0; pop 2")                                            \
    X(OrMem, 51, "orm", 2, 0, "[s1] |= s0; pop 2")                                              \
    X(XorMem, 52, "xorm", 2, 0, "[s1] ^= s0; pop 2")                                            \
    X(ShlMem, 53, "shlm", 2, 0, "[s1] = [s1] shifted left by s0; pop 2")                        \
    X(ShrMem, 54, "shrm", 2, 0, "[s1] = [s1] shifted right by s0; pop 2")                       \
    X(IntToString, 55, "itos", 1, 1, "s0 = a new string cell holding the decimal text of s0")   \
    X(ZeroExtendByte, 57, "zext8", 1, 1, "s0 = s0 & 255")                                       \
    X(PushTrue, 58, "ldtrue", 0, 1, "push -1")                                                  \
    X(PushFalse, 59, "ldfalse", 0, 1, "push 0")                                                 \
    X(LogicalAnd, 60, "land", 2, 1, "s1 = (s1 != 0 && s0 != 0) ? -1 : 0; pop")                  \
    X(LogicalOr, 61, "lor", 2, 1, "s1 = (s1 != 0 || s0 != 0) ? -1 : 0; pop")                    \
    X(LogicalXor, 62, "lxor", 2, 1, "s1 = ((s1 != 0) != (s0 != 0)) ? -1 : 0; pop")              \
    X(BoolEq, 63, "booleq", 2, 1, "s1 = ((s1 != 0) == (s0 != 0)) ? 1 : 0; pop")                 \
    X(BoolNe, 64, "boolne", 2, 1, "s1 = ((s1 != 0) != (s0 != 0)) ? 1 : 0; pop")                 \
    X(Push64, 65, "push64", 0, 2, "push the first operand word, then the second", S32, S32)    \
    X(ByteDiv, 73, "div8", 2, 1, "s1 = signed-byte s1 / s0; pop")                               \
    X(ByteRem, 74, "rem8", 2, 1, "s1 = signed-byte s1 % s0; pop")                               \
    X(ByteShl, 75, "shl8", 2, 1, "s1 = signed-byte s1 << (low byte of s0); pop")                \
    X(ByteShr, 76, "shr8", 2, 1, "s1 = signed-byte s1 >> (low byte of s0); pop")                \
    X(Native, 78, "native", MCB_V, MCB_V, "call native function f of group g", Group8, Func8)   \
    X(ZeroWords, 79, "zeron", 1, 0, "store n zero words from address s0; pop", S8)              \
    X(ZeroWordsW, 80, "zeron_w", 1, 0, "store n zero words from address s0; pop", S32)          \
    X(CopyWords, 81, "copyn", 2, 1, "copy n words from address s0 to s1; pop", S8)              \
    X(CopyWordsW, 82, "copyn_w", 2, 1, "copy n words from address s0 to s1; pop", S32)          \
    X(LoadWords, 83, "loadn", 1, MCB_V, "replace address s0 by the n words read from it", S8)   \
    X(LoadWordsW, 84, "loadn_w", 1, MCB_V, "replace address s0 by the n words read from it",    \
      S32)                                                                                      \
    X(StoreWords, 85, "storen", MCB_V, 0, "store the top n words at the address below them",    \
      S8)                                                                                       \
    X(StoreWordsW, 86, "storen_w", MCB_V, 0,                                                    \
      "store the top n words at the address below them", S32)                                  \
    X(Extension, 97, "extcall", MCB_V, MCB_V, "call function b of device extension a", Ext8,    \
      ExtFunc8)                                                                                 \
    X(SignExtendBytes, 105, "sext8", MCB_V, MCB_V,                                              \
      "sign-extend the low byte of each of the top n words", S8)                               \
    X(NewVector, 106, "newvec", 1, 0, "fill the two-word block s0 with a new empty vector",    \
      Elem8)                                                                                    \
    X(PushMinusOne, 114, "ldm1", 0, 1, "push -1")                                               \
    X(PushHandler, 117, "try", 0, 0, "push a handler for class c at the offset", Catch32,       \
      Handler32)                                                                                \
    X(DropHandlers, 118, "droph", 0, 0, "handler top += n (n < 0 drops handlers)", S8)          \
    X(Throw, 119, "throw", MCB_V, MCB_V, "throw the object s0 (null does nothing)")             \
    X(Free, 120, "free", 1, 0, "free the object s0 at once; pop")                               \
    X(PushGlobals, 125, "ldglobals", 0, 1, "push the globals reference")                        \
    X(Box, 126, "box", 1, 1, "s0 = a new reference cell holding s0")                            \
    X(PackW, -71, "pack_w", MCB_V, 1, "pop n words into a new n-word block and push it", S32)  \
    X(Pack, -72, "pack", MCB_V, 1, "pop n words into a new n-word block and push it", S8)      \
    X(Ge16, -73, "ge16", 2, 1, "s1 = (low half s1 >= low half s0) ? -1 : 0; pop")              \
    X(Gt16, -74, "gt16", 2, 1, "s1 = (low half s1 > low half s0) ? -1 : 0; pop")               \
    X(Ne16, -75, "ne16", 2, 1, "s1 = (low half s1 != low half s0) ? -1 : 0; pop")              \
    X(Le16, -76, "le16", 2, 1, "s1 = (low half s1 <= low half s0) ? -1 : 0; pop")              \
    X(Lt16, -77, "lt16", 2, 1, "s1 = (low half s1 < low half s0) ? -1 : 0; pop")               \
    X(Eq16, -78, "eq16", 2, 1, "s1 = (low half s1 == low half s0) ? -1 : 0; pop")              \
    X(Store16, -79, "store16", 2, 0, "16-bit [s1] = low half of s0; pop 2")                     \
    X(StoreZero16, -80, "storez16", 1, 0, "16-bit [s0] = 0; pop")                               \
    X(Ge8, -81, "ge8", 2, 1, "s1 = (byte s1 >= byte s0) ? -1 : 0; pop")                         \
    X(Gt8, -82, "gt8", 2, 1, "s1 = (byte s1 > byte s0) ? -1 : 0; pop")                          \
    X(Ne8, -83, "ne8", 2, 1, "s1 = (byte s1 != byte s0) ? -1 : 0; pop")                         \
    X(Le8, -84, "le8", 2, 1, "s1 = (byte s1 <= byte s0) ? -1 : 0; pop")                         \
    X(Lt8, -85, "lt8", 2, 1, "s1 = (byte s1 < byte s0) ? -1 : 0; pop")                          \
    X(Eq8, -86, "eq8", 2, 1, "s1 = (byte s1 == byte s0) ? -1 : 0; pop")                         \
    X(Store8, -87, "store8", 2, 0, "byte [s1] = low byte of s0; pop 2")                         \
    X(StoreZero8, -88, "storez8", 1, 0, "byte [s0] = 0; pop")                                   \
    X(ShrMem8, -89, "shrm8", 2, 0, "byte [s1] >>= s0; pop 2")                                   \
    X(ShlMem8, -90, "shlm8", 2, 0, "byte [s1] <<= s0; pop 2")                                   \
    X(XorMem8, -91, "xorm8", 2, 0, "byte [s1] ^= s0; pop 2")                                    \
    X(OrMem8, -92, "orm8", 2, 0, "byte [s1] |= s0; pop 2")                                      \
    X(AndMem8, -93, "andm8", 2, 0, "byte [s1] &= s0; pop 2")                                    \
    X(RemMem8, -94, "remm8", 2, 0, "byte [s1] %= s0; pop 2")                                    \
    X(DivMem8, -95, "divm8", 2, 0, "byte [s1] /= s0; pop 2")                                    \
    X(MulMem8, -96, "mulm8", 2, 0, "byte [s1] *= s0; pop 2")                                    \
    X(SubMem8, -97, "subm8", 2, 0, "byte [s1] -= s0; pop 2")                                    \
    X(AddMem8, -98, "addm8", 2, 0, "byte [s1] += s0; pop 2")                                    \
    X(DecMem8, -99, "decm8", 1, 0, "byte [s0] -= 1; pop")                                       \
    X(IncMem8, -100, "incm8", 1, 0, "byte [s0] += 1; pop")                                      \
    X(BoxPlain, -108, "boxp", 1, 1, "s0 = a new one-word plain block holding s0")               \
    X(AllocToKeep, -109, "allocto_k", 1, 1,                                                     \
      "store level-convert(d, new block of n words) at address s0; keep s0", Gc8, U32, Level8)  \
    X(AllocTo, -110, "allocto", 1, 0,                                                           \
      "store level-convert(d, new block of n words) at address s0; pop", Gc8, U32, Level8)      \
    X(FreeCell, -117, "freecell", 1, 0, "free the object held in cell s0, then the cell; pop")  \
    X(Deref3, -121, "deref3", 1, 1, "s0 = [[[s0]]]")                                            \
    X(Deref2, -122, "deref2", 1, 1, "s0 = [[s0]]")                                              \
    X(LocalDeref3Field, -123, "ldlocd3f", 0, 1,                                                 \
      "push (stack word at new sp + k) dereferenced 3 times, plus 4n", S8, S8)                  \
    X(LocalDeref2Field, -124, "ldlocd2f", 0, 1,                                                 \
      "push (stack word at new sp + k) dereferenced 2 times, plus 4n", S8, S8)                  \
    X(LocalDeref1Field, -125, "ldlocd1f", 0, 1,                                                 \
      "push (stack word at new sp + k) dereferenced once, plus 4n", S8, S8)                     \
    X(LocalDeref3, -126, "ldlocd3", 0, 1, "push (stack word at new sp + k) dereferenced 3 times", \
      S8)                                                                                       \
    X(LocalDeref2, -127, "ldlocd2", 0, 1, "push (stack word at new sp + k) dereferenced 2 times", \
      S8)                                                                                       \
    X(LocalDeref1, -128, "ldlocd1", 0, 1, "push (stack word at new sp + k) dereferenced once", S8)

enum class Op : TInt8 {
#define MCB_OP_ENUM(name, code, ...) name = code,
    MCB_INSTRUCTIONS(MCB_OP_ENUM)
#undef MCB_OP_ENUM
};

namespace detail {
template <typename... O>
constexpr InstructionInfo row(TInt8 opcode, std::string_view mnemonic, TInt8 pops, TInt8 pushes,
                              std::string_view meaning, O... operands) {
    static_assert(sizeof...(O) <= 3);
    return InstructionInfo{opcode, mnemonic, pops, pushes, TUint8(sizeof...(O)),
                           std::array<OperandInfo, 3>{operands...}, meaning};
}
}  // namespace detail

inline constexpr InstructionInfo kInstructions[] = {
#define MCB_OP_ROW(name, code, mnemonic, pops, pushes, meaning, ...) \
    [] {                                                             \
        using namespace opnd;                                        \
        return detail::row(code, mnemonic, pops, pushes, meaning __VA_OPT__(, ) __VA_ARGS__); \
    }(),
    MCB_INSTRUCTIONS(MCB_OP_ROW)
#undef MCB_OP_ROW
};
#undef MCB_V

inline constexpr TInt32 kInstructionCount =
    TInt32(sizeof(kInstructions) / sizeof(kInstructions[0]));

namespace detail {
// Row index per opcode byte (as unsigned), -1 for opcodes outside the set.
inline constexpr std::array<TInt16, 256> kRowByOpcode = [] {
    std::array<TInt16, 256> t{};
    for (auto& e : t) e = -1;
    for (TInt32 i = 0; i < kInstructionCount; ++i) t[TUint8(kInstructions[i].opcode)] = TInt16(i);
    return t;
}();
}  // namespace detail

// The row of an opcode, or null when the opcode is not part of the set.
constexpr const InstructionInfo* findInstruction(TInt8 opcode) {
    TInt16 i = detail::kRowByOpcode[TUint8(opcode)];
    return i < 0 ? nullptr : &kInstructions[i];
}
constexpr const InstructionInfo* findInstruction(Op op) { return findInstruction(TInt8(op)); }

// The row spelled by an assembler mnemonic (exact, lower-case), or null.
constexpr const InstructionInfo* findInstruction(std::string_view mnemonic) {
    for (const auto& row : kInstructions)
        if (row.mnemonic == mnemonic) return &row;
    return nullptr;
}

// Bytes of operands after the opcode byte.
constexpr TInt32 operandLength(const InstructionInfo& row) {
    TInt32 n = 0;
    for (TInt32 i = 0; i < row.operandCount; ++i) n += row.operands[i].width;
    return n;
}

// Opcode byte plus operands; an opcode outside the set counts as one byte.
constexpr TInt32 instructionLength(TInt8 opcode) {
    const InstructionInfo* row = findInstruction(opcode);
    return row ? 1 + operandLength(*row) : 1;
}

// Byte offset of operand i from the opcode byte.
constexpr TInt32 operandOffset(const InstructionInfo& row, TInt32 i) {
    TInt32 n = 1;
    for (TInt32 k = 0; k < i; ++k) n += row.operands[k].width;
    return n;
}

// Reads operand i of the instruction whose opcode byte is at `code`, as the
// interpreter sees it: little-endian, sign- or zero-extended by the row.
// The caller guarantees the instruction's bytes are all present.
constexpr TInt32 readOperand(const InstructionInfo& row, const TUint8* code, TInt32 i) {
    const OperandInfo& o = row.operands[i];
    const TUint8* p = code + operandOffset(row, i);
    TUint32 v = 0;
    for (TInt32 b = o.width - 1; b >= 0; --b) v = (v << 8) | p[b];
    if (o.isSigned && o.width == 1) return TInt8(v);
    if (o.isSigned && o.width == 2) return TInt16(v);
    return TInt32(v);
}

// Where a jump at `at` (index of its opcode byte) lands: the index of its last
// operand byte plus the offset.
constexpr TInt32 jumpTarget(TInt32 at, const InstructionInfo& row, TInt32 offset) {
    return TInt32(TUint32(at) + TUint32(operandLength(row)) + TUint32(offset));
}

// A handler pushed at `at` records (last operand byte + offset) as its address;
// a catch resumes one byte after that address.
constexpr TInt32 handlerAddress(TInt32 at, const InstructionInfo& row, TInt32 offset) {
    return jumpTarget(at, row, offset);
}
constexpr TInt32 handlerResume(TInt32 at, const InstructionInfo& row, TInt32 offset) {
    return TInt32(TUint32(handlerAddress(at, row, offset)) + 1u);
}

}  // namespace mcb
