// How the heap tells strings and vectors apart: by kind, other types by dynamic_cast.
#include "../support/Outcome.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"
#include "objects/OString.h"
#include "objects/OVector.h"

#include <gtest/gtest.h>

#include <functional>

namespace mcb {

TEST(ObjectKinds, StringsAndVectorsAreToldApartAndOtherTypesByTheirClass) {
    VMMemory mem;
    VMHeap heap(mem);
    const VMAddr s = heap.createObject<OString>(8, GC_CODE_STRING, "abc");
    const VMAddr v = heap.createObject<OVector<TInt32>>(16, GC_CODE_VECTOR, heap);
    EXPECT_EQ(heap.objectAs<OString>(s)->length(), 3);
    EXPECT_EQ(heap.objectAs<OVectorBase>(v)->elementBytes(), 4u);
    EXPECT_NE(heap.objectAs<OVector<TInt32>>(v), nullptr);
    for (auto wrong : {std::function<void()>([&] { heap.objectAs<OString>(v); }),
                       std::function<void()>([&] { heap.objectAs<OVectorBase>(s); }),
                       std::function<void()>([&] { heap.objectAs<OVector<TInt8>>(v); })})
        EXPECT_EQ(outcomeOf(wrong).text, "VMException: Invalid TYPEID");
}

// Freeing a vector whose storage block bytecode has spoiled must not end the
// process from the vector's destructor (a fuzzed image did so).
TEST(ObjectKinds, AVectorWithASpoiledStorageBlockIsFreedInOrder) {
    VMMemory mem;
    VMHeap heap(mem);
    const VMAddr v = heap.createObject<OVector<TInt32>>(16, GC_CODE_VECTOR, heap);
    auto* vector = heap.objectAs<OVector<TInt32>>(v);
    vector->append(7);
    const VMAddr storage = vector->storage();
    *mem.uncheckedWord(storage + heap.headerOf(storage)->size) ^= 0x55;  // its boundary tag
    const Outcome freed = outcomeOf([&] { heap.free(v); });
    EXPECT_TRUE(freed.code == 0 || freed.text == "VMException: Heap corrupted") << freed.text;
    EXPECT_EQ(outcomeOf([&] { heap.verify(); }).text, "VMException: Heap corrupted");
}

}  // namespace mcb
