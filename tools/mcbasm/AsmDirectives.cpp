// The assembler's directives: header fields, methods and selectors, class and descriptor
// records, string constants and raw code bytes.
#include "AssemblerState.h"

namespace mcb {

namespace mcbasm {

using mcbtools::Value;

void AssemblerState::directive(const Token& name)
{
    const std::string& d = name.text;
    if (d == ".identifier" || d == ".widths" || d == ".globals")
        headerDirective(name);
    else if (d == ".method" || d == ".selector" || d == ".impl" || d == ".class"
             || d == ".descriptor" || d == ".string" || d == ".code" || d == ".byte")
        sectionDirective(name);
    else if (d == ".fieldwidth" || d == ".reffields" || d == ".arrayfields" || d == ".super"
             || d == ".trailing")
        classDirective(name);
    else if (d == ".slotwidth" || d == ".lengths" || d == ".maybe" || d == ".arrays"
             || d == ".refs" || d == ".pairs")
        descriptorDirective(name);
    else if (d == ".equ")
        equDirective();
    else
        fail(name.pos, "unknown directive '" + d + "'");
}

void AssemblerState::headerDirective(const Token& name)
{
    if (name.text == ".identifier") {
        identifierDirective();
    } else if (name.text == ".widths") {
        widthsDirective(name);
    } else {
        if (globalsGiven_)
            fail(name.pos, "'.globals' given twice");
        globalsGiven_ = true;
        globalsPos_ = name.pos;
        image_.globals = TInt32(numberField(4, "globals count"));
    }
    block_ = Block::None;
}

void AssemblerState::identifierDirective()
{
    const SourcePos pos = peek().pos;
    if (identifierGiven_)
        fail(pos, "'.identifier' given twice");
    identifierGiven_ = true;
    const std::string id = parseString("a string of 20 bytes");
    if (id.size() != mcbtools::kIdentifierLength)
        fail(pos, "the identifier must be exactly 20 bytes, found " + std::to_string(id.size()));
    std::copy(id.begin(), id.end(), image_.identifier.begin());
}

void AssemblerState::widthsDirective(const Token& name)
{
    if (widthsGiven_)
        fail(name.pos, "'.widths' given twice");
    if (headerUsed_)
        fail(name.pos, "'.widths' must come before the methods, selectors, classes and descriptors");
    widthsGiven_ = true;
    for (int i = 0; i < mcbtools::kWidthCount; ++i) {
        if (i > 0)
            expectComma();
        const SourcePos pos = peek().pos;
        const TInt64 w = parseNumber("a width (1, 2 or 4)");
        if (w != 1 && w != 2 && w != 4)
            fail(pos, "width W" + std::to_string(i + 1) + " must be 1, 2 or 4");
        image_.widths[i] = int(w);
    }
}

void AssemblerState::sectionDirective(const Token& name)
{
    const std::string& d = name.text;
    if (d != ".impl" && d != ".byte")
        block_ = Block::None;
    if (d == ".method")
        methodDirective();
    else if (d == ".selector")
        selectorDirective();
    else if (d == ".impl")
        implDirective(name);
    else if (d == ".class")
        classDirectiveStart();
    else if (d == ".descriptor")
        descriptorDirectiveStart();
    else if (d == ".string")
        stringDirective();
    else if (d == ".byte")
        byteDirective();
    // ".code" only closes the current block.
}

// ".equ NAME, NUMBER": a name for a number, usable wherever a number is written.
void AssemblerState::equDirective()
{
    const Token& name = expect(TokenKind::Word, "a constant name");
    if (name.text[0] == '.')
        fail(name.pos, "a constant cannot start with '.'");
    expectComma();
    defineSymbol(name, SymbolKind::Constant, parseNumber("a number"));
}

void AssemblerState::methodDirective()
{
    headerUsed_ = true;
    mcbtools::GlobalMethod m;
    m.name = parseString("a method name");
    expectComma();
    m.codeAddress = codeField();
    expectComma();
    m.descriptor = fieldValue(parseRef("a descriptor"), SymbolKind::Descriptor,
                              image_.widths[mcbtools::WDescriptor], "descriptor index");
    image_.methods.push_back(std::move(m));
}

void AssemblerState::selectorDirective()
{
    headerUsed_ = true;
    if (peek().kind == TokenKind::Word)
        defineSymbol(next(), SymbolKind::Selector, TInt64(image_.selectors.size()));
    mcbtools::Selector s;
    s.name = parseString("a selector name");
    image_.selectors.push_back(std::move(s));
    block_ = Block::Selector;
}

void AssemblerState::implDirective(const Token& name)
{
    if (block_ != Block::Selector)
        fail(name.pos, "'.impl' outside a '.selector'");
    const auto& w = image_.widths;
    mcbtools::Selector& s = image_.selectors.back();
    if (!mcbtools::fitsWidth(Value(s.impls.size()) + 1, w[mcbtools::WImplCount]))
        fail(name.pos, "too many implementations for width W9");
    mcbtools::Implementation impl;
    impl.classIndex = fieldValue(parseRef("a class"), SymbolKind::Class, w[mcbtools::WClass],
                                 "class index");
    expectComma();
    impl.codeAddress = codeField();
    expectComma();
    impl.descriptor = fieldValue(parseRef("a descriptor"), SymbolKind::Descriptor,
                                 w[mcbtools::WDescriptor], "descriptor index");
    s.impls.push_back(impl);
}

void AssemblerState::classDirectiveStart()
{
    headerUsed_ = true;
    if (peek().kind == TokenKind::Word)
        defineSymbol(next(), SymbolKind::Class, TInt64(image_.classes.size()));
    image_.classes.emplace_back();
    block_ = Block::Class;
}

void AssemblerState::descriptorDirectiveStart()
{
    headerUsed_ = true;
    if (peek().kind == TokenKind::Word)
        defineSymbol(next(), SymbolKind::Descriptor, TInt64(image_.descriptors.size()));
    image_.descriptors.emplace_back();
    block_ = Block::Descriptor;
}

void AssemblerState::stringDirective()
{
    if (peek().kind == TokenKind::Word)
        defineSymbol(next(), SymbolKind::String, TInt64(image_.strings.size()));
    image_.strings.push_back(parseString("a string"));
}

SourcePos AssemblerState::codeStatementAt(TInt64 offset) const
{
    SourcePos pos;
    for (const auto& [start, at] : codeStatements_)
        if (start <= offset)
            pos = at;
    return pos;
}

void AssemblerState::byteDirective()
{
    block_ = Block::None;
    codeStatements_.emplace_back(TInt64(image_.code.size()), tokens_[pos_ - 1].pos);
    do {
        const SourcePos pos = peek().pos;
        const TInt64 v = parseNumber("a byte value");
        if (v < -128 || v > 255)
            fail(pos, "byte value " + std::to_string(v) + " out of range");
        image_.code.push_back(TUint8(v));
    } while (acceptComma());
}

// ---- class and descriptor records ---------------------------------------------------------

mcbtools::ClassRecord& AssemblerState::currentClass(const Token& name)
{
    if (block_ != Block::Class)
        fail(name.pos, "'" + name.text + "' outside a '.class'");
    return image_.classes.back();
}

mcbtools::Descriptor& AssemblerState::currentDescriptor(const Token& name)
{
    if (block_ != Block::Descriptor)
        fail(name.pos, "'" + name.text + "' outside a '.descriptor'");
    return image_.descriptors.back();
}

int AssemblerState::parseRecordWidth(const Token& name, bool hasValues)
{
    if (hasValues)
        fail(name.pos, "'" + name.text + "' must come before the record's slots");
    const SourcePos pos = peek().pos;
    const TInt64 w = parseNumber("a width (1, 2 or 4)");
    if (w != 1 && w != 2 && w != 4)
        fail(pos, "width must be 1, 2 or 4");
    return int(w);
}

void AssemblerState::classDirective(const Token& name)
{
    mcbtools::ClassRecord& c = currentClass(name);
    const auto& w = image_.widths;
    const std::string& d = name.text;
    if (d == ".fieldwidth") {
        c.width = parseRecordWidth(name, !c.refFields.empty() || !c.arrayFields.empty());
    } else if (d == ".reffields") {
        auto vs = parseValueList(c.width, SymbolKind::None, "field index");
        c.refFields.insert(c.refFields.end(), vs.begin(), vs.end());
    } else if (d == ".arrayfields") {
        auto vs = parseFlaggedList(c.width, "field index");
        c.arrayFields.insert(c.arrayFields.end(), vs.begin(), vs.end());
    } else if (d == ".super") {
        c.superIndex = fieldValue(parseRef("a class"), SymbolKind::Class, w[mcbtools::WClass],
                                  "superclass index");
        c.superPresent = 1;
        if (acceptComma()) {
            const SourcePos pos = peek().pos;
            c.superPresent = numberField(w[mcbtools::WSuperPresent], "superclass-present value");
            if (c.superPresent == 0)
                fail(pos, "the superclass-present value must not be 0");
        }
    } else {
        auto vs = parseValueList(w[mcbtools::WClass], SymbolKind::Class, "class index");
        c.trailing.insert(c.trailing.end(), vs.begin(), vs.end());
        if (!mcbtools::fitsWidth(Value(c.trailing.size()), w[mcbtools::WTrailingCount]))
            fail(name.pos, "trailing list too long for width W5");
    }
}

void AssemblerState::descriptorDirective(const Token& name)
{
    mcbtools::Descriptor& m = currentDescriptor(name);
    const auto& w = image_.widths;
    const std::string& d = name.text;
    const bool hasSlots = !m.maybeRefs.empty() || !m.arrays.empty() || !m.refs.empty()
        || !m.pairArrays.empty();
    if (d == ".slotwidth") {
        m.width = parseRecordWidth(name, hasSlots);
    } else if (d == ".lengths") {
        m.first = numberField(w[mcbtools::WFirstLength], "first length");
        expectComma();
        m.second = numberField(w[mcbtools::WSecondLength], "second length");
        expectComma();
        m.third = numberField(w[mcbtools::WThirdLength], "third length");
    } else if (d == ".maybe" || d == ".refs") {
        auto vs = parseValueList(m.width, SymbolKind::None, "frame offset");
        auto& list = d == ".maybe" ? m.maybeRefs : m.refs;
        list.insert(list.end(), vs.begin(), vs.end());
    } else {
        auto vs = parseFlaggedList(m.width, "frame offset");
        auto& list = d == ".arrays" ? m.arrays : m.pairArrays;
        list.insert(list.end(), vs.begin(), vs.end());
    }
}

}  // namespace mcbasm

}  // namespace mcb
