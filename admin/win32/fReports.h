// Where a pass's outcome goes beyond this machine: the face of ReportsPresenter.
#pragma once

#include "admin/ReportsPresenter.h"
#include "ui/win32/ConfirmDialog.h"

#include <atomic>
#include <memory>

namespace quillet::admin {

enum ReportsControl : int {
    idReportsBox = 401, // and one after the other in the order of ReportsField
    idFleetBrowse = 430,
    idSendTest,
    idTestAnswers,
    idReportsHelp,
};

class TfrmReports : public ui::win32::ConfirmDialog {
public:
    explicit TfrmReports(const std::string& dataFolder);
    ~TfrmReports() override;
    // True when the user confirmed the dialog and the settings are kept.
    bool ShowModal(HWND owner) { return confirm(owner, ReportsCaption); }

protected:
    HWND onInit() override;
    bool accepted() override { return presenter_.accept(); }
    void help() override { presenter_.help(); }
    void onControl(int id, int code) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    HWND box(ReportsField field) const { return item(idReportsBox + static_cast<int>(field)); }
    class View; // the ReportsView, drawn in these controls

    std::unique_ptr<View> view_;
    ReportsPresenter presenter_;
    std::atomic<HWND> window_{nullptr}; // read by the test's thread
};

} // namespace quillet::admin
