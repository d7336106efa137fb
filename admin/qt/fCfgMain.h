// The administrator's main window: the face of MainPresenter. Other windows read
// AppFolder and the compactor path from it.
#pragma once

#include "admin/MainFields.h"
#include "admin/MainPresenter.h"
#include "ui/qt/Text.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>

class QLabel;
class QListWidget;

namespace quillet::ui {
class QtPrompts;
class TFileNameEdit;
class TDropFileTarget;
} // namespace quillet::ui

namespace quillet::scheduler {
class TfrmSched;
}

namespace quillet::admin {

using ui::TDropFileTarget;
using ui::TFileNameEdit;

class TAboutBox;
class TfrmHistory;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // programPath: the administrator's own program file; empty for the running one.
    explicit TForm1(QWidget* parent = nullptr, const QString& programPath = QString());
    ~TForm1() override;

    // The windows of the start-up that the menu shows; without them (as in tests) the
    // about box is made on demand and Scheduling does nothing.
    void SetStartupWindows(scheduler::TfrmSched* scheduler, TAboutBox* about);

    // Offered to the other windows.
    QString AppFolder() const { return ui::FromStd(presenter_->AppFolder()); } // ends with the path separator
    QString DataFolder() const { return ui::FromStd(presenter_->DataFolder()); }
    QString HelpFilePath() const { return ui::FromStd(presenter_->HelpFilePath()); }
    const ConfigDocument& Document() const { return presenter_->Document(); }
    QString CurrentCfgPath() const { return ui::FromStd(Document().Path()); }
    QString QuilletPathText() const { return ui::FromStd(Document().QuilletPath()); }
    TfrmHistory* HistoryWindow() const { return frmHistory_; }

    // A menu command, as the menu runs it.
    void Run(MainCommand command);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void connectEdits();
    void createToolbar(QWidget* panel);
    void createFields(QWidget* panel);

    class View; // the MainView, drawn in these controls

    std::unique_ptr<View> view_;
    std::unique_ptr<ui::QtPrompts> prompts_;
    std::unique_ptr<MainPresenter> presenter_;
    bool centred_ = false;
    scheduler::TfrmSched* frmSched_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;
    TfrmHistory* frmHistory_ = nullptr;

    std::array<QWidget*, std::size(MainLayout::Fields)> fields_{}; // as MainLayout::Fields has them
    QListWidget* lboxCompactFiles = nullptr;
    TDropFileTarget* DropFileTarget1 = nullptr;
    QLabel* lblLastRun = nullptr;
};

} // namespace quillet::admin
