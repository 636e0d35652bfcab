// Random bytecode images for robustness runs: an image writer with all widths
// 4, generators of random code (raw bytes, or valid instructions with random
// operands), byte mutation of real images, and a runner that loads an image
// under a quiet host and says how the run ended.
#pragma once

#include "foundation/Types.h"

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace randomcode {

struct ClassPlan {
    std::vector<TInt32> referenceFields;
    std::vector<std::pair<TUint8, TInt32>> arrayFields;  // flag 0 or 255, word index
    TInt32 superclass = -1;                              // -1: none
};

struct DescriptorPlan {
    TInt32 first = 0, second = 0, third = 0;
    std::vector<TInt32> possibleReferences;
    std::vector<std::pair<TUint8, TInt32>> arrays;
    std::vector<TInt32> references;
    std::vector<std::pair<TUint8, TInt32>> pairs;
};

struct MethodPlan {
    std::string name;
    TInt32 code = 0;
    TInt32 descriptor = 0;
};

struct Implementation {
    TInt32 classIndex = 0;
    TInt32 code = 0;
    TInt32 descriptor = 0;
};

struct SelectorPlan {
    std::string name;
    std::vector<Implementation> implementations;
};

struct ImagePlan {
    std::string identifier = std::string(20, 'r');
    std::vector<MethodPlan> methods;
    std::vector<SelectorPlan> selectors;
    TInt32 globals = 0;
    std::vector<ClassPlan> classes;
    std::vector<DescriptorPlan> descriptors;
    std::vector<std::string> strings;
    std::vector<TUint8> code;

    std::vector<TUint8> bytes() const;
};

using Random = std::mt19937;

// Every random image has this many of each table entry, so that random
// operands can name them.
constexpr TInt32 kClasses = 4;
constexpr TInt32 kDescriptors = 5;
constexpr TInt32 kSelectors = 2;
constexpr TInt32 kStrings = 3;

// Classes, descriptors, strings, selectors and the exported methods ("main"
// at 0, sometimes the initialiser and the throw routines, at instruction
// starts) around the given code.
ImagePlan randomImage(Random& rng, std::vector<TUint8> code, const std::vector<TInt32>& starts);
// Raw random bytes.
std::vector<TUint8> randomBytes(Random& rng, std::vector<TInt32>& starts);
// Valid instructions whose operands are random but mostly meaningful: jumps
// and calls to instruction starts, indices of the image's tables, small counts.
std::vector<TUint8> randomInstructions(Random& rng, std::vector<TInt32>& starts);
// Flips, overwrites, inserts and deletes a few bytes, mostly in the code.
std::vector<TUint8> mutate(Random& rng, std::vector<TUint8> image, size_t codeOffset);

// Lowers the word counts of allocations met on a linear walk of the code, so
// that a run does not commit gigabytes of VM memory (that is allowed, only slow).
void tameAllocations(std::vector<TUint8>& code);

// Refused: the image does not parse. Raised: a VM error left the load
// operation (a collection after a run that could not trace what it met).
enum class Outcome { Returned, Halted, Exited, Raised, Refused };
const char* describe(Outcome o);

// Loads the image and runs its initialiser and "main" with the given budget of
// jumps and calls. Any other way out than these outcomes fails the test.
Outcome runImage(const std::vector<TUint8>& image, TInt64 budget = 500);
Outcome runSource(std::string_view source, TInt64 budget = 500);
// Collections that random code asked for (`extcall 1, 1`) and that finished.
TInt64 collectionsFinished();

}  // namespace randomcode
