// Tokens of the assembly language: words (mnemonics, directives, names), integers, quoted
// byte strings, commas, colons and line ends. Every token keeps its line and column.
#pragma once

#include "foundation/Types.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mcb {

namespace mcbasm {

struct SourcePos {
    int line = 1;
    int column = 1;
};

// A located assembly error; the front end prefixes the file name.
class AsmError : public std::runtime_error {
public:
    AsmError(SourcePos pos, const std::string& message) : std::runtime_error(message), pos_(pos) {}
    SourcePos pos() const { return pos_; }

private:
    SourcePos pos_;
};

enum class TokenKind { Word, Number, String, Comma, Colon, EndOfLine, EndOfFile };

struct Token {
    TokenKind kind = TokenKind::EndOfFile;
    SourcePos pos;
    std::string text;  // the word, or the decoded bytes of a string
    TInt64 number = 0;
};

std::vector<Token> tokenize(std::string_view source);

const char* tokenKindName(TokenKind kind);

}  // namespace mcbasm

}  // namespace mcb
