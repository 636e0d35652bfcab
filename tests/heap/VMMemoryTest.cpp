// VM memory: carving and committing the region, and the checked translation of
// VM addresses (null, guard area, past the carved top, misaligned words).
#include "HeapTestSupport.h"

#include <cstring>
#include <functional>

using heaptest::badAddressText;
using heaptest::outcomeOf;

namespace {
constexpr TUint64 kSmallReserve = TUint64(64) << 20;
}

TEST(VMMemory, CarvesZeroedBlocksUpwardsWithoutMovingThem) {
    VMMemory mem(kSmallReserve);
    VMAddr a = mem.carve(10);
    EXPECT_EQ(a, VMMemory::kGuardBytes);
    EXPECT_EQ(mem.carve(4), a + 16) << "sizes round up to 8";
    VMAddr first = mem.carve(4096);
    TUint8* host = mem.ptr(first, 4096);
    std::memset(host, 0xA5, 4096);
    for (int i = 0; i < 24; ++i) {  // several commit steps' worth
        VMAddr b = mem.carve(1u << 20);
        EXPECT_EQ(mem.readWord(b), 0u);
        EXPECT_EQ(mem.readWord(b + (1u << 20) - 4), 0u);
        mem.writeWord(b + (1u << 20) - 4, TUint32(i));
    }
    EXPECT_EQ(mem.ptr(first, 4096), host);
    EXPECT_EQ(mem.readWord(first + 4092), 0xA5A5A5A5u);
    EXPECT_EQ(mem.addressOf(host), first);
}

TEST(VMMemory, FailedCarveRaisesAndLeavesTheTop) {
    VMMemory small(TUint64(1) << 20), big;
    for (auto [mem, size] : {std::pair{&small, 2u << 20}, {&big, 0xFFFFFFFFu}, {&big, 0xFFFFFFF8u}}) {
        VMAddr top = mem->top();
        EXPECT_EQ(outcomeOf([&] { mem->carve(size); }).code, vmerr::InvalidArgument) << size;
        EXPECT_EQ(mem->top(), top);
        EXPECT_EQ(mem->carve(16), top) << "a failed carve leaves the region usable";
    }
}

TEST(VMMemory, BadAddressesRaiseAndTheEdgesAreReachable) {
    VMMemory mem(kSmallReserve);
    VMAddr a = mem.carve(64);
    VMAddr top = mem.top();
    for (auto f : std::initializer_list<std::function<void()>>{[&] { mem.ptr(0, 1); }, [&] { mem.ptr(0, 0); },
                                                               [&] { mem.readWord(0); }, [&] { mem.writeWord(0, 1); }}) {
        heaptest::Outcome o = outcomeOf(f);
        EXPECT_EQ(o.code, vmerr::NullPointer);
        EXPECT_EQ(o.text, "NullPointerException: NULL pointer");
    }
    struct Case {
        VMAddr addr;
        TUint32 len;
    };
    for (Case c : {Case{4, 4}, Case{VMMemory::kGuardBytes - 2, 4}, Case{top, 1}, Case{top - 4, 8}, Case{a, 65},
                   Case{0xFFFFFFFCu, 8}, Case{0xFFFFFFFFu, 1}, Case{a + 8, 0xFFFFFFFFu}}) {
        heaptest::Outcome o = outcomeOf([&] { mem.ptr(c.addr, c.len); });
        EXPECT_EQ(o.code, vmerr::VM) << std::hex << c.addr << " len " << c.len;
        EXPECT_EQ(o.text, badAddressText(c.addr));
    }
    EXPECT_EQ(outcomeOf([&] { mem.readWord(top); }).text, badAddressText(top));
    EXPECT_EQ(outcomeOf([&] { mem.readWord(0x8000); }).text, "VMException: Bad VM address 0x00008000");
    EXPECT_NE(mem.ptr(a, 64), nullptr);
    mem.writeWord(top - 4, 7);
    EXPECT_EQ(mem.readWord(top - 4), 7u);
    EXPECT_TRUE(mem.contains(a, 64));
    EXPECT_FALSE(mem.contains(a, 65));
    EXPECT_FALSE(mem.contains(a - 1, 1));
    EXPECT_FALSE(mem.contains(0xFFFFFFFFu, 2));

    mem.writeWord(a, 0x11111111);  // misaligned words raise without touching memory
    mem.writeWord(a + 4, 0x22222222);
    for (TUint32 off : {1u, 2u, 3u}) {
        heaptest::Outcome o = outcomeOf([&] { mem.writeWord(a + off, 0xDEADBEEF); });
        EXPECT_EQ(o.code, vmerr::VM);
        EXPECT_EQ(o.text, badAddressText(a + off));
        EXPECT_EQ(outcomeOf([&] { mem.readWord(a + off); }).text, badAddressText(a + off));
    }
    EXPECT_EQ(mem.readWord(a), 0x11111111u);
    EXPECT_EQ(mem.readWord(a + 4), 0x22222222u);
    EXPECT_EQ(*mem.ptr(a + 1, 3), 0x11) << "bytes may be addressed at any offset";
}
