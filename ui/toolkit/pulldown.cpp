#include "ui/toolkit/pulldown.h"

#include <algorithm>

#include <QAction>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace tw::ui {

namespace {

// The property that keeps a separator's title (its action shows no text).
constexpr const char* kSeparatorTitle = "pulldown_separator_title";

// A title made only of dashes is a separator written as text.
bool is_dash_line(const QString& title) {
    if (title.size() < 2) return false;
    return std::all_of(title.begin(), title.end(), [](QChar c) { return c == u'-'; });
}

}  // namespace

PullDown* PullDown::over_placeholder(QWidget* placeholder, QPoint offset, int width, int height) {
    auto* pd = new PullDown(placeholder->parentWidget());
    QRect frame = placeholder->geometry();
    frame.translate(offset);
    if (width > 0) frame.setWidth(width);
    frame.setHeight(std::max(height > 0 ? height : frame.height(), pd->sizeHint().height()));
    pd->setGeometry(frame);
    placeholder->hide();
    pd->show();
    return pd;
}

PullDown::PullDown(QWidget* parent) : QToolButton(parent) { setup(); }

void PullDown::setup() {
    menu_ = new QMenu(this);
    setMenu(menu_);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void PullDown::add_items(const QStringList& titles) {
    for (const QString& t : titles) add_item(t);
}

void PullDown::add_item(const QString& title) {
    if (!has_title_) {
        has_title_ = true;
        title_ = title;
        if (shown_title_.isEmpty()) setText(title);
        return;
    }
    insert_item(count(), title);
}

QAction* PullDown::make_item(const QString& title) {
    auto* action = new QAction(menu_);
    if (is_dash_line(title)) {
        action->setSeparator(true);
        action->setProperty(kSeparatorTitle, title);
        return action;
    }
    action->setText(title);
    action->setIconVisibleInMenu(true);
    connect(action, &QAction::triggered, this, [this, action] {
        choose_item(static_cast<int>(items_.indexOf(action)) + 1);
    });
    return action;
}

void PullDown::insert_item(int index, const QString& title) {
    if (index < 1) index = 1;
    if (index > count()) index = count();
    QAction* action = make_item(title);
    QAction* before = index - 1 < items_.size() ? items_[index - 1] : nullptr;
    menu_->insertAction(before, action);
    items_.insert(index - 1, action);
    states_.insert(index - 1, ItemState::Off);
}

void PullDown::add_separator(const QString& title) {
    if (!has_title_) add_item(QString());
    auto* sep = new QAction(menu_);
    sep->setSeparator(true);
    sep->setProperty(kSeparatorTitle, title);
    menu_->addAction(sep);
    items_.append(sep);
    states_.append(ItemState::Off);
}

void PullDown::remove_item(int index) {
    if (index < 1 || index >= count()) return;
    QAction* action = items_.takeAt(index - 1);
    states_.removeAt(index - 1);
    menu_->removeAction(action);
    delete action;
}

void PullDown::remove_all_items() {
    while (count() > 1) remove_item(count() - 1);
}

QString PullDown::item_title(int index) const {
    if (index == 0) return title_;
    const QAction* a = item_action(index);
    if (a == nullptr) return {};
    return a->isSeparator() ? a->property(kSeparatorTitle).toString() : a->text();
}

void PullDown::set_item_title(int index, const QString& title) {
    if (index == 0) {
        title_ = title;
        if (shown_title_.isEmpty()) setText(title);
    } else if (QAction* a = item_action(index)) {
        if (a->isSeparator()) a->setProperty(kSeparatorTitle, title);
        else a->setText(title);
    }
}

bool PullDown::is_separator(int index) const {
    const QAction* a = item_action(index);
    return a != nullptr && a->isSeparator();
}

void PullDown::set_item_enabled(int index, bool enabled) {
    if (QAction* a = item_action(index)) a->setEnabled(enabled);
}

QAction* PullDown::item_action(int index) const {
    if (index < 1 || index >= count()) return nullptr;
    return items_[index - 1];
}

void PullDown::set_state(int index, ItemState state) {
    QAction* a = item_action(index);
    if (a == nullptr) return;
    states_[index - 1] = state;
    a->setIcon(state_icon(state));
}

ItemState PullDown::state(int index) const {
    if (index < 1 || index >= count()) return ItemState::Off;
    return states_[index - 1];
}

QIcon PullDown::state_icon(ItemState state) {
    if (state == ItemState::Off) return {};
    // Drawn here rather than taken from the style so that "mixed" always has
    // its own mark: a check mark for on, a horizontal dash for mixed.
    const int side = 16;
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(40, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    if (state == ItemState::On) {
        QPainterPath path;
        path.moveTo(3.5, 8.5);
        path.lineTo(6.5, 12.0);
        path.lineTo(12.5, 4.0);
        p.drawPath(path);
    } else {
        p.drawLine(QPointF(4.0, 8.0), QPointF(12.0, 8.0));
    }
    p.end();
    return QIcon(pixmap);
}

void PullDown::choose_item(int index) {
    if (index < 1 || index >= count()) return;
    selected_ = index;
    if (action_) action_(index);
    emit item_chosen(index);
}

bool PullDown::placed_by_layout() const {
    const QWidget* parent = parentWidget();
    return parent != nullptr && parent->layout() != nullptr;
}

void PullDown::size_to_fit(const QStringList& also) {
    // The widest text the button may show decides, as a pull-down does; the
    // frame and the arrow come from the style's hint for the current text.
    // Texts are measured as the tool button measures its own.
    const QFontMetrics fm(font());
    auto width_of = [&fm](const QString& t) { return fm.size(Qt::TextShowMnemonic, t).width(); };
    int widest = std::max(width_of(title_), width_of(text()));
    for (const QAction* a : items_)
        if (!a->isSeparator()) widest = std::max(widest, width_of(a->text()));
    for (const QString& t : also) widest = std::max(widest, width_of(t));
    // The arrow that marks a pull-down is drawn over the button's corner:
    // room is kept for it so that it never covers the text.
    const int frame = QToolButton::sizeHint().width() - width_of(text()) +
                      style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, this);
    fit_width_ = widest + frame;
    updateGeometry();
    // A layout gives the button its size from the hint; only a button that
    // no layout places is resized here.
    if (!placed_by_layout())
        resize(sizeHint().width(), height() > 0 ? height() : sizeHint().height());
}

void PullDown::set_shown_title(const QString& shown) {
    shown_title_ = shown;
    setText(shown.isEmpty() ? title_ : shown);
    updateGeometry();
}

QSize PullDown::sizeHint() const {
    QSize hint = QToolButton::sizeHint();
    hint.setWidth(std::max(hint.width(), fit_width_));
    return hint;
}

QSize PullDown::minimumSizeHint() const { return sizeHint(); }

}  // namespace tw::ui
