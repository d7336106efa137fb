#include "scheduler/qt/fSchedBackground.h"

#include "ui/qt/Dialogs.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Text.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace quillet::scheduler {

using ui::FromStd;

namespace {

// The wait cursor for the length of a scope, also when what it waits for throws.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

QString BackgroundStatusLine(const TriggerStatus& status, const std::optional<LastCheck>& last) {
    return FromStd(BackgroundStatusText(status, last));
}

TBackgroundPanel::TBackgroundPanel(BackgroundTarget target, std::shared_ptr<TriggerControl> trigger,
                                   QWidget* parent)
    : QFrame(parent), target_(std::move(target)),
      trigger_(trigger ? std::move(trigger) : std::make_shared<SystemTriggerControl>()) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);
    chkBackground = new QCheckBox(QStringLiteral("Run the schedule when QuilletAdmin is closed"), this);
    chkBackground->setObjectName(QStringLiteral("chkBackground"));
    lblBackground = new QLabel(this);
    lblBackground->setObjectName(QStringLiteral("lblBackground"));
    lblBackground->setWordWrap(true);
    lblRun = new QLabel(this);
    lblRun->setObjectName(QStringLiteral("lblRun"));
    barRun = new QProgressBar(this);
    barRun->setObjectName(QStringLiteral("barRun"));
    barRun->setRange(0, 0); // no end known: the bar just moves
    barRun->setMaximumHeight(10);
    barRun->setTextVisible(false);
    layout->addWidget(chkBackground);
    layout->addWidget(lblBackground);
    layout->addWidget(lblRun);
    layout->addWidget(barRun);
    ShowRun({});
    connect(chkBackground, &QCheckBox::clicked, this, [this](bool checked) { chkBackgroundClick(checked); });
}

void TBackgroundPanel::Refresh() {
    const TriggerStatus status = trigger_->query(target_);
    installed_ = status.installed;
    chkBackground->setChecked(installed_);
    lblBackground->setText(BackgroundStatusLine(status, ReadLastCheck(target_.folder)));
}

void TBackgroundPanel::ShowRun(const QString& text) {
    lblRun->setText(text);
    lblRun->setVisible(!text.isEmpty());
    barRun->setVisible(!text.isEmpty());
}

void TBackgroundPanel::chkBackgroundClick(bool checked) {
    ui::guarded([&] {
        const TriggerResult r = [&] {
            const WaitCursor wait;
            return checked ? trigger_->install(target_) : trigger_->uninstall(target_);
        }();
        Refresh();
        if (!r.ok)
            ui::Dialogs::instance().error(this, window()->windowTitle(), FromStd(r.message));
        else if (checked && installed_)
            ui::Dialogs::instance().information(this, window()->windowTitle(), FromStd(r.message));
    });
}

} // namespace quillet::scheduler
