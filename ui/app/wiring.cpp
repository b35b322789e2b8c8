#include "ui/app/wiring.h"

#include <memory>

#include "ui/preferences/PrefrencesController.h"
#include "ui/search/SearchController.h"
#include "ui/shell/MenuController.h"
#include "ui/target_editor/TargetController.h"
#include "ui/target_editor/TargetEditorEntry.h"
#include "ui/viewer/ViewerController.h"

namespace tw::ui {

void connect_search_to_viewer(SearchController& search, ViewerController& viewer) {
    QObject::connect(&search, &SearchController::live_result_begun, &viewer,
                     &ViewerController::begin_live_result);
    QObject::connect(&search, &SearchController::live_files_found, &viewer,
                     &ViewerController::add_live_files);
    QObject::connect(&search, &SearchController::live_result_ended, &viewer,
                     &ViewerController::end_live_result);
    QObject::connect(&search, &SearchController::result_ready, &viewer,
                     &ViewerController::show_result);
    QObject::connect(&search, &SearchController::result_cleared, &viewer,
                     &ViewerController::clear_view);
}

void connect_to_target_editor(SearchController& search, TargetEditorEntry& editor,
                              QObject* context) {
    TargetEditorEntry* e = &editor;
    QObject::connect(&search, &SearchController::new_target_asked, context,
                     [e] { e->show_target_window(); });
    QObject::connect(&search, &SearchController::new_target_with_items_asked, context,
                     [e](const QStringList& paths) { e->show_target_window_drop_items(paths); });
    QObject::connect(&search, &SearchController::new_target_with_string_asked, context,
                     [e](const QString& text) { e->show_target_window_drop_string(text); });
    QObject::connect(&search, &SearchController::target_with_items_asked, context,
                     [e](tw::i64 index, const QStringList& paths) {
                         e->show_target_window_index_of_target_drop_items(index, paths);
                     });
    QObject::connect(&search, &SearchController::target_with_string_asked, context,
                     [e](tw::i64 index, const QString& text) {
                         e->show_target_window_index_of_target_drop_string(index, text);
                     });
}

void connect_to_target_editor(MenuController& menu, TargetEditorEntry& editor, QObject* context) {
    TargetEditorEntry* e = &editor;
    QObject::connect(&menu, &MenuController::new_target_asked, context,
                     [e] { e->show_target_window(); });
    QObject::connect(&menu, &MenuController::edit_target_asked, context,
                     [e](tw::i64 index) { e->show_target_window_index_of_target(index); });
}

void connect_viewer_to_target_editor(ViewerController& viewer, TargetController& editor) {
    QObject::connect(&viewer, &ViewerController::items_dropped_on_target, &editor,
                     [&editor](const QStringList& paths, tw::i64 index) {
                         editor.show_target_window_index_of_target_drop_items(index, paths);
                     });
    QObject::connect(&viewer, &ViewerController::string_dropped_on_target, &editor,
                     [&editor](const QString& text, tw::i64 index) {
                         editor.show_target_window_index_of_target_drop_string(index, text);
                     });
}

void connect_menu_and_search(MenuController& menu, SearchController& search) {
    QObject::connect(&search, &SearchController::special_menu_active_changed, &menu,
                     &MenuController::make_special_menu_active);
    QObject::connect(&menu, &MenuController::current_target_changed, &search,
                     &SearchController::make_ready_to_search);
    QObject::connect(&menu, &MenuController::target_list_changed, &search,
                     &SearchController::target_list_changed);
}

void connect_menu_and_viewer(MenuController& menu, ViewerController& viewer) {
    QObject::connect(&menu, &MenuController::viewer_asked, &viewer,
                     [&viewer] { viewer.bring_to_front(); });
    QObject::connect(&menu, &MenuController::launchers_changed, &viewer,
                     &ViewerController::update_launcher_popup);
    QObject::connect(&viewer, &ViewerController::add_application_asked, &menu,
                     &MenuController::get_new_launcher_application);
    menu.add_viewer_action();
}

void connect_editor_results(TargetController& editor, MenuController* menu,
                            SearchController* search) {
    if (menu != nullptr)
        QObject::connect(&editor, &TargetController::target_list_changed, menu,
                         &MenuController::update_target_submenu);
    if (search == nullptr) return;
    QObject::connect(&editor, &TargetController::target_list_changed, search,
                     &SearchController::target_list_changed);
    QObject::connect(&editor, &TargetController::target_stored, search,
                     [&editor, search](tw::i64 index) {
                         if (!search->target_saved(index)) editor.current_target_refused();
                     });
}

void connect_preferences_to_search(PrefrencesController& preferences, SearchController& search) {
    QObject::connect(&preferences, &PrefrencesController::preferences_changed, &search,
                     &SearchController::reset_widget);
}

void arrange_windows_around_editor(TargetController& editor, MenuController* menu,
                                   SearchController* search, ViewerController* viewer) {
    // Whether the viewer was on screen when the editor came up.
    auto viewer_was_visible = std::make_shared<bool>(false);
    QObject::connect(&editor, &TargetController::editor_opened, &editor,
                     [menu, search, viewer, viewer_was_visible] {
                         if (menu != nullptr) menu->hold_special_menu(true);
                         if (search != nullptr) search->set_window_visible(false);
                         if (viewer != nullptr) {
                             *viewer_was_visible = viewer->window()->isVisible();
                             viewer->set_window_visible(false);
                         }
                     });
    QObject::connect(&editor, &TargetController::editor_closed, &editor,
                     [menu, search, viewer, viewer_was_visible] {
                         // The menu takes the state it was asked for while the
                         // editor was up (a search that ended meanwhile asked
                         // for it to be enabled).
                         if (menu != nullptr) menu->hold_special_menu(false);
                         if (search != nullptr) search->set_window_visible(true);
                         if (viewer != nullptr && *viewer_was_visible)
                             viewer->set_window_visible(true);
                     });
}

}  // namespace tw::ui
