#include "admin/qt/AboutBox.h"

#include "admin/Branding.h"
#include "admin/qt/Splash.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"
#include "ui/qt/WebLinks.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

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
    setWindowTitle(FromStd(AboutCaption));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(AboutWidth, AboutHeight);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(12);
    setFont(arial);
    auto place = [this](auto* control, const char* name, const Spot& at) {
        control->setObjectName(QLatin1String(name));
        control->setGeometry(at.x, at.y, at.width, at.height);
        return control;
    };
    const AboutPlaces& at = AboutSpots;

    auto* ProgramIcon = place(new QLabel(this), "ProgramIcon", at.picture);
    ProgramIcon->setPixmap(TfrmSplash::Picture(at.picture.width));
    QFont bold = arial;
    bold.setBold(true);
    auto* MakerName = place(new QLabel(FromStd(MakerText), this), "MakerName", at.maker);
    MakerName->setFont(bold);
    auto* ProductName = place(new QLabel(FromStd(ProductText), this), "ProductName", at.product);
    bold.setPixelSize(AboutProductHeight);
    ProductName->setFont(bold);
    ProductName->setPalette(TfrmSplash::Coloured(ProductName->palette(), ProductGreen));
    const QString version = FromStd(AboutVersionText(ToStd(QLocale().decimalPoint())));
    place(new QLabel(version, this), "Version", at.version);
    place(new QLabel(FromStd(AboutBuildText()), this), "Build", at.build);

    auto* Label2 = place(new LinkLabel(MakerHomePageText, this, [this] { guarded([this] { Label2Click(); }); }),
                         "Label2", at.link);
    QFont underlined = arial;
    underlined.setUnderline(true);
    Label2->setFont(underlined);
    Label2->setPalette(TfrmSplash::Coloured(Label2->palette(), LinkNavy));
    Label2->setToolTip(MakerHomePage);

    auto* OKButton = place(new QPushButton(QStringLiteral("OK"), this), "OKButton", at.ok);
    // Default button for Enter; QDialog makes Escape the cancel key, which also closes.
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
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
