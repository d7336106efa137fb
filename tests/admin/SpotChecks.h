// Layout rules of a face that places its controls itself: every control inside the client
// area, none over another.
#pragma once

#include "admin/Spot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet::test {

using admin::Spot;

inline void ExpectInsideAndApart(const std::vector<Spot>& all, int width, int height, const std::string& at) {
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Spot& a = all[i];
        EXPECT_TRUE(a.width > 0 && a.height > 0 && a.x >= 0 && a.y >= 0 && a.x + a.width <= width &&
                    a.y + a.height <= height)
            << at << ": control " << i << " outside";
        for (std::size_t j = 0; j < i; ++j) {
            const Spot& b = all[j];
            EXPECT_FALSE(a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height)
                << at << ": controls " << j << " and " << i << " overlap";
        }
    }
}

} // namespace quillet::test
