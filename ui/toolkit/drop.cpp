#include "ui/toolkit/drop.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tw::ui {

QStringList dropped_paths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.append(url.toLocalFile());
    return paths;
}

DropKind drop_kind(const QMimeData* data) {
    if (data == nullptr) return DropKind::None;
    if (!dropped_paths(data).isEmpty()) return DropKind::Paths;
    if (data->hasText()) return DropKind::Text;
    return DropKind::None;
}

DropTarget::DropTarget(QWidget* widget, PathsHandler on_paths, TextHandler on_text)
    : QObject(widget), widget_(widget), on_paths_(std::move(on_paths)),
      on_text_(std::move(on_text)) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

bool DropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != widget_) return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (drop_kind(e->mimeData()) != DropKind::None) {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        } else {
            e->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        const QPoint position = e->position().toPoint();
        switch (drop_kind(e->mimeData())) {
        case DropKind::Paths:
            e->setDropAction(Qt::CopyAction);
            e->accept();
            if (on_paths_) on_paths_(dropped_paths(e->mimeData()), position);
            break;
        case DropKind::Text:
            e->setDropAction(Qt::CopyAction);
            e->accept();
            if (on_text_) on_text_(e->mimeData()->text(), position);
            break;
        case DropKind::None:
            e->ignore();
            break;
        }
        return true;
    }
    default:
        return false;
    }
}

}  // namespace tw::ui
