// The scheduler window's strip for the background check: the check box that installs
// or removes it for the window's folder, one status line (installed or not, whether it
// runs while the user is logged out, the last check and its result), and while the
// window runs an entry itself, which one and since when, with a busy bar.
#pragma once

#include "scheduler/Background.h"

#include <QFrame>
#include <memory>

class QCheckBox;
class QLabel;
class QProgressBar;

namespace quillet::scheduler {

class TBackgroundPanel : public QFrame {
    Q_OBJECT
public:
    TBackgroundPanel(BackgroundTarget target, std::shared_ptr<TriggerControl> trigger, QWidget* parent = nullptr);

    // Asks the system again and shows what it says; throws what asking throws.
    void Refresh();
    // Whether the trigger was installed when the status was last asked.
    bool Installed() const { return installed_; }
    // Shows a run of the window, or (empty text) that none goes on.
    void ShowRun(const QString& text);

    QCheckBox* chkBackground = nullptr;
    QLabel* lblBackground = nullptr;
    QLabel* lblRun = nullptr;
    QProgressBar* barRun = nullptr;

private:
    void chkBackgroundClick(bool checked);

    BackgroundTarget target_;
    std::shared_ptr<TriggerControl> trigger_;
    bool installed_ = false;
};

// The status line's text.
QString BackgroundStatusLine(const TriggerStatus& status, const std::optional<LastCheck>& last);

} // namespace quillet::scheduler
