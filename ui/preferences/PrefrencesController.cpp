#include "ui/preferences/PrefrencesController.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <charconv>
#include <cmath>
#include <limits>

#include "encoding/string_encoding.h"
#include "pattern/pattern_compiler.h"
#include "ui/common/shared_texts.h"
#include "ui/toolkit/AlertController.h"
#include "ui/toolkit/defaults.h"
#include "ui_PrefrencesController.h"

namespace tw::ui {

using shared_texts::error_title_s;
using shared_texts::ok_s;

namespace {

constexpr const char* kWindowFrameKey = "Preferences Window";

const char* const title_s[2] = {"Preferences", "Préférences"};
const char* const str_mem_s[2] = {"Search string buffer", "Mémoire de la phrase recherchée"};
const char* const text_mem_s[2] = {"Text buffer", "Mémoire du texte"};
const char* const occ_mem_s[2] = {"Occurrence buffer", "Mémoire des occurrences"};
const char* const size_range_s[2] = {"%1: enter a size from %2 to %3 KiB.",
                                     "%1 : entrez une taille de %2 à %3 Kio."};
const char* const period_range_s[2] = {"Refresh every: enter from %1 to %2 seconds.",
                                       "Rafraîchir toutes les : entrez de %1 à %2 secondes."};
const char* const encoding_unknown_s[2] = {
    "User defined encoding: %1 is not an encoding number that can be used.",
    "Encodage défini par l'utilisateur : %1 n'est pas un numéro d'encodage utilisable."};

// The characters of a field up to the first that is not Latin-1, as bytes.
std::string latin1_of(const QString& text) { return text.toLatin1().toStdString(); }

std::size_t skip_blanks(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    return i;
}

}  // namespace

PrefrencesController::PrefrencesController(tw::Engine& engine, AlertController& alerts,
                                           QObject* parent)
    : QObject(parent), engine_(engine), alerts_(alerts),
      ui_(std::make_unique<Ui::PreferencesWindow>()) {
    window_ = new QDialog(nullptr);
    ui_->setupUi(window_);
    window_->setWindowTitle(text(title_s));
    connect(ui_->ok_but_ref, &QPushButton::clicked, this, &PrefrencesController::OK_but);
    connect(ui_->cancel_but_ref, &QPushButton::clicked, this, &PrefrencesController::Cancel_but);
    connect(window_, &QDialog::finished, this, [this] {
        save_window_frame(kWindowFrameKey, window_);
    });
    restore_window_frame(kWindowFrameKey, window_);
    show_preferences_in_window();
}

PrefrencesController::~PrefrencesController() { delete window_; }

QString PrefrencesController::text(const char* const (&pair)[2]) const {
    return text_in(pair, engine_.language);
}

void PrefrencesController::show_window() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}

// ---- Reading the fields -----------------------------------------------------------------

std::int64_t PrefrencesController::int_value(const QString& field) {
    const std::string s = latin1_of(field);
    std::size_t i = skip_blanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = value > kLimit ? kLimit : value * 10 + (s[i] - '0');
    return negative ? -value : value;
}

double PrefrencesController::float_value(const QString& field) {
    const std::string s = latin1_of(field);
    std::size_t i = skip_blanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    double value = 0;
    // from_chars reads with a full stop, whatever the locale.
    const auto [end, error] = std::from_chars(s.data() + i, s.data() + s.size(), value);
    if (error != std::errc() || !std::isfinite(value)) return 0;
    (void)end;
    return negative ? -value : value;
}

std::uint32_t PrefrencesController::encoding_value(const QString& field) {
    const std::string s = latin1_of(field);
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        std::uint64_t value = 0;
        for (std::size_t i = 2; i < s.size(); ++i) {
            const char c = s[i];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) break;
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;  // too large: the largest
        }
        return static_cast<std::uint32_t>(value);
    }
    const std::int64_t value = int_value(field);
    const std::int64_t clamped = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                          std::numeric_limits<std::int32_t>::max());
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(clamped));
}

QString PrefrencesController::kib_text(tw::u64 bytes) {
    // A multiple of 1/1024 has at most ten decimals.
    QString text = QString::number(bytes / 1024);
    tw::u64 rest = bytes % 1024;
    if (rest != 0) text += u'.';
    while (rest != 0) {
        rest *= 10;
        text += QChar(u'0' + static_cast<char16_t>(rest / 1024));
        rest %= 1024;
    }
    return text;
}

std::int64_t PrefrencesController::size_value(const QString& field) {
    // Read as a number of KiB with a full stop; a whole number of bytes is
    // an exact binary fraction of a KiB, so it reads back unchanged.
    const double kib = float_value(field);
    const double bytes = std::clamp(kib * 1024.0, -1e15, 1e15);
    return static_cast<std::int64_t>(std::llround(bytes));
}

QString PrefrencesController::seconds_text(tw::u64 microseconds) {
    // Exact to the microsecond, so that the text reads back as the value it
    // shows (15000 is 0.015, not 0.02); at least two decimals, with a full
    // stop as every decimal of the texts.
    QString text = QStringLiteral("%1.%2")
                       .arg(microseconds / 1000000)
                       .arg(microseconds % 1000000, 6, 10, QLatin1Char('0'));
    const qsizetype shortest = text.indexOf(u'.') + 3;
    while (text.size() > shortest && text.endsWith(u'0')) text.chop(1);
    return text;
}

// ---- The window and the record ------------------------------------------------------------

void PrefrencesController::show_preferences_in_window() {
    const tw::ShowInfoRecord& sir = engine_.sir;
    ui_->show_folder_name_ref->setChecked(sir.show_folder_name != 0);
    ui_->show_file_name_ref->setChecked(sir.show_file_name != 0);
    ui_->show_found_file_nb_ref->setChecked(sir.show_found_file_nb != 0);
    ui_->show_found_occ_nb_ref->setChecked(sir.show_found_occ_nb != 0);
    ui_->show_total_bytes_ref->setChecked(sir.show_total_bytes != 0);
    ui_->show_access_err_nb_ref->setChecked(sir.show_access_err_nb != 0);
    const tw::PreferenceRecord& pr = engine_.pr;
    // Exact, so that OK without a change stores every value as it was.
    ui_->str_mem_size_ref->setText(kib_text(pr.str_mem_size));
    ui_->text_mem_size_ref->setText(kib_text(pr.text_mem_size));
    ui_->occ_mem_size_ref->setText(kib_text(pr.occ_mem_size));
    ui_->show_info_every_ref->setText(seconds_text(pr.show_info_every));
    ui_->return_key_is_ref->setChecked(pr.return_key_is_search != 0);
    ui_->search_threads_ref->setMaximum(kMaxSearchThreads);
    ui_->search_threads_ref->setValue(static_cast<int>(search_threads_default()));
    ui_->excerpt_size_ref->setValue(static_cast<int>(excerpt_size_default()));
    ui_->user_defined_ref->setText(
        QString::number(static_cast<std::int32_t>(static_cast<std::uint32_t>(pr.user_defined_encoding))));
}

std::optional<QString> PrefrencesController::size_refused(const char* const (&name)[2],
                                                          std::int64_t size,
                                                          tw::BufferLimits bytes) const {
    if (size >= 0 && bytes.contains(static_cast<tw::u64>(size))) return std::nullopt;
    const tw::u64 min_kib = (bytes.min + 1023) / 1024;
    const tw::u64 max_kib = bytes.max / 1024;
    return text(size_range_s).arg(text(name)).arg(min_kib).arg(max_kib);
}

bool PrefrencesController::get_preferences_from_window() {
    const std::int64_t str_size = size_value(ui_->str_mem_size_ref->text());
    const std::int64_t text_size = size_value(ui_->text_mem_size_ref->text());
    const std::int64_t occ_size = size_value(ui_->occ_mem_size_ref->text());
    const double seconds = std::max(0.0, float_value(ui_->show_info_every_ref->text()));
    // To the nearest microsecond, so that 0.015 is 15000 and not 14999.
    const tw::u64 period = static_cast<tw::u64>(std::llround(std::min(seconds * 1000000.0, 1e18)));
    const std::uint32_t encoding = encoding_value(ui_->user_defined_ref->text());

    // Every value is checked before any is stored: no partial apply.
    std::optional<QString> refused = size_refused(str_mem_s, str_size, tw::TW_STR_MEM_LIMITS);
    if (!refused) refused = size_refused(text_mem_s, text_size, tw::TW_TEXT_MEM_LIMITS);
    if (!refused) refused = size_refused(occ_mem_s, occ_size, tw::TW_OCC_MEM_LIMITS);
    if (!refused && !tw::TW_SHOW_INFO_EVERY_LIMITS.contains(period))
        refused = text(period_range_s)
                      .arg(QString::number(tw::TW_SHOW_INFO_EVERY_LIMITS.min / 1e6, 'g', 6))
                      .arg(tw::TW_SHOW_INFO_EVERY_LIMITS.max / 1000000);
    // A number the encoding service cannot use would refuse every key typed
    // under "User defined".
    if (!refused && !tw::pattern::encoding_usable(tw::encoding::stored_from_registry(encoding)))
        refused = text(encoding_unknown_s).arg(ui_->user_defined_ref->text().trimmed());
    if (refused) {
        alerts_.show_alert(window_, text(error_title_s), *refused);
        return false;
    }

    tw::ShowInfoRecord& sir = engine_.sir;
    sir.show_folder_name = ui_->show_folder_name_ref->isChecked() ? 1 : 0;
    sir.show_file_name = ui_->show_file_name_ref->isChecked() ? 1 : 0;
    sir.show_found_file_nb = ui_->show_found_file_nb_ref->isChecked() ? 1 : 0;
    sir.show_found_occ_nb = ui_->show_found_occ_nb_ref->isChecked() ? 1 : 0;
    sir.show_total_bytes = ui_->show_total_bytes_ref->isChecked() ? 1 : 0;
    sir.show_access_err_nb = ui_->show_access_err_nb_ref->isChecked() ? 1 : 0;
    tw::PreferenceRecord& pr = engine_.pr;
    pr.str_mem_size = static_cast<tw::u64>(str_size);
    pr.text_mem_size = static_cast<tw::u64>(text_size);
    pr.occ_mem_size = static_cast<tw::u64>(occ_size);
    pr.show_info_every = period;
    pr.return_key_is_search = ui_->return_key_is_ref->isChecked() ? 1 : 0;
    pr.user_defined_encoding = encoding;
    // Kept in the user defaults, not in TW_preference, whose layout is fixed.
    set_search_threads_default(static_cast<unsigned>(ui_->search_threads_ref->value()));
    set_excerpt_size_default(static_cast<std::uint64_t>(ui_->excerpt_size_ref->value()));
    return true;
}

void PrefrencesController::OK_but() {
    if (!get_preferences_from_window()) return;
    window_->close();
    emit preferences_changed();
}

void PrefrencesController::Cancel_but() { window_->close(); }

void PrefrencesController::set_window_color(const QColor& color) {
    paint_window_background(window_, color, false);
}

QColor PrefrencesController::window_background() const { return window_background_of(window_); }

}  // namespace tw::ui
