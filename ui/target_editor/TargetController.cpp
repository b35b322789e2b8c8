// The target editor's window: its widgets and the working record, OK,
// Cancel, the item table with Add, Remove and Info, and the key filter.
#include "ui/target_editor/TargetController.h"

#include <strings.h>

#include <QCheckBox>
#include <QDialog>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>
#include <cstring>

#include "ui/toolkit/AlertController.h"
#include "ui/target_editor/target_editor_texts.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/defaults.h"
#include "ui/toolkit/drop.h"
#include "ui/toolkit/panels.h"
#include "ui/toolkit/pulldown.h"
#include "ui/common/search_string_field.h"
#include "ui_TargetController.h"

namespace tw::ui {

using namespace target_editor_texts;

TargetController::TargetController(tw::Engine& engine, AlertController& alerts, QObject* parent)
    : QObject(parent), engine_(engine), alerts_(alerts), ui_(std::make_unique<Ui::TargetWindow>()) {
    // tr_temp owns nothing yet: it starts as the target defaults.
    engine_.init_target(engine_.tr_temp);

    // A dialog without a parent: its own window, announced as a dialog, with
    // Escape for Cancel and Return in a field for OK.
    window_ = new QDialog(nullptr);
    window_->setAttribute(Qt::WA_QuitOnClose, false);
    ui_->setupUi(window_);
    window_->setWindowTitle(engine_.language != 0 ? QStringLiteral("Canevas")
                                                  : QStringLiteral("Target"));
    window_->installEventFilter(this);
    connect(window_, &QDialog::finished, this, [this] { window_will_close(); });

    nodes_ = new NodesModel(engine_.language, this);
    nodes_->set_path_refused([this](const QString& reason) {
        alerts_.show_alert(window_, text(error_title_s), reason);
    });
    QTableView* table = ui_->table_view_ref;
    table->setModel(nodes_);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    // Tab and Shift+Tab go to the next and previous controls, not from
    // cell to cell: the arrow keys walk the table.
    table->setTabKeyNavigation(false);
    table->setAccessibleName(ui_->items_label_ref->text().remove(QLatin1Char('&')));

    string_field_ = new SearchStringField(
        engine_, engine_.tr_temp, ui_->string_to_search_ref, ui_->rect_for_encoding_popup_ref,
        [this]() -> std::optional<std::uint8_t> {
            if (!ui_->use_wildcard_ref->isChecked()) return std::nullopt;
            tw::TargetRecord probe{};
            get_wildcard(probe);
            return static_cast<std::uint8_t>(probe.wildcard_char);
        },
        [this](u64 code) {
            if (code == tw::ERR_INVALID_DIGIT) show_error(invalid_hexa_s);
            else if (code == tw::ERR_MEMORY) show_error(not_enough_mem_s);
            else show_error(cannot_encode_s);
        },
        this);
    string_field_->set_encoding_popup();
    string_field_->attach_options(ui_->wildcard_symbol_ref, ui_->use_wildcard_ref,
                                  ui_->case_insensitive_ref);
    // After the field's own filter, so that Return is seen here first.
    ui_->string_to_search_ref->installEventFilter(this);
    make_forms_button();
    // The Forms button and the encoding pull-down, made in code, come
    // before the text they apply to.
    QWidget::setTabOrder(forms_but_, string_field_->popup());
    QWidget::setTabOrder(string_field_->popup(), ui_->string_to_search_ref);
    QWidget::setTabOrder(ui_->string_to_search_ref, ui_->target_name_ref);
    ui_->wildcard_symbol_ref->setMaxLength(1);
    ui_->target_name_ref->setMaxLength(255);

    connect(ui_->ok_but_ref, &QPushButton::clicked, this, &TargetController::OK_but);
    connect(ui_->cancel_but_ref, &QPushButton::clicked, this, &TargetController::Cancel_but);
    connect(ui_->add_but_ref, &QPushButton::clicked, this, &TargetController::Add_but);
    connect(ui_->remove_but_ref, &QPushButton::clicked, this, &TargetController::Remove_but);
    connect(ui_->info_but_ref, &QPushButton::clicked, this, &TargetController::Info_but);
    connect(ui_->string_to_search_ref, &QPlainTextEdit::textChanged, this,
            &TargetController::follow_search_text_with_name);
    // A name set other than by following the text (typed, pasted, set by a
    // program) ends the following; emptying the field starts it again.
    connect(ui_->target_name_ref, &QLineEdit::textChanged, this, [this](const QString& now) {
        if (!setting_followed_name_) name_follows_text_ = now.isEmpty();
    });
    connect(ui_->use_wildcard_ref, &QCheckBox::toggled, ui_->wildcard_symbol_ref,
            &QWidget::setEnabled);
    new DropTarget(
        window_, [this](const QStringList& paths, QPoint) { update_target_window_drop_items(paths); },
        [this](const QString& t, QPoint) { update_target_window_drop_string(t); });
    make_accessory_view();
    update_UI();
}

TargetController::~TargetController() {
    if (target_selection_panel_) delete target_selection_panel_;
    delete window_;
}

QString TargetController::text(const char* const (&pair)[2]) const {
    return text_in(pair, engine_.language);
}

void TargetController::show_error(const char* const (&pair)[2]) {
    alerts_.show_alert(window_, text(error_title_s), text(pair));
}

PullDown* TargetController::encoding_popup() const { return string_field_->popup(); }

bool TargetController::is_open() const { return window_->isVisible(); }

void TargetController::make_accessory_view() {
    acc_view_ref_ = new QWidget(window_);
    acc_view_ref_->setObjectName(QStringLiteral("acc_view_ref"));
    auto* layout = new QVBoxLayout(acc_view_ref_);
    layout->setContentsMargins(0, 0, 0, 0);
    const bool french = engine_.language != 0;
    show_hidden_ref_ = new QCheckBox(
        french ? QStringLiteral("Afficher les fichiers cachés") : QStringLiteral("Show hidden files"),
        acc_view_ref_);
    show_hidden_ref_->setObjectName(QStringLiteral("show_hidden_ref"));
    show_package_ref_ = new QCheckBox(french ? QStringLiteral("Ajouter la cible des liens symboliques")
                                             : QStringLiteral("Add the target of symbolic links"),
                                      acc_view_ref_);
    show_package_ref_->setObjectName(QStringLiteral("show_package_ref"));
    layout->addWidget(show_hidden_ref_);
    layout->addWidget(show_package_ref_);
    connect(show_hidden_ref_, &QCheckBox::toggled, this, &TargetController::Hidden_chk_box);
    connect(show_package_ref_, &QCheckBox::toggled, this, &TargetController::Package_chk_box);
    acc_view_ref_->hide();
}

// ---- The widgets and the working record ---------------------------------------

void TargetController::set_wildcard() {
    const u64 c = engine_.tr_temp.wildcard_char;
    ui_->wildcard_symbol_ref->setText(
        c != 0 && c < 128 ? QString(QChar(static_cast<char16_t>(c))) : QString());
}

void TargetController::get_wildcard(tw::TargetRecord& t) const {
    const QString field = ui_->wildcard_symbol_ref->text();
    const char16_t c = field.isEmpty() ? 0 : field.at(0).unicode();
    t.wildcard_char = c < 128 ? c : 0;
}

void TargetController::set_target_name() {
    ui_->target_name_ref->setText(QString::fromUtf8(
        engine_.tr_temp.target_name != nullptr ? engine_.tr_temp.target_name : ""));
}

void TargetController::set_check_boxes_from(const tw::TargetRecord& t) {
    ui_->use_wildcard_ref->setChecked(t.use_wildcard != 0);
    ui_->wildcard_symbol_ref->setEnabled(t.use_wildcard != 0);
    ui_->add_line_nb_ref->setChecked(t.add_line_nb != 0);
    ui_->case_insensitive_ref->setChecked(t.case_insensitive != 0);
    ui_->skip_error_ref->setChecked(t.skip_error != 0);
    ui_->not_inside_ref->setChecked(t.not_inside != 0);
}

void TargetController::set_widget_from_target() {
    const tw::TargetRecord& t = engine_.tr_temp;
    name_follows_text_ = false;
    setting_followed_name_ = true;  // the record's name is no typed name
    set_wildcard();
    // The options first: the hexadecimal form of the string shows the
    // wildcard that the check box and field hold.
    set_check_boxes_from(t);
    string_field_->show_search_str();
    set_target_name();
    if (t.eol_char == 10) ui_->eol_lf_ref->setChecked(true);
    else ui_->eol_cr_ref->setChecked(true);
    string_field_->set_encoding_popup_check_mark();
    forms_choice_ = choice_of_forms(t.forms);
    QList<Nodes> rows;
    for (const tw::TargetItem& item : engine_.target_items(t))
        rows.append(nodes_->node_for_item(QString::fromUtf8(item.path.c_str()), item.item_type));
    nodes_->setNodes(rows);
    update_UI();
    setting_followed_name_ = false;
    if (use_this_target_index_ < 0 && ui_->target_name_ref->text().isEmpty()) {
        name_follows_text_ = true;
        follow_search_text_with_name();
    }
}

bool TargetController::name_is_taken(const QByteArray& name) const {
    const u64 nb = engine_.nb_of_target_from_target_list();
    const char* stored = engine_.br.target_list;
    for (u64 i = 0; i < nb; ++i) {
        if (::strcasecmp(stored, name.constData()) == 0) return true;
        stored += std::strlen(stored) + 1;
    }
    return false;
}

void TargetController::follow_search_text_with_name() {
    if (!name_follows_text_) return;
    const QByteArray base = name_from(string_field_->view_text().trimmed(), 64);
    QByteArray name = base;
    for (int n = 2; !name.isEmpty() && name_is_taken(name) && n < 1000; ++n)
        name = base + ' ' + QByteArray::number(n);
    setting_followed_name_ = true;
    ui_->target_name_ref->setText(QString::fromUtf8(name));
    setting_followed_name_ = false;
}

u64 TargetController::valid_entries(bool check_name) const {
    const QString typed = string_field_->view_text();
    if (typed.isEmpty()) return tw::ERR_CORRUPTED;
    if (engine_.tr_temp.is_hexa == 0 &&
        string_field_->search_string_is_valid(engine_.tr_temp.encoding, 0) != 0)
        return tw::ERR_CORRUPTED;
    const QByteArray name = ui_->target_name_ref->text().toUtf8();
    if (name.isEmpty()) return tw::ERR_CORRUPTED;
    if (ui_->use_wildcard_ref->isChecked()) {
        const QString wildcard = ui_->wildcard_symbol_ref->text();
        if (wildcard.size() != 1 || wildcard.at(0).unicode() >= 128) return tw::ERR_CORRUPTED;
    }
    if (nodes_->rowCount() == 0) return tw::ERR_CORRUPTED;
    if (check_name && name_is_taken(name)) return tw::ERR_INVALID_NAME;
    return 0;
}

void TargetController::options_from_widget(tw::TargetRecord& t) const {
    t.eol_char = ui_->eol_lf_ref->isChecked() ? 10 : 13;
    t.use_wildcard = ui_->use_wildcard_ref->isChecked() ? 1 : 0;
    t.add_line_nb = ui_->add_line_nb_ref->isChecked() ? 1 : 0;
    t.case_insensitive = ui_->case_insensitive_ref->isChecked() ? 1 : 0;
    t.skip_error = ui_->skip_error_ref->isChecked() ? 1 : 0;
    t.not_inside = ui_->not_inside_ref->isChecked() ? 1 : 0;
    get_wildcard(t);
}

u64 TargetController::name_and_items_from_widget(tw::TargetRecord& t) {
    const QByteArray name = ui_->target_name_ref->text().toUtf8();
    if (engine_.set_target_name(t, std::string_view(name.constData(),
                                                    static_cast<std::size_t>(name.size()))) != 0)
        return tw::ERR_MEMORY;
    std::vector<tw::TargetItem> items;
    for (const Nodes& node : nodes_->nodes())
        items.push_back({nodes_->is_folder(node) ? tw::TW_ITEM_FOLDER : tw::TW_ITEM_FILE,
                         QFile::encodeName(node.path).toStdString()});
    return engine_.set_target_items(t, items) != 0 ? tw::ERR_MEMORY : 0;
}

u64 TargetController::set_target_from_widget(tw::TargetRecord& t) {
    // First the window shows the wildcard that the string will hold, so that
    // what is built is what is shown.
    if (const u64 code = string_field_->settle_wildcard(); code != 0) return code;
    options_from_widget(t);
    QByteArray bytes;
    std::optional<std::uint8_t> stored_wildcard;
    if (const u64 code = string_field_->search_bytes(&bytes, &stored_wildcard); code != 0)
        return code;
    if (stored_wildcard) t.wildcard_char = *stored_wildcard;
    if (engine_.set_target_search_str(t, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<u64>(bytes.size())) != 0)
        return tw::ERR_MEMORY;
    return name_and_items_from_widget(t);
}

void TargetController::update_UI() {
    QTableView* table = ui_->table_view_ref;
    table->resizeColumnToContents(NodesModel::TypeColumn);
    table->resizeColumnToContents(NodesModel::NameColumn);
    table->viewport()->update();
    const bool has_rows = nodes_->rowCount() > 0;
    ui_->remove_but_ref->setEnabled(true);
    ui_->info_but_ref->setEnabled(true);
    if (has_rows && !ui_->table_view_ref->currentIndex().isValid())
        ui_->table_view_ref->selectRow(0);
}

// ---- OK and Cancel ---------------------------------------------------------------

void TargetController::OK_but() {
    // A target that has no file yet is new, also after a save that failed.
    const bool is_new = use_this_target_index_ < 0 || saving_new_target_;
    engine_.build_target_list();
    switch (valid_entries(is_new)) {
    case 0: break;
    case tw::ERR_INVALID_NAME: return show_error(same_name_s);
    default: return show_error(left_blank_s);
    }

    // The new record is built aside and replaces tr_temp only when the whole
    // of it could be built: tr_temp never holds a half-built target.
    tw::TargetRecord built{};
    engine_.init_target(built);
    built.encoding = engine_.tr_temp.encoding;
    built.is_hexa = engine_.tr_temp.is_hexa;
    if (const u64 code = set_target_from_widget(built); code != 0) {
        engine_.clear_target_buffer(built);
        if (code != tw::ERR_INVALID_NAME) {
            const QString detail = string_field_->refusal_detail();
            if (detail.isEmpty()) return show_error(cannot_build_s);
            return alerts_.show_alert(window_, text(error_title_s), text(cannot_build_s) + u'\n' + detail);
        }
        // The second line says how to search for the character itself.
        return alerts_.show_alert(window_, text(error_title_s),
                                  text(not_begin_or_end_by_s) + u'\n' + text(wildcard_option_on_s));
    }
    // The forms after the search string, built again for the string as it
    // is now.
    if (!forms_into(built)) {
        engine_.clear_target_buffer(built);
        return;
    }
    engine_.take_target(engine_.tr_temp, built);

    if (is_new) {
        u64 number = 0;
        if (engine_.next_target_number(&number) != 0) return show_error(missing_currupted_s);
        use_this_target_index_ = static_cast<tw::i64>(number);
        saving_new_target_ = true;
    }
    // A new target never replaces a file that another target holds.
    if (engine_.save_target_file(static_cast<u64>(use_this_target_index_), engine_.tr_temp,
                                 !saving_new_target_) != 0)
        return show_error(cannot_save_s);
    saving_new_target_ = false;
    if (engine_.build_target_list() != 0) return show_error(missing_currupted_s);
    emit target_list_changed();
    current_target_refused_ = false;
    emit target_stored(use_this_target_index_);
    if (current_target_refused_) return show_error(cannot_enable_s);
    window_->close();
}

void TargetController::Cancel_but() { window_->close(); }

// ---- Items: Add, Remove, Info ----------------------------------------------------

void TargetController::Add_but() {
    if (target_selection_panel_) {
        target_selection_panel_->raise();
        return;
    }
    OpenPanelOptions options;
    options.title = text(add_items_title_s);
    options.choose_files = true;
    options.choose_folders = true;
    options.multiple = true;
    options.show_hidden = show_hidden_ref_->isChecked();
    target_selection_panel_ = begin_open_panel_sheet(
        window_, options, [this](const QStringList& paths) { target_selection_panel_did_end(paths); });
    target_selection_panel_->set_accessory_widget(acc_view_ref_);
    acc_view_ref_->show();
}

void TargetController::Hidden_chk_box() {
    if (target_selection_panel_)
        target_selection_panel_->set_shows_hidden_files(show_hidden_ref_->isChecked());
}

void TargetController::Package_chk_box() {
    // Read when the chooser ends: a chosen symbolic link then adds the file
    // or folder it points to rather than the link itself.
}

void TargetController::target_selection_panel_did_end(const QStringList& paths) {
    // The accessory view goes back to the editor before the panel goes.
    acc_view_ref_->hide();
    acc_view_ref_->setParent(window_);
    QList<Nodes> rows;
    for (QString path : paths) {
        if (show_package_ref_->isChecked() && QFileInfo(path).isSymLink()) {
            const QString target = QFileInfo(path).canonicalFilePath();
            if (!target.isEmpty()) path = target;
        }
        if (QFile::encodeName(path).isEmpty()) continue;
        const u64 kind = tw::get_type(QFile::encodeName(path).constData());
        if (kind != tw::TW_TYPE_FILE && kind != tw::TW_TYPE_FOLDER) continue;
        rows.append(nodes_->node_for_path(path));
    }
    nodes_->append(rows);
    update_UI();
    target_selection_panel_ = nullptr;
}

void TargetController::Remove_but() {
    const QModelIndex current = ui_->table_view_ref->currentIndex();
    if (!current.isValid()) return beep();
    nodes_->remove(current.row());
    update_UI();
}

void TargetController::Info_but() {
    const QModelIndex current = ui_->table_view_ref->currentIndex();
    if (!current.isValid()) return beep();
    begin_alert_sheet(window_, text(item_pathname_s), nodes_->nodes().at(current.row()).path,
                      text(ok_s), text(cancel_s), QString());
}

// ---- The key filter, the window ---------------------------------------------------

bool TargetController::eventFilter(QObject* watched, QEvent* event) {
    // The search-string field checks the other keys of its view itself.
    if (watched == ui_->string_to_search_ref && event->type() == QEvent::KeyPress)
        return return_key_pressed(static_cast<QKeyEvent*>(event));
    if (watched == window_ && event->type() == QEvent::Close) window_will_close();
    return QObject::eventFilter(watched, event);
}

bool TargetController::return_key_pressed(const QKeyEvent* key) {
    // Return (or Enter) alone in the search string does what it does in
    // every field of a dialog: it presses the default button, OK, which
    // checks the target before it saves anything. It never types a line
    // feed, which would go unseen into the pattern; Ctrl+Return (or
    // Shift+Return) types one, shown by its pilcrow.
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    if (ui_->ok_but_ref->isEnabled()) ui_->ok_but_ref->click();
    return true;
}

void TargetController::set_window_color(const QColor& color) {
    paint_window_background(window_, color, false);
}

QColor TargetController::window_background() const { return window_background_of(window_); }

void TargetController::current_target_refused() { current_target_refused_ = true; }

}  // namespace tw::ui
