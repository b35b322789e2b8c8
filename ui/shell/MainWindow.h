// The main window set: the application's main window with the main menu bar
// (application menu, window colour commands, Help). Its central area is
// where the search window's controls go.
#pragma once

#include <QColor>
#include <QMainWindow>
#include <memory>

#include "ui/toolkit/colored_window.h"

namespace Ui {
class MainWindow;
}

namespace tw::ui {

class MainWindow : public QMainWindow, public ColoredWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Ui::MainWindow* ui() const { return ui_.get(); }
    // Puts the search window's controls in the central area, in place of
    // the welcome icon and text.
    void set_search_area(QWidget* area);

    void set_window_color(const QColor& color) override;
    QColor window_background() const override;

protected:
    // Closing the main window ends the application.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::MainWindow> ui_;
};

}  // namespace tw::ui
