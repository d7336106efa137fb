#include "admin/qt/fOptions.h"

#include "admin/ConfigDocument.h"

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
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillet::admin {

using ui::FromStd;
using ui::guarded;
using ui::ToStd;

namespace {

QSpinBox* spinBox(QWidget* parent, const char* name, int minimum, int maximum, const QString& suffix) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(minimum, maximum);
    box->setSuffix(suffix);
    box->setAccelerated(true);
    return box;
}

} // namespace

TfrmOptions::TfrmOptions(ui::Prompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options for Unattended Passes"));

    // Anything the boxes show can be saved.
    spnTimeLimit = spinBox(this, "spnTimeLimit", 0, MaxTimeLimit, QStringLiteral(" minutes"));
    spnTimeLimit->setSpecialValueText(QStringLiteral("No limit"));
    chkSkipInUse = new QCheckBox(QStringLiteral("Skip databases in &use (their lock file is held)"), this);
    chkSkipInUse->setObjectName(QStringLiteral("chkSkipInUse"));
    edtBackupFolder = new QLineEdit(this);
    edtBackupFolder->setObjectName(QStringLiteral("edtBackupFolder"));
    edtBackupFolder->setPlaceholderText(QStringLiteral("No backups"));
    edtBackupFolder->setMinimumWidth(320);
    auto* browse = new QToolButton(this);
    browse->setObjectName(QStringLiteral("btnBackupFolder"));
    browse->setText(QStringLiteral("..."));
    connect(browse, &QToolButton::clicked, this, [this] { guarded([this] { btnBackupFolderClick(); }); });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(edtBackupFolder);
    folderRow->addWidget(browse);
    spnBackupKeep = spinBox(this, "spnBackupKeep", 1, MaxBackupKeep, QStringLiteral(" per database"));
    chkOnlyChanged = new QCheckBox(QStringLiteral("Only &changed databases (skip those unchanged since "
                                                  "their last compaction)"),
                                   this);
    chkOnlyChanged->setObjectName(QStringLiteral("chkOnlyChanged"));
    spnParallel = spinBox(this, "spnParallel", 1, MaxParallel, QString());

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Time limit per database:"), spnTimeLimit);
    form->addRow(QString(), chkSkipInUse);
    form->addRow(QStringLiteral("&Backup folder:"), folderRow);
    form->addRow(QStringLiteral("Backups to &keep:"), spnBackupKeep);
    form->addRow(QString(), chkOnlyChanged);
    form->addRow(QStringLiteral("&Parallel engines:"), spnParallel);
    for (QWidget* field : {static_cast<QWidget*>(spnTimeLimit), static_cast<QWidget*>(spnBackupKeep),
                           static_cast<QWidget*>(spnParallel)})
        if (auto* label = qobject_cast<QLabel*>(form->labelForField(field)))
            label->setBuddy(field);
    if (auto* label = qobject_cast<QLabel*>(form->labelForField(folderRow)))
        label->setBuddy(edtBackupFolder);

    auto* note = new QLabel(QStringLiteral("A database is compacted only when its disk has room for a "
                                           "copy of it.\nA failed backup leaves the database uncompacted."),
                            this);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { guarded([this] { accept(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { guarded([this] { btnHelpClick(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    setOptions(CfgOptions{});
}

void TfrmOptions::setOptions(const CfgOptions& o) {
    spnTimeLimit->setValue(o.timeLimit);
    chkSkipInUse->setChecked(o.skipInUse);
    edtBackupFolder->setText(FromStd(o.backupFolder));
    spnBackupKeep->setValue(o.backupKeep);
    chkOnlyChanged->setChecked(o.onlyChanged);
    spnParallel->setValue(o.parallel);
}

CfgOptions TfrmOptions::options() const {
    CfgOptions o;
    o.timeLimit = spnTimeLimit->value();
    o.skipInUse = chkSkipInUse->isChecked();
    o.backupFolder = ToStd(edtBackupFolder->text());
    o.backupKeep = spnBackupKeep->value();
    o.onlyChanged = chkOnlyChanged->isChecked();
    o.parallel = spnParallel->value();
    return o;
}

void TfrmOptions::btnBackupFolderClick() {
    ui::FileChoice choice;
    choice.caption = "Backup Folder";
    choice.directory = ToStd(edtBackupFolder->text().trimmed());
    const std::string folder = prompts_.folder(choice);
    if (!folder.empty())
        edtBackupFolder->setText(FromStd(folder));
}

void TfrmOptions::btnHelpClick() {
    ui::ShowHelpTopic(this, ui::HelpTopicOptions);
}

void TfrmOptions::accept() {
    CfgOptions o = options();
    if (!AcceptOptions(prompts_, ToStd(windowTitle()), o)) {
        edtBackupFolder->setFocus();
        return;
    }
    setOptions(o);
    QDialog::accept();
}

} // namespace quillet::admin
