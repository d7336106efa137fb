// Lets one control of a window accept files dragged from the file manager. The window
// binds it at its creation and releases it at its destruction; a drop hands the window
// the files' full paths in the order they were delivered.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QMimeData;

namespace quillet::ui {

class TDropFileTarget : public QObject {
    Q_OBJECT
public:
    using DropHandler = std::function<void(const QStringList& files)>;

    explicit TDropFileTarget(QObject* parent = nullptr);
    ~TDropFileTarget() override;

    // Starts accepting drops on the control (on its viewport for a scroll area).
    void Register(QWidget* control, DropHandler onDrop);
    // Stops accepting drops; harmless when not registered or when the control is gone.
    void Revoke();
    bool IsRegistered() const { return !control_.isNull(); }

    // The local files a drag carries, in delivery order; empty when it carries none.
    static QStringList DroppedFiles(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> control_;
    QPointer<QWidget> surface_; // the widget that receives the drag events
    bool controlAcceptedDrops_ = false;
    bool surfaceAcceptedDrops_ = false;
    DropHandler onDrop_;
};

} // namespace quillet::ui
