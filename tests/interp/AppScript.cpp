// Reading the ";!" annotations of a test application.
#include "AppScript.h"

#include <cctype>
#include <sstream>

namespace apptest {
namespace {

struct Token {
    enum Kind { Word, String, Comma, End } kind = End;
    std::string text;
};

class Line {
public:
    Line(const std::string& text, int number) : number_(number) { tokenize(text); }

    const Token& peek() const { return tokens_[pos_]; }
    bool atEnd() const { return peek().kind == Token::End; }
    Token next() { return atEnd() ? peek() : tokens_[pos_++]; }
    bool accept(const std::string& word) {
        if (peek().kind != Token::Word || peek().text != word) return false;
        ++pos_;
        return true;
    }
    void expect(const std::string& word) {
        if (!accept(word)) fail("expected '" + word + "'");
    }
    std::string string() {
        if (peek().kind != Token::String) fail("expected a quoted string");
        return next().text;
    }
    TInt32 number() {
        Token t = next();
        if (t.kind != Token::Word) fail("expected a number");
        try {
            size_t used = 0;
            long long v = std::stoll(t.text, &used, 0);
            if (used != t.text.size() || v < -2147483648LL || v > 4294967295LL) throw 0;
            return TInt32(TUint32(v));
        } catch (...) {
            fail("'" + t.text + "' is not a 32-bit number");
        }
    }
    std::vector<TInt32> numbers() {
        std::vector<TInt32> v{number()};
        while (peek().kind == Token::Comma) {
            next();
            v.push_back(number());
        }
        return v;
    }
    void done() {
        if (!atEnd()) fail("unexpected '" + peek().text + "'");
    }
    [[noreturn]] void fail(const std::string& message) const { throw ScriptError(number_, message); }
    int number_;

private:
    void tokenize(const std::string& s);
    std::vector<Token> tokens_;
    size_t pos_ = 0;
};

void Line::tokenize(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == ',') {
            tokens_.push_back({Token::Comma, ","});
            ++i;
        } else if (c == '"') {
            std::string text;
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (s[i] != '\\' || i + 1 >= s.size()) {
                    text += s[i];
                    continue;
                }
                char e = s[++i];
                text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
            }
            if (i >= s.size()) fail("unterminated string");
            ++i;
            tokens_.push_back({Token::String, text});
        } else {
            size_t start = i;
            while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])) && s[i] != ',' && s[i] != '"') ++i;
            tokens_.push_back({Token::Word, s.substr(start, i - start)});
        }
    }
    tokens_.push_back({Token::End, "end of line"});
}

ValueCheck valueCheck(Line& l) {
    ValueCheck v;
    v.line = l.number_;
    if (l.accept("string")) {
        v.isString = true;
        v.text = l.string();
    } else {
        l.expect("==");
        v.value = l.number();
    }
    return v;
}

void readOutcome(Line& l, Step& step, Outcome o) {
    if (step.kind == Step::Find) l.fail("a find has no outcome");
    step.outcome = o;
    step.outcomeLine = l.number_;
    if ((o == Outcome::Halts && !l.atEnd()) || o == Outcome::Raises) step.report = l.string();
}

Step readCall(Line& l) {
    Step s;
    s.kind = Step::Call;
    s.line = l.number_;
    s.signature = l.string();
    while (!l.atEnd()) {
        if (l.accept("args")) s.arguments = l.numbers();
        else if (l.accept("levels")) s.levels = l.numbers();
        else if (l.accept("resultlevel")) s.resultLevel = l.number();
        else l.fail("expected args, levels or resultlevel");
    }
    return s;
}

Step readFind(Line& l) {
    Step s;
    s.kind = Step::Find;
    s.line = l.number_;
    s.signature = l.string();
    l.expect("->");
    if (l.accept("none")) return s;
    s.foundName = l.string();
    while (!l.atEnd()) {
        if (l.accept("levels")) s.foundLevels = l.accept("none") ? std::vector<TInt32>{} : l.numbers();
        else if (l.accept("resultlevel")) s.foundResultLevel = l.number();
        else if (l.accept("handle")) s.foundHandle = l.number();
        else l.fail("expected levels, resultlevel or handle");
    }
    return s;
}

void readStatement(Line& l, AppScript& script) {
    Step& current = script.steps.back();  // not used once a step is added below
    if (l.accept("halts")) readOutcome(l, current, Outcome::Halts);
    else if (l.accept("exits")) readOutcome(l, current, Outcome::Exits);
    else if (l.accept("returns")) readOutcome(l, current, Outcome::Returns);
    else if (l.accept("raises")) readOutcome(l, current, Outcome::Raises);
    else if (l.accept("global")) {
        TInt32 index = l.number();
        script.globals.push_back({index, valueCheck(l)});
    } else if (l.accept("result")) {
        if (current.kind != Step::Call) l.fail("'result' belongs after a 'call'");
        current.results.push_back(valueCheck(l));
    } else if (l.accept("log")) script.log.push_back(l.string());
    else if (l.accept("call")) script.steps.push_back(readCall(l));
    else if (l.accept("find")) script.steps.push_back(readFind(l));
    else if (l.accept("budget")) script.budget = l.number();
    else l.fail("unknown annotation '" + l.peek().text + "'");
    l.done();
}

}  // namespace

AppScript parseScript(const std::string& source) {
    AppScript script;
    script.steps.emplace_back();
    std::istringstream in(source);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        size_t at = text.find_first_not_of(" \t");
        if (at == std::string::npos || text.compare(at, 2, ";!") != 0) continue;
        Line line(text.substr(at + 2), number);
        readStatement(line, script);
    }
    return script;
}

std::string quote(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '\n') q += "\\n";
        else if (c == '"' || c == '\\') q += std::string("\\") + c;
        else q += c;
    }
    return q + "\"";
}

std::string describeOutcome(Outcome o, const std::optional<std::string>& report) {
    switch (o) {
    case Outcome::Returns: return "returns";
    case Outcome::Exits: return "exits";
    case Outcome::Halts: return report ? "halts " + quote(*report) : "halts";
    case Outcome::Raises: return "raises " + quote(report.value_or(""));
    }
    return "?";
}

}  // namespace apptest
