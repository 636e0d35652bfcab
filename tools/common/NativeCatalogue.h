// The names the tools know for the native groups of instruction 78 and the extensions of
// instruction 97, read from the tables the player dispatches through.
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace mcb {

namespace mcbtools {

struct NamedFunction {
    int number;
    std::string_view name;   // as the assembler spells it after the dot
    std::string_view shape;  // operand words where recorded, else empty
};

struct NamedGroup {
    int number;
    std::string_view name;
    std::vector<NamedFunction> functions;

    const NamedFunction* function(int number) const;
    const NamedFunction* function(std::string_view name) const;
};

// Groups 1 to 36 by number, the graphics groups with their tables.
std::span<const NamedGroup> nativeGroups();
std::span<const NamedGroup> extensions();

// Each returns nullptr when there is no such entry.
const NamedGroup* findGroup(int number);
const NamedGroup* findGroup(std::string_view name);
const NamedGroup* findExtension(int number);
const NamedGroup* findExtension(std::string_view name);

}  // namespace mcbtools

}  // namespace mcb
