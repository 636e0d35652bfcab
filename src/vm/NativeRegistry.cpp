// The registry of native groups: the groups as registered, and per group an index of its
// rows by function number, so that a call finds its body without a search.
#include "vm/NativeRegistry.h"

#include <array>
#include <cstddef>

namespace mcb {

namespace natives {

// Constant-initialised, so that registering from another file's start-up code is safe.
constinit std::array<std::array<const Function*, kFunctionLimit>, kLastGroup + 1> gRowsByNumber{};

namespace {
struct Entry {
    Group group;
    bool registered;
};

constinit std::array<Entry, kLastGroup + 1> gEntries{};

void index(Entry& e, std::span<const Function> functions)
{
    auto& byNumber = gRowsByNumber[size_t(e.group.number)];
    byNumber.fill(nullptr);
    for (const Function& f : functions)
        if (f.number >= 0 && f.number < kFunctionLimit)
            byNumber[size_t(f.number)] = &f;
    e.group.functions = functions;
}

constinit KeyEventMaker gKeyEventMaker = nullptr;
}  // namespace

void registerKeyEventMaker(KeyEventMaker maker) { gKeyEventMaker = maker; }
KeyEventMaker keyEventMaker() { return gKeyEventMaker; }

void registerGroups(std::span<const Group> groups)
{
    for (const Group& g : groups) {
        if (g.number < kFirstGroup || g.number > kLastGroup)
            continue;
        Entry& e = gEntries[size_t(g.number)];
        e.group = g;
        e.registered = true;
        index(e, g.functions);
    }
}

void installFunctions(int group, std::span<const Function> functions)
{
    if (group < kFirstGroup || group > kLastGroup || !gEntries[size_t(group)].registered)
        return;
    Entry& e = gEntries[size_t(group)];
    if (e.group.functions.data() != functions.data() || e.group.functions.size() != functions.size())
        index(e, functions);
}

const Group* findGroup(int number)
{
    if (number < kFirstGroup || number > kLastGroup || !gEntries[size_t(number)].registered)
        return nullptr;
    return &gEntries[size_t(number)].group;
}


}  // namespace natives

}  // namespace mcb
