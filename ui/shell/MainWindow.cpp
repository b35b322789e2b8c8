#include "ui/shell/MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>

#include "ui_MainWindow.h"

namespace tw::ui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui_(new Ui::MainWindow) {
    ui_->setupUi(this);
    ui_->welcome_icon_ref->setPixmap(
        QIcon(QStringLiteral(":/appl_icon.rsrc.icns")).pixmap(96, 96));
}

MainWindow::~MainWindow() = default;

void MainWindow::set_search_area(QWidget* area) {
    ui_->welcome_icon_ref->hide();
    ui_->welcome_text_ref->hide();
    ui_->search_area_layout->addWidget(area);
}

void MainWindow::set_window_color(const QColor& color) {
    paint_window_background(this, color, true);
}

QColor MainWindow::window_background() const { return window_background_of(this); }

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    // exit(), not quit(): quit() would first ask every window to close, and
    // the viewer, which only hides when closed, would cancel the quit.
    QCoreApplication::exit(0);
}

}  // namespace tw::ui
