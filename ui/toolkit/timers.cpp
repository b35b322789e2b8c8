#include "ui/toolkit/timers.h"

#include <cmath>

namespace tw::ui {
namespace {

int to_msec(double seconds) {
    return seconds <= 0 ? 0 : static_cast<int>(std::lround(seconds * 1000.0));
}

}  // namespace

QTimer* start_repeating_timer(QObject* owner, double seconds, std::function<void()> tick) {
    auto* timer = new QTimer(owner);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(to_msec(seconds));
    QObject::connect(timer, &QTimer::timeout, timer, std::move(tick));
    timer->start();
    return timer;
}

QTimer* start_one_shot_timer(QObject* owner, double seconds, std::function<void()> fire) {
    auto* timer = new QTimer(owner);
    timer->setSingleShot(true);
    timer->setInterval(to_msec(seconds));
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fire = std::move(fire)] {
        timer->deleteLater();
        fire();
    });
    timer->start();
    return timer;
}

void stop_timer(QPointer<QTimer>& timer) {
    if (!timer.isNull()) {
        timer->stop();
        timer->deleteLater();
    }
    timer = nullptr;
}

}  // namespace tw::ui
