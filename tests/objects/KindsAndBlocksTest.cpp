// How the heap tells strings and vectors apart (by kind, other types by
// dynamic_cast), and the block cache that string objects and contents come from.
#include "../support/Outcome.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"
#include "objects/BlockCache.h"
#include "objects/OString.h"
#include "objects/OVector.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

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

TEST(BlockCache, SmallBlocksAreReusedByClassLargeOnesPassThrough) {
    void* a = blockcache::take(40);
    std::memset(a, 0xAB, 48);  // a block is rounded up to its 16-byte class
    blockcache::give(a, 40);
    EXPECT_EQ(blockcache::take(33), a) << "same class: the block given back last";
    void* other = blockcache::take(20);
    EXPECT_NE(other, a);
    void* large = blockcache::take(blockcache::kMaxBlockBytes + 1);
    std::memset(large, 0, blockcache::kMaxBlockBytes + 1);
    blockcache::give(large, blockcache::kMaxBlockBytes + 1);
    blockcache::give(other, 20);
    blockcache::give(a, 33);
    OString* s = new OString("kept apart");  // string objects come from the cache too
    EXPECT_EQ(s->length(), 10);
    delete s;
}
