// The found viewer's context menu, on the list's rows and in the excerpt:
// open the current file (with the launcher list's applications or the
// desktop's default one), show it in the file manager, and copy its path,
// the occurrence's offset or bytes, or the excerpt's selection. Each action
// has a shortcut; Ctrl+C in the list copies the row's path.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableView>
#include <algorithm>
#include <functional>

#include "engine/tw.h"
#include "ui/common/search_description.h"
#include "ui/common/shared_texts.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/desktop_entry.h"
#include "ui/toolkit/workspace.h"
#include "ui/viewer/FoundListModel.h"
#include "ui/viewer/ViewerController.h"
#include "ui_ViewerController.h"

namespace tw::ui {
namespace {

const char* const open_s[2] = {"Open", "Ouvrir"};
const char* const open_with_s[2] = {"Open With", "Ouvrir avec"};
const char* const open_default_s[2] = {"Open with Default Application",
                                       "Ouvrir avec l'application par défaut"};
const char* const reveal_s[2] = {"Show in File Manager", "Montrer dans le gestionnaire de fichiers"};
const char* const copy_path_s[2] = {"Copy Path", "Copier le chemin"};
const char* const copy_offset_s[2] = {"Copy Offset (Decimal)", "Copier la position (décimale)"};
const char* const copy_offset_hexa_s[2] = {"Copy Offset (Hexadecimal)",
                                           "Copier la position (hexadécimale)"};
const char* const copy_bytes_s[2] = {"Copy Occurrence as Hexadecimal",
                                     "Copier l'occurrence en hexadécimal"};
const char* const copy_selection_s[2] = {"Copy Selection", "Copier la sélection"};
const char* const go_to_offset_s[2] = {"Go to Offset...", "Aller à la position..."};
const char* const add_application_s[2] = {"Add application...", "Ajouter une application..."};
const char* const cannot_open_s[2] = {"Cannot open the file: %1", "Impossible d'ouvrir le fichier : %1"};

void copy_text(const QString& text) { QApplication::clipboard()->setText(text); }

}  // namespace

void ViewerController::setup_context_actions() {
    const int l = engine_.language != 0 ? 1 : 0;
    const struct {
        const char* name;
        const char* const* title;
        QKeySequence key;
        std::function<void()> run;
    } actions[] = {
        {"open_action", open_s, QKeySequence(Qt::CTRL | Qt::Key_O), [this] { Open_action(); }},
        {"open_default_action", open_default_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
         [this] { Open_default_action(); }},
        {"reveal_action", reveal_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
         [this] { Show_in_finder_but(); }},
        {"copy_path_action", copy_path_s, QKeySequence(Qt::CTRL | Qt::Key_C), [this] { Copy_path_action(); }},
        {"copy_offset_action", copy_offset_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
         [this] { Copy_offset_action(false); }},
        {"copy_offset_hexa_action", copy_offset_hexa_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H),
         [this] { Copy_offset_action(true); }},
        {"copy_bytes_action", copy_bytes_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B),
         [this] { Copy_occurrence_action(); }},
        {"copy_selection_action", copy_selection_s, QKeySequence(QKeySequence::Copy),
         [this] { Copy_selection_action(); }},
        {"go_to_offset_action", go_to_offset_s, QKeySequence(Qt::CTRL | Qt::Key_G),
         [this] { Go_to_offset_action(); }},
    };
    for (const auto& a : actions) {
        auto* action = new QAction(QString::fromUtf8(a.title[l]), window_);
        action->setObjectName(QLatin1String(a.name));
        action->setShortcut(a.key);
        connect(action, &QAction::triggered, this, a.run);
        const QLatin1String name(a.name);
        if (name == QLatin1String("copy_path_action")) {
            // Ctrl+C copies the row's path in the list; the text area and
            // the fields keep their own copy.
            action->setShortcutContext(Qt::WidgetShortcut);
            ui_->found_list_ref->addAction(action);
        } else if (name == QLatin1String("copy_selection_action")) {
            action->setShortcutContext(Qt::WidgetShortcut);
            ui_->text_viewer_ref->addAction(action);
        } else {
            action->setShortcutContext(Qt::WindowShortcut);
            window_->addAction(action);
        }
    }
    QTableView* list = ui_->found_list_ref;
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
        // The row under the pointer becomes the current file first.
        const QModelIndex index = list->indexAt(at);
        if (index.isValid()) list->setCurrentIndex(index);
        if (display_state_ == kViewNothing) return;
        QMenu* menu = make_context_menu(false, list);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(list->viewport()->mapToGlobal(at));
    });
    connect(list, &QAbstractItemView::activated, this, [this] { Open_action(); });
    QPlainTextEdit* area = ui_->text_viewer_ref;
    area->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(area, &QWidget::customContextMenuRequested, this, [this, area](const QPoint& at) {
        QMenu* menu = make_context_menu(true, area);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(area->viewport()->mapToGlobal(at));
    });
}

QAction* ViewerController::viewer_action(const char* name) const {
    return window_->findChild<QAction*>(QLatin1String(name));
}

QMenu* ViewerController::make_context_menu(bool in_excerpt, QWidget* parent) {
    const int l = engine_.language != 0 ? 1 : 0;
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("viewer_context_menu"));
    const bool file = display_state_ != kViewNothing && engine_.sur.file_nb > 0;
    const bool occurrence = display_state_ == kViewOccurrence;
    const auto add = [&](const char* name, bool enabled) {
        QAction* action = viewer_action(name);
        action->setEnabled(enabled);
        menu->addAction(action);
    };
    add("open_action", file);
    QMenu* with = menu->addMenu(QString::fromUtf8(open_with_s[l]));
    with->setObjectName(QStringLiteral("open_with_menu"));
    with->setEnabled(file);
    // Bounded as the pull-down is: a list of 200,000 applications would
    // make the menu itself the slow part.
    qsizetype total = 0;
    const QStringList paths = tw::ui::launcher_paths(engine_.br, kLauncherMenuLimit, &total);
    for (const QString& path : paths) {
        QAction* item = with->addAction(launcher_display_name(path));
        item->setToolTip(path);
        connect(item, &QAction::triggered, this, [this, path] { open_with(path); });
    }
    if (total > paths.size())
        with->addAction(launcher_overflow_text(paths.size(), total, engine_.language))->setEnabled(false);
    with->addSeparator();
    connect(with->addAction(QString::fromUtf8(add_application_s[l])), &QAction::triggered, this,
            [this] { emit add_application_asked(); });
    add("open_default_action", file);
    add("reveal_action", file);
    menu->addSeparator();
    if (in_excerpt) {
        // There Ctrl+C copies the selection: the path is copied from the
        // menu alone, and its entry shows no key.
        QAction* path = menu->addAction(viewer_action("copy_path_action")->text());
        path->setObjectName(QStringLiteral("copy_path_excerpt_action"));
        path->setEnabled(file);
        connect(path, &QAction::triggered, this, [this] { Copy_path_action(); });
    } else {
        add("copy_path_action", file);
    }
    add("copy_offset_action", occurrence);
    add("copy_offset_hexa_action", occurrence);
    add("copy_bytes_action", occurrence);
    if (in_excerpt) {
        add("copy_selection_action", ui_->text_viewer_ref->textCursor().hasSelection());
        menu->addSeparator();
        add("go_to_offset_action", occurrence);
    }
    return menu;
}

void ViewerController::open_with(const QString& application) {
    if (display_state_ == kViewNothing || engine_.sur.file_nb == 0) return beep();
    if (!open_file_with_application(found_file_path(), application)) open_failed(application);
}

void ViewerController::open_failed(const QString& why) {
    const int l = engine_.language != 0 ? 1 : 0;
    begin_alert_sheet(window_, text_in(shared_texts::error_title_s, l),
                      QString::fromUtf8(cannot_open_s[l]).arg(why), text_in(shared_texts::ok_s, l), {}, {});
}

void ViewerController::Open_action() {
    const QStringList applications = tw::ui::launcher_paths(engine_.br, 1, nullptr);
    if (applications.isEmpty()) return Open_default_action();
    open_with(applications.first());
}

void ViewerController::Open_default_action() {
    if (display_state_ == kViewNothing || engine_.sur.file_nb == 0) return beep();
    if (const auto why = launch_default_application(found_file_path())) open_failed(*why);
}

void ViewerController::Copy_path_action() {
    const QByteArray path = found_file_path();
    if (path.isEmpty() || display_state_ == kViewNothing) return beep();
    copy_text(QFile::decodeName(path));
}

void ViewerController::Copy_offset_action(bool hexadecimal) {
    if (display_state_ != kViewOccurrence) return beep();
    const tw::u64 offset = engine_.sur.occ_offset;
    copy_text(hexadecimal ? QStringLiteral("0x") + QString::number(offset, 16).toUpper()
                          : QString::number(offset));
}

void ViewerController::Copy_occurrence_action() {
    if (display_state_ != kViewOccurrence) return beep();
    // The bytes as the file holds them (a wildcard's or another case's too),
    // as far as the excerpt reaches.
    const tw::SummaryRecord& sur = engine_.sur;
    const tw::u64 len = std::min<tw::u64>(sur.excerpt_len, tw::TW_EXCERPT_SIZE);
    const tw::u64 begin = std::min<tw::u64>(sur.excerpt_occ_pos, len);
    const tw::u64 end = begin + std::min<tw::u64>(sur.excerpt_mark_len, len - begin);
    copy_text(search_bytes_as_hexa(
        std::string(reinterpret_cast<const char*>(sur.excerpt) + begin, end - begin), 0));
}

void ViewerController::Copy_selection_action() {
    if (!ui_->text_viewer_ref->textCursor().hasSelection()) return beep();
    ui_->text_viewer_ref->copy();
}

}  // namespace tw::ui
