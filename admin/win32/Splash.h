// The splash window shown while the administrator starts: borderless, centred, white,
// the product name in green and the program's picture.
#pragma once

#include "ui/win32/Window.h"

namespace quillet::admin {

class TfrmSplash : public ui::win32::Window {
public:
    TfrmSplash();
    ~TfrmSplash() override;
    // Shows it and paints it at once, before the rest of start-up runs.
    void ShowNow();

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HFONT nameFont_ = nullptr;
};

} // namespace quillet::admin
