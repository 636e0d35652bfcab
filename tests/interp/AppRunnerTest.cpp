// Runs every test application of tests/apps/vm: assembles it, loads it under
// the test host, runs the steps its annotations ask for and compares what
// happened with what they state, printing each difference as a diff.
#include "AppScript.h"
#include "TestHost.h"

#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace apptest;

namespace {

std::vector<fs::path> appFiles() {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(fs::path(MCB_SOURCE_DIR) / "tests/apps/vm"))
        if (e.path().extension() == ".s") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Check {
    int line;
    std::string expected;
    std::string actual;
};

// Lines of `expected` and `actual` as a diff: "  " both, "- " expected only, "+ " actual only.
std::string lineDiff(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    size_t n = a.size(), m = b.size();
    std::vector<std::vector<size_t>> lcs(n + 1, std::vector<size_t>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            lcs[i][j] = a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    std::string out;
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) out += "    " + quote(a[i++]) + "\n", ++j;
        else if (i < n && (j == m || lcs[i + 1][j] >= lcs[i][j + 1])) out += "  - " + quote(a[i++]) + "\n";
        else out += "  + " + quote(b[j++]) + "\n";
    }
    return out;
}

class AppRun {
public:
    AppRun(const AppScript& script, const std::vector<uint8_t>& image) : script_(script), image_(image) {}

    void runAll() {
        for (const Step& step : script_.steps) {
            if (step.kind == Step::Find) find(step);
            else run(step);
        }
        for (const GlobalCheck& g : script_.globals) checkGlobal(g);
    }

    std::string failures(const std::string& file) const {
        std::string out;
        int failed = 0;
        for (const Check& c : checks_) {
            if (c.expected == c.actual) continue;
            ++failed;
            out += "  " + file + (c.line ? ":" + std::to_string(c.line) : std::string()) + "\n      expected: " + c.expected +
                   "\n      actual:   " + c.actual + "\n";
        }
        if (script_.log != host_.lines) {
            ++failed;
            out += "  log (- expected, + actual):\n" + lineDiff(script_.log, host_.lines);
        }
        if (failed == 0) return std::string();
        return std::to_string(failed) + " of " + std::to_string(checks_.size() + 1) +
               " checks failed\n" + out;
    }

private:
    std::string outcomeOf(const std::function<void()>& body) {
        vm_.lastReport.clear();
        vm_.setControlBudget(script_.budget);
        try {
            body();
            return "returns";
        } catch (TInt32 e) {
            if (e == -1) return "exits";
            if (e == -2) return describeOutcome(Outcome::Halts, vm_.lastReport);
            return "throws the integer " + std::to_string(e);
        } catch (const ErrorHandlingException&) {
            return "raises " + quote(vmerr::pendingErrorTextUtf8());
        }
    }

    std::string expectedOutcome(const Step& s) const {
        return describeOutcome(s.outcome, s.outcome == Outcome::Returns || s.outcome == Outcome::Exits ? std::nullopt : s.report);
    }

    // A halt expected without a report matches any report.
    void checkOutcome(const Step& s, std::string actual) {
        if (s.outcome == Outcome::Halts && !s.report && actual.rfind("halts", 0) == 0) actual = "halts";
        int line = s.outcomeLine ? s.outcomeLine : s.line;
        std::string what = s.kind == Step::Main ? "main " : "call " + quote(s.signature) + " ";
        checks_.push_back({line, what + expectedOutcome(s), what + actual});
    }

    void run(const Step& s) {
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
                checks_.push_back({s.line, "call " + quote(s.signature), "no method for " + quote(s.signature)});
                return;
            }
            Vec<int> args, levels;
            for (TInt32 a : s.arguments) args.append(a);
            for (TInt32 l : s.levels) levels.append(l);
            outcome = outcomeOf([&] { result = vm_.runEntryCall(h, args, levels, s.resultLevel); });
        }
        checkOutcome(s, outcome);
        for (const ValueCheck& v : s.results) checkValue(v, "result", result);
    }

    void find(const Step& s) {
        TInt32 h = vm_.findMethod(CAppsString::fromUtf8(s.signature), 0);
        std::string head = "find " + quote(s.signature) + " -> ";
        std::string expected = head + (s.foundName ? quote(*s.foundName) : "none");
        std::string actual = head;
        if (h < 0) {
            actual += "none";
        } else {
            const MethodHandle& m = vm_.methodHandle(h);
            actual += quote(vm_.tables().exportedMethods[m.exportedMethod].name.toUtf8());
            if (s.foundLevels) {
                expected += " levels " + numbers(*s.foundLevels);
                std::vector<TInt32> levels(m.parameterLevels.begin(), m.parameterLevels.end());
                actual += " levels " + numbers(levels);
            }
            if (s.foundResultLevel) {
                expected += " resultlevel " + std::to_string(*s.foundResultLevel);
                actual += " resultlevel " + (m.hasResult ? std::to_string(m.resultLevel) : std::string("(no result)"));
            }
            if (s.foundHandle) {
                expected += " handle " + std::to_string(*s.foundHandle);
                actual += " handle " + std::to_string(h);
            }
        }
        checks_.push_back({s.line, expected, actual});
    }

    static std::string numbers(const std::vector<TInt32>& v) {
        if (v.empty()) return "none";
        std::string s;
        for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + std::to_string(v[i]);
        return s;
    }

    void checkGlobal(const GlobalCheck& g) {
        std::string what = "global " + std::to_string(g.index);
        VMAddr globals = vm_.globals();
        HeapEntry* he = globals ? vm_.heap().liveEntry(globals) : nullptr;
        if (!he || g.index < 0 || TUint32(g.index) >= he->size / 4) {
            std::string expected = g.expected.isString ? " string " + quote(g.expected.text)
                                                       : " == " + std::to_string(g.expected.value);
            checks_.push_back({g.expected.line, what + expected, what + " does not exist"});
            return;
        }
        checkValue(g.expected, what, TInt32(vm_.memory().readWord(globals + TUint32(g.index) * 4)));
    }

    void checkValue(const ValueCheck& v, const std::string& what, TInt32 word) {
        if (!v.isString) {
            checks_.push_back({v.line, what + " == " + std::to_string(v.value), what + " == " + std::to_string(word)});
            return;
        }
        std::string actual;
        try {
            Vec<TUint8> bytes = vm_.stringOf(VMAddr(word)).toUtf8();
            actual = "string " + quote(std::string(reinterpret_cast<const char*>(bytes.data()), size_t(bytes.getSize())));
        } catch (const ErrorHandlingException&) {
            actual = "== " + std::to_string(word) + ", not a string (" + vmerr::pendingErrorTextUtf8() + ")";
        }
        checks_.push_back({v.line, what + " string " + quote(v.text), what + " " + actual});
    }

    const AppScript& script_;
    const std::vector<uint8_t>& image_;
    RecordingMachine vm_;
    TestHost host_{vm_};
    std::vector<Check> checks_;
};

class TestApplication : public testing::TestWithParam<fs::path> {};

TEST_P(TestApplication, BehavesAsAnnotated) {
    const fs::path& file = GetParam();
    std::string source = readText(file);
    AppScript script;
    try {
        script = parseScript(source);
    } catch (const ScriptError& e) {
        FAIL() << file.filename().string() << ": bad annotation at " << e.what();
    }
    std::vector<uint8_t> image;
    try {
        image = mcbasm::assemble(source);
    } catch (const std::exception& e) {
        FAIL() << file.filename().string() << ": does not assemble: " << e.what();
    }
    AppRun run(script, image);
    run.runAll();
    std::string failures = run.failures(file.filename().string());
    EXPECT_TRUE(failures.empty()) << failures;
}

std::string testName(const testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Apps, TestApplication, testing::ValuesIn(appFiles()), testName);

}  // namespace
