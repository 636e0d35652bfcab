// The capacities a growing container passes through while n elements are appended.
#pragma once

#include "foundation/Types.h"

#include <vector>

namespace mcb {

template <typename V>
std::vector<TInt32> capacitiesWhileAppending(V& v, int n) {
    std::vector<TInt32> capacities;
    for (int i = 0; i < n; ++i) {
        v.append(i);
        if (capacities.empty() || capacities.back() != v.capacity()) capacities.push_back(v.capacity());
    }
    return capacities;
}

}  // namespace mcb
