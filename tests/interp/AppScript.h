// What a test application must do, read from its ";!" annotation lines: the
// steps to run (main, then entry calls and method look-ups) and the checks on
// their outcome, results, globals and log. The syntax is in tests/apps/vm/README.md.
#pragma once

#include "foundation/Types.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace apptest {

struct ScriptError : std::runtime_error {
    ScriptError(int line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), line(line) {}
    int line;
};

// A word to compare: an int, or the text of the string cell it refers to.
struct ValueCheck {
    int line = 0;
    bool isString = false;
    TInt32 value = 0;
    std::string text;
};

struct GlobalCheck {
    TInt32 index = 0;
    ValueCheck expected;
};

enum class Outcome { Returns, Halts, Exits, Raises };

struct Step {
    enum Kind { Main, Call, Find } kind = Main;
    int line = 0;
    std::string signature;
    // Call: the arguments, their levels and the level wanted for the result.
    std::vector<TInt32> arguments;
    std::vector<TInt32> levels;
    TInt32 resultLevel = -1;
    Outcome outcome = Outcome::Returns;
    int outcomeLine = 0;
    std::optional<std::string> report;  // the halt's runtime-error message, or the raised text
    std::vector<ValueCheck> results;
    // Find: the exported method expected (none: not found) and optional details.
    std::optional<std::string> foundName;
    std::optional<std::vector<TInt32>> foundLevels;
    std::optional<TInt32> foundResultLevel;
    std::optional<TInt32> foundHandle;
};

struct AppScript {
    std::vector<Step> steps;  // steps[0] is main
    std::vector<GlobalCheck> globals;
    std::vector<std::string> log;
    TInt64 budget = 1000000;
};

// Throws ScriptError for an annotation it cannot read.
AppScript parseScript(const std::string& source);

std::string quote(const std::string& text);
std::string describeOutcome(Outcome o, const std::optional<std::string>& report);

}  // namespace apptest
