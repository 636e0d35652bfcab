// The assembler's code part: mnemonics from the instruction table, operands by kind,
// jump and handler offsets from labels, native calls by group and function name.
#include "AssemblerState.h"

#include "common/CodeWalk.h"
#include "vm/NativeRegistry.h"

namespace mcb {

namespace mcbasm {

void AssemblerState::emitValue(TInt64 value, int width, bool isSigned, SourcePos pos)
{
    // Signed operands take signed values; a 4-byte one also takes the unsigned spelling of
    // its bits, so that constants such as 0xFF000000 can be written as they are.
    const int bits = 8 * width;
    const TInt64 lo = isSigned ? -(TInt64{1} << (bits - 1)) : 0;
    const TInt64 hi = isSigned && width < 4 ? (TInt64{1} << (bits - 1)) - 1 : (TInt64{1} << bits) - 1;
    if (pass_ == 2 && (value < lo || value > hi))
        fail(pos, "operand " + std::to_string(value) + " does not fit in " + widthText(width)
                      + (isSigned ? " (signed)" : " (unsigned)"));
    const auto u = TUint64(value);
    for (int i = 0; i < width; ++i)
        image_.code.push_back(TUint8(u >> (8 * i)));
}

void AssemblerState::instruction(const Token& mnemonic)
{
    const InstructionInfo* row = findInstruction(std::string_view(mnemonic.text));
    if (!row)
        fail(mnemonic.pos, "unknown mnemonic '" + mnemonic.text + "'");
    block_ = Block::None;
    const auto start = TInt64(image_.code.size());
    codeStatements_.emplace_back(start, mnemonic.pos);
    image_.code.push_back(TUint8(row->opcode));
    if (row->operandCount == 2 && (row->operands[0].kind == OperandKind::NativeGroup
                                   || row->operands[0].kind == OperandKind::Extension)) {
        nativeOperands(*row);
        return;
    }
    for (int i = 0; i < row->operandCount; ++i) {
        if (i > 0)
            expectComma();
        encodeOperand(*row, i, start);
    }
}

void AssemblerState::encodeOperand(const InstructionInfo& row, int index, TInt64 start)
{
    const OperandInfo& operand = row.operands[index];
    const Ref ref = parseRef("an operand");
    TInt64 value = 0;
    switch (operand.kind) {
    case OperandKind::JumpOffset:
    case OperandKind::HandlerOffset:
        value = ref.symbolic ? mcbtools::offsetForTarget(operand.kind, resolve(ref, SymbolKind::Label),
                                                         start + instructionLength(row.opcode) - 1)
                             : ref.number;
        break;
    case OperandKind::CodeAddress: value = resolve(ref, SymbolKind::Label); break;
    case OperandKind::Descriptor: value = resolve(ref, SymbolKind::Descriptor); break;
    case OperandKind::Selector: value = resolve(ref, SymbolKind::Selector); break;
    case OperandKind::StringIndex: value = resolve(ref, SymbolKind::String); break;
    case OperandKind::ClassIndex:
    case OperandKind::HandlerClass: value = resolve(ref, SymbolKind::Class); break;
    default: value = resolve(ref, SymbolKind::None); break;
    }
    emitValue(value, operand.width, operand.isSigned, ref.pos);
}

// "Group.function", or two operands each a name or a number.
void AssemblerState::nativeOperands(const InstructionInfo& row)
{
    const bool extension = row.operands[0].kind == OperandKind::Extension;
    Ref group;
    Ref function;
    if (peek().kind == TokenKind::Word && peek().text.find('.') != std::string::npos) {
        const Token& t = next();
        const size_t dot = t.text.find('.');
        group = Ref{t.pos, true, t.text.substr(0, dot), 0};
        function = Ref{{t.pos.line, t.pos.column + int(dot) + 1}, true,
                       t.text.substr(dot + 1), 0};
    } else {
        group = parseRef(extension ? "an extension" : "a native group");
        expectComma();
        function = parseRef("a function");
    }
    const mcbtools::NamedGroup* named = nullptr;
    const TInt64 groupNumber = extension ? resolveExtension(group, named)
                                          : resolveGroup(group, named);
    TInt64 functionNumber = function.number;
    if (function.symbolic) {
        const mcbtools::NamedFunction* f = named ? named->function(std::string_view(function.name)) : nullptr;
        if (!f)
            fail(function.pos, "unknown function '" + function.name + "' in "
                                   + (group.symbolic ? group.name : std::to_string(group.number)));
        functionNumber = f->number;
    }
    emitValue(groupNumber, row.operands[0].width, row.operands[0].isSigned, group.pos);
    emitValue(functionNumber, row.operands[1].width, row.operands[1].isSigned, function.pos);
}

// The group's number, and its functions when the table knows the group.
TInt64 AssemblerState::resolveGroup(const Ref& group, const mcbtools::NamedGroup*& named)
{
    const mcbtools::NamedGroup* g = group.symbolic ? mcbtools::findGroup(std::string_view(group.name))
                                                   : mcbtools::findGroup(int(group.number));
    if (group.symbolic && !g)
        fail(group.pos, "unknown native group '" + group.name + "'");
    if (!group.symbolic && (group.number < natives::kFirstGroup || group.number > natives::kLastGroup))
        return group.number;
    named = g;
    return g->number;
}

TInt64 AssemblerState::resolveExtension(const Ref& ext, const mcbtools::NamedGroup*& named)
{
    // A number beyond int must not wrap onto a known extension: it fails as too wide.
    const bool fits = ext.number == int(ext.number);
    const mcbtools::NamedGroup* e = ext.symbolic ? mcbtools::findExtension(std::string_view(ext.name))
                                   : fits        ? mcbtools::findExtension(int(ext.number))
                                                 : nullptr;
    if (ext.symbolic && !e)
        fail(ext.pos, "unknown extension '" + ext.name + "'");
    if (!e)
        return ext.number;
    named = e;
    return e->number;
}

}  // namespace mcbasm

}  // namespace mcb
