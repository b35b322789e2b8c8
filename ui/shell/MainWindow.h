// The main window set: the application's main window with the main menu bar
// (application menu, window colour commands, Help). Its central area is
// where the search window's controls go.
#pragma once

#include <QColor>
#include <QMainWindow>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace tw::ui {

// A window whose background the colour commands set.
class ColoredWindow {
public:
    virtual ~ColoredWindow() = default;
    virtual void set_window_color(const QColor& color) = 0;
    virtual QColor window_background() const = 0;
};

class MainWindow : public QMainWindow, public ColoredWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Ui::MainWindow* ui() const { return ui_.get(); }

    void set_window_color(const QColor& color) override;
    QColor window_background() const override;

protected:
    // Closing the main window ends the application.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::MainWindow> ui_;
};

}  // namespace tw::ui
