// Splits assembly source into tokens; ';' starts a comment that runs to the line end.
#include "Lexer.h"

#include "common/TextQuote.h"

namespace mcb {

namespace mcbasm {
namespace {

bool isWordStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '.' || c == '$';
}

bool isWordChar(char c) { return isWordStart(c) || (c >= '0' && c <= '9'); }

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

class Lexer {
public:
    explicit Lexer(std::string_view src) : src_(src) {}

    std::vector<Token> run()
    {
        std::vector<Token> out;
        while (pos_ < src_.size()) {
            const char c = src_[pos_];
            if (c == ' ' || c == '\t' || c == '\r') {
                advance();
            } else if (c == ';') {
                while (pos_ < src_.size() && src_[pos_] != '\n')
                    advance();
            } else if (c == '\n') {
                out.push_back(simple(TokenKind::EndOfLine));
            } else if (c == ',') {
                out.push_back(simple(TokenKind::Comma));
            } else if (c == ':') {
                out.push_back(simple(TokenKind::Colon));
            } else if (c == '"') {
                out.push_back(string());
            } else if ((c >= '0' && c <= '9') || c == '-' || c == '+') {
                out.push_back(number());
            } else if (isWordStart(c)) {
                out.push_back(word());
            } else {
                throw AsmError(here(), std::string("unexpected character '") + c + "'");
            }
        }
        Token end;
        end.kind = TokenKind::EndOfLine;
        end.pos = here();
        out.push_back(end);
        end.kind = TokenKind::EndOfFile;
        out.push_back(end);
        return out;
    }

private:
    SourcePos here() const { return {line_, column_}; }

    void advance()
    {
        if (src_[pos_] == '\n') {
            ++line_;
            column_ = 1;
        } else {
            ++column_;
        }
        ++pos_;
    }

    Token simple(TokenKind kind)
    {
        Token t;
        t.kind = kind;
        t.pos = here();
        advance();
        return t;
    }

    Token word()
    {
        Token t;
        t.kind = TokenKind::Word;
        t.pos = here();
        while (pos_ < src_.size() && isWordChar(src_[pos_])) {
            t.text += src_[pos_];
            advance();
        }
        return t;
    }

    Token number()
    {
        Token t;
        t.kind = TokenKind::Number;
        t.pos = here();
        bool negative = false;
        if (src_[pos_] == '-' || src_[pos_] == '+') {
            negative = src_[pos_] == '-';
            advance();
        }
        int base = 10;
        if (pos_ + 1 < src_.size() && src_[pos_] == '0' && (src_[pos_ + 1] == 'x' || src_[pos_ + 1] == 'X')) {
            base = 16;
            advance();
            advance();
        }
        TUint64 value = 0;
        int digits = 0;
        while (pos_ < src_.size() && isWordChar(src_[pos_])) {
            const int d = digitValue(src_[pos_]);
            if (d >= base)
                throw AsmError(here(), "invalid digit in number");
            value = value * base + d;
            if (value > 0xFFFFFFFFull)
                throw AsmError(t.pos, "number out of range");
            ++digits;
            advance();
        }
        if (digits == 0)
            throw AsmError(t.pos, "expected digits");
        t.number = negative ? -TInt64(value) : TInt64(value);
        return t;
    }

    Token string()
    {
        Token t;
        t.kind = TokenKind::String;
        t.pos = here();
        advance();
        while (true) {
            if (pos_ >= src_.size() || src_[pos_] == '\n')
                throw AsmError(t.pos, "unterminated string");
            const char c = src_[pos_];
            if (c == '"') {
                advance();
                return t;
            }
            if (c == '\\')
                escape(t.text);
            else {
                t.text += c;
                advance();
            }
        }
    }

    void escape(std::string& out)
    {
        const SourcePos at = here();
        advance();
        if (pos_ >= src_.size())
            throw AsmError(at, "unterminated escape");
        const char c = src_[pos_];
        advance();
        switch (c) {
        case 'n': out += '\n'; return;
        case 't': out += '\t'; return;
        case 'r': out += '\r'; return;
        case '0': out += '\0'; return;
        case '\\': out += '\\'; return;
        case '"': out += '"'; return;
        case 'x': out += char(hexDigits(2, at)); return;
        case 'u': out += mcbtools::encodeUtf8(codePoint(at)); return;
        default: throw AsmError(at, std::string("unknown escape '\\") + c + "'");
        }
    }

    TUint32 hexDigits(int count, SourcePos at)
    {
        TUint32 v = 0;
        for (int i = 0; i < count; ++i) {
            const int d = pos_ < src_.size() ? digitValue(src_[pos_]) : 99;
            if (d >= 16)
                throw AsmError(at, "escape needs hexadecimal digits");
            v = v * 16 + d;
            advance();
        }
        return v;
    }

    // \u{X...}: a code point written as UTF-8.
    TUint32 codePoint(SourcePos at)
    {
        if (pos_ >= src_.size() || src_[pos_] != '{')
            throw AsmError(at, "expected '{' after \\u");
        advance();
        TUint32 v = 0;
        int digits = 0;
        while (pos_ < src_.size() && src_[pos_] != '}') {
            const int d = digitValue(src_[pos_]);
            if (d >= 16 || ++digits > 6)
                throw AsmError(at, "bad code point in \\u{...}");
            v = v * 16 + d;
            advance();
        }
        if (pos_ >= src_.size() || digits == 0 || v > 0x10FFFF)
            throw AsmError(at, "bad code point in \\u{...}");
        advance();
        return v;
    }

    std::string_view src_;
    size_t pos_ = 0;
    int line_ = 1;
    int column_ = 1;
};

}  // namespace

std::vector<Token> tokenize(std::string_view source) { return Lexer(source).run(); }

const char* tokenKindName(TokenKind kind)
{
    switch (kind) {
    case TokenKind::Word: return "a name";
    case TokenKind::Number: return "a number";
    case TokenKind::String: return "a string";
    case TokenKind::Comma: return "','";
    case TokenKind::Colon: return "':'";
    case TokenKind::EndOfLine: return "end of line";
    case TokenKind::EndOfFile: return "end of file";
    }
    return "?";
}

}  // namespace mcbasm

}  // namespace mcb
