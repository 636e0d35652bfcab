// Runs every test application of tests/apps/vm: assembles it, loads it under the
// test host, runs the steps its ";!" annotations ask for (the syntax is in that
// folder's README) and checks what happened against what they state.
#include "AppExtension.h"

#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

namespace mcb {

namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& text) {
    std::string q = "\"";
    for (char c : text) q += c == '\n' ? std::string("\\n") : c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return q + "\"";
}

// A word to compare: an int, or the text of the string cell it refers to.
struct ValueCheck {
    int line = 0;
    std::optional<std::string> text;
    TInt32 value = 0;
};

struct Step {
    enum Kind { Main, Call, Find } kind = Main;
    int line = 0;
    std::string signature;
    std::vector<TInt32> arguments, levels;  // a call's
    TInt32 resultLevel = -1;
    std::string outcome = "returns";  // returns, exits, halts, halts "REPORT" or raises "TEXT"
    int outcomeLine = 0;
    std::vector<ValueCheck> results;
    std::vector<std::pair<std::string, std::string>> found;  // a find's: ("", name or none), (" levels ", ...)...
};

struct Script {
    std::vector<Step> steps{1};  // steps[0] is the load
    std::vector<std::pair<TInt32, ValueCheck>> globals;
    std::vector<std::string> log;
    TInt64 budget = 1000000;
};

struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One annotation line as words, quoted strings and commas.
class Line {
public:
    Line(const std::string& s, int number) : number(number) {
        for (size_t i = 0; i < s.size();) {
            if (std::isspace(static_cast<unsigned char>(s[i]))) {
                ++i;
            } else if (s[i] == ',') {
                tokens_.push_back({',', ","});
                ++i;
            } else if (s[i] == '"') {
                std::string text;
                for (++i; i < s.size() && s[i] != '"'; ++i) {
                    char e = s[i] == '\\' && i + 1 < s.size() ? s[++i] : 0;
                    text += e == 0 ? s[i] : e == 'n' ? '\n' : e == 't' ? '\t' : e;
                }
                if (i++ >= s.size()) fail("unterminated string");
                tokens_.push_back({'s', text});
            } else {
                size_t start = i;
                while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])) && s[i] != ',' && s[i] != '"') ++i;
                tokens_.push_back({'w', s.substr(start, i - start)});
            }
        }
        tokens_.push_back({'e', "end of line"});
    }

    bool atEnd() const { return tokens_[pos_].first == 'e'; }
    bool accept(const std::string& word) {
        if (tokens_[pos_] != std::pair<char, std::string>('w', word)) return false;
        ++pos_;
        return true;
    }
    void expect(const std::string& word) {
        if (!accept(word)) fail("expected '" + word + "'");
    }
    std::string string() {
        if (tokens_[pos_].first != 's') fail("expected a quoted string");
        return tokens_[pos_++].second;
    }
    TInt32 value() {
        const std::string& t = tokens_[pos_].second;
        size_t used = 0;
        long long v = 0;
        try {
            v = std::stoll(t, &used, 0);
        } catch (...) {
        }
        if (tokens_[pos_].first != 'w' || used == 0 || used != t.size() || v < -2147483648LL || v > 4294967295LL)
            fail("'" + t + "' is not a 32-bit number");
        ++pos_;
        return TInt32(TUint32(v));
    }
    std::vector<TInt32> values() {
        std::vector<TInt32> v{value()};
        while (tokens_[pos_].first == ',') ++pos_, v.push_back(value());
        return v;
    }
    void done() {
        if (!atEnd()) fail("unexpected '" + tokens_[pos_].second + "'");
    }
    [[noreturn]] void fail(const std::string& message) const {
        throw ScriptError("line " + std::to_string(number) + ": " + message);
    }
    const int number;

private:
    std::vector<std::pair<char, std::string>> tokens_;  // 'w'ord, 's'tring, ',' or 'e'nd
    size_t pos_ = 0;
};

void readAnnotation(Line& l, Script& script) {
    Step& step = script.steps.back();
    auto check = [&l] {
        ValueCheck v;
        v.line = l.number;
        if (l.accept("string")) {
            v.text = l.string();
        } else {
            l.expect("==");
            v.value = l.value();
        }
        return v;
    };
    auto outcome = [&](std::string o) {
        if (step.kind == Step::Find) l.fail("a find has no outcome");
        if (o == "raises" || (o == "halts" && !l.atEnd())) o += " " + quote(l.string());
        step.outcome = o;
        step.outcomeLine = l.number;
    };
    auto newStep = [&l](Step::Kind kind) {
        Step s;
        s.kind = kind;
        s.line = l.number;
        s.signature = l.string();
        return s;
    };
    for (const char* o : {"returns", "halts", "exits", "raises"})
        if (l.accept(o)) return outcome(o);
    if (l.accept("global")) {
        TInt32 index = l.value();
        script.globals.push_back({index, check()});
    } else if (l.accept("result")) {
        if (step.kind != Step::Call) l.fail("'result' belongs after a 'call'");
        step.results.push_back(check());
    } else if (l.accept("log")) {
        script.log.push_back(l.string());
    } else if (l.accept("budget")) {
        script.budget = l.value();
    } else if (l.accept("call")) {
        Step s = newStep(Step::Call);
        while (!l.atEnd()) {
            if (l.accept("args")) s.arguments = l.values();
            else if (l.accept("levels")) s.levels = l.values();
            else if (l.accept("resultlevel")) s.resultLevel = l.value();
            else l.fail("expected args, levels or resultlevel");
        }
        script.steps.push_back(s);
    } else if (l.accept("find")) {
        Step s = newStep(Step::Find);
        l.expect("->");
        s.found.push_back({"", l.accept("none") ? "none" : quote(l.string())});
        while (s.found[0].second != "none" && !l.atEnd()) {
            if (l.accept("levels")) s.found.push_back({" levels ", l.accept("none") ? "none" : join(l.values(), ", ")});
            else if (l.accept("resultlevel")) s.found.push_back({" resultlevel ", std::to_string(l.value())});
            else if (l.accept("handle")) s.found.push_back({" handle ", std::to_string(l.value())});
            else l.fail("expected levels, resultlevel or handle");
        }
        script.steps.push_back(s);
    } else {
        l.fail("unknown annotation");
    }
}

Script parseScript(const std::string& source) {
    Script script;
    std::istringstream in(source);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        size_t at = text.find_first_not_of(" \t");
        if (at == std::string::npos || text.compare(at, 2, ";!") != 0) continue;
        Line line(text.substr(at + 2), number);
        readAnnotation(line, script);
        line.done();
    }
    return script;
}

class AppRun {
public:
    AppRun(const Script& script, const std::vector<uint8_t>& image, const std::string& file)
        : script_(script), image_(image), file_(file) {}

    void run() {
        for (const Step& s : script_.steps) s.kind == Step::Find ? find(s) : call(s);
        for (const auto& [index, v] : script_.globals) {
            VMAddr g = vm_.globals();
            HeapEntry* he = g ? vm_.heap().liveEntry(g) : nullptr;
            if (he && index >= 0 && TUint32(index) < he->size / 4)
                checkValue(v, "global " + std::to_string(index), TInt32(vm_.memory().readWord(g + TUint32(index) * 4)));
            else
                ADD_FAILURE() << at(v.line) << "global " << index << " does not exist";
        }
        if (script_.log == host_.logLines) return;
        std::string diff;  // "- " expected only, "+ " actual only, line by line
        const auto &a = script_.log, &b = host_.logLines;
        for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
            if (i < a.size() && i < b.size() && a[i] == b[i]) {
                diff += "    " + quote(a[i]) + "\n";
                continue;
            }
            if (i < a.size()) diff += "  - " + quote(a[i]) + "\n";
            if (i < b.size()) diff += "  + " + quote(b[i]) + "\n";
        }
        ADD_FAILURE() << file_ << ": log (- expected, + actual):\n" << diff;
    }

private:
    std::string at(int line) const { return file_ + ":" + std::to_string(line) + ": "; }

    std::string outcomeOf(const std::function<void()>& body) {
        vm_.reports.clear();
        vm_.setControlBudget(script_.budget);
        try {
            body();
            return "returns";
        } catch (const ExitRequest&) {
            return "exits";
        } catch (const HaltRequest&) {
            return "halts " + quote(vm_.reports.empty() ? std::string() : vm_.reports.back());
        } catch (const ErrorHandlingException&) {
            return "raises " + quote(vmerr::pendingErrorTextUtf8());
        }
    }

    void call(const Step& s) {
        TInt32 result = 0;
        std::string outcome;
        if (s.kind == Step::Main) {
            outcome = outcomeOf([&] {
                VELMAR::MemoryInputStream stream(image_);
                vm_.load(CAppsString("index.mcb"), stream, &host_);
            });
        } else {
            TInt32 h = vm_.findMethod(CAppsString::fromUtf8(s.signature), 0);
            if (h < 0) {
                ADD_FAILURE() << at(s.line) << "no method for " << quote(s.signature);
                return;
            }
            Vec<int> args, levels;
            for (TInt32 a : s.arguments) args.append(a);
            for (TInt32 l : s.levels) levels.append(l);
            outcome = outcomeOf([&] { result = vm_.runEntryCall(h, args, levels, s.resultLevel); });
        }
        if (s.outcome == "halts" && outcome.rfind("halts", 0) == 0) outcome = "halts";  // any report
        std::string what = s.kind == Step::Main ? "main " : "call " + quote(s.signature) + " ";
        EXPECT_EQ(what + s.outcome, what + outcome) << at(s.outcomeLine ? s.outcomeLine : s.line);
        for (const ValueCheck& v : s.results) checkValue(v, "result", result);
    }

    void find(const Step& s) {
        TInt32 h = vm_.findMethod(CAppsString::fromUtf8(s.signature), 0);
        std::string expected = "find " + quote(s.signature) + " -> ", actual = expected;
        for (const auto& [key, value] : s.found) expected += key + value;
        if (h < 0) {
            actual += "none";
        } else {
            const MethodHandle& m = vm_.methodHandle(h);
            for (const auto& [key, value] : s.found) {
                std::string levels = join(m.parameterLevels, ", ");
                if (key.empty()) actual += quote(vm_.tables().exportedMethods[m.exportedMethod].name.toUtf8());
                else if (key == " levels ") actual += key + (levels.empty() ? "none" : levels);
                else if (key == " resultlevel ") actual += key + (m.hasResult ? std::to_string(m.resultLevel) : "(none)");
                else actual += key + std::to_string(h);
            }
        }
        EXPECT_EQ(expected, actual) << at(s.line);
    }

    void checkValue(const ValueCheck& v, const std::string& what, TInt32 word) {
        std::string actual = "== " + std::to_string(word);
        if (v.text) {
            try {
                actual = "string " + quote(utf8(vm_.stringOf(VMAddr(word))));
            } catch (const ErrorHandlingException&) {
                actual += ", not a string (" + vmerr::pendingErrorTextUtf8() + ")";
            }
        }
        std::string expected = v.text ? "string " + quote(*v.text) : "== " + std::to_string(v.value);
        EXPECT_EQ(what + " " + expected, what + " " + actual) << at(v.line);
    }

    const Script& script_;
    const std::vector<uint8_t>& image_;
    std::string file_;
    ReportingMachine vm_;
    TestHost host_;
    AppExtension extension_{vm_, host_};
};

class TestApplication : public testing::TestWithParam<fs::path> {};

TEST_P(TestApplication, BehavesAsAnnotated) {
    std::string file = GetParam().filename().string();
    std::ifstream in(GetParam(), std::ios::binary);
    std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Script script;
    std::vector<uint8_t> image;
    try {
        script = parseScript(source);
    } catch (const ScriptError& e) {
        FAIL() << file << ": bad annotation at " << e.what();
    }
    try {
        image = mcbasm::assemble(source);
    } catch (const std::exception& e) {
        FAIL() << file << ": does not assemble: " << e.what();
    }
    AppRun(script, image, file).run();
}

std::vector<fs::path> appFiles() {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(fs::path(MCB_SOURCE_DIR) / "tests/apps/vm"))
        if (e.path().extension() == ".s") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

INSTANTIATE_TEST_SUITE_P(Apps, TestApplication, testing::ValuesIn(appFiles()),
                         [](const testing::TestParamInfo<fs::path>& info) {
                             std::string name = info.param.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace

}  // namespace mcb
