// What the found viewer does with the current found file: open it with a
// launcher application, show its information, reveal it in the file
// manager; the window colour and dropped files and text.
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMetaMethod>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "ui/common/shared_texts.h"
#include "engine/tw.h"
#include "ui/viewer/ViewerController.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/desktop_entry.h"
#include "ui/toolkit/pulldown.h"
#include "ui/toolkit/text.h"
#include "ui/toolkit/workspace.h"
#include "ui_ViewerController.h"

namespace tw::ui {

using shared_texts::error_title_s;
using shared_texts::ok_s;

namespace {

const char* const open_with_s[2] = {"Open file with", "Ouvrir avec"};
const char* const separator_s[2] = {"--------------", "--------------"};
const char* const add_application_s[2] = {"Add application...", "Ajouter une application..."};
const char* const size_line_s[2] = {"File size: %1\n", "Dimension du fichier: %1\n"};
const char* const date_line_s[2] = {"Modification Date: %1\n", "Modifié le: %1\n"};
const char* const owner_line_s[2] = {"Owner account name: %1\n", "Propriétaire: %1\n"};
const char* const no_access_s[2] = {"Cannot access file!", "Fichier inaccéssible"};
const char* const info_title_s[2] = {"Info", "Info"};
const char* const cannot_launch_s[2] = {"Cannot open the file with %1",
                                         "Impossible d'ouvrir le fichier avec %1"};
const char* const cannot_reveal_s[2] = {"Cannot show the file in the file manager",
                                         "Impossible de montrer le fichier dans le gestionnaire de fichiers"};

}  // namespace

QByteArray ViewerController::found_file_path() const {
    const tw::SummaryRecord& sur = engine_.sur;
    if (sur.dir_name_ptr == nullptr || sur.file_name_ptr == nullptr) return {};
    // The bytes themselves: a name that is not UTF-8 still names its file.
    return QByteArray(sur.dir_name_ptr) + '/' + QByteArray(sur.file_name_ptr);
}

// ---- Launcher pull-down -----------------------------------------------------------

void ViewerController::set_launcher_popup() {
    if (launcher_popup_ != nullptr) return update_launcher_popup();
    const int l = engine_.language != 0 ? 1 : 0;
    QWidget* placeholder = ui_->name_for_popup_1_ref;
    launcher_popup_ = new PullDown(placeholder->parentWidget());
    launcher_popup_->setObjectName(QStringLiteral("launcher_popup"));
    placeholder->parentWidget()->layout()->replaceWidget(placeholder, launcher_popup_);
    placeholder->hide();
    launcher_popup_->add_item(QString::fromUtf8(open_with_s[l]));
    launcher_popup_->add_item(QString::fromUtf8(separator_s[l]));
    launcher_popup_->add_item(QString::fromUtf8(add_application_s[l]));
    launcher_popup_->set_action([this](int index) { launcher_popup_action(index); });
    update_launcher_popup();
}

void ViewerController::clear_applications_in_launcher_popup() {
    // Items 1 .. n - 3 are the applications; the separator and "Add
    // application..." follow them.
    for (int i = launcher_popup_->count() - 3; i >= 1; --i) launcher_popup_->remove_item(i);
}

void ViewerController::update_launcher_popup() {
    clear_applications_in_launcher_popup();
    // One pass over the list takes the paths shown and counts the others.
    qsizetype total = 0;
    const QStringList paths = tw::ui::launcher_paths(engine_.br, kLauncherMenuLimit, &total);
    int at = 1;
    for (const QString& path : paths) {
        launcher_popup_->insert_item(at, launcher_display_name(path));
        launcher_popup_->item_action(at)->setToolTip(path);
        ++at;
    }
    if (total > paths.size()) {
        // A line of its own, never chosen: it says how many are not listed.
        launcher_popup_->insert_item(at, launcher_overflow_text(paths.size(), total, engine_.language));
        launcher_popup_->set_item_enabled(at, false);
    }
    launcher_popup_->size_to_fit();
}

void ViewerController::launcher_popup_action(int index) {
    const int n = launcher_popup_->count();
    if (index <= 0 || index == n - 2 || index >= n) return beep();
    if (index == n - 1) {
        if (isSignalConnected(QMetaMethod::fromSignal(&ViewerController::add_application_asked)))
            emit add_application_asked();
        else
            beep();
        return;
    }
    if (engine_.sur.file_nb == 0 || display_state_ == kViewNothing) return beep();
    // Past the listed applications comes only the line that counts the others.
    if (index - 1 >= kLauncherMenuLimit) return beep();
    const QString application = launcher_path_at(engine_.br, index - 1);
    if (application.isEmpty()) return beep();
    if (!open_file_with_application(found_file_path(), application)) {
        // The workspace could not even start the application: say so
        // rather than let the choice pass for done.
        const int l = engine_.language != 0 ? 1 : 0;
        begin_alert_sheet(window_, QString::fromUtf8(error_title_s[l]),
                          QString::fromUtf8(cannot_launch_s[l]).arg(application),
                          QString::fromUtf8(ok_s[l]), {}, {});
    }
}

// ---- Info sheet ----------------------------------------------------------------------

void ViewerController::build_info_sheet() {
    const int l = engine_.language != 0 ? 1 : 0;
    auto* panel = new QDialog(window_, Qt::Sheet);
    panel->setObjectName(QStringLiteral("info_sheet_panel"));
    panel->setWindowTitle(QString::fromUtf8(info_title_s[l]));
    auto* layout = new QVBoxLayout(panel);
    info_panel_pathname_ref_ = new QLabel(panel);
    info_panel_pathname_ref_->setObjectName(QStringLiteral("info_panel_pathname"));
    info_panel_pathname_ref_->setWordWrap(true);
    info_panel_pathname_ref_->setTextFormat(Qt::PlainText);
    info_panel_pathname_ref_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = info_panel_pathname_ref_->font();
    bold.setBold(true);
    info_panel_pathname_ref_->setFont(bold);
    info_panel_other_ref_ = new QLabel(panel);
    info_panel_other_ref_->setObjectName(QStringLiteral("info_panel_other"));
    info_panel_other_ref_->setTextFormat(Qt::PlainText);
    info_panel_other_ref_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(panel);
    QPushButton* ok = buttons->addButton(QString::fromUtf8(ok_s[l]), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &ViewerController::Info_panel_ok_but);
    // Escape ends the sheet as OK does.
    connect(panel, &QDialog::rejected, this, [this] {
        if (info_sheet_panel_ref_ && info_sheet_panel_ref_->isVisible()) Info_panel_ok_but();
    });
    layout->addWidget(info_panel_pathname_ref_);
    layout->addWidget(info_panel_other_ref_);
    layout->addWidget(buttons);
    panel->setMinimumWidth(420);
    info_sheet_panel_ref_ = panel;
}

void ViewerController::Info_but() {
    const int l = engine_.language != 0 ? 1 : 0;
    const QByteArray path = found_file_path();
    if (path.isEmpty() || display_state_ == kViewNothing) return beep();
    if (info_sheet_panel_ref_.isNull()) build_info_sheet();
    info_panel_pathname_ref_->setText(display_name(path));
    // Reached folder by folder, so a path of any length has its attributes.
    if (const auto attributes =
            file_attributes_in(engine_.sur.dir_name_ptr, engine_.sur.file_name_ptr, false)) {
        info_panel_other_ref_->setText(
            QString::fromUtf8(size_line_s[l]).arg(attributes->size) +
            QString::fromUtf8(date_line_s[l])
                .arg(QLocale().toString(attributes->modified, QLocale::LongFormat)) +
            QString::fromUtf8(owner_line_s[l]).arg(attributes->owner));
    } else {
        info_panel_other_ref_->setText(QString::fromUtf8(no_access_s[l]));
    }
    if (info_sheet_panel_ref_->isVisible()) return;
    begin_sheet(window_, info_sheet_panel_ref_,
                [this](int code) { info_sheet_panel_did_end(code); });
}

void ViewerController::Info_panel_ok_but() {
    if (info_sheet_panel_ref_.isNull()) return;
    info_sheet_panel_ref_->hide();
    info_sheet_panel_ref_->done(1);
}

void ViewerController::info_sheet_panel_did_end(int /*return_code*/) {}

// ---- File manager, colour, drops --------------------------------------------------------

void ViewerController::Show_in_finder_but() {
    const QByteArray path = found_file_path();
    if (path.isEmpty() || display_state_ == kViewNothing) return beep();
    if (!reveal_in_file_manager(path)) {
        const int l = engine_.language != 0 ? 1 : 0;
        begin_alert_sheet(window_, QString::fromUtf8(error_title_s[l]),
                          QString::fromUtf8(cannot_reveal_s[l]), QString::fromUtf8(ok_s[l]), {},
                          {});
    }
}

void ViewerController::set_window_color(const QColor& color) {
    paint_window_background(window_, color, true);
}

QColor ViewerController::window_background() const { return window_background_of(window_); }

void ViewerController::conclude_drop_items(const QStringList& paths) {
    emit items_dropped_on_target(paths, engine_.cur_target_index);
}

void ViewerController::conclude_drop_string(const QString& text) {
    emit string_dropped_on_target(text, engine_.cur_target_index);
}

}  // namespace tw::ui
