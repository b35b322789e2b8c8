// The application: makes the windows and the services they share (the
// engine with the current target and the result, the language, the window
// colours, the alerts), connects the windows' requests to the windows that
// answer them, and runs them until the application quits.
#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

#include "ui/shell/command_line.h"

class QApplication;

namespace tw {
class Engine;
}

namespace tw::ui {

class AlertController;
class ColoredWindow;
class MainWindow;
class MenuController;
class PrefrencesController;
class QuitOnSignals;
class SearchController;
class SingleInstance;
class TargetController;
class ViewerController;

class Application : public QObject {
    Q_OBJECT
public:
    // `command` is the accepted command line (its action is Run).
    Application(QApplication& app, CommandLine command);
    ~Application() override;

    // Hands the files to a running instance and ends, or starts the
    // windows and runs the main loop; the program's exit status.
    int run();

private:
    // Every window, made and connected; false when the engine cannot start.
    bool start_windows();
    void connect_windows();
    // A window that the colour commands reach, given the saved colour now.
    void add_colored_window(ColoredWindow& window);

    QApplication& app_;
    CommandLine command_;
    // Destroyed in the reverse order: the windows before the engine they use.
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<QuitOnSignals> quit_on_signals_;
    std::unique_ptr<tw::Engine> engine_;
    std::unique_ptr<MenuController> menu_;
    std::unique_ptr<MainWindow> main_window_;
    std::unique_ptr<ViewerController> viewer_;
    std::unique_ptr<AlertController> alerts_;
    std::unique_ptr<SearchController> search_;
    std::unique_ptr<TargetController> target_editor_;
    std::unique_ptr<PrefrencesController> preferences_;
};

}  // namespace tw::ui
