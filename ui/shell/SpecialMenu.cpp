// The Special menu: saving the search result as a report, the Target submenu
// (new, load, edit, delete a stored target) and the Launcher submenu (add or
// remove an application that opens found files), and its enabled state.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QStandardPaths>
#include <cstring>

#include "ui/common/shared_texts.h"
#include "ui/common/launcher_list.h"
#include "ui/common/search_description.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/MenuController.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/panels.h"

namespace tw::ui {

using shared_texts::error_title_s;
using shared_texts::ok_s;

namespace {

const char* const special_s[2] = {"Special", "Spécial"};
const char* const save_result_s[2] = {"Save search result as...",
                                      "Sauvegarder les occurrences sous..."};
const char* const target_s[2] = {"Target", "Canevas"};
const char* const launcher_s[2] = {"Launcher", "Lanceur"};
const char* const new_s[2] = {"New...", "Nouveau..."};
const char* const load_s[2] = {"Load", "Charger"};
const char* const edit_s[2] = {"Edit", "Editer"};
const char* const delete_s[2] = {"Delete", "Supprimer"};
const char* const add_application_s[2] = {"Add application...", "Ajouter une application..."};
const char* const remove_application_s[2] = {"Remove application", "Supprimer une application"};
const char* const edit_current_s[2] = {"Edit Current Target", "Editer le canevas courant"};

const char* const report_name_s[2] = {"Trawlex report", "Rapport Trawlex"};

const char* const delete_title_s[2] = {"DELETE TARGET", "SUPPRIMER LE CANEVAS"};
const char* const delete_other_s[2] = {"Do you realy want to delete the target \"%1\" ?",
                                       "Voulez-vous réellement supprimer le canevas \"%1\" ?"};
const char* const delete_current_s[2] = {"Do you realy want to delete the current target ?",
                                         "Voulez-vous réellement supprimer le canevas courrant ?"};
const char* const yes_s[2] = {"Yes", "Oui"};
const char* const no_s[2] = {"No", "Non"};
const char* const cannot_delete_s[2] = {"Cannot delete this target",
                                        "Impossible de supprimer ce canevas"};
const char* const cannot_update_s[2] = {"Cannot update internal files",
                                        "Impossible de mette à jour les fichiers internes"};
const char* const cannot_rebuild_s[2] = {"Cannot rebuild the target list",
                                         "Impossible de reconstruire la liste des canevas"};
const char* const cannot_enable_s[2] = {"Cannot enable the target",
                                        "Impossible d'activer le canevas"};

// The stored targets' names, in list order (the position is the number).
QStringList target_names(const tw::Engine& engine) {
    QStringList names;
    const char* name = engine.br.target_list;
    for (u64 i = 0; i < engine.nb_of_target_from_target_list(); ++i) {
        names.append(QString::fromUtf8(name));
        name += std::strlen(name) + 1;
    }
    return names;
}

// Fills `menu` with one item per title; choosing item i calls action(i).
void fill_menu(QMenu* menu, const QStringList& titles, const std::function<void(int)>& action) {
    menu->clear();
    for (int i = 0; i < titles.size(); ++i) {
        QAction* item = menu->addAction(titles[i]);
        QObject::connect(item, &QAction::triggered, menu, [action, i] { action(i); });
    }
}

}  // namespace

void MenuController::build_special_menu() {
    if (special_menu_ != nullptr) return;
    const int l = language();
    auto t = [l](const char* const (&pair)[2]) { return QString::fromUtf8(pair[l]); };
    special_menu_ = new QMenu(t(special_s), main_window_);
    special_menu_->setObjectName(QStringLiteral("special_menu"));
    save_result_item_ = special_menu_->addAction(t(save_result_s), this,
                                                 &MenuController::save_search_result);
    save_result_item_->setShortcut(QKeySequence::Save);

    target_menu_ = special_menu_->addMenu(t(target_s));
    new_target_item_ = target_menu_->addAction(t(new_s), this, &MenuController::get_new_target);
    new_target_item_->setShortcut(QKeySequence::New);
    load_menu_ = target_menu_->addMenu(t(load_s));
    edit_menu_ = target_menu_->addMenu(t(edit_s));
    delete_menu_ = target_menu_->addMenu(t(delete_s));

    launcher_menu_ = special_menu_->addMenu(t(launcher_s));
    launcher_item_ = launcher_menu_->menuAction();
    launcher_menu_->addAction(t(add_application_s), this,
                              &MenuController::get_new_launcher_application);
    remove_application_menu_ = launcher_menu_->addMenu(t(remove_application_s));

    // The shortcuts work from every window of the application.
    for (QAction* item : {save_result_item_, new_target_item_})
        item->setShortcutContext(Qt::ApplicationShortcut);
    if (main_window_ != nullptr) {
        // Editing the current target has no item of its own in the menu tree.
        auto* edit_current = new QAction(t(edit_current_s), main_window_);
        edit_current->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
        edit_current->setShortcutContext(Qt::ApplicationShortcut);
        connect(edit_current, &QAction::triggered, this, &MenuController::edit_current_target);
        main_window_->addAction(edit_current);
    }
    insert_menu_before_last(special_menu_);
    build_target_submenu();
    build_launcher_submenu();
    apply_special_menu_state();
}

void MenuController::build_target_submenu() {
    if (load_menu_ == nullptr || engine_.build_target_list() != 0) return;
    const QStringList names = target_names(engine_);
    fill_menu(load_menu_, names, [this](int i) { load_target_for_menu_item(i); });
    fill_menu(edit_menu_, names, [this](int i) { edit_target_for_menu_item(i); });
    fill_menu(delete_menu_, names, [this](int i) { delete_target_for_menu_item(i); });
}

void MenuController::update_target_submenu() { build_target_submenu(); }

void MenuController::build_launcher_submenu() {
    if (remove_application_menu_ == nullptr) return;
    // One pass over the list takes the paths shown and counts the others:
    // a list of any length fills the submenu at once.
    qsizetype total = 0;
    const QStringList paths = launcher_paths(engine_.br, kLauncherMenuLimit, &total);
    remove_application_menu_->clear();
    for (int i = 0; i < paths.size(); ++i) {
        QAction* item = remove_application_menu_->addAction(launcher_display_name(paths[i]));
        item->setToolTip(paths[i]);
        connect(item, &QAction::triggered, this, [this, i] { remove_application_for_menu_item(i); });
    }
    if (total > paths.size()) {
        QAction* more = remove_application_menu_->addAction(
            launcher_overflow_text(paths.size(), total, language()));
        more->setObjectName(QStringLiteral("launcher_overflow"));
        more->setEnabled(false);
    }
}

void MenuController::update_launcher_submenu() { build_launcher_submenu(); }

// ---- The enabled state ----------------------------------------------------------------

void MenuController::make_special_menu_active(bool active) {
    special_menu_is_active_ = active;
    apply_special_menu_state();
}

void MenuController::hold_special_menu(bool hold) {
    special_menu_held_ = hold;
    apply_special_menu_state();
}

void MenuController::apply_special_menu_state() {
    if (special_menu_ == nullptr) return;
    const bool on = special_menu_is_active_ && !special_menu_held_;
    save_result_item_->setEnabled(on);
    launcher_item_->setEnabled(on);
    // "Target" and "New..." stay enabled: a target can be made at any time.
    for (QMenu* m : {load_menu_, edit_menu_, delete_menu_}) m->menuAction()->setEnabled(on);
}

// ---- Targets ---------------------------------------------------------------------------

void MenuController::show_menu_error(const char* const (&pair)[2]) {
    const int l = language();
    beep();
    run_alert(main_window_, QString::fromUtf8(error_title_s[l]), QString::fromUtf8(pair[l]),
              QString::fromUtf8(ok_s[l]));
}

void MenuController::get_new_target() { emit new_target_asked(); }

void MenuController::edit_current_target() {
    if (!special_menu_is_active_ || special_menu_held_ || engine_.cur_target_index < 0)
        return get_new_target();
    edit_target_for_menu_item(static_cast<int>(engine_.cur_target_index));
}

void MenuController::load_target_for_menu_item(int index) {
    if (engine_.make_target_current(static_cast<u64>(index)) != 0) {
        // The released record may never be searched.
        engine_.cur_target_index = -1;
        emit current_target_changed();
        return show_menu_error(cannot_enable_s);
    }
    emit current_target_changed();
}

void MenuController::edit_target_for_menu_item(int index) {
    emit edit_target_asked(index);
}

void MenuController::delete_target_for_menu_item(int index) {
    const int l = language();
    const i64 remembered = engine_.cur_target_index;
    const u64 count_before = engine_.nb_of_target_from_target_list();
    const QString title = QString::fromUtf8(delete_title_s[l]);
    int answer = 0;
    if (index == remembered) {
        answer = run_alert(main_window_, title, QString::fromUtf8(delete_current_s[l]),
                           QString::fromUtf8(yes_s[l]), QString::fromUtf8(no_s[l]));
    } else {
        const QString name = delete_menu_->actions().value(index) != nullptr
                                 ? delete_menu_->actions().at(index)->text()
                                 : QString();
        answer = run_alert(main_window_, title, QString::fromUtf8(delete_other_s[l]).arg(name),
                           QString::fromUtf8(yes_s[l]), QString(), QString::fromUtf8(no_s[l]));
    }
    if (answer != kAlertDefault) return;

    const bool deleted = engine_.delete_target_file(static_cast<u64>(index)) == 0;
    if (!deleted) {
        // Nothing was deleted: the current target stays as it was.
        show_menu_error(cannot_delete_s);
    } else {
        engine_.cur_target_index = count_before > 1 ? 0 : -1;
        if (engine_.decrease_target_files_postfix_index_from(static_cast<u64>(index)) != 0)
            show_menu_error(cannot_update_s);
    }
    if (engine_.build_target_list() != 0) show_menu_error(cannot_rebuild_s);
    // The first target becomes current; it is loaded when it is another
    // target than before, and also when the current one was deleted and the
    // next took its number.
    const i64 now = engine_.cur_target_index;
    if (deleted && (now != remembered || index == remembered)) {
        if (now < 0) {
            emit current_target_changed();
        } else if (engine_.make_target_current(static_cast<u64>(now)) == 0) {
            emit current_target_changed();
        } else {
            engine_.cur_target_index = -1;
            emit current_target_changed();
            show_menu_error(cannot_enable_s);
        }
    }
    emit target_list_changed();
    update_target_submenu();
}

// ---- The report and the launcher ---------------------------------------------------------

QString MenuController::report_file_name(const QString& target_name, int language) {
    QString name = target_name;
    // A file name holds neither "/" nor a NUL; control characters would only
    // make it hard to type.
    for (QChar& c : name)
        if (c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7F) c = u'_';
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QString::fromUtf8(report_name_s[language != 0 ? 1 : 0]);
    return name + QStringLiteral(".txt");
}

QString MenuController::report_folder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return desktop;
    return QDir::homePath();
}

void MenuController::save_search_result() {
    if (!special_menu_is_active_ || engine_.searching_now.load() != 0) return beep();
    // The name of the target that wrote the result, not the current one.
    const QString name = engine_.result_info.present
                             ? QString::fromStdString(engine_.result_info.target_name)
                             : QString::fromUtf8(engine_.tr.target_name != nullptr
                                                     ? engine_.tr.target_name
                                                     : "");
    const QString path = run_save_panel(main_window_, QString::fromUtf8(save_result_s[language()]),
                                        report_folder(), report_file_name(name, language()));
    if (path.isEmpty()) return;
    // The report says which search wrote the result.
    const int l = language();
    const auto describe = [l](const tw::ResultInfo& info) {
        std::vector<std::string> lines;
        for (const QString& line : describe_search(info, l)) lines.push_back(line.toStdString());
        return lines;
    };
    if (const u64 code =
            engine_.save_search_info_in_text_file(QFile::encodeName(path).constData(), describe);
        code != 0)
        // The alert names the file and why it could not be written.
        show_error(code, true);
}

void MenuController::remove_application_for_menu_item(int index) {
    const u64 code = engine_.delete_from_launcher(static_cast<u64>(index));
    if (code != 0) return show_error(code);
    emit launchers_changed();
    update_launcher_submenu();
}

}  // namespace tw::ui
