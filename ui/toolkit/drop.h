// Drag-and-drop destinations for lists of file paths and for text, and the
// receiver of the files and folders handed to the application.
#pragma once

#include <QObject>
#include <QPoint>
#include <QStringList>
#include <functional>

class QMimeData;
class QWidget;

namespace tw::ui {

// What a drag carries, file paths first: a drag with local file URLs is a
// list of paths even when it also carries text.
enum class DropKind { None, Paths, Text };
DropKind drop_kind(const QMimeData* data);
QStringList dropped_paths(const QMimeData* data);

// Makes `widget` accept drops of file paths and of text. The handlers get
// the dropped paths or text and the drop position in the widget's
// coordinates. The destination is a child of the widget.
class DropTarget : public QObject {
    Q_OBJECT
public:
    using PathsHandler = std::function<void(const QStringList& paths, QPoint position)>;
    using TextHandler = std::function<void(const QString& text, QPoint position)>;

    DropTarget(QWidget* widget, PathsHandler on_paths, TextHandler on_text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_;
    PathsHandler on_paths_;
    TextHandler on_text_;
};

// Takes the batch of files and folders handed to the application (the
// target editor opens a new target holding them).
class DropItemsReceiver {
public:
    virtual ~DropItemsReceiver() = default;
    virtual void show_target_window_drop_items(const QStringList& items) = 0;
};

}  // namespace tw::ui
