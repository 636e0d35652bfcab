// Streams promise never to raise, but the Vec they grow raises a VM error when
// memory runs out. This guard turns such a raise into a false result.
#pragma once

#include "foundation/VMError.h"

#include <new>

namespace mcb {

namespace VELMAR {

// Runs `work`; false when it raised. A pending error recorded only by the
// guarded work is cleared again, so the failure leaves no trace behind.
template <typename Work>
bool runWithoutRaising(Work&& work) {
    const bool hadPendingError = vmerr::pendingErrorCode() != 0;
    try {
        work();
        return true;
    } catch (const ErrorHandlingException&) {
        if (!hadPendingError) vmerr::clearPendingError();
    } catch (const std::bad_alloc&) {
    }
    return false;
}

}  // namespace VELMAR

}  // namespace mcb
