#include "ui/ViewerController.h"

#include "engine/tw.h"

namespace tw::ui {

// The viewer's window comes with its own change; until then these entry
// points do nothing.
ViewerController::ViewerController(tw::Engine& engine, QObject* parent)
    : QObject(parent), engine_(engine) {}

ViewerController::~ViewerController() = default;

void ViewerController::show_view() {}
void ViewerController::clear_view() {}
void ViewerController::set_window_visible(bool) {}
void ViewerController::set_window_color(const QColor&) {}

}  // namespace tw::ui
