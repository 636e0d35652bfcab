// GCObject: the host-side state of a native object that lives in the VM heap.
// The heap entry (type word -1) holds only a handle to it; the heap owns the C++
// object and destroys it when the entry is freed. Nothing here is ever written
// into VM memory.
#pragma once

#include "foundation/Types.h"
#include "foundation/Vec.h"

namespace mcb {

// The kinds the heap tells apart without a dynamic_cast (see VMHeap::objectAs).
enum class GCKind : TUint8 { Other, String, Vector };

class GCObject {
public:
    GCObject() = default;
    virtual ~GCObject() = default;
    // Appends the reference (data-area address) of every heap object this object
    // keeps alive.
    virtual void reportReferences(Vec<VMAddr>& markStack) { (void)markStack; }
    // Bytes held in host memory, for the memory report.
    virtual TUint32 sizeOutsideHeap() const { return 0; }
    // Vectors answer with their storage block and element count so that the
    // collector can trace array fields through them.
    virtual bool arrayStorage(VMAddr* storage, TInt32* count) const {
        (void)storage;
        (void)count;
        return false;
    }

    // The data-area address of the entry that holds this object.
    VMAddr self() const { return self_; }
    GCKind kind() const { return kind_; }

protected:
    explicit GCObject(GCKind kind) : kind_(kind) {}

private:
    friend class VMHeap;
    VMAddr self_ = 0;
    GCKind kind_ = GCKind::Other;
};

}  // namespace mcb
