#include "ui/qt/HelpViewer.h"

#include "ui/qt/WebLinks.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace quillet::ui {

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Quillet Help"));
    resize(860, 600);

    auto* btnContents = new QPushButton(QStringLiteral("&Contents"), this);
    btnContents->setObjectName(QStringLiteral("btnContents"));
    auto* btnBack = new QPushButton(QStringLiteral("&Back"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    auto* btnForward = new QPushButton(QStringLiteral("&Forward"), this);
    btnForward->setObjectName(QStringLiteral("btnForward"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnContents);
    buttons->addWidget(btnBack);
    buttons->addWidget(btnForward);
    buttons->addStretch();

    auto* indexPane = new QWidget(this);
    auto* indexLayout = new QVBoxLayout(indexPane);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    auto* lblKeyword = new QLabel(QStringLiteral("&Type the first letters of a keyword:"), indexPane);
    edtKeyword = new QLineEdit(indexPane);
    edtKeyword->setObjectName(QStringLiteral("edtKeyword"));
    edtKeyword->setClearButtonEnabled(true);
    lblKeyword->setBuddy(edtKeyword);
    lboxIndex = new QListWidget(indexPane);
    lboxIndex->setObjectName(QStringLiteral("lboxIndex"));
    auto* btnDisplay = new QPushButton(QStringLiteral("&Display"), indexPane);
    btnDisplay->setObjectName(QStringLiteral("btnDisplay"));
    indexLayout->addWidget(lblKeyword);
    indexLayout->addWidget(edtKeyword);
    indexLayout->addWidget(lboxIndex, 1);
    indexLayout->addWidget(btnDisplay);

    HelpText = new QTextBrowser(this);
    HelpText->setObjectName(QStringLiteral("HelpText"));
    HelpText->setOpenLinks(false);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(indexPane);
    splitter->addWidget(HelpText);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 620});

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    layout->addWidget(lblStatus);

    connect(btnContents, &QPushButton::clicked, this, &THelpViewer::showContents);
    connect(btnBack, &QPushButton::clicked, HelpText, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, HelpText, &QTextBrowser::forward);
    connect(HelpText, &QTextBrowser::backwardAvailable, btnBack, &QPushButton::setEnabled);
    connect(HelpText, &QTextBrowser::forwardAvailable, btnForward, &QPushButton::setEnabled);
    connect(HelpText, &QTextBrowser::anchorClicked, this, &THelpViewer::linkClicked);
    connect(edtKeyword, &QLineEdit::textChanged, this, &THelpViewer::filterIndex);
    connect(edtKeyword, &QLineEdit::returnPressed, this, &THelpViewer::openKeyword);
    connect(lboxIndex, &QListWidget::itemActivated, this, &THelpViewer::openKeyword);
    connect(btnDisplay, &QPushButton::clicked, this, &THelpViewer::openKeyword);
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
}

bool THelpViewer::load(const QString& helpFile, QString* why) {
    const QString path = QFileInfo(helpFile).absoluteFilePath();
    if (path == file_)
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    file_ = path;
    html_ = bytes.toStdString();
    keywords_ = ParseHelpIndex(html_);
    HelpText->setSearchPaths({QFileInfo(path).absolutePath()});
    // The name ends in ".hlp", so the type is given rather than guessed.
    HelpText->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    HelpText->clearHistory();
    filterIndex(edtKeyword->text());
    return true;
}

void THelpViewer::goToAnchor(const QString& anchor) {
    anchor_ = anchor;
    QUrl url = QUrl::fromLocalFile(file_);
    url.setFragment(anchor);
    HelpText->setSource(url, QTextDocument::HtmlResource);
    lblStatus->clear();
}

void THelpViewer::showContents() {
    goToAnchor(QStringLiteral("contents"));
}

bool THelpViewer::showTopic(int topic) {
    const std::string anchor = HelpTopicAnchor(topic);
    if (HasHelpAnchor(html_, anchor)) {
        goToAnchor(FromStd(anchor));
        return true;
    }
    showContents();
    lblStatus->setText(
        QStringLiteral("Topic %1 is not in the help file; the contents are shown instead.").arg(topic));
    return false;
}

void THelpViewer::showSearch(const QString& key) {
    edtKeyword->setText(key);
    filterIndex(key);
    edtKeyword->setFocus(Qt::OtherFocusReason);
    edtKeyword->selectAll();
}

QStringList THelpViewer::visibleKeywords() const {
    QStringList list;
    for (int i = 0; i < lboxIndex->count(); ++i)
        list << lboxIndex->item(i)->text();
    return list;
}

// The first keyword in the filtered list is selected, as the index of a help engine does.
void THelpViewer::filterIndex(const QString& text) {
    lboxIndex->clear();
    for (const HelpKeyword* k : FilterHelpIndex(keywords_, ToStd(text))) {
        auto* item = new QListWidgetItem(FromStd(k->text), lboxIndex);
        item->setData(Qt::UserRole, FromStd(k->anchor));
    }
    if (lboxIndex->count() > 0)
        lboxIndex->setCurrentRow(0);
}

void THelpViewer::openKeyword() {
    if (QListWidgetItem* item = lboxIndex->currentItem())
        goToAnchor(item->data(Qt::UserRole).toString());
}

void THelpViewer::linkClicked(const QUrl& url) {
    if (url.scheme().isEmpty() || url.isLocalFile()) {
        goToAnchor(url.fragment());
        return;
    }
    OpenWebLink(url.toString(), true);
}

THelpViewer* THelpViewer::shared(QWidget* owner) {
    static QPointer<THelpViewer> viewer;
    QWidget* window = owner ? owner->window() : nullptr;
    if (!viewer) {
        viewer = new THelpViewer(window);
        if (!window)
            viewer->setAttribute(Qt::WA_DeleteOnClose);
    } else if (viewer->parentWidget() != window) {
        const QRect geometry = viewer->geometry();
        viewer->setParent(window, Qt::Window);
        viewer->setGeometry(geometry);
        viewer->setAttribute(Qt::WA_DeleteOnClose, window == nullptr);
    }
    return viewer;
}

} // namespace quillet::ui
