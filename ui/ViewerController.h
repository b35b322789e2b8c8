// The found viewer: steps through the found files and occurrences of the
// last search and shows the bytes around each occurrence.
#pragma once

#include <QColor>
#include <QObject>

namespace tw {
class Engine;
}

namespace tw::ui {

class ViewerController : public QObject {
    Q_OBJECT
public:
    explicit ViewerController(tw::Engine& engine, QObject* parent = nullptr);
    ~ViewerController() override;

    // Reads the result of the last search and shows its first occurrence.
    void show_view();
    // Empties the viewer and hides it (a search is about to start).
    void clear_view();
    void set_window_visible(bool visible);
    void set_window_color(const QColor& color);

private:
    tw::Engine& engine_;
};

}  // namespace tw::ui
