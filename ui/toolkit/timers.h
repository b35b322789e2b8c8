// Repeating and one-shot timers on the main thread.
#pragma once

#include <QPointer>
#include <QTimer>
#include <functional>

namespace tw::ui {

// A repeating timer of `seconds` (a real period) calling `tick` on the main
// thread until stopped. Owned by `owner`.
QTimer* start_repeating_timer(QObject* owner, double seconds, std::function<void()> tick);

// A one-shot timer of `seconds` calling `fire` once, then deleting itself.
QTimer* start_one_shot_timer(QObject* owner, double seconds, std::function<void()> fire);

// Stops and deletes the timer, and sets the pointer to none.
void stop_timer(QPointer<QTimer>& timer);

}  // namespace tw::ui
