#include "ui/app/Application.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QSessionManager>
#include <QTimer>

#include "engine/tw.h"
#include "ui/app/wiring.h"
#include "ui/preferences/PrefrencesController.h"
#include "ui/search/SearchController.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/MenuController.h"
#include "ui/shell/quit_signals.h"
#include "ui/shell/single_instance.h"
#include "ui/target_editor/TargetController.h"
#include "ui/toolkit/AlertController.h"
#include "ui/toolkit/app_paths.h"
#include "ui/viewer/ViewerController.h"

namespace tw::ui {

Application::Application(QApplication& app, CommandLine command)
    : app_(app), command_(std::move(command)) {}

Application::~Application() = default;

int Application::run() {
    // Only closing the main window ends the application: the target editor
    // may be the one visible window while the others are hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    set_application_identity();
    init_resources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/appl_icon.rsrc.icns")));

    // Files and folders handed over on the command line.
    QStringList handed;
    for (const QString& argument : command_.items)
        handed.append(QFileInfo(argument).absoluteFilePath());

    // A running instance takes the files instead, and this one ends.
    instance_ = std::make_unique<SingleInstance>();
    if (instance_->forward_to_running_instance(handed)) return 0;

    quit_on_signals_ = std::make_unique<QuitOnSignals>();
    if (!start_windows()) return 0;

    connect(instance_.get(), &SingleInstance::paths_received, menu_.get(),
            [this](const QStringList& paths) {
                for (const QString& p : paths) menu_->application_open_file(p);
                main_window_->raise();
                main_window_->activateWindow();
            });
    instance_->listen();
    for (const QString& path : handed) menu_->application_open_file(path);

    const int status = QApplication::exec();
    menu_->application_should_terminate();
    return status;
}

bool Application::start_windows() {
    const QString resource_dir = resource_folder();
    const QString application_dir = application_folder(QCoreApplication::applicationDirPath());
    prepare_resource_folder(resource_dir, application_dir);

    engine_ = std::make_unique<tw::Engine>();
    tw::Engine& engine = *engine_;
    engine.resource_dir_pathname_ptr = QFile::encodeName(resource_dir).toStdString();
    engine.bundle_dir_pathname_ptr = QFile::encodeName(application_dir).toStdString();

    // A search still running at quit is stopped, and its thread waited
    // for, before anything releases the engine's buffers.
    connect(&app_, &QCoreApplication::aboutToQuit, &app_,
            [&engine] { engine.stop_and_join_search(); });

    menu_ = std::make_unique<MenuController>(engine);
    MenuController* menu = menu_.get();
    // Every way of quitting (Quit, closing the main window, a signal, the
    // end of the session) leaves the main loop through quit(), which emits
    // aboutToQuit before the loop returns.
    connect(&app_, &QCoreApplication::aboutToQuit, menu,
            &MenuController::application_should_terminate);
    connect(&app_, &QGuiApplication::commitDataRequest, menu,
            [menu](QSessionManager&) { menu->save_settings_now(); });

    // Qt's own texts (standard buttons, file panels) are French before
    // any window or alert shows.
    menu->set_language();
    install_translations(app_, menu->language());
    if (!menu->init()) {
        menu->application_should_terminate();
        return false;
    }

    main_window_ = std::make_unique<MainWindow>();
    menu->awake_from_nib(main_window_.get());
    // The found viewer: its own top-level window, shown when a search ends.
    viewer_ = std::make_unique<ViewerController>(engine);
    add_colored_window(*viewer_);
    // The search window: the main window's central area.
    alerts_ = std::make_unique<AlertController>();
    search_ = std::make_unique<SearchController>(engine, *alerts_, main_window_.get());
    main_window_->set_search_area(search_->widget());
    search_->restore_window_frame();
    // The target editor: its own top-level window.
    target_editor_ = std::make_unique<TargetController>(engine, *alerts_);
    add_colored_window(*target_editor_);
    // The preferences window, brought up by Preferences… (Ctrl+,).
    preferences_ = std::make_unique<PrefrencesController>(engine, *alerts_);
    add_colored_window(*preferences_);
    connect_windows();
    menu->build_special_menu();
    PrefrencesController* preferences = preferences_.get();
    menu->set_preferences_opener([preferences] { preferences->show_window(); });
    menu->set_drop_items_receiver(target_editor_.get());

    SearchController* search = search_.get();
    connect(&app_, &QCoreApplication::aboutToQuit, search, [search] { search->save_window_frame(); });
    main_window_->show();
    // The window's start-up runs once the main loop does, so that its
    // start-up alert never holds up the single-instance server or the
    // signals.
    ViewerController* viewer = viewer_.get();
    QTimer::singleShot(0, search, [search, viewer, preferences, menu] {
        search->awake_from_nib();
        // The previous run's result waits in the viewer, which stays hidden:
        // the search window keeps the front and the focus.
        search->offer_last_result(viewer->offer_last_result());
        // The window settles the progress texts of a first run: the
        // preferences show them as they are.
        preferences->show_preferences_in_window();
        // A settings file that could not be read whole is named once.
        menu->report_damaged_settings();
    });
    return true;
}

void Application::connect_windows() {
    connect_menu_and_viewer(*menu_, *viewer_);
    connect_search_to_viewer(*search_, *viewer_);
    connect_menu_and_search(*menu_, *search_);
    connect_editor_results(*target_editor_, menu_.get(), search_.get());
    arrange_windows_around_editor(*target_editor_, menu_.get(), search_.get(), viewer_.get());
    connect_to_target_editor(*search_, *target_editor_, target_editor_.get());
    connect_to_target_editor(*menu_, *target_editor_, target_editor_.get());
    connect_viewer_to_target_editor(*viewer_, *target_editor_);
    connect_preferences_to_search(*preferences_, *search_);
}

void Application::add_colored_window(ColoredWindow& window) {
    menu_->register_colored_window(&window);
    bool use_color = false;
    const auto color = menu_->load_default_color(&use_color);
    if (use_color && color) window.set_window_color(*color);
}

}  // namespace tw::ui
