// Where a pass's outcome goes beyond this machine: the face of ReportsPresenter.
#pragma once

#include "admin/ReportsPresenter.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace quillet::admin {

class TfrmReports : public QDialog, private ReportsView {
    Q_OBJECT
public:
    TfrmReports(ui::Prompts& prompts, const std::string& dataFolder, QWidget* parent = nullptr);
    // Accepts as the presenter decides.
    void accept() override;

private:
    QWidget* makeBox(const ReportsRow& row);
    QWidget* box(ReportsField field) const { return boxes_[static_cast<std::size_t>(field)]; }
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
    std::array<QWidget*, ReportsRows.size()> boxes_{};
    QPushButton* btnSendTest = nullptr;
    QPlainTextEdit* memAnswers = nullptr;
};

} // namespace quillet::admin
