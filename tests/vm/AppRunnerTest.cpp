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
#include <iomanip>
#include <sstream>

namespace mcb {

namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& text) {
    std::ostringstream out;
    out << std::quoted(text);
    return out.str();
}

struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One annotation line as tokens: words, commas and quoted strings (kept with a leading '"').
class Line {
public:
    Line(const std::string& text, int number) : number(number) {
        std::istringstream in(text);
        while ((in >> std::ws).peek() != EOF) {
            std::string t;
            if (in.peek() == '"') {
                in >> std::quoted(t);
                t.insert(0, "\"");
            } else if (in.peek() == ',') {
                t = std::string(1, char(in.get()));
            } else {
                while (in.peek() != EOF && !std::isspace(in.peek()) && in.peek() != ',' && in.peek() != '"')
                    t += char(in.get());
            }
            tokens_.push_back(t);
        }
        tokens_.push_back("");
    }

    bool atEnd() const { return tokens_[pos_].empty(); }
    bool accept(const std::string& word) {
        if (tokens_[pos_] != word) return false;
        ++pos_;
        return true;
    }
    void expect(const std::string& word) {
        if (!accept(word)) fail("expected '" + word + "'");
    }
    std::string string() {
        if (tokens_[pos_].rfind('"', 0) != 0) fail("expected a quoted string");
        return tokens_[pos_++].substr(1);
    }
    TInt32 value() {
        const std::string& t = tokens_[pos_];
        size_t used = 0;
        long long v = 0;
        try {
            v = std::stoll(t, &used, 0);
        } catch (...) {
        }
        if (used == 0 || used != t.size() || v < -2147483648LL || v > 4294967295LL)
            fail("'" + t + "' is not a 32-bit number");
        ++pos_;
        return TInt32(TUint32(v));
    }
    Vec<int> values() {  // "A, B, ..."
        Vec<int> v;
        do v.append(value());
        while (accept(","));
        return v;
    }
    // A word to compare, as "== V" or "string \"TEXT\"".
    std::string valueCheck() {
        if (accept("string")) return "string " + quote(string());
        expect("==");
        return "== " + std::to_string(value());
    }
    void done() {
        if (!atEnd()) fail("unexpected '" + tokens_[pos_] + "'");
    }
    [[noreturn]] void fail(const std::string& message) const {
        throw ScriptError("line " + std::to_string(number) + ": " + message);
    }
    const int number;

private:
    std::vector<std::string> tokens_;  // "" ends the line
    size_t pos_ = 0;
};

// Runs the steps in the order of their annotations and checks each outcome and
// result as it comes; the globals and the log are checked after the last step.
class AppRun {
public:
    AppRun(const std::string& source, const std::string& file) : file_(file) {
        std::istringstream in(source);
        std::string text;
        for (int number = 1; std::getline(in, text); ++number) {
            size_t at = text.find_first_not_of(" \t");
            if (at != std::string::npos && text.compare(at, 2, ";!") == 0) lines_.emplace_back(text.substr(at + 2), number);
        }
    }

    void run(const std::vector<uint8_t>& image) {
        for (Line l : lines_)  // one budget for every step, the load included
            if (l.accept("budget")) budget_ = l.value();
        step("main", 0, [&] {
            VELMAR::MemoryInputStream stream(image);
            vm_.load(CAppsString("index.mcb"), stream, &host_);
        });
        for (Line& l : lines_) {
            annotation(l);
            l.done();
        }
        finishStep();
        for (const auto& [line, index, expected] : globals_) {
            const VMAddr g = vm_.globals();
            HeapEntry* he = g ? vm_.heap().liveEntry(g) : nullptr;
            if (he && index >= 0 && TUint32(index) < he->size / 4)
                check(line, "global " + std::to_string(index), expected,
                      TInt32(vm_.memory().readWord(g + TUint32(index) * 4)));
            else
                ADD_FAILURE() << at(line) << "global " << index << " does not exist";
        }
        auto lines = [](const std::vector<std::string>& log) {
            std::string s;
            for (const std::string& l : log) s += l + "\n";
            return s;
        };
        EXPECT_EQ(lines(log_), lines(host_.logLines)) << file_ << ": the log (- expected, + actual)";
    }

private:
    std::string at(int line) const { return file_ + ":" + std::to_string(line) + ": "; }

    // Runs the load or an entry call; the annotations after it check how it ended.
    void step(const std::string& what, int line, const std::function<void()>& body) {
        vm_.reports.clear();
        vm_.setControlBudget(budget_);
        what_ = what;
        stepLine_ = line;
        checked_ = false;
        try {
            body();
            outcome_ = "returns";
        } catch (const ExitRequest&) {
            outcome_ = "exits";
        } catch (const HaltRequest&) {
            outcome_ = "halts " + quote(vm_.reports.empty() ? std::string() : vm_.reports.back());
        } catch (const ErrorHandlingException&) {
            outcome_ = "raises " + quote(vmerr::pendingErrorTextUtf8());
        }
    }
    // A step that no annotation gave an outcome must have returned.
    void finishStep() {
        if (!what_.empty() && !checked_) {
            EXPECT_EQ(what_ + " returns", what_ + " " + outcome_) << at(stepLine_);
        }
        what_.clear();
    }

    void annotation(Line& l) {
        for (std::string o : {"returns", "halts", "exits", "raises"}) {
            if (!l.accept(o)) continue;
            if (what_.empty()) l.fail("an outcome belongs to the load or a 'call'");
            std::string actual = outcome_;
            if (o == "raises" || (o == "halts" && !l.atEnd())) o += " " + quote(l.string());
            else if (o == "halts" && actual.rfind("halts", 0) == 0) actual = "halts";  // any report
            EXPECT_EQ(what_ + " " + o, what_ + " " + actual) << at(l.number);
            checked_ = true;
            return;
        }
        if (l.accept("global")) {
            const TInt32 index = l.value();
            globals_.push_back({l.number, index, l.valueCheck()});
        } else if (l.accept("result")) {
            if (what_.rfind("call", 0) != 0) l.fail("'result' belongs after a 'call'");
            check(l.number, "result", l.valueCheck(), result_);
        } else if (l.accept("log")) {
            log_.push_back(l.string());
        } else if (l.accept("budget")) {
            l.value();
        } else if (l.accept("call")) {
            finishStep();
            call(l);
        } else if (l.accept("find")) {
            finishStep();
            find(l);
        } else {
            l.fail("unknown annotation");
        }
    }

    void call(Line& l) {
        const std::string signature = l.string();
        Vec<int> args, levels;
        TInt32 resultLevel = -1;
        while (!l.atEnd()) {
            if (l.accept("args")) args = l.values();
            else if (l.accept("levels")) levels = l.values();
            else if (l.accept("resultlevel")) resultLevel = l.value();
            else l.fail("expected args, levels or resultlevel");
        }
        const TInt32 h = vm_.findMethod(CAppsString::fromUtf8(signature), 0);
        result_ = 0;
        step("call " + quote(signature), l.number, [&] {
            if (h >= 0) result_ = vm_.runEntryCall(h, args, levels, resultLevel);
        });
        if (h < 0) outcome_ = "finds no method";
    }

    void find(Line& l) {
        const std::string signature = l.string();
        l.expect("->");
        const TInt32 h = vm_.findMethod(CAppsString::fromUtf8(signature), 0);
        std::string expected = "find " + quote(signature) + " -> ", actual = expected;
        expected += l.accept("none") ? "none" : quote(l.string());
        if (h < 0) actual += "none";
        const MethodHandle* m = h < 0 ? nullptr : &vm_.methodHandle(h);
        if (m) actual += quote(vm_.tables().exportedMethods[m->exportedMethod].name.toUtf8());
        auto field = [&](const std::string& key, const std::string& wanted, const std::function<std::string()>& got) {
            expected += key + wanted;
            if (m) actual += key + got();
        };
        while (!l.atEnd()) {
            if (l.accept("levels")) {
                field(" levels ", l.accept("none") ? "none" : join(l.values(), ", "), [&] {
                    return m->parameterLevels.getSize() ? join(m->parameterLevels, ", ") : "none";
                });
            } else if (l.accept("resultlevel")) {
                field(" resultlevel ", std::to_string(l.value()),
                      [&] { return m->hasResult ? std::to_string(m->resultLevel) : "(none)"; });
            } else if (l.accept("handle")) {
                field(" handle ", std::to_string(l.value()), [&] { return std::to_string(h); });
            } else {
                l.fail("expected levels, resultlevel or handle");
            }
        }
        EXPECT_EQ(expected, actual) << at(l.number);
    }

    void check(int line, const std::string& what, const std::string& expected, TInt32 word) {
        std::string actual = "== " + std::to_string(word);
        if (expected.rfind("string", 0) == 0) {
            try {
                actual = "string " + quote(utf8(vm_.stringOf(VMAddr(word))));
            } catch (const ErrorHandlingException&) {
                actual += ", not a string (" + vmerr::pendingErrorTextUtf8() + ")";
            }
        }
        EXPECT_EQ(what + " " + expected, what + " " + actual) << at(line);
    }

    std::string file_;
    std::vector<Line> lines_;
    std::vector<std::tuple<int, TInt32, std::string>> globals_;  // line, index, expected
    std::vector<std::string> log_;
    TInt64 budget_ = 1000000;
    std::string what_, outcome_;  // the step being checked ("" after a find) and how it ended
    int stepLine_ = 0;
    bool checked_ = false;
    TInt32 result_ = 0;
    ReportingMachine vm_;
    TestHost host_;
    AppExtension extension_{vm_, host_};
};

class TestApplication : public testing::TestWithParam<fs::path> {};

TEST_P(TestApplication, BehavesAsAnnotated) {
    const std::string file = GetParam().filename().string();
    std::ifstream in(GetParam(), std::ios::binary);
    const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> image;
    try {
        image = mcbasm::assemble(source);
    } catch (const std::exception& e) {
        FAIL() << file << ": does not assemble: " << e.what();
    }
    try {
        AppRun(source, file).run(image);
    } catch (const ScriptError& e) {
        FAIL() << file << ": bad annotation at " << e.what();
    }
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
