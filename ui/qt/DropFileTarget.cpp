#include "ui/qt/DropFileTarget.h"

#include "ui/qt/ErrorReporter.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace quillet::ui {

namespace {

// Copy, move and link are all fine; the proposed one is kept so the file manager shows
// the cursor the user expects.
bool acceptFileDrag(QDropEvent* event) {
    if (TDropFileTarget::DroppedFiles(event->mimeData()).isEmpty())
        return false;
    const Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    if (allowed & event->proposedAction()) {
        event->acceptProposedAction();
        return true;
    }
    for (Qt::DropAction action : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction}) {
        if (event->possibleActions() & action) {
            event->setDropAction(action);
            event->accept();
            return true;
        }
    }
    return false;
}

} // namespace

TDropFileTarget::TDropFileTarget(QObject* parent) : QObject(parent) {}

TDropFileTarget::~TDropFileTarget() {
    Revoke();
}

void TDropFileTarget::Register(QWidget* control, DropHandler onDrop) {
    Revoke();
    if (!control)
        return;
    control_ = control;
    auto* area = qobject_cast<QAbstractScrollArea*>(control);
    surface_ = area ? area->viewport() : control;
    onDrop_ = std::move(onDrop);
    controlAcceptedDrops_ = control->acceptDrops();
    surfaceAcceptedDrops_ = surface_->acceptDrops();
    control->setAcceptDrops(true);
    surface_->setAcceptDrops(true);
    surface_->installEventFilter(this);
}

void TDropFileTarget::Revoke() {
    if (surface_) {
        surface_->removeEventFilter(this);
        surface_->setAcceptDrops(surfaceAcceptedDrops_);
    }
    if (control_)
        control_->setAcceptDrops(controlAcceptedDrops_);
    surface_.clear();
    control_.clear();
    onDrop_ = nullptr;
}

QStringList TDropFileTarget::DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        QString path = url.toLocalFile();
        // A folder arrives with a trailing separator from some file managers.
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')) && !path.endsWith(QStringLiteral(":/")))
            path.chop(1);
        if (!path.isEmpty())
            files << QDir::toNativeSeparators(path);
    }
    return files;
}

bool TDropFileTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != surface_.data())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!acceptFileDrag(drag))
            drag->ignore();
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!acceptFileDrag(drop)) {
            drop->ignore();
            return true;
        }
        const QStringList files = DroppedFiles(drop->mimeData());
        if (onDrop_) {
            DropHandler handler = onDrop_; // the handler may revoke us
            guarded([&] { handler(files); });
        }
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace quillet::ui
