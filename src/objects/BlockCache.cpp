// Per-thread free lists of small blocks in 16-byte size classes.
#include "objects/BlockCache.h"

#include <cstdlib>

namespace blockcache {
namespace {
constexpr size_t kGrain = 16;
constexpr size_t kClasses = kMaxBlockBytes / kGrain + 1;

struct FreeBlock {
    FreeBlock* next;
};

size_t classOf(size_t bytes) { return (bytes + kGrain - 1) / kGrain; }

class Cache {
public:
    ~Cache() {
        alive_ = false;
        for (FreeBlock*& head : heads_)
            while (FreeBlock* b = head) {
                head = b->next;
                std::free(b);
            }
    }
    void* take(size_t k) {
        FreeBlock* b = heads_[k];
        if (!b) return std::malloc(k * kGrain);
        heads_[k] = b->next;
        cached_ -= k * kGrain;
        return b;
    }
    void give(void* block, size_t k) {
        if (!alive_ || cached_ + k * kGrain > kMaxCachedBytes) {
            std::free(block);
            return;
        }
        auto* b = static_cast<FreeBlock*>(block);
        b->next = heads_[k];
        heads_[k] = b;
        cached_ += k * kGrain;
    }

private:
    FreeBlock* heads_[kClasses] = {};
    size_t cached_ = 0;
    bool alive_ = true;
};

thread_local Cache cache;
}  // namespace

void* take(size_t bytes) {
    if (bytes > kMaxBlockBytes) return std::malloc(bytes);
    return cache.take(classOf(bytes == 0 ? 1 : bytes));
}

void give(void* block, size_t bytes) {
    if (!block) return;
    if (bytes > kMaxBlockBytes) {
        std::free(block);
        return;
    }
    cache.give(block, classOf(bytes == 0 ? 1 : bytes));
}

}  // namespace blockcache
