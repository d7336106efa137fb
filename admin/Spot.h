// A control's place on a face that places its controls itself, in 96-dpi pixels.
#pragma once

namespace quillet::admin {

struct Spot {
    int x = 0, y = 0, width = 0, height = 0;
};

} // namespace quillet::admin
