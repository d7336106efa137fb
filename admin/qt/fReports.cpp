#include "admin/qt/fReports.h"

#include "ui/qt/ConfirmButtons.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"
#include "ui/qt/ToolButtons.h"

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

class TfrmReports::View : public ReportsView {
public:
    explicit View(TfrmReports& dialog) : d_(dialog) {}
    void showText(ReportsField field, const std::string& text) override { edit(field)->setText(FromStd(text)); }
    void showChoices(ReportsField field, const std::vector<std::string>& labels, std::size_t chosen) override {
        auto* choice = static_cast<QComboBox*>(d_.box(field));
        choice->clear();
        choice->addItems(FromStd(labels));
        choice->setCurrentIndex(static_cast<int>(chosen));
    }
    void showPasswordNote(const std::string& note) override {
        edit(ReportsField::MailPassword)->setPlaceholderText(FromStd(note));
    }
    void showAnswers(const std::string& text) override { d_.memAnswers->setPlainText(FromStd(text)); }
    void enable(ReportsField field, bool enabled) override { d_.box(field)->setEnabled(enabled); }
    void enableTest(bool enabled) override { d_.btnSendTest->setEnabled(enabled); }
    void focus(ReportsField field) override {
        d_.box(field)->setFocus();
        if (auto* line = qobject_cast<QLineEdit*>(d_.box(field)))
            line->selectAll();
    }
    void helpTopic(int topic) override { ui::ShowHelpTopic(&d_, topic); }
    // From the test's thread: the answer comes back on the dialog's.
    void postTestDone() override {
        QMetaObject::invokeMethod(&d_, [this] { guarded([this] { d_.presenter_.testDone(); }); }, Qt::QueuedConnection);
    }

private:
    QLineEdit* edit(ReportsField field) const { return static_cast<QLineEdit*>(d_.box(field)); }
    TfrmReports& d_;
};

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
    : QDialog(parent), view_(std::make_unique<View>(*this)), presenter_(*view_, prompts, dataFolder) {
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
            line->addWidget(ui::MakeBrowseButton(this, [this] { presenter_.browseFleetFolder(); }));
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
    QDialogButtonBox* buttons = ui::MakeConfirmButtons(this, [this] { presenter_.help(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(btnSendTest, 0, Qt::AlignLeft);
    layout->addWidget(memAnswers);
    layout->addWidget(buttons);
    presenter_.start();
    box(ReportsField::MailServer)->setFocus();
}

TfrmReports::~TfrmReports() = default;

void TfrmReports::accept() {
    if (presenter_.accept())
        QDialog::accept();
}

} // namespace quillet::admin
