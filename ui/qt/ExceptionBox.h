// The error reporter's box.
#pragma once

#include "ui/qt/ErrorReporter.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quillet::ui {

class TExceptionBox : public QDialog {
    Q_OBJECT
public:
    TExceptionBox(const QString& message, const QString& report, QWidget* parent = nullptr);

    // The button the user ended the box with; Continue when it was dismissed.
    ErrorReporter::Choice choice() const { return choice_; }
    // Shows or hides the report text.
    void ToggleDetails();
    // Asks for a file (proposing "exception_report.txt") and writes the report to it.
    void SaveReport();

protected:
    void reject() override;

private:
    void finish(ErrorReporter::Choice choice);

    QString report_;
    QPlainTextEdit* details_;
    QPushButton* detailsButton_;
    ErrorReporter::Choice choice_ = ErrorReporter::Choice::Continue;
};

} // namespace quillet::ui
