// Random bytecode images for robustness runs: random code (raw bytes, or valid
// instructions with random operands) in random tables, byte mutation of real
// images, and a runner that says how a run ended.
#pragma once

#include "foundation/Types.h"

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace randomcode {

using Random = std::mt19937;

// Table sizes of every random image, so that random operands can name entries.
constexpr TInt32 kClasses = 4;
constexpr TInt32 kDescriptors = 5;
constexpr TInt32 kSelectors = 2;
constexpr TInt32 kStrings = 3;

// Classes, descriptors, strings, selectors and the exported methods ("main"
// at 0, sometimes the initialiser and the throw routines, at instruction
// starts) around the given code.
std::vector<TUint8> randomImage(Random& rng, std::vector<TUint8> code, const std::vector<TInt32>& starts);
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
