// The catalogue is built once from the core's group list, the graphics library's tables
// and the extensions' tables.
#include "common/NativeCatalogue.h"

#include "natives/graphics/GraphicsNatives.h"
#include "natives/NativeTable.h"
#include "host/ExtensionTable.h"

namespace mcb {

namespace mcbtools {
namespace {
std::vector<NamedFunction> namedNatives(std::span<const natives::Function> rows)
{
    std::vector<NamedFunction> out;
    for (const natives::Function& f : rows)
        out.push_back({f.number, f.name, f.shape});
    return out;
}

// The groups the graphics library fills in at start.
std::span<const natives::Function> installedFromAbove(int group)
{
    switch (group) {
    case 18: return graphicsFunctions();
    case 19: return bitmapFunctions();
    case 20: return fontFunctions();
    default: return {};
    }
}

std::vector<NamedGroup> makeGroups()
{
    std::vector<NamedGroup> out;
    for (const natives::Group& g : natives::coreGroups()) {
        const auto rows = g.functions.empty() ? installedFromAbove(g.number) : g.functions;
        out.push_back({g.number, g.name, namedNatives(rows)});
    }
    return out;
}

std::vector<NamedGroup> makeExtensions()
{
    std::vector<NamedGroup> out;
    for (const ExtensionTable::Listing& e : ExtensionTable::listings()) {
        NamedGroup g{e.entry.number, e.entry.name, {}};
        for (const auto& f : e.functions)
            g.functions.push_back({f.number, f.name, f.shape});
        out.push_back(std::move(g));
    }
    return out;
}

const NamedGroup* byNumber(std::span<const NamedGroup> all, int number)
{
    for (const NamedGroup& g : all)
        if (g.number == number)
            return &g;
    return nullptr;
}

const NamedGroup* byName(std::span<const NamedGroup> all, std::string_view name)
{
    for (const NamedGroup& g : all)
        if (g.name == name)
            return &g;
    return nullptr;
}
}  // namespace

const NamedFunction* NamedGroup::function(int number) const
{
    for (const NamedFunction& f : functions)
        if (f.number == number)
            return &f;
    return nullptr;
}

const NamedFunction* NamedGroup::function(std::string_view name) const
{
    for (const NamedFunction& f : functions)
        if (f.name == name)
            return &f;
    return nullptr;
}

std::span<const NamedGroup> nativeGroups()
{
    static const std::vector<NamedGroup> groups = makeGroups();
    return groups;
}

std::span<const NamedGroup> extensions()
{
    static const std::vector<NamedGroup> all = makeExtensions();
    return all;
}

const NamedGroup* findGroup(int number) { return byNumber(nativeGroups(), number); }
const NamedGroup* findGroup(std::string_view name) { return byName(nativeGroups(), name); }
const NamedGroup* findExtension(int number) { return byNumber(extensions(), number); }
const NamedGroup* findExtension(std::string_view name) { return byName(extensions(), name); }

}  // namespace mcbtools

}  // namespace mcb
