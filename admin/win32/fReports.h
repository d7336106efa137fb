// Where a pass's outcome goes beyond this machine: the face of ReportsPresenter.
#pragma once

#include "admin/ReportsPresenter.h"
#include "ui/win32/Dialog.h"

#include <atomic>

namespace quillet::admin {

enum ReportsControl : int {
    idReportsBox = 401, // and one after the other in the order of ReportsField
    idFleetBrowse = 430,
    idSendTest,
    idTestAnswers,
    idReportsHelp,
};

class TfrmReports : public ui::win32::ModalDialog, private ReportsView {
public:
    explicit TfrmReports(const std::string& dataFolder);
    // True when the user confirmed the dialog and the settings are kept.
    bool ShowModal(HWND owner);

protected:
    HWND onInit() override;
    void onCommand(int id, int code) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    HWND box(ReportsField field) const { return item(idReportsBox + static_cast<int>(field)); }
    // ReportsView
    void showText(ReportsField field, const std::string& text) override;
    void showChoices(ReportsField field, const std::vector<std::string>& labels, std::size_t chosen) override;
    void showPasswordNote(const std::string& note) override;
    void showAnswers(const std::string& text) override;
    void enable(ReportsField field, bool enabled) override;
    void enableTest(bool enabled) override;
    void focus(ReportsField field) override;
    void helpTopic(int topic) override;
    void postTestDone() override;

    ReportsPresenter presenter_;
    std::atomic<HWND> window_{nullptr}; // read by the test's thread
};

} // namespace quillet::admin
