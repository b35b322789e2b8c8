// The search window's widgets, the target pull-down, the wildcard and the
// options, drops onto the window, and the window itself.
#include "ui/search/SearchController.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QShortcut>

#include "ui/toolkit/AlertController.h"
#include "ui/toolkit/colored_window.h"
#include "ui/search/search_texts.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/defaults.h"
#include "ui/toolkit/drop.h"
#include "ui/toolkit/pulldown.h"
#include "ui/common/search_string_field.h"
#include "ui/toolkit/text.h"
#include "ui_SearchController.h"

namespace tw::ui {

using namespace search_texts;

namespace {

constexpr const char* kWindowFrameKey = "Search window frame";

}  // namespace

SearchController::SearchController(tw::Engine& engine, AlertController& alerts, QWidget* parent)
    : QObject(parent), engine_(engine), alerts_(alerts),
      widget_(new QWidget(parent)),
      ui_(std::make_unique<Ui::SearchWindow>()) {
    ui_->setupUi(widget_);

    // Counters in the system's fixed-pitch font, whose digits all have one
    // width, right-aligned, so that changing values do not jitter.
    QFont counters = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    counters.setPointSizeF(widget_->font().pointSizeF());
    for (QLineEdit* field : {ui_->file_sz_ref, ui_->found_nb_ref, ui_->files_nb_ref,
                             ui_->total_byte_ref, ui_->error_ref}) {
        field->setFont(counters);
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        field->setMinimumWidth(QFontMetrics(counters).horizontalAdvance(QStringLiteral("0")) * 16);
    }
    // The wildcard is one printable ASCII character.
    ui_->wildcard_symbol_ref->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[\\x21-\\x7e]?")), ui_->wildcard_symbol_ref));

    // The field first: it guards the wildcard box before the window reads it.
    make_search_string_field();
    connect(ui_->action_but_ref, &QPushButton::clicked, this, &SearchController::Search_but);
    connect(ui_->use_wildcard_ref, &QCheckBox::clicked, this,
            &SearchController::Use_wildcard_chk_box);
    connect(ui_->triangle_but_ref, &QToolButton::clicked, this, &SearchController::Triangle_but);

    // The Return key as the action button's key equivalent (when the
    // preferences ask for it): one shortcut for each Return key.
    return_shortcut_ = new QShortcut(QKeySequence(Qt::Key_Return), widget_);
    enter_shortcut_ = new QShortcut(QKeySequence(Qt::Key_Enter), widget_);
    for (QShortcut* s : {return_shortcut_, enter_shortcut_}) {
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, [this] {
            if (ui_->action_but_ref->isEnabled()) do_action_but();
        });
    }
}

SearchController::~SearchController() = default;

QString SearchController::text(const char* const (&pair)[2]) const {
    return text_in(pair, engine_.language);
}

void SearchController::save_window_frame() const {
    tw::ui::save_window_frame(kWindowFrameKey, widget_->window());
    user_defaults().sync();
}

void SearchController::restore_window_frame() {
    tw::ui::restore_window_frame(kWindowFrameKey, widget_->window());
}

void SearchController::make_special_menu_active(bool active) {
    emit special_menu_active_changed(active);
}

void SearchController::show_error(const QString& message) {
    alerts_.show_alert(widget_, text(error_title_s), message);
}

void SearchController::set_label_grey(QWidget* label, bool grey) {
    // A disabled label takes the theme's grey text.
    label->setEnabled(!grey);
}

void SearchController::set_return_key_equivalent() {
    const bool on = engine_.pr.return_key_is_search != 0;
    return_shortcut_->setEnabled(on);
    enter_shortcut_->setEnabled(on);
}

void SearchController::awake_from_nib() {
    // Without a preference file (a first run), every progress text is kept
    // up to date: the engine's all-off default would leave the counters
    // blank until the preferences are changed.
    if (!QFileInfo::exists(QString::fromStdString(engine_.resource_path(tw::TW_PREFERENCE)))) {
        tw::ShowInfoRecord& sir = engine_.sir;
        sir.show_file_name = sir.show_folder_name = sir.show_found_occ_nb = 1;
        sir.show_found_file_nb = sir.show_total_bytes = sir.show_access_err_nb = 1;
        // Return starts the search, so that it never puts an unseen line
        // break into the string; Shift+Return still types one.
        engine_.pr.return_key_is_search = 1;
    }
    ui_->triangle_but_ref->setIcon(QIcon(QStringLiteral(":/Triangle_Canvas")));
    set_return_key_equivalent();
    new DropTarget(
        widget_, [this](const QStringList& paths, QPoint p) { conclude_drop_items(paths, p); },
        [this](const QString& t, QPoint p) { conclude_drop_string(t, p); });
    action_button_is_search_ = true;
    // The button reads in the user's language before any start-up alert
    // shows in front of the window.
    ui_->action_but_ref->setText(text(search_s));
    set_target_popup();
    set_encoding_popup();
    set_tab_order();

    // A first start: no target has ever been made. The editor opens on a
    // new one, where the user types what to find and chooses where.
    u64 next_number = 0;
    if (engine_.next_target_number(&next_number) == 0 && next_number == 0) {
        engine_.cur_target_index = -1;
        no_target_state();
        emit new_target_asked();
        return;
    }
    if (engine_.cur_target_index >= 0 &&
        engine_.make_target_current(static_cast<u64>(engine_.cur_target_index)) == 0) {
        allow_searching();
        set_widget();
        return;
    }
    engine_.cur_target_index = -1;
    run_alert(widget_->window(), text(error_title_s), text(no_default_target_s), text(ok_s));
    // The lowest-numbered target that loads becomes current instead; a
    // damaged file does not hide the targets after it.
    for (u64 k = 0; k < next_number; ++k) {
        if (engine_.make_target_current(k) == 0) {
            allow_searching();
            set_widget();
            return;
        }
    }
    engine_.cur_target_index = -1;
    no_target_state();
}

// ---- The window's values and the current target ----------------------------

void SearchController::get_wildcard() {
    const QString field = ui_->wildcard_symbol_ref->text();
    const char16_t c = field.isEmpty() ? 0 : field.at(0).unicode();
    // The field takes printable ASCII only; anything else counts as empty.
    engine_.tr.wildcard_char = c < 128 ? c : 0;
}

void SearchController::set_wildcard() {
    const u64 c = engine_.tr.wildcard_char;
    ui_->wildcard_symbol_ref->setText(c != 0 && c < 256 ? QString(QChar(static_cast<char16_t>(c)))
                                                        : QString());
}

void SearchController::Use_wildcard_chk_box() {
    const bool on = ui_->use_wildcard_ref->isChecked();
    engine_.tr.use_wildcard = on ? 1 : 0;
    set_label_grey(ui_->wildcard_symbol_label_ref, !on);
    ui_->wildcard_symbol_ref->setEnabled(on);
}

u64 SearchController::update_current_target_from_widget() {
    tw::TargetRecord& tr = engine_.tr;
    tr.use_wildcard = ui_->use_wildcard_ref->isChecked() ? 1 : 0;
    tr.add_line_nb = ui_->add_line_no_ref->isChecked() ? 1 : 0;
    tr.case_insensitive = ui_->case_insensentive_ref->isChecked() ? 1 : 0;
    tr.skip_error = ui_->skip_read_access_error_ref->isChecked() ? 1 : 0;
    tr.not_inside = ui_->not_inside_ref->isChecked() ? 1 : 0;
    get_wildcard();
    return get_search_str();
}

void SearchController::set_widget() {
    show_info();
    set_wildcard();
    const tw::TargetRecord& tr = engine_.tr;
    ui_->use_wildcard_ref->setChecked(tr.use_wildcard != 0);
    ui_->add_line_no_ref->setChecked(tr.add_line_nb != 0);
    ui_->case_insensentive_ref->setChecked(tr.case_insensitive != 0);
    ui_->skip_read_access_error_ref->setChecked(tr.skip_error != 0);
    ui_->not_inside_ref->setChecked(tr.not_inside != 0);
    // After the options, whose wildcard the hexadecimal form shows.
    string_field_->show_search_str();
    set_encoding_popup_check_mark();
}

void SearchController::reset_widget() {
    // The preferences changed: the Return key and the progress texts follow
    // them. The string, options and encoding on screen are the user's and
    // stay, searched or not.
    set_return_key_equivalent();
    engine_.set_show_info(0);
    show_info();
}

// ---- The target pull-down ---------------------------------------------------

void SearchController::set_target_popup() {
    if (search_is_running()) {
        // The list is read again once the search has ended.
        deferred_list_rebuild_ = true;
        return;
    }
    QStringList titles{text(targets_title_s)};
    if (engine_.build_target_list() == 0) {
        // Damaged target files stay in the list under a placeholder name;
        // each is named once in a warning.
        QStringList damaged;
        for (const std::string& path : engine_.damaged_targets) {
            const QString name = QString::fromUtf8(path);
            if (!warned_damaged_targets_.contains(name)) damaged.append(name);
            warned_damaged_targets_.insert(name);
        }
        if (!damaged.isEmpty()) show_error(text(damaged_targets_s) + damaged.join(u'\n'));
        const u64 nb = engine_.nb_of_target_from_target_list();
        const char* name = engine_.br.target_list;
        for (u64 i = 0; i < nb; ++i) {
            titles.append(QString::fromUtf8(name));
            name += std::strlen(name) + 1;
        }
    }
    QWidget* holder = ui_->rect_for_target_popup_ref;
    auto* popup = new PullDown(holder);
    popup->setObjectName(QStringLiteral("target_popup"));
    popup->add_items(titles);
    popup->setAccessibleName(text(targets_title_s));
    popup->set_action([this](int) { set_target_for_popup_item(); });
    if (target_popup_ != nullptr) {
        popup->setEnabled(target_popup_->isEnabled());
        delete target_popup_;
    }
    holder->layout()->addWidget(popup);
    popup->size_to_fit();
    target_popup_ = popup;
    set_tab_order();
}

void SearchController::set_tab_order() {
    // Reading order: the target row, the string's row with its encoding,
    // the string, the options row by row, then Search.
    QList<QWidget*> order{ui_->triangle_but_ref};
    if (target_popup_ != nullptr) order.append(target_popup_);
    if (history_but_ != nullptr) order.append(history_but_);
    if (forms_but_ != nullptr) order.append(forms_but_);
    if (encoding_popup() != nullptr) order.append(encoding_popup());
    order.append({ui_->string_to_search_ref, ui_->use_wildcard_ref, ui_->wildcard_symbol_ref,
                  ui_->add_line_no_ref, ui_->case_insensentive_ref,
                  ui_->skip_read_access_error_ref, ui_->not_inside_ref, ui_->action_but_ref});
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void SearchController::set_target_for_popup_item() {
    const int index = target_popup_->index_of_selected_item() - 1;
    if (index < 0) return;
    if (engine_.make_target_current(static_cast<u64>(index)) != 0) {
        // The record is released and partly loaded: nothing may search it.
        engine_.cur_target_index = -1;
        show_error(text(cannot_enable_s));
        no_target_state();
        return;
    }
    if (!engine_.damaged_forms_file.empty())
        show_error(text(damaged_forms_s) + QString::fromStdString(engine_.damaged_forms_file));
    make_ready_to_search();
}

// ---- The target editor: the triangle button and drops ----------------------

void SearchController::Triangle_but() { emit new_target_asked(); }

bool SearchController::is_on_triangle(QPoint position) const {
    QWidget* triangle = ui_->triangle_but_ref;
    return triangle->rect().contains(triangle->mapFrom(widget_, position));
}

void SearchController::conclude_drop_items(const QStringList& paths, QPoint position) {
    if (is_on_triangle(position)) emit new_target_with_items_asked(paths);
    else emit target_with_items_asked(engine_.cur_target_index, paths);
}

void SearchController::conclude_drop_string(const QString& dropped, QPoint position) {
    if (is_on_triangle(position)) emit new_target_with_string_asked(dropped);
    else emit target_with_string_asked(engine_.cur_target_index, dropped);
}

// ---- The window -------------------------------------------------------------

void SearchController::set_window_color(const QColor& color) {
    paint_window_background(widget_->window(), color, false);
}

void SearchController::get_window_background() {
    if (done_background_) return;
    original_window_background_color_ = widget_->window()->palette().color(QPalette::Window);
    done_background_ = true;
}

void SearchController::set_window_visible(bool visible) {
    QWidget* window = widget_->window();
    if (visible && !window->isVisible()) {
        window->show();
        window->raise();
    } else if (!visible && window->isVisible()) {
        window->hide();
    }
}

}  // namespace tw::ui
