// Open, save and colour panels.
#pragma once

#include <QColor>
#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QColorDialog;

namespace tw::ui {

struct OpenPanelOptions {
    QString title;
    QString directory;          // empty: the user's home folder
    bool choose_files = true;
    bool choose_folders = false;
    bool multiple = false;
    bool show_hidden = false;
};

// An open panel that can choose files and folders together, several at
// once, and show or hide hidden files while it is open. It is never the
// desktop's native dialog, since that one chooses either files or folders.
class OpenPanel : public QFileDialog {
    Q_OBJECT
public:
    explicit OpenPanel(QWidget* parent, const OpenPanelOptions& options);

    void set_shows_hidden_files(bool show);
    bool shows_hidden_files() const;
    // Adds a widget below the panel's own controls (an accessory view).
    void set_accessory_widget(QWidget* widget);
    // The chosen paths once the panel has been accepted.
    QStringList filenames() const { return chosen_; }

    void accept() override;

private:
    QStringList selected_paths() const;

    OpenPanelOptions options_;
    QStringList chosen_;
};

// Runs an open panel application-modally; the chosen paths, or none when
// cancelled.
QStringList run_open_panel(QWidget* parent, const OpenPanelOptions& options);

// Shows an open panel as a sheet on the window of `parent`; returns at once.
// `did_end` receives the chosen paths (empty when cancelled). The panel
// deletes itself after it ends.
OpenPanel* begin_open_panel_sheet(QWidget* parent, const OpenPanelOptions& options,
                                  std::function<void(const QStringList&)> did_end);

// Runs a save panel in `directory` proposing `file_name`; the chosen path,
// or an empty string when cancelled.
QString run_save_panel(QWidget* parent, const QString& title, const QString& directory,
                       const QString& file_name);

// The shared, non-modal colour panel. Each change of its colour calls the
// action last given to show().
class ColorPanel {
public:
    static void show(const QColor& initial, std::function<void(const QColor&)> on_change);
    static QColor color();
    static QColorDialog* dialog();  // created on first use

private:
    static QPointer<QColorDialog> dialog_;
    static std::function<void(const QColor&)> on_change_;
};

}  // namespace tw::ui
