// Where a pass's outcome goes beyond this machine: the face of ReportsPresenter.
#pragma once

#include "admin/ReportsPresenter.h"

#include <QDialog>

#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace quillet::admin {

class TfrmReports : public QDialog {
    Q_OBJECT
public:
    TfrmReports(ui::Prompts& prompts, const std::string& dataFolder, QWidget* parent = nullptr);
    ~TfrmReports() override;
    // Accepts as the presenter decides.
    void accept() override;

private:
    QWidget* makeBox(const ReportsRow& row);
    QWidget* box(ReportsField field) const { return boxes_[static_cast<std::size_t>(field)]; }
    class View; // the ReportsView, drawn in these controls

    std::unique_ptr<View> view_;
    ReportsPresenter presenter_;
    std::array<QWidget*, ReportsRows.size()> boxes_{};
    QPushButton* btnSendTest = nullptr;
    QPlainTextEdit* memAnswers = nullptr;
};

} // namespace quillet::admin
