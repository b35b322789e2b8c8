#include "ui/toolkit/panels.h"

#include <QAbstractItemView>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QItemSelectionModel>

namespace tw::ui {

OpenPanel::OpenPanel(QWidget* parent, const OpenPanelOptions& options)
    : QFileDialog(parent), options_(options) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    if (!options.title.isEmpty()) setWindowTitle(options.title);
    setDirectory(options.directory.isEmpty() ? QDir::homePath() : options.directory);
    if (options.choose_folders) {
        // Directory mode lets a folder be accepted; files stay visible and
        // selectable, and accept() takes whatever is selected.
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly, !options.choose_files);
    } else {
        setFileMode(options.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    const auto mode = options.multiple ? QAbstractItemView::ExtendedSelection
                                       : QAbstractItemView::SingleSelection;
    for (QAbstractItemView* view : findChildren<QAbstractItemView*>())
        if (view->objectName() == QLatin1String("listView") ||
            view->objectName() == QLatin1String("treeView"))
            view->setSelectionMode(mode);
    set_shows_hidden_files(options.show_hidden);
}

void OpenPanel::set_shows_hidden_files(bool show) {
    QDir::Filters f = filter();
    if (f == QDir::NoFilter) f = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs;
    setFilter(show ? (f | QDir::Hidden) : (f & ~QDir::Hidden));
}

bool OpenPanel::shows_hidden_files() const { return filter().testFlag(QDir::Hidden); }

void OpenPanel::set_accessory_widget(QWidget* widget) {
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(widget, grid->rowCount(), 0, 1, grid->columnCount());
}

QStringList OpenPanel::selected_paths() const {
    QStringList paths;
    for (const QAbstractItemView* view : findChildren<QAbstractItemView*>()) {
        if (view->objectName() != QLatin1String("listView") || view->selectionModel() == nullptr)
            continue;
        for (const QModelIndex& index : view->selectionModel()->selectedRows())
            paths.append(index.data(QFileSystemModel::FilePathRole).toString());
    }
    return paths;
}

void OpenPanel::accept() {
    if (!options_.choose_folders) {
        QFileDialog::accept();
        chosen_ = selectedFiles();
        return;
    }
    QStringList paths = selected_paths();
    if (paths.isEmpty()) paths = selectedFiles();
    paths.removeIf([this](const QString& p) {
        const QFileInfo info(p);
        return !info.exists() || (info.isDir() ? !options_.choose_folders
                                               : !options_.choose_files);
    });
    if (paths.isEmpty()) return;
    if (!options_.multiple) paths = paths.mid(0, 1);
    chosen_ = paths;
    QDialog::accept();  // the selection is complete: no further checks of QFileDialog
}

QStringList run_open_panel(QWidget* parent, const OpenPanelOptions& options) {
    OpenPanel panel(parent, options);
    if (panel.exec() != QDialog::Accepted) return {};
    return panel.filenames();
}

OpenPanel* begin_open_panel_sheet(QWidget* parent, const OpenPanelOptions& options,
                                  std::function<void(const QStringList&)> did_end) {
    auto* panel = new OpenPanel(parent != nullptr ? parent->window() : nullptr, options);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(panel, &QDialog::finished, panel,
                     [panel, did_end = std::move(did_end)](int result) {
                         if (did_end)
                             did_end(result == QDialog::Accepted ? panel->filenames()
                                                                 : QStringList());
                     });
    panel->open();
    return panel;
}

QString run_save_panel(QWidget* parent, const QString& title, const QString& directory,
                       const QString& file_name) {
    QFileDialog panel(parent, title, directory);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setFileMode(QFileDialog::AnyFile);
    panel.selectFile(QDir(directory).filePath(file_name));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty()) return {};
    return panel.selectedFiles().first();
}

QPointer<QColorDialog> ColorPanel::dialog_;
std::function<void(const QColor&)> ColorPanel::on_change_;

QColorDialog* ColorPanel::dialog() {
    if (dialog_.isNull()) {
        dialog_ = new QColorDialog();
        dialog_->setAttribute(Qt::WA_DeleteOnClose, false);
        dialog_->setOption(QColorDialog::NoButtons, true);
        dialog_->setModal(false);
        // Parentless, so it goes with the application.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, dialog_, &QObject::deleteLater);
        QObject::connect(dialog_, &QColorDialog::currentColorChanged, dialog_,
                         [](const QColor& c) {
                             if (on_change_ && c.isValid()) on_change_(c);
                         });
    }
    return dialog_;
}

void ColorPanel::show(const QColor& initial, std::function<void(const QColor&)> on_change) {
    QColorDialog* d = dialog();
    on_change_ = {};  // setting the initial colour is not a user's change
    if (initial.isValid()) d->setCurrentColor(initial);
    on_change_ = std::move(on_change);
    d->show();
    d->raise();
    d->activateWindow();
}

QColor ColorPanel::color() { return dialog()->currentColor(); }

}  // namespace tw::ui
