// ProgramTables: everything the loader fills from bytecode images and the
// virtual machine reads while running them: images, exported methods, class
// layouts, method descriptors, string constants, relocated code and globals.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Vec.h"
#include "foundation/MemoryBudget.h"
#include "heap/VMHeap.h"

#include <array>

namespace mcb {

constexpr TInt32 kImageIdentifierLength = 20;

// One loaded image.
struct BytecodeStruct {
    std::array<TUint8, kImageIdentifierLength> identifier{};
    CAppsString name;  // the file name it was loaded under
    TInt32 codeBase = 0;
    TInt32 codeLength = 0;
};

// One implementation of an exported method: a global method has class index -1.
struct MethodEntry {
    TInt32 classIndex = -1;
    TInt32 codeAddress = 0;
    TInt32 descriptorIndex = -1;
};

// A method reachable by name: a global method, or a selector with one entry per class.
struct ExportedMethod {
    TInt32 imageIndex = 0;
    Vec<MethodEntry> entries;
    CAppsString name;
    TInt32 isVirtual = 0;
    TInt32 methodHandle = -1;  // cached handle index, -1 until one is made
};

// Frame layout of a method for calls and for the collector. Lengths and
// offsets come from the image unchecked: readers must bound them.
struct MethodGCInfo {
    TInt32 firstLength = 0;
    TInt32 secondLength = 0;
    TInt32 thirdLength = 0;
    Vec<int> possibleReferenceSlots;
    Vec<int> arraySlots;
    Vec<TUint8> arraySlotFlags;  // 0 or 255 (elements are references)
    Vec<int> referenceSlots;
    Vec<int> twoWordArraySlots;
    Vec<TUint8> twoWordArraySlotFlags;
};

struct ProgramTables {
    Vec<BytecodeStruct> images;
    Vec<ExportedMethod> exportedMethods;

    // Indexed by class index (1-based; index 0 and unfilled indices are empty).
    Vec<Vec<int>> referenceFields;
    Vec<Vec<int>> arrayFields;
    Vec<Vec<TUint8>> arrayFlags;  // per array field: 0 or 255
    Vec<int> superclasses;        // -1 none, -2 index filled by no class

    Vec<MethodGCInfo> descriptors;
    Vec<CAppsString> strings;
    Vec<TUint8> code;
    TInt32 largestClassIndex = 0;
    VMAddr globals = 0;  // 0 when no image declared globals
    BudgetCharge hostMemory;  // what all of the above costs the memory budget

    // The class tables the heap traces instances with.
    ClassLayoutTables classLayout() const {
        return ClassLayoutTables{&referenceFields, &arrayFields, &arrayFlags};
    }
    TInt32 classTableSize() const { return superclasses.getSize(); }
};

}  // namespace mcb
