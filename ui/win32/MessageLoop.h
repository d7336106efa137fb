// The program's message loop: keyboard accelerators of the window that has them, and
// Tab, mnemonics, Enter and Escape in every top-level window (the dialog manager's
// keyboard handling, also for windows that are no dialogs).
#pragma once

#include <windows.h>

namespace quillet::ui::win32 {

// A window's accelerator table, used while the window or one of its controls has the focus.
void SetAccelerators(HWND window, HACCEL table);

// Sent to a top-level window with a key press's wParam and lParam before its control
// gets the key: a window that takes the key returns non-zero (others return 0 anyway),
// so that its keys work whichever of its controls has the focus.
UINT KeyPreviewMessage();

// True when the message was a key the loop handled; it is then not dispatched.
bool PreTranslate(MSG& message);

// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();

} // namespace quillet::ui::win32
