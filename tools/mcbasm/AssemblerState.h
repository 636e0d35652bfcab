// Internal state of the assembler shared by its directive and instruction parts:
// the token cursor, the symbol table and the image under construction.
#pragma once

#include "Lexer.h"
#include "common/Image.h"
#include "vm/Instructions.h"
#include "common/NativeCatalogue.h"

#include <map>
#include <string>
#include <vector>

namespace mcb {

namespace mcbasm {

enum class SymbolKind { None, Label, Class, Descriptor, Selector, String, Constant };

struct Symbol {
    SymbolKind kind;
    TInt64 value;
    SourcePos pos;
};

// A number or a name as written in an operand.
struct Ref {
    SourcePos pos;
    bool symbolic = false;
    std::string name;
    TInt64 number = 0;
};

enum class Block { None, Selector, Class, Descriptor };

// "1 byte", "2 bytes", "4 bytes": the width in the errors for values that do not fit.
std::string widthText(int width);

class AssemblerState {
public:
    explicit AssemblerState(const std::vector<Token>& tokens) : tokens_(tokens) {}

    void runPass(int pass);
    mcbtools::Image& image() { return image_; }
    const std::vector<TUint8>& code() const { return image_.code; }
    // The statement that produced the code byte at `offset` (the last one for the end).
    SourcePos codeStatementAt(TInt64 offset) const;
    SourcePos globalsPos() const { return globalsPos_; }

private:
    // Token cursor.
    const Token& peek() const { return tokens_[pos_]; }
    const Token& next() { return tokens_[pos_++]; }
    bool atLineEnd() const { return peek().kind == TokenKind::EndOfLine; }
    const Token& expect(TokenKind kind, const char* what);
    void expectComma();
    void expectLineEnd();
    bool acceptComma();
    [[noreturn]] void fail(SourcePos pos, const std::string& message) const;

    // Operands.
    Ref parseRef(const char* what);
    TInt64 parseNumber(const char* what);
    std::string parseString(const char* what);
    TInt64 resolve(const Ref& ref, SymbolKind kind);
    void defineSymbol(const Token& name, SymbolKind kind, TInt64 value);
    mcbtools::Value fieldValue(const Ref& ref, SymbolKind kind, int width, const char* what);
    mcbtools::Value fieldValue(TInt64 v, SourcePos pos, int width, const char* what);
    mcbtools::Value numberField(int width, const char* what);
    mcbtools::Value codeField();
    std::vector<mcbtools::Value> parseValueList(int width, SymbolKind kind, const char* what);
    std::vector<mcbtools::FlaggedSlot> parseFlaggedList(int width, const char* what);

    // Statements.
    void parseLine();
    void directive(const Token& name);
    void headerDirective(const Token& name);
    void sectionDirective(const Token& name);
    void classDirective(const Token& name);
    void descriptorDirective(const Token& name);
    void methodDirective();
    void selectorDirective();
    void implDirective(const Token& name);
    void classDirectiveStart();
    void descriptorDirectiveStart();
    void stringDirective();
    void widthsDirective(const Token& name);
    void identifierDirective();
    void byteDirective();
    void equDirective();
    mcbtools::ClassRecord& currentClass(const Token& name);
    mcbtools::Descriptor& currentDescriptor(const Token& name);
    int parseRecordWidth(const Token& name, bool hasValues);

    // Instructions.
    void instruction(const Token& mnemonic);
    void encodeOperand(const InstructionInfo& row, int index, TInt64 instrStart);
    void nativeOperands(const InstructionInfo& row);
    TInt64 resolveGroup(const Ref& group, const mcbtools::NamedGroup*& named);
    TInt64 resolveExtension(const Ref& ext, const mcbtools::NamedGroup*& named);
    void emitValue(TInt64 value, int width, bool isSigned, SourcePos pos);

    const std::vector<Token>& tokens_;
    size_t pos_ = 0;
    int pass_ = 1;
    std::map<std::string, Symbol> symbols_;
    mcbtools::Image image_;
    Block block_ = Block::None;
    bool widthsGiven_ = false;
    bool headerUsed_ = false;
    bool identifierGiven_ = false;
    bool globalsGiven_ = false;
    SourcePos globalsPos_;
    std::vector<std::pair<TInt64, SourcePos>> codeStatements_;
};

}  // namespace mcbasm

}  // namespace mcb
