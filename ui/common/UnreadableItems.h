// The files and folders a search could not read: the search window collects
// them from the engine while the search runs, names the one a search stopped
// at, and hands the list to the viewer, which counts them on its state line
// and lists them, each path with its reason, in a small window.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <string_view>

#include "engine/tw.h"

class QDialog;
class QWidget;

namespace tw::ui {

struct UnreadableItem {
    QByteArray path;  // the path's bytes, as the file system gives them
    int err = 0;      // errno of the failed call; EINVAL: not a regular file
};

struct UnreadableItems {
    // At most this many are kept, the first ones in search order; `total`
    // counts them all, so that a search over a whole disk it may not read
    // never holds millions of paths.
    static constexpr qsizetype kMaxListed = 10000;
    QList<UnreadableItem> listed;
    tw::u64 total = 0;
    // The first of them ended the search (its target does not go on after
    // read errors).
    bool ended_search = false;
};

// Hears a search for the items it could not read. The engine calls it on
// the search thread (or the committer of a parallel search); what it holds
// is read only after that thread has been joined. Its engine never keeps a
// pointer to a listener that is gone: the destructor first ends a search
// that still reports to it.
class UnreadableItemsListener : public tw::ResultSink {
public:
    explicit UnreadableItemsListener(tw::Engine& engine) : engine_(engine) {}
    ~UnreadableItemsListener() override;
    UnreadableItemsListener(const UnreadableItemsListener&) = delete;
    UnreadableItemsListener& operator=(const UnreadableItemsListener&) = delete;

    // Empties the list and makes this one of the engine's sinks, before a
    // search.
    void listen();
    // After the search thread was joined: no longer one of its sinks;
    // returns what was collected, with `ended_search` from the engine.
    UnreadableItems take();

    void item_failed(std::string_view path, int err) override;
    // It needs no occurrence record.
    bool enough() const override { return true; }

private:
    tw::Engine& engine_;
    UnreadableItems items_;
};

// Why an item could not be read, in `language` (0 English, 1 French).
QString failure_reason(int err, int language);
// "PATH: reason", as the list shows each item.
QString unreadable_line(const UnreadableItem& item, int language);

// The search window's alert for a search that stopped at `item`.
QString stopped_at_alert(const UnreadableItem& item, int language);
// The viewer's state line for the unreadable items: the stop at the first
// one when it ended the search (to follow the line of a stopped search),
// and their count.
QString stopped_at_line(const UnreadableItem& item, int language);
QString unreadable_count_line(tw::u64 total, int language);
// The title of the list's button.
QString unreadable_button_title(int language);

// A window of its own over `parent` listing every kept item on a line of
// its own, selectable and copyable; deleted when closed.
QDialog* make_unreadable_panel(QWidget* parent, const UnreadableItems& items, int language);

}  // namespace tw::ui
