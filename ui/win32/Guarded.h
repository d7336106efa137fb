// Exceptions never unwind through a window procedure or a dialog procedure: every
// handler runs inside Guarded(), which hands what escapes to the error reporter (the
// Prompts seam's fault(), the error box).
#pragma once

#include <utility>

namespace quillet::ui::win32 {

// Turns the exception in flight into a report; call only inside a catch block.
void ReportCurrentException() noexcept;

template <class F> void Guarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        ReportCurrentException();
    }
}

} // namespace quillet::ui::win32
