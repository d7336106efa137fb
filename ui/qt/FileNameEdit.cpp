#include "ui/qt/FileNameEdit.h"

#include "ui/qt/Dialogs.h"
#include "ui/qt/ErrorReporter.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QStyle>
#include <QShortcut>
#include <QToolButton>

#include <algorithm>

namespace quillet::ui {

TFileNameEdit::TFileNameEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), button_(new QToolButton(this)) {
    edit_->setObjectName(QStringLiteral("edit"));
    button_->setObjectName(QStringLiteral("browse"));
    button_->setText(QStringLiteral("..."));
    button_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setCursor(Qt::ArrowCursor);
    setFocusProxy(edit_);
    setFocusPolicy(Qt::StrongFocus);
    connect(button_, &QToolButton::clicked, this, [this] { guarded([this] { Browse(); }); });
    // The button is no Tab stop; F4 or Alt+Down opens it from the keyboard, as on Windows.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_F4), QKeySequence(Qt::ALT | Qt::Key_Down)}) {
        auto* shortcut = new QShortcut(key, edit_, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { guarded([this] { Browse(); }); });
    }
}

QString TFileNameEdit::text() const {
    return edit_->text();
}

void TFileNameEdit::setText(const QString& text) {
    edit_->setText(text);
    edit_->setModified(false);
}

bool TFileNameEdit::isModified() const {
    return edit_->isModified();
}

void TFileNameEdit::setModified(bool modified) {
    edit_->setModified(modified);
}

void TFileNameEdit::resizeEvent(QResizeEvent*) {
    // A square button at the right end; the edit takes the rest.
    const int side = height();
    edit_->setGeometry(0, 0, width() - side, side);
    button_->setGeometry(width() - side, 0, side, side);
}

QString TFileNameEdit::BrowseStartPath(const QString& text) {
    if (!text.isEmpty() && QFileInfo(text).isFile())
        return text;
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('"'))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char('"'), 1);
        return close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1);
    }
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    return blank < 0 ? trimmed : trimmed.left(blank);
}

QString TFileNameEdit::QuoteBrowsedPath(const QString& path) {
    if (path.contains(QLatin1Char(' ')) && !path.startsWith(QLatin1Char('"')))
        return QLatin1Char('"') + path + QLatin1Char('"');
    return path;
}

void TFileNameEdit::Browse() {
    FileDialogRequest request;
    request.caption = QStringLiteral("Browse");
    // "*.*" would hide every name without a dot, such as the programs these boxes name
    // where programs carry no extension.
    request.filter = QStringLiteral("All files (*)");
    const QString start = BrowseStartPath(text());
    const qsizetype sep = std::max(start.lastIndexOf(QLatin1Char('/')), start.lastIndexOf(QDir::separator()));
    if (sep >= 0) {
        const QString folder = start.left(sep == 0 ? 1 : sep);
        if (QDir(folder).exists())
            request.directory = folder;
    }
    request.fileName = start.mid(sep + 1);
    if (request.directory.isEmpty())
        request.directory = lastFolder_;
    const QString chosen = Dialogs::instance().openFileName(window(), request);
    if (chosen.isEmpty())
        return;
    const QString native = QDir::toNativeSeparators(chosen);
    lastFolder_ = QFileInfo(chosen).path();
    const QString value = QuoteBrowsedPath(native);
    if (value != edit_->text())
        setText(value);
}

} // namespace quillet::ui
