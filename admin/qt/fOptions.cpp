#include "admin/qt/fOptions.h"

#include "admin/qt/fReports.h"

#include "ui/qt/ConfirmButtons.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"
#include "ui/qt/ToolButtons.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillet::admin {

using ui::FromStd;
using ui::guarded;
using ui::ToStd;

void TfrmOptions::addRow(QFormLayout* form, const OptionsRow& row) {
    if (row.kind == OptionsRowKind::Check) {
        auto* check = new QCheckBox(FromStd(row.caption), this);
        check->setObjectName(QLatin1String(row.name));
        form->addRow(QString(), check);
        return;
    }
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(row.name));
    auto* line = new QHBoxLayout;
    line->addWidget(box);
    if (row.kind == OptionsRowKind::Folder) {
        box->setPlaceholderText(FromStd(row.unit));
        box->setMinimumWidth(320);
        line->addWidget(
            ui::MakeBrowseButton(this, [this, box] { presenter_.browseBackupFolder(ToStd(box->text())); }));
    } else {
        box->setMaximumWidth(90);
        line->addWidget(new QLabel(FromStd(row.unit), this), 1);
    }
    auto* label = new QLabel(FromStd(row.caption), this);
    label->setBuddy(box);
    form->addRow(label, line);
}

TfrmOptions::TfrmOptions(ui::Prompts& prompts, const CfgOptions& options, const std::string& dataFolder,
                         QWidget* parent)
    : QDialog(parent), prompts_(prompts), presenter_(*this, prompts, options, dataFolder) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(FromStd(OptionsCaption));
    auto* form = new QFormLayout;
    for (const OptionsRow& row : OptionsRows)
        addRow(form, row);
    edtTimeLimit = findChild<QLineEdit*>(QStringLiteral("edtTimeLimit"));
    chkSkipInUse = findChild<QCheckBox*>(QStringLiteral("chkSkipInUse"));
    edtBackupFolder = findChild<QLineEdit*>(QStringLiteral("edtBackupFolder"));
    edtBackupKeep = findChild<QLineEdit*>(QStringLiteral("edtBackupKeep"));
    chkOnlyChanged = findChild<QCheckBox*>(QStringLiteral("chkOnlyChanged"));
    edtParallel = findChild<QLineEdit*>(QStringLiteral("edtParallel"));

    QDialogButtonBox* buttons = ui::MakeConfirmButtons(this, [this] { presenter_.help(); });
    connect(buttons->addButton(FromStd(ReportsButtonLabel), QDialogButtonBox::ActionRole),
            &QPushButton::clicked, this, [this] { guarded([this] { presenter_.reports(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(FromStd(OptionsNote), this));
    layout->addWidget(buttons);
    presenter_.start();
    edtTimeLimit->setFocus();
}

void TfrmOptions::showOptions(const CfgOptions& o) {
    edtTimeLimit->setText(QString::number(o.timeLimit));
    chkSkipInUse->setChecked(o.skipInUse);
    edtBackupFolder->setText(FromStd(o.backupFolder));
    edtBackupKeep->setText(QString::number(o.backupKeep));
    chkOnlyChanged->setChecked(o.onlyChanged);
    edtParallel->setText(QString::number(o.parallel));
}

void TfrmOptions::showBackupFolder(const std::string& folder) {
    edtBackupFolder->setText(FromStd(folder));
}

void TfrmOptions::focus(OptionsField field) {
    QLineEdit* boxes[] = {edtTimeLimit, edtBackupKeep, edtParallel, edtBackupFolder};
    boxes[static_cast<int>(field)]->setFocus();
    boxes[static_cast<int>(field)]->selectAll();
}

void TfrmOptions::helpTopic(int topic) {
    ui::ShowHelpTopic(this, topic);
}

void TfrmOptions::showReports(const std::string& dataFolder) {
    TfrmReports reports(prompts_, dataFolder, this);
    reports.exec();
}

void TfrmOptions::accept() {
    if (presenter_.accept({ToStd(edtTimeLimit->text()), ToStd(edtBackupKeep->text()), ToStd(edtParallel->text()),
                           ToStd(edtBackupFolder->text()), chkSkipInUse->isChecked(), chkOnlyChanged->isChecked()}))
        QDialog::accept();
}

} // namespace quillet::admin
