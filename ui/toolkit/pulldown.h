// A pull-down button built in code: item 0 is the button's title, the other
// items (titles and separators) form its menu. Each item carries a state
// (on, off or mixed: a check mark, nothing, a dash); choosing an item calls
// one action with the item's index.
#pragma once

#include <QIcon>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QToolButton>
#include <functional>

class QAction;
class QMenu;

namespace tw::ui {

enum class ItemState { Off = 0, On = 1, Mixed = -1 };

class PullDown : public QToolButton {
    Q_OBJECT
public:
    // Created over `placeholder` (a widget of a .ui file), at its geometry
    // moved by `offset`, in the placeholder's parent; the placeholder is hidden.
    // A width or height of 0 keeps the placeholder's.
    static PullDown* over_placeholder(QWidget* placeholder, QPoint offset = {}, int width = 0,
                                      int height = 0);
    // Created as a plain child of `parent` (for layouts).
    explicit PullDown(QWidget* parent);

    // Appends items; the first item ever added is the title.
    void add_items(const QStringList& titles);
    void add_item(const QString& title);
    void add_separator();
    void insert_item(int index, const QString& title);  // index >= 1
    void remove_item(int index);                        // index >= 1
    void remove_all_items();                            // keeps the title
    int count() const { return static_cast<int>(items_.size()) + 1; }

    QString item_title(int index) const;
    void set_item_title(int index, const QString& title);
    bool is_separator(int index) const;
    void set_item_enabled(int index, bool enabled);

    void set_state(int index, ItemState state);
    ItemState state(int index) const;
    // The mark shown beside an item in the given state (null for off).
    static QIcon state_icon(ItemState state);

    // The index of the item chosen last (0 before any choice).
    int index_of_selected_item() const { return selected_; }
    // Called with the chosen index each time the user chooses an item.
    void set_action(std::function<void(int)> action) { action_ = std::move(action); }
    // Chooses an item as the user would (tests and keyboard handling).
    void choose_item(int index);
    void size_to_fit();

    QAction* item_action(int index) const;  // nullptr for the title

signals:
    void item_chosen(int index);

private:
    void setup();

    QMenu* menu_ = nullptr;
    QString title_;
    bool has_title_ = false;
    QList<QAction*> items_;  // items 1..n-1
    QList<ItemState> states_;
    int selected_ = 0;
    std::function<void(int)> action_;
};

}  // namespace tw::ui
