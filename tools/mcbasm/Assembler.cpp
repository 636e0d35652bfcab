// The assembler's passes, token cursor, operand parsing and symbols.
#include "Assembler.h"

#include "AssemblerState.h"
#include "common/ImageWriter.h"
#include "vm/ImageFile.h"

namespace mcb {

namespace mcbasm {

using mcbtools::Value;

namespace {

const char* symbolKindName(SymbolKind kind)
{
    switch (kind) {
    case SymbolKind::None: return "a number";
    case SymbolKind::Label: return "a label";
    case SymbolKind::Class: return "a class";
    case SymbolKind::Descriptor: return "a descriptor";
    case SymbolKind::Selector: return "a selector";
    case SymbolKind::String: return "a string";
    case SymbolKind::Constant: return "a constant";
    }
    return "?";
}

// An image the loader would refuse could not be disassembled either; say so at the statement
// that caused it.
void rejectUnloadable(const AssemblerState& state, const std::vector<TUint8>& bytes)
{
    ImageFile parsed;
    ImageError error;
    if (parseImage(bytes.data(), bytes.size(), parsed, error))
        return;
    const auto codeStart = TInt64(bytes.size() - state.code().size());
    const auto offset = TInt64(error.offset);
    const SourcePos pos = offset >= codeStart ? state.codeStatementAt(offset - codeStart)
                                              : state.globalsPos();
    throw AsmError(pos, "the image would not load: expected " + error.expected);
}

}  // namespace

std::string widthText(int width) { return std::to_string(width) + (width == 1 ? " byte" : " bytes"); }

std::vector<TUint8> assemble(std::string_view source)
{
    const std::vector<Token> tokens = tokenize(source);
    AssemblerState state(tokens);
    state.runPass(1);
    state.runPass(2);
    std::vector<TUint8> bytes = mcbtools::writeImage(state.image());
    rejectUnloadable(state, bytes);
    return bytes;
}

// ---- cursor -------------------------------------------------------------------------------

void AssemblerState::fail(SourcePos pos, const std::string& message) const
{
    throw AsmError(pos, message);
}

const Token& AssemblerState::expect(TokenKind kind, const char* what)
{
    if (peek().kind != kind)
        fail(peek().pos, std::string("expected ") + what + ", found " + tokenKindName(peek().kind));
    return next();
}

void AssemblerState::expectComma() { expect(TokenKind::Comma, "','"); }

bool AssemblerState::acceptComma()
{
    if (peek().kind != TokenKind::Comma)
        return false;
    next();
    return true;
}

void AssemblerState::expectLineEnd()
{
    if (!atLineEnd())
        fail(peek().pos, std::string("expected end of line, found ") + tokenKindName(peek().kind));
    next();
}

// ---- operands -----------------------------------------------------------------------------

Ref AssemblerState::parseRef(const char* what)
{
    const Token& t = peek();
    Ref r;
    r.pos = t.pos;
    if (t.kind == TokenKind::Number) {
        r.number = t.number;
    } else if (t.kind == TokenKind::Word) {
        r.symbolic = true;
        r.name = t.text;
    } else {
        fail(t.pos, std::string("expected ") + what + ", found " + tokenKindName(t.kind));
    }
    next();
    return r;
}

TInt64 AssemblerState::parseNumber(const char* what)
{
    return expect(TokenKind::Number, what).number;
}

std::string AssemblerState::parseString(const char* what)
{
    return expect(TokenKind::String, what).text;
}

void AssemblerState::defineSymbol(const Token& name, SymbolKind kind, TInt64 value)
{
    if (pass_ == 1) {
        auto [it, inserted] = symbols_.emplace(name.text, Symbol{kind, value, name.pos});
        if (!inserted)
            fail(name.pos, "'" + name.text + "' is already defined at line "
                               + std::to_string(it->second.pos.line));
    }
}

TInt64 AssemblerState::resolve(const Ref& ref, SymbolKind kind)
{
    if (!ref.symbolic)
        return ref.number;
    const auto it = symbols_.find(ref.name);
    if (kind == SymbolKind::None) {
        // Where a number goes, the name of a constant may stand, defined anywhere in the file.
        if (it != symbols_.end() && it->second.kind == SymbolKind::Constant)
            return it->second.value;
        if (it == symbols_.end() && pass_ == 2)
            fail(ref.pos, "undefined constant '" + ref.name + "'");
        if (it == symbols_.end())
            return 0;
        fail(ref.pos, "'" + ref.name + "' is " + symbolKindName(it->second.kind) + ", expected a number");
    }
    if (it == symbols_.end()) {
        if (pass_ == 1)
            return 0;
        fail(ref.pos, std::string("undefined ") + (symbolKindName(kind) + 2) + " '" + ref.name + "'");
    }
    if (it->second.kind != kind)
        fail(ref.pos, "'" + ref.name + "' is " + symbolKindName(it->second.kind) + ", expected "
                          + symbolKindName(kind));
    return it->second.value;
}

Value AssemblerState::fieldValue(TInt64 v, SourcePos pos, int width, const char* what)
{
    // A 4-byte field also takes unsigned spellings of negative int32 values.
    if (width == 4 && v > INT32_MAX && v <= UINT32_MAX)
        v = TInt32(TUint32(v));
    if (!mcbtools::fitsWidth(v, width))
        fail(pos, std::string(what) + " " + std::to_string(v) + " does not fit in " + widthText(width));
    return v;
}

Value AssemblerState::fieldValue(const Ref& ref, SymbolKind kind, int width, const char* what)
{
    return fieldValue(resolve(ref, kind), ref.pos, width, what);
}

Value AssemblerState::numberField(int width, const char* what)
{
    return fieldValue(parseRef(what), SymbolKind::None, width, what);
}

Value AssemblerState::codeField()
{
    const Ref ref = parseRef("a code address");
    return fieldValue(resolve(ref, SymbolKind::Label), ref.pos, image_.widths[mcbtools::WCodeAddress],
                      "code address");
}

std::vector<Value> AssemblerState::parseValueList(int width, SymbolKind kind, const char* what)
{
    std::vector<Value> out;
    if (atLineEnd())
        return out;
    do {
        out.push_back(fieldValue(parseRef(what), kind, width, what));
    } while (acceptComma());
    return out;
}

std::vector<mcbtools::FlaggedSlot> AssemblerState::parseFlaggedList(int width, const char* what)
{
    std::vector<mcbtools::FlaggedSlot> out;
    if (atLineEnd())
        return out;
    do {
        const Token& f = expect(TokenKind::Word, "'ref' or 'val'");
        mcbtools::FlaggedSlot slot;
        if (f.text == "ref")
            slot.flag = mcbtools::kFlagReference;
        else if (f.text == "val")
            slot.flag = mcbtools::kFlagValue;
        else
            fail(f.pos, "expected 'ref' or 'val', found '" + f.text + "'");
        const SourcePos pos = peek().pos;
        slot.index = fieldValue(parseNumber(what), pos, width, what);
        out.push_back(slot);
    } while (acceptComma());
    return out;
}

// ---- statements ---------------------------------------------------------------------------

void AssemblerState::runPass(int pass)
{
    // Pass 1 only places symbols; pass 2 starts over with all of them known.
    pass_ = pass;
    pos_ = 0;
    image_ = mcbtools::Image();
    block_ = Block::None;
    widthsGiven_ = headerUsed_ = identifierGiven_ = globalsGiven_ = false;
    codeStatements_.clear();
    while (peek().kind != TokenKind::EndOfFile)
        parseLine();
}

void AssemblerState::parseLine()
{
    // Any number of labels, then at most one statement.
    while (peek().kind == TokenKind::Word && tokens_[pos_ + 1].kind == TokenKind::Colon) {
        const Token& name = next();
        next();
        if (name.text[0] == '.')
            fail(name.pos, "a label cannot start with '.'");
        defineSymbol(name, SymbolKind::Label, TInt64(image_.code.size()));
        block_ = Block::None;
    }
    if (atLineEnd()) {
        next();
        return;
    }
    const Token& head = expect(TokenKind::Word, "a directive, a mnemonic or a label");
    if (head.text[0] == '.')
        directive(head);
    else
        instruction(head);
    expectLineEnd();
}

}  // namespace mcbasm

}  // namespace mcb
