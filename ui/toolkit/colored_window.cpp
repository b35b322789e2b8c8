#include "ui/toolkit/colored_window.h"

#include <QPalette>
#include <QWidget>

namespace tw::ui {

void paint_window_background(QWidget* window, const QColor& color, bool repaint_now) {
    QPalette p = window->palette();
    p.setColor(QPalette::Window, color);
    window->setPalette(p);
    window->setAutoFillBackground(true);
    if (!window->isVisible()) return;
    if (repaint_now) window->repaint();
    else window->update();
}

QColor window_background_of(const QWidget* window) {
    return window->palette().color(QPalette::Window);
}

}  // namespace tw::ui
