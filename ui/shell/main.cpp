// Trawlex: start-up and shutdown of the desktop application.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>
#include <vector>

#include "engine/tw.h"
#include "ui/toolkit/AlertController.h"
#include "ui/shell/command_line.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/MenuController.h"
#include "ui/preferences/PrefrencesController.h"
#include "ui/search/SearchController.h"
#include "ui/target_editor/TargetController.h"
#include "ui/viewer/ViewerController.h"
#include "ui/shell/quit_signals.h"
#include "ui/shell/single_instance.h"
#include "ui/toolkit/app_paths.h"

int main(int argc, char** argv) {
    // The command line is read before the application object exists, so that
    // --help, --version and a refused argument need no display and reach no
    // running instance.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    const int language = tw::ui::language_from_preferred(tw::ui::preferred_languages());
    const tw::ui::CommandLine command = tw::ui::parse_command_line(arguments, language);
    switch (command.action) {
    case tw::ui::CommandLine::Action::Help:
        std::fputs(tw::ui::usage_text(language).toLocal8Bit().constData(), stdout);
        return 0;
    case tw::ui::CommandLine::Action::Version:
        std::fputs("trawlex (Trawlex) " TRAWLEX_VERSION "\n", stdout);
        return 0;
    case tw::ui::CommandLine::Action::Refuse:
        std::fputs(command.error.toLocal8Bit().constData(), stderr);
        return 2;
    case tw::ui::CommandLine::Action::Run: break;
    }
    // The application object sees the program's name and Qt's own options
    // only: no file name can pass for one of them.
    std::vector<QByteArray> qt_arguments{QByteArray(argv[0])};
    for (const QString& a : command.qt_arguments) qt_arguments.push_back(a.toLocal8Bit());
    std::vector<char*> qt_argv;
    for (QByteArray& a : qt_arguments) qt_argv.push_back(a.data());
    qt_argv.push_back(nullptr);
    int qt_argc = static_cast<int>(qt_arguments.size());
    QApplication app(qt_argc, qt_argv.data());
    // Only closing the main window ends the application: the target editor
    // may be the one visible window while the others are hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    tw::ui::set_application_identity();
    tw::ui::init_resources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/appl_icon.rsrc.icns")));

    // Files and folders handed over on the command line.
    QStringList handed;
    for (const QString& argument : command.items) handed.append(QFileInfo(argument).absoluteFilePath());

    // A running instance takes the files instead, and this one ends.
    tw::ui::SingleInstance instance;
    if (instance.forward_to_running_instance(handed)) return 0;

    tw::ui::QuitOnSignals quit_on_signals;

    const QString resource_dir = tw::ui::resource_folder();
    const QString application_dir =
        tw::ui::application_folder(QCoreApplication::applicationDirPath());
    tw::ui::prepare_resource_folder(resource_dir, application_dir);

    tw::Engine engine;
    engine.resource_dir_pathname_ptr = QFile::encodeName(resource_dir).toStdString();
    engine.bundle_dir_pathname_ptr = QFile::encodeName(application_dir).toStdString();

    // A search still running at quit is stopped, and its thread waited
    // for, before anything releases the engine's buffers.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app,
                     [&engine] { engine.stop_and_join_search(); });

    tw::ui::MenuController menu_controller(engine);
    // Every way of quitting (Quit, closing the main window, a signal, the
    // end of the session) leaves the main loop through quit(), which emits
    // aboutToQuit before the loop returns.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &menu_controller,
                     &tw::ui::MenuController::application_should_terminate);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &menu_controller,
                     [&menu_controller](QSessionManager&) { menu_controller.save_settings_now(); });

    // Qt's own texts (standard buttons, file panels) are French before
    // any window or alert shows.
    menu_controller.set_language();
    tw::ui::install_translations(app, menu_controller.language());
    if (!menu_controller.init()) {
        menu_controller.application_should_terminate();
        return 0;
    }

    tw::ui::MainWindow main_window;
    menu_controller.awake_from_nib(&main_window);
    // The found viewer: its own top-level window, shown when a search ends.
    tw::ui::ViewerController viewer_controller(engine);
    viewer_controller.set_menu_controller(&menu_controller);
    menu_controller.set_viewer_controller(&viewer_controller);
    menu_controller.register_colored_window(&viewer_controller);
    bool use_color = false;
    const auto color_at_start = menu_controller.load_default_color(&use_color);
    if (use_color && color_at_start) viewer_controller.set_window_color(*color_at_start);
    // The search window: the main window's central area.
    tw::ui::AlertController alert_controller;
    tw::ui::SearchController search_controller(engine, alert_controller, &viewer_controller,
                                               &main_window);
    search_controller.install_in(&main_window);
    search_controller.set_menu_controller(&menu_controller);
    menu_controller.set_search_controller(&search_controller);
    // The target editor: its own top-level window.
    tw::ui::TargetController target_controller(engine, alert_controller);
    target_controller.set_menu_controller(&menu_controller);
    target_controller.set_search_controller(&search_controller);
    target_controller.set_viewer_controller(&viewer_controller);
    menu_controller.register_colored_window(&target_controller);
    if (use_color && color_at_start) target_controller.set_window_color(*color_at_start);
    search_controller.set_target_editor(&target_controller);
    menu_controller.set_target_controller(&target_controller);
    menu_controller.build_special_menu();
    // The preferences window, brought up by Preferences… (Ctrl+,).
    tw::ui::PrefrencesController preferences_controller(engine, alert_controller);
    preferences_controller.set_search_controller(&search_controller);
    menu_controller.register_colored_window(&preferences_controller);
    if (use_color && color_at_start) preferences_controller.set_window_color(*color_at_start);
    menu_controller.set_preferences_opener(
        [&preferences_controller] { preferences_controller.show_window(); });
    menu_controller.set_drop_items_receiver(&target_controller);
    viewer_controller.set_drop_handlers(
        [&target_controller](const QStringList& paths, tw::i64 index) {
            target_controller.show_target_window_index_of_target_drop_items(index, paths);
        },
        [&target_controller](const QString& text, tw::i64 index) {
            target_controller.show_target_window_index_of_target_drop_string(index, text);
        });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &search_controller,
                     [&search_controller] { search_controller.save_window_frame(); });
    main_window.show();
    // The window's start-up runs once the main loop does, so that its
    // start-up alert never holds up the single-instance server or the
    // signals.
    QTimer::singleShot(0, &search_controller, [&search_controller, &preferences_controller] {
        search_controller.awake_from_nib();
        // The previous run's result waits in the viewer, which stays hidden:
        // the search window keeps the front and the focus.
        search_controller.offer_last_result();
        // The window settles the progress texts of a first run: the
        // preferences show them as they are.
        preferences_controller.show_preferences_in_window();
    });

    QObject::connect(&instance, &tw::ui::SingleInstance::paths_received, &menu_controller,
                     [&menu_controller, &main_window](const QStringList& paths) {
                         for (const QString& p : paths) menu_controller.application_open_file(p);
                         main_window.raise();
                         main_window.activateWindow();
                     });
    instance.listen();
    for (const QString& path : handed) menu_controller.application_open_file(path);

    const int status = QApplication::exec();
    menu_controller.application_should_terminate();
    return status;
}
