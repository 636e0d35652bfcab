// LinkedList: a doubly linked list whose nodes live in blocks of 256 owned by a
// ListNodePool. Iterators are node numbers (0 = no node), not pointers, so the
// heap can keep one in a VM-memory header word without exposing host memory,
// and a scribbled iterator is detected instead of followed.
#pragma once

#include "foundation/MemoryBudget.h"
#include "foundation/Vec.h"

#include <memory>
#include <vector>

namespace mcb {

using LinkedListIterator = TUint32;  // node number + 1; 0 = not in any list
constexpr LinkedListIterator kNullIterator = 0;

template <typename T>
struct ListEntry {
    T value{};
    LinkedListIterator prev = 0;
    LinkedListIterator next = 0;
    const void* owner = nullptr;  // the list holding the node; null when free
};

template <typename T>
class ListNodePool {
public:
    static constexpr TUint32 kBlock = 256;

    LinkedListIterator acquire() {
        if (freeHead_ == 0) grow();
        LinkedListIterator it = freeHead_;
        freeHead_ = node(it).next;
        node(it).next = 0;
        return it;
    }
    void release(LinkedListIterator it) {
        ListEntry<T>& n = node(it);
        n.owner = nullptr;
        n.prev = 0;
        n.next = freeHead_;
        freeHead_ = it;
    }
    bool valid(LinkedListIterator it) const { return it != 0 && it - 1 < count_; }
    // Blocks made from now on are charged to `budget` (kept while the pool lives).
    void setBudget(MemoryBudget* budget) { budget_ = budget; }
    // Callers check valid() first; node n lives in block n >> 8, slot n & 0xFF.
    ListEntry<T>& node(LinkedListIterator it) { return blocks_[(it - 1) >> 8][(it - 1) & 0xFF]; }
    const ListEntry<T>& node(LinkedListIterator it) const { return blocks_[(it - 1) >> 8][(it - 1) & 0xFF]; }

private:
    void grow() {
        if (budget_) budget_->charge(kBlock * sizeof(ListEntry<T>));
        blocks_.push_back(std::make_unique<ListEntry<T>[]>(kBlock));
        TUint32 base = count_;
        count_ += kBlock;
        for (TUint32 i = kBlock; i > 0; --i) {
            LinkedListIterator it = base + i;
            node(it).next = freeHead_;
            freeHead_ = it;
        }
    }
    std::vector<std::unique_ptr<ListEntry<T>[]>> blocks_;
    MemoryBudget* budget_ = nullptr;
    TUint32 count_ = 0;
    LinkedListIterator freeHead_ = 0;
};

template <typename T>
class LinkedList {
public:
    explicit LinkedList(ListNodePool<T>* pool = nullptr) : pool_(pool) {
        if (!pool_) {
            own_ = std::make_unique<ListNodePool<T>>();
            pool_ = own_.get();
        }
    }
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;
    ~LinkedList() { clear(); }

    bool isEmpty() const { return head_ == 0; }
    TInt32 count() const { return count_; }
    LinkedListIterator front() const { return head_; }
    LinkedListIterator back() const { return tail_; }
    LinkedListIterator next(LinkedListIterator it) const { return pool_->node(it).next; }
    const T& value(LinkedListIterator it) const { return pool_->node(it).value; }
    void setValue(LinkedListIterator it, const T& v) { pool_->node(it).value = v; }

    // True when `it` names a node of this very list: the check that makes an
    // iterator read back from untrusted memory safe to use.
    bool contains(LinkedListIterator it) const { return pool_->valid(it) && pool_->node(it).owner == this; }

    LinkedListIterator append(const T& v) {
        LinkedListIterator it = pool_->acquire();
        ListEntry<T>& n = pool_->node(it);
        n.value = v;
        n.owner = this;
        n.prev = tail_;
        n.next = 0;
        if (tail_)
            pool_->node(tail_).next = it;
        else
            head_ = it;
        tail_ = it;
        ++count_;
        return it;
    }

    // `it` must satisfy contains(); the caller checks.
    void remove(LinkedListIterator it) {
        ListEntry<T>& n = pool_->node(it);
        if (n.prev)
            pool_->node(n.prev).next = n.next;
        else
            head_ = n.next;
        if (n.next)
            pool_->node(n.next).prev = n.prev;
        else
            tail_ = n.prev;
        --count_;
        pool_->release(it);
    }

    // Moves `it` (of this list) to the end: what remove(it) and then append() of
    // its value do, since the pool hands the released node straight back.
    void moveToBack(LinkedListIterator it) {
        if (it == tail_) return;
        ListEntry<T>& n = pool_->node(it);
        if (n.prev)
            pool_->node(n.prev).next = n.next;
        else
            head_ = n.next;
        pool_->node(n.next).prev = n.prev;
        n.prev = tail_;
        n.next = 0;
        pool_->node(tail_).next = it;
        tail_ = it;
    }
    T takeFirst() {
        if (!head_) vmerr::raise(vmerr::IndexOutOfBounds);
        T v = value(head_);
        remove(head_);
        return v;
    }

    LinkedListIterator find(const T& v) const {
        for (LinkedListIterator it = head_; it; it = next(it))
            if (value(it) == v) return it;
        return 0;
    }

    void clear() {
        while (head_) remove(head_);
    }

private:
    ListNodePool<T>* pool_;
    std::unique_ptr<ListNodePool<T>> own_;
    LinkedListIterator head_ = 0;
    LinkedListIterator tail_ = 0;
    TInt32 count_ = 0;
};

}  // namespace mcb
