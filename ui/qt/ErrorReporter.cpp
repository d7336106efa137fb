#include "ui/qt/ErrorReporter.h"

#include "core/Errors.h"
#include "core/ProgramVersion.h"
#include "ui/qt/ApplicationTitle.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/ExceptionBox.h"
#include "ui/qt/Text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace quillet::ui {

namespace {

ErrorReporter::Sink& sink() {
    static ErrorReporter::Sink current;
    return current;
}

QString demangled(const char* name) {
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    const QString result = QString::fromLatin1(status == 0 && readable ? readable : name);
    std::free(readable);
    return result;
}

// Ends the program at once: out of the message loop when one runs, otherwise now.
void terminateProgram() {
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(1);
        return;
    }
    std::fflush(nullptr);
    std::_Exit(1);
}

} // namespace

TExceptionBox::TExceptionBox(const QString& message, const QString& report, QWidget* parent)
    : QDialog(parent), report_(report) {
    setObjectName(QStringLiteral("ExceptionBox"));
    setWindowTitle(ApplicationTitle());
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    auto* headline = new QLabel(QStringLiteral("An error occurred in the application."), this);
    headline->setObjectName(QStringLiteral("lblHeadline"));
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);
    auto* text = new QLabel(message, this);
    text->setObjectName(QStringLiteral("lblMessage"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);

    details_ = new QPlainTextEdit(report, this);
    details_->setObjectName(QStringLiteral("memDetails"));
    details_->setReadOnly(true);
    details_->setVisible(false);
    details_->setMinimumHeight(160);

    detailsButton_ = new QPushButton(QStringLiteral("Show &Details"), this);
    detailsButton_->setObjectName(QStringLiteral("btnDetails"));
    auto* save = new QPushButton(QStringLiteral("&Save Report..."), this);
    save->setObjectName(QStringLiteral("btnSave"));
    auto* keepGoing = new QPushButton(QStringLiteral("&Continue"), this);
    keepGoing->setObjectName(QStringLiteral("btnContinue"));
    keepGoing->setDefault(true);
    // A focused button takes Enter; the first in line would be Show Details.
    keepGoing->setFocus();
    auto* restart = new QPushButton(QStringLiteral("&Restart"), this);
    restart->setObjectName(QStringLiteral("btnRestart"));
    auto* close = new QPushButton(QStringLiteral("C&lose"), this);
    close->setObjectName(QStringLiteral("btnClose"));

    connect(detailsButton_, &QPushButton::clicked, this, [this] { guarded([this] { ToggleDetails(); }); });
    connect(save, &QPushButton::clicked, this, [this] { guarded([this] { SaveReport(); }); });
    connect(keepGoing, &QPushButton::clicked, this, [this] { finish(ErrorReporter::Choice::Continue); });
    connect(restart, &QPushButton::clicked, this, [this] { finish(ErrorReporter::Choice::Restart); });
    connect(close, &QPushButton::clicked, this, [this] { finish(ErrorReporter::Choice::Close); });

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(headline);
    texts->addWidget(text);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(detailsButton_);
    buttons->addWidget(save);
    buttons->addStretch(1);
    buttons->addWidget(keepGoing);
    buttons->addWidget(restart);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(details_, 1);
    layout->addLayout(buttons);
    setMinimumWidth(460);
}

void TExceptionBox::ToggleDetails() {
    const bool show = !details_->isVisible();
    details_->setVisible(show);
    detailsButton_->setText(show ? QStringLiteral("Hide &Details") : QStringLiteral("Show &Details"));
    adjustSize();
}

void TExceptionBox::SaveReport() {
    FileDialogRequest request;
    request.caption = QStringLiteral("Save Report");
    request.fileName = QStringLiteral("exception_report.txt");
    request.filter = QStringLiteral("Text files (*.txt)");
    request.defaultSuffix = QStringLiteral("txt");
    const QString path = Dialogs::instance().saveFileName(this, request);
    if (path.isEmpty())
        return;
    QFile file(path);
    QByteArray bytes = QByteArray::fromStdString(ToStd(report_));
    bytes.replace("\n", "\r\n");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        Dialogs::instance().error(this, ApplicationTitle(),
                                  FromStd(EFCreateError(ToStd(path), ToStd(file.errorString())).what()));
}

void TExceptionBox::reject() {
    finish(ErrorReporter::Choice::Continue);
}

void TExceptionBox::finish(ErrorReporter::Choice choice) {
    choice_ = choice;
    done(QDialog::Accepted);
}

QString ErrorReporter::ReportText(const QString& message, const QString& details) {
    QString text;
    text += QStringLiteral("An error occurred in the application.\n\n");
    text += QStringLiteral("Message: ") + message + QLatin1Char('\n');
    if (!details.isEmpty())
        text += details + QLatin1Char('\n');
    text +=
        QStringLiteral("\nDate: ") + QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char('\n');
    text += QStringLiteral("Program: ") + QCoreApplication::applicationFilePath() + QLatin1Char('\n');
    text += QStringLiteral("Version: ") + QString::number(ProgramVersion, 'f', 2) +
            QStringLiteral(" (build ") + QString::fromLatin1(ProgramBuild) + QStringLiteral(")\n");
    text += QStringLiteral("Qt: ") + QString::fromLatin1(qVersion()) + QLatin1Char('\n');
    text += QStringLiteral("System: ") + QSysInfo::prettyProductName() + QStringLiteral(" (") +
            QSysInfo::currentCpuArchitecture() + QStringLiteral(")\n");
    return text;
}

void ErrorReporter::report(const QString& message, const QString& details) {
    if (sink()) {
        sink()(message, details);
        return;
    }
    // Without a widget application there is nowhere to show the box.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s\n", ToStd(message).c_str());
        return;
    }
    TExceptionBox box(message, ReportText(message, details), QApplication::activeWindow());
    box.exec();
    switch (box.choice()) {
    case Choice::Continue:
        return;
    case Choice::Restart:
        QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                QCoreApplication::arguments().mid(1));
        terminateProgram();
        return;
    case Choice::Close:
        terminateProgram();
        return;
    }
}

void ErrorReporter::reportCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        report(FromStd(e.what()), QStringLiteral("Error class: ") + demangled(typeid(e).name()));
    } catch (...) {
        report(QStringLiteral("An unknown error occurred."), QStringLiteral("Error class: unknown"));
    }
}

void ErrorReporter::setSink(Sink newSink) {
    sink() = std::move(newSink);
}

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ErrorReporter::reportCurrentException();
        return false;
    }
}

} // namespace quillet::ui
