// Window colours: the interface of a window whose background the colour
// commands set, and the one way every window paints its background.
#pragma once

#include <QColor>

class QWidget;

namespace tw::ui {

// A window whose background the colour commands set.
class ColoredWindow {
public:
    virtual ~ColoredWindow() = default;
    virtual void set_window_color(const QColor& color) = 0;
    virtual QColor window_background() const = 0;
};

// Gives `window` a background of `color`. A visible window is painted
// again at once when `repaint_now`, else at its next update.
void paint_window_background(QWidget* window, const QColor& color, bool repaint_now);
QColor window_background_of(const QWidget* window);

}  // namespace tw::ui
