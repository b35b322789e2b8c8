// How the windows talk: each window asks through its signals and is told
// through its public functions; these connect one window's requests to the
// window that answers them. The application makes every connection once;
// a test connects only the windows it builds.
#pragma once

class QObject;

namespace tw::ui {

class MenuController;
class PrefrencesController;
class SearchController;
class TargetController;
class TargetEditorEntry;
class ViewerController;

// The search window feeds the viewer: its list while a search runs, the
// result when the search ends, and no result when there is none to show.
void connect_search_to_viewer(SearchController& search, ViewerController& viewer);

// The search window and the menus ask the target editor for a new target,
// for a stored one, or for one with what was dropped. The connections end
// with `context`.
void connect_to_target_editor(SearchController& search, TargetEditorEntry& editor,
                              QObject* context);
void connect_to_target_editor(MenuController& menu, TargetEditorEntry& editor, QObject* context);

// Files and text dropped on the viewer open the current target in the
// editor with them.
void connect_viewer_to_target_editor(ViewerController& viewer, TargetController& editor);

// The Special menu follows the search window's state; a target loaded or
// deleted from the menu shows in the window.
void connect_menu_and_search(MenuController& menu, SearchController& search);

// The Found Viewer command brings the viewer up; "Add application..." of
// its launcher pull-down goes through the menus, and the pull-down follows
// the launcher list. Adds the Found Viewer command.
void connect_menu_and_viewer(MenuController& menu, ViewerController& viewer);

// What the target editor stores: the menus' and the search window's target
// lists follow, and the stored target becomes the current one (the editor
// stays open and says so when it cannot). Either may be absent.
void connect_editor_results(TargetController& editor, MenuController* menu,
                            SearchController* search);

// New preferences: the search window follows them.
void connect_preferences_to_search(PrefrencesController& preferences, SearchController& search);

// Who shows which window while the target editor is up: the search window
// and the viewer make way (hidden) and the Special menu is held; when it
// closes they come back, the viewer only when it was shown. Any of them may
// be absent.
void arrange_windows_around_editor(TargetController& editor, MenuController* menu,
                                   SearchController* search, ViewerController* viewer);

}  // namespace tw::ui
