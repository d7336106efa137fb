#include "admin/qt/AboutBox.h"

#include "admin/MainPresenter.h"
#include "admin/qt/Splash.h"
#include "core/ProgramVersion.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"
#include "ui/qt/WebLinks.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet::admin {

using namespace quillet::ui;

namespace {

// A label that acts on a left click, as a web link does.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
        : QLabel(text, parent), onClick_(std::move(onClick)) {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_();
        QLabel::mouseReleaseEvent(event);
    }

private:
    std::function<void()> onClick_;
};

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(ProgramName));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(12);
    setFont(arial);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setFixedSize(96, 96);
    ProgramIcon->setPixmap(TfrmSplash::Picture(96));

    MakerName = new QLabel(QStringLiteral("Orvane\u00AE"), panel);
    MakerName->setObjectName(QStringLiteral("MakerName"));
    QFont bold = arial;
    bold.setBold(true);
    MakerName->setFont(bold);

    ProductName = new QLabel(QString::fromLatin1(ProgramName) + QStringLiteral("\u2122"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont large = bold;
    large.setPixelSize(32);
    ProductName->setFont(large);
    ProductName->setStyleSheet(QStringLiteral("color: green;"));

    Version = new QLabel(QStringLiteral("Version ") + FromStd(VersionText(ProgramVersion, ToStd(QLocale().decimalPoint()))), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Build = new QLabel(QStringLiteral("Build ") + QString::fromLatin1(ProgramBuild), panel);
    Build->setObjectName(QStringLiteral("Build"));

    Label2 = new LinkLabel(MakerHomePageText, panel, [this] { guarded([this] { Label2Click(); }); });
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont underlined = arial;
    underlined.setUnderline(true);
    Label2->setFont(underlined);
    QPalette navy = Label2->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label2->setPalette(navy);
    Label2->setToolTip(MakerHomePage);

    auto* texts = new QVBoxLayout;
    texts->addWidget(MakerName);
    texts->addWidget(ProductName);
    texts->addSpacing(8);
    texts->addWidget(Version);
    texts->addWidget(Build);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(ProgramIcon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addLayout(top);
    panelLayout->addSpacing(6);
    panelLayout->addWidget(Label2, 0, Qt::AlignHCenter);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    // Default button for Enter; QDialog makes Escape the cancel key, which also closes.
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::Label2Click() {
    OpenWebLink(MakerHomePageFromAbout, true);
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        guarded([this] { ShowHelpTopic(this, HelpTopicAbout); });
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quillet::admin
