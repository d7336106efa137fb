#include "admin/qt/fOptions.h"

#include "admin/qt/fReports.h"

#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"

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

QLineEdit* TfrmOptions::numberBox(const char* name) {
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(name));
    box->setMaximumWidth(90);
    return box;
}

TfrmOptions::TfrmOptions(ui::Prompts& prompts, const CfgOptions& options, const std::string& dataFolder,
                         QWidget* parent)
    : QDialog(parent), prompts_(prompts), presenter_(*this, prompts, options, dataFolder) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(FromStd(OptionsCaption));
    edtTimeLimit = numberBox("edtTimeLimit");
    chkSkipInUse = new QCheckBox(QStringLiteral("Skip databases in &use (their lock file is held)"), this);
    chkSkipInUse->setObjectName(QStringLiteral("chkSkipInUse"));
    edtBackupFolder = new QLineEdit(this);
    edtBackupFolder->setObjectName(QStringLiteral("edtBackupFolder"));
    edtBackupFolder->setPlaceholderText(QStringLiteral("No backups"));
    edtBackupFolder->setMinimumWidth(320);
    auto* browse = new QToolButton(this);
    browse->setText(QStringLiteral("..."));
    connect(browse, &QToolButton::clicked, this,
            [this] { guarded([this] { presenter_.browseBackupFolder(ToStd(edtBackupFolder->text())); }); });
    edtBackupKeep = numberBox("edtBackupKeep");
    chkOnlyChanged = new QCheckBox(
        QStringLiteral("Only &changed databases (skip those unchanged since their last compaction)"), this);
    edtParallel = numberBox("edtParallel");

    auto* form = new QFormLayout;
    auto row = [&](const char* label, QWidget* field, const char* unit) {
        auto* line = new QHBoxLayout;
        line->addWidget(field);
        line->addWidget(new QLabel(FromStd(unit), this), 1);
        auto* name = new QLabel(FromStd(label), this);
        name->setBuddy(field);
        form->addRow(name, line);
    };
    row("&Time limit per database:", edtTimeLimit, "minutes (0: no limit)");
    form->addRow(QString(), chkSkipInUse);
    auto* folder = new QHBoxLayout;
    folder->addWidget(edtBackupFolder);
    folder->addWidget(browse);
    auto* folderLabel = new QLabel(QStringLiteral("&Backup folder:"), this);
    folderLabel->setBuddy(edtBackupFolder);
    form->addRow(folderLabel, folder);
    row("Backups to &keep:", edtBackupKeep, "per database");
    form->addRow(QString(), chkOnlyChanged);
    row("&Parallel engines:", edtParallel, "at the same time");

    auto* note = new QLabel(QStringLiteral("A database is compacted only when its disk has room for a "
                                           "copy of it.\nA failed backup leaves the database uncompacted."),
                            this);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { guarded([this] { accept(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { guarded([this] { presenter_.help(); }); });
    connect(buttons->addButton(FromStd(ReportsButtonLabel), QDialogButtonBox::ActionRole),
            &QPushButton::clicked, this, [this] { guarded([this] { presenter_.reports(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
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
