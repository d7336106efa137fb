#include "admin/qt/fReports.h"

#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillet::admin {

using ui::FromStd;
using ui::guarded;
using ui::ToStd;

QWidget* TfrmReports::makeBox(const ReportsRow& row) {
    const ReportsField field = row.field;
    QWidget* made = nullptr;
    if (row.kind == ReportsFieldKind::Choice) {
        auto* choice = new QComboBox(this);
        connect(choice, &QComboBox::activated, this,
                [this, field](int index) { guarded([&] { presenter_.chosen(field, static_cast<std::size_t>(index)); }); });
        made = choice;
    } else {
        auto* edit = new QLineEdit(this);
        edit->setPlaceholderText(FromStd(row.hint));
        if (row.kind == ReportsFieldKind::Password)
            edit->setEchoMode(QLineEdit::Password);
        if (row.kind == ReportsFieldKind::Hours)
            edit->setMaximumWidth(70);
        connect(edit, &QLineEdit::textEdited, this,
                [this, field](const QString& text) { guarded([&] { presenter_.edited(field, ToStd(text)); }); });
        made = edit;
    }
    made->setObjectName(QLatin1String(row.name));
    made->setMinimumWidth(row.kind == ReportsFieldKind::Hours ? 50 : 220);
    boxes_[static_cast<std::size_t>(field)] = made;
    return made;
}

TfrmReports::TfrmReports(ui::Prompts& prompts, const std::string& dataFolder, QWidget* parent)
    : QDialog(parent), presenter_(*this, prompts, dataFolder) {
    setWindowTitle(FromStd(ReportsCaption));
    auto* columns = new QHBoxLayout;
    QFormLayout* forms[2];
    for (int c = 0; c < 2; ++c) {
        auto* group = new QGroupBox(FromStd(ReportsColumnTitles[c]), this);
        forms[c] = new QFormLayout(group);
        columns->addWidget(group, 0, Qt::AlignTop);
    }
    for (const ReportsRow& row : ReportsRows) {
        QWidget* made = makeBox(row);
        auto* label = new QLabel(FromStd(row.label), this);
        label->setBuddy(made);
        if (row.kind == ReportsFieldKind::Choice || row.kind == ReportsFieldKind::Text ||
            row.kind == ReportsFieldKind::Password) {
            forms[row.column]->addRow(label, made);
            continue;
        }
        auto* line = new QHBoxLayout;
        line->addWidget(made);
        if (row.kind == ReportsFieldKind::Folder) {
            auto* browse = new QToolButton(this);
            browse->setText(QStringLiteral("..."));
            connect(browse, &QToolButton::clicked, this, [this] { guarded([this] { presenter_.browseFleetFolder(); }); });
            line->addWidget(browse);
        } else {
            line->addWidget(new QLabel(QStringLiteral("hours"), this), 1);
        }
        forms[row.column]->addRow(label, line);
    }
    btnSendTest = new QPushButton(FromStd(SendTestLabel), this);
    btnSendTest->setAutoDefault(false);
    connect(btnSendTest, &QPushButton::clicked, this, [this] { guarded([this] { presenter_.sendTest(); }); });
    memAnswers = new QPlainTextEdit(this);
    memAnswers->setReadOnly(true);
    memAnswers->setMaximumHeight(90);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { guarded([this] { accept(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { guarded([this] { presenter_.help(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(btnSendTest, 0, Qt::AlignLeft);
    layout->addWidget(memAnswers);
    layout->addWidget(buttons);
    presenter_.start();
    box(ReportsField::MailServer)->setFocus();
}

void TfrmReports::showText(ReportsField field, const std::string& text) {
    static_cast<QLineEdit*>(box(field))->setText(FromStd(text));
}

void TfrmReports::showChoices(ReportsField field, const std::vector<std::string>& labels, std::size_t chosen) {
    auto* choice = static_cast<QComboBox*>(box(field));
    choice->clear();
    choice->addItems(FromStd(labels));
    choice->setCurrentIndex(static_cast<int>(chosen));
}

void TfrmReports::showPasswordNote(const std::string& note) {
    static_cast<QLineEdit*>(box(ReportsField::MailPassword))->setPlaceholderText(FromStd(note));
}

void TfrmReports::showAnswers(const std::string& text) {
    memAnswers->setPlainText(FromStd(text));
}

void TfrmReports::enable(ReportsField field, bool enabled) {
    box(field)->setEnabled(enabled);
}

void TfrmReports::enableTest(bool enabled) {
    btnSendTest->setEnabled(enabled);
}

void TfrmReports::focus(ReportsField field) {
    box(field)->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(box(field)))
        edit->selectAll();
}

void TfrmReports::helpTopic(int topic) {
    ui::ShowHelpTopic(this, topic);
}

void TfrmReports::postTestDone() {
    QMetaObject::invokeMethod(this, [this] { guarded([this] { presenter_.testDone(); }); }, Qt::QueuedConnection);
}

void TfrmReports::accept() {
    if (presenter_.accept())
        QDialog::accept();
}

} // namespace quillet::admin
