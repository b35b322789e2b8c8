#include "ui/shell/MenuController.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QTimer>

#include "ui/common/shared_texts.h"
#include "ui/shell/MainWindow.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/app_paths.h"
#include "ui/toolkit/defaults.h"
#include "ui/toolkit/panels.h"
#include "ui/toolkit/timers.h"
#include "ui/toolkit/workspace.h"
#include "ui_MainWindow.h"

namespace tw::ui {

using shared_texts::error_title_s;
using shared_texts::ok_s;

namespace {

// Texts, English and French, indexed by the engine's language.
const char* const product_name_s[2] = {"Trawlex", "Trawlex"};
const char* const version_line_s[2] = {
    "Version 3.0.0\nFinds every occurrence of a string of bytes in the contents of files.",
    "Version 3.0.0\nTrouve chaque occurrence d'une suite d'octets dans le contenu des fichiers."};
const char* const about_button_s[2] = {"Bye", "Au revoir"};
const char* const help_doc_s[2] = {kEnglishDoc, kFrenchDoc};
const char* const help_html_s[2] = {kEnglishHtmlDoc, kFrenchHtmlDoc};
const char* const help_not_found_s[2] = {"Cannot find the the help doc",
                                          "Impossible de trouver le fichier aide"};
const char* const no_pdf_reader_s[2] = {
    "The help doc is here (%1), but no PDF reader opens it.",
    "Le fichier aide est pr\u00e9sent (%1), mais aucun lecteur PDF ne l'ouvre."};
const char* const no_viewer_s[2] = {
    "The help doc is here (%1), but neither a PDF reader nor a web browser opens it.",
    "Le fichier aide est pr\u00e9sent (%1), mais ni un lecteur PDF ni un navigateur web ne l'ouvre."};
const char* const choose_application_s[2] = {"Add application...",
                                              "Ajouter une application..."};
const char* const init_fail_s[2] = {"Initialization fail: not enough memory",
                                     "Initialisation impossible: pas assez de mémoire"};

const char* const damaged_settings_s[2] = {
    "These settings files could not be read whole:\n%1\nWhat could be read is in use, and nothing "
    "they held is lost: TW_preference and TW_launcher stay as they are until you change their "
    "settings, and are then kept beside the new ones as NAME.damaged.",
    "Ces fichiers de r\u00e9glages n'ont pas pu \u00eatre lus en entier :\n%1\nCe qui a pu \u00eatre "
    "lu est utilis\u00e9, et rien de ce qu'ils contenaient n'est perdu : TW_preference et TW_launcher "
    "restent tels quels tant que vous n'en changez pas les r\u00e9glages, puis sont conserv\u00e9s "
    "\u00e0 c\u00f4t\u00e9 des nouveaux sous NOM.damaged."};
const char* const settings_unreadable_s[2] = {"%1: cannot be read", "%1 : illisible"};
const char* const settings_unterminated_s[2] = {
    "%1: the last entry has no end; the %2 entries before it are kept",
    "%1 : la derni\u00e8re entr\u00e9e n'a pas de fin ; les %2 entr\u00e9es qui la pr\u00e9c\u00e8dent sont conserv\u00e9es"};
const char* const user_defaults_damaged_s[2] = {
    "%1: the lines that cannot be read are left out; the file as it was is kept as %2",
    "%1 : les lignes illisibles sont ignor\u00e9es ; le fichier tel qu'il \u00e9tait est conserv\u00e9 sous %2"};
const char* const settings_too_large_s[2] = {"%1: longer than such a file can be",
                                             "%1 : plus long qu'un tel fichier ne peut l'\u00eatre"};

// The gathering delay of files handed to the application, in seconds.
constexpr double kOpenDropDelay = 0.1;

}  // namespace

MenuController::MenuController(tw::Engine& engine, QObject* parent)
    : QObject(parent), engine_(engine), languages_source_(&preferred_languages) {}

MenuController::~MenuController() {
    // Without a main window the Special menu has no parent to delete it.
    if (special_menu_ != nullptr && special_menu_->parent() == nullptr) delete special_menu_;
}

bool MenuController::init() {
    dropped_items_.clear();
    set_language();
    if (engine_.initialize_and_load_tw_parameter() != 0) {
        const int l = language();
        run_alert(nullptr, QString::fromUtf8(error_title_s[l]), QString::fromUtf8(init_fail_s[l]),
                  QString::fromUtf8(ok_s[l]));
        return false;
    }
    return true;
}

void MenuController::set_language() {
    if (language_is_set_) return;
    engine_.language = language_from_preferred(languages_source_());
    language_is_set_ = true;
}

void MenuController::awake_from_nib(MainWindow* main_window) {
    main_window_ = main_window;
    Ui::MainWindow* ui = main_window->ui();
    connect(ui->action_about, &QAction::triggered, this, &MenuController::About_menu_item);
    connect(ui->action_help, &QAction::triggered, this, &MenuController::Help_menu_item);
    // Leaves the main loop whatever the windows say (see MainWindow::closeEvent).
    connect(ui->action_quit, &QAction::triggered, qApp, [] { QCoreApplication::exit(0); },
            Qt::QueuedConnection);
    connect(ui->action_set_color, &QAction::triggered, this, &MenuController::Set_color_menu_item);
    connect(ui->action_clear_color, &QAction::triggered, this,
            &MenuController::Clear_color_menu_item);
    connect(ui->action_preferences, &QAction::triggered, this, [this] {
        if (preferences_opener_) preferences_opener_();
    });
    ui->action_preferences->setEnabled(static_cast<bool>(preferences_opener_));
    register_colored_window(main_window);

    bool use_color = false;
    const std::optional<QColor> color = load_default_color(&use_color);
    if (use_color && color) set_windows_color(*color);
}

void MenuController::application_should_terminate() {
    if (terminated_) return;
    terminated_ = true;
    stop_timer(open_drop_timer_);
    engine_.finalize_and_save_tw_parameter();
    dropped_items_.clear();
}

void MenuController::save_settings_now() {
    if (terminated_) return;
    engine_.pr.saved_target_index = engine_.cur_target_index;
    engine_.save_pref_file();
    engine_.save_launcher_file();
}

void MenuController::application_open_file(const QString& path) {
    dropped_items_.append(path);
    if (open_drop_timer_.isNull())
        open_drop_timer_ = start_one_shot_timer(this, kOpenDropDelay, [this] { open_drop_items(); });
}

void MenuController::open_drop_items() {
    if (dropped_items_.isEmpty()) return;
    const QStringList items = dropped_items_;
    // The batch is logged, so that a launch can be followed from a terminal.
    qInfo().noquote() << QStringLiteral("Trawlex: %1 item(s) handed over: %2")
                             .arg(items.size())
                             .arg(items.join(QStringLiteral(", ")));
    if (drop_receiver_ != nullptr) drop_receiver_->show_target_window_drop_items(items);
    dropped_items_.clear();
    stop_timer(open_drop_timer_);
    emit drop_items_opened(items);
}

void MenuController::About_menu_item() {
    const int l = language();
    run_alert(main_window_, QString::fromUtf8(product_name_s[l]),
              QString::fromUtf8(version_line_s[l]), QString::fromUtf8(about_button_s[l]));
}

QString MenuController::help_document_path() const {
    return QDir(QString::fromStdString(engine_.resource_dir_pathname_ptr))
        .filePath(QLatin1String(help_doc_s[engine_.language != 0 ? 1 : 0]));
}

QString MenuController::help_html_path() const {
    return QDir(QString::fromStdString(engine_.resource_dir_pathname_ptr))
        .filePath(QLatin1String(help_html_s[engine_.language != 0 ? 1 : 0]));
}

void MenuController::Help_menu_item() {
    const HelpOpened opened = open_help(help_document_path(), help_html_path(), help_openers_);
    if (opened == HelpOpened::Pdf || opened == HelpOpened::Html) return;
    const int l = language();
    // A missing document, or one that the desktop has nothing to open with.
    QString message = QString::fromUtf8(help_not_found_s[l]);
    if (opened == HelpOpened::NoPdfReader)
        message = QString::fromUtf8(no_pdf_reader_s[l]).arg(help_document_path());
    else if (opened == HelpOpened::NoViewer)
        message = QString::fromUtf8(no_viewer_s[l]).arg(help_document_path());
    run_alert(main_window_, QString::fromUtf8(product_name_s[l]), message,
              QString::fromUtf8(ok_s[l]));
}

void MenuController::register_colored_window(ColoredWindow* window) {
    if (!colored_windows_.contains(window)) colored_windows_.append(window);
}

void MenuController::Set_color_menu_item() {
    // The first window's own background, recorded once, is what the clear
    // command gives back.
    if (!original_window_background_color_ && !colored_windows_.isEmpty())
        original_window_background_color_ = colored_windows_.first()->window_background();
    QColor initial;
    if (!colored_windows_.isEmpty()) initial = colored_windows_.first()->window_background();
    ColorPanel::show(initial, [this](const QColor& c) { change_windows_color(c); });
}

void MenuController::change_windows_color(const QColor& color) {
    set_windows_color(color);
    save_default_color(color, true);
}

void MenuController::set_windows_color(const QColor& color) {
    for (ColoredWindow* w : colored_windows_) w->set_window_color(color);
}

void MenuController::Clear_color_menu_item() {
    // With no colour recorded in this run, the windows get the default one.
    const QColor color = original_window_background_color_.value_or(
        QApplication::palette().color(QPalette::Window));
    for (ColoredWindow* w : colored_windows_) w->set_window_color(color);
    save_default_color(color, false);
}

void MenuController::save_default_color(const QColor& color, bool use_color) {
    tw::ui::save_default_color(color, use_color);
}

std::optional<QColor> MenuController::load_default_color(bool* use_color) {
    return tw::ui::load_default_color(use_color);
}

void MenuController::set_preferences_opener(std::function<void()> opener) {
    preferences_opener_ = std::move(opener);
    if (main_window_ != nullptr)
        main_window_->ui()->action_preferences->setEnabled(static_cast<bool>(preferences_opener_));
}

void MenuController::get_new_launcher_application() {
    OpenPanelOptions options;
    options.title = QString::fromUtf8(choose_application_s[language()]);
    options.directory = QStringLiteral("/usr/share/applications");
    options.choose_files = true;
    const QStringList chosen = run_open_panel(main_window_, options);
    if (chosen.isEmpty()) return;
    const u64 code = engine_.append_to_launcher(QFile::encodeName(chosen.first()).constData());
    if (code != 0) return show_error(code);
    emit launchers_changed();
    update_launcher_submenu();
}

void MenuController::add_viewer_action() {
    if (main_window_ == nullptr || viewer_action_ != nullptr) return;
    static const char* const found_viewer_s[2] = {"Found Viewer", "Visualiseur des occurrences"};
    viewer_action_ = new QAction(QString::fromUtf8(found_viewer_s[language()]), main_window_);
    viewer_action_->setObjectName(QStringLiteral("action_found_viewer"));
    viewer_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    viewer_action_->setShortcutContext(Qt::ApplicationShortcut);
    main_window_->addAction(viewer_action_);
    main_window_->ui()->menu_window->addAction(viewer_action_);
    connect(viewer_action_, &QAction::triggered, this, &MenuController::viewer_asked);
}

void MenuController::show_error(u64 code, bool with_detail) {
    const int l = language();
    const QString text = with_detail ? QString::fromStdString(engine_.error_text(code))
                                     : QString::fromLatin1(engine_.build_str_err(code));
    run_alert(main_window_, QString::fromUtf8(error_title_s[l]), text, QString::fromUtf8(ok_s[l]));
}

QString MenuController::damaged_settings_text() const {
    const int l = language();
    QStringList lines;
    for (const tw::DamagedSettingsFile& f : engine_.damaged_settings) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(f.path));
        switch (f.damage) {
        case tw::SettingsDamage::Unreadable:
            lines << QString::fromUtf8(settings_unreadable_s[l]).arg(path);
            break;
        case tw::SettingsDamage::Unterminated:
            lines << QString::fromUtf8(settings_unterminated_s[l]).arg(path).arg(f.kept_entries);
            break;
        case tw::SettingsDamage::TooLarge:
            lines << QString::fromUtf8(settings_too_large_s[l]).arg(path);
            break;
        }
    }
    if (const QString copy = damaged_user_defaults_copy(); !copy.isEmpty())
        lines << QString::fromUtf8(user_defaults_damaged_s[l]).arg(user_defaults().fileName(), copy);
    if (lines.isEmpty()) return {};
    return QString::fromUtf8(damaged_settings_s[l]).arg(lines.join(u'\n'));
}

bool MenuController::report_damaged_settings() {
    if (damaged_settings_reported_) return false;
    const QString message = damaged_settings_text();
    if (message.isEmpty()) return false;
    damaged_settings_reported_ = true;
    const int l = language();
    run_alert(main_window_, QString::fromUtf8(error_title_s[l]), message, QString::fromUtf8(ok_s[l]));
    return true;
}

void MenuController::insert_menu_before_last(QMenu* menu) {
    if (main_window_ == nullptr) return;
    QMenuBar* bar = main_window_->menuBar();
    const QList<QAction*> menus = bar->actions();
    if (menus.isEmpty()) bar->addMenu(menu);
    else bar->insertMenu(menus.last(), menu);
}

}  // namespace tw::ui
