// The about box: program picture, maker and product, version and build, a link to the
// maker's home page. Lives from start-up on and is shown modally on demand.
#pragma once

#include "admin/Branding.h"
#include "ui/win32/Dialog.h"

#include <string>

namespace quillet::admin {

// The user's decimal separator.
std::string UserDecimalSeparator();

enum AboutControl : int { idPicture = 401, idMaker, idProduct, idVersion, idBuild, idLink };

class TAboutBox : public ui::win32::ModalDialog {
public:
    TAboutBox() = default;
    ~TAboutBox() override;
    void ShowModal(HWND owner);
    // The link's click: the maker's home page, after asking.
    void Label2Click();

protected:
    HWND onInit() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    HFONT bold_ = nullptr;
    HFONT large_ = nullptr;
};

} // namespace quillet::admin
