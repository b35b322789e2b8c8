// A pull-down button built in code: item 0 is the button's title, the other
// items (titles and separators) form its menu. Each item carries a state
// (on, off or mixed: a check mark, nothing, a dash); choosing an item calls
// one action with the item's index. A separator is a real menu separator,
// which the menu never lets the user choose; a title made only of dashes
// ("------") is added as one. In a layout, the button asks for its width
// through its size hint and never resizes itself.
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
    // A separator; `title` is what item_title gives back for it.
    void add_separator(const QString& title = QString());
    void insert_item(int index, const QString& title);  // index >= 1; dashes: a separator
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
    // The width that shows the widest of the title, the items, the text
    // shown now and `also` (texts the button may show later) becomes the
    // button's size hint. A button that no layout places is resized to it.
    void size_to_fit(const QStringList& also = {});
    // Text shown on the button instead of the title (item 0 keeps its
    // title); an empty text shows the title again.
    void set_shown_title(const QString& text);
    QString shown_title() const { return text(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    QAction* item_action(int index) const;  // nullptr for the title

signals:
    void item_chosen(int index);

private:
    void setup();
    QAction* make_item(const QString& title);
    bool placed_by_layout() const;

    QMenu* menu_ = nullptr;
    QString title_;
    QString shown_title_;
    int fit_width_ = 0;  // 0: the button's own hint
    bool has_title_ = false;
    QList<QAction*> items_;  // items 1..n-1
    QList<ItemState> states_;
    int selected_ = 0;
    std::function<void(int)> action_;
};

}  // namespace tw::ui
