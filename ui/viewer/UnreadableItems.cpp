#include "ui/viewer/UnreadableItems.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

namespace tw::ui {
namespace {

using Pair = const char* const[2];

Pair stopped_alert_s = {
    "The search stopped at a file or folder it could not read:\n%1\n"
    "Only the files found before it are listed in the viewer.",
    "La recherche s'est arrêtée sur un fichier ou dossier illisible :\n%1\n"
    "Seuls les fichiers trouvés avant lui sont listés dans le visualiseur."};
Pair stopped_line_s = {
    "Search stopped at a file or folder it could not read (%1): only the files found before it "
    "are listed.",
    "Recherche arrêtée sur un fichier ou dossier illisible (%1) : seuls les fichiers trouvés "
    "avant lui sont listés."};
Pair one_unreadable_s = {"1 file or folder could not be read.",
                         "1 fichier ou dossier n'a pas pu être lu."};
Pair many_unreadable_s = {"%1 files or folders could not be read.",
                          "%1 fichiers ou dossiers n'ont pas pu être lus."};
Pair button_s = {"Unreadable Items…", "Éléments illisibles…"};
Pair panel_title_s = {"Unreadable Files and Folders", "Fichiers et dossiers illisibles"};
Pair panel_intro_s = {"Each file or folder the search could not read, with the reason:",
                      "Chaque fichier ou dossier que la recherche n'a pas pu lire, avec la "
                      "raison :"};
Pair panel_cut_s = {"Only the first %1 of %2 are listed.", "Seuls les %1 premiers sur %2 sont listés."};
Pair close_s = {"Close", "Fermer"};

// The reasons met when a search reads files and folders; any other one is
// the system's own text.
struct Reason {
    int err;
    const char* text[2];
};
const Reason reasons[] = {
    {EACCES, {"Permission denied", "Permission refusée"}},
    {EPERM, {"Operation not permitted", "Opération non permise"}},
    {ENOENT, {"No such file or directory", "Fichier ou dossier introuvable"}},
    {EINVAL, {"not a regular file", "pas un fichier ordinaire"}},
    {EIO, {"Input/output error", "Erreur d'entrée-sortie"}},
    {ELOOP, {"Too many levels of symbolic links", "Trop de niveaux de liens symboliques"}},
    {ENOTDIR, {"Not a directory", "N'est pas un dossier"}},
    {ENAMETOOLONG, {"File name too long", "Nom de fichier trop long"}},
    {ECONNREFUSED, {"Connection refused", "Connexion refusée"}},
    {ESTALE, {"Stale file handle", "Descripteur de fichier périmé"}},
    {EMFILE, {"Too many open files", "Trop de fichiers ouverts"}},
    {ENFILE, {"Too many open files in system", "Trop de fichiers ouverts dans le système"}},
    {ENXIO, {"No such device or address", "Périphérique ou adresse introuvable"}},
};

QString tr_text(Pair& pair, int language) { return QString::fromUtf8(pair[language != 0 ? 1 : 0]); }

// The length of the valid UTF-8 sequence at p[0] (n bytes left), 0 when
// there is none.
qsizetype utf8_length(const unsigned char* p, qsizetype n) {
    const unsigned c = p[0];
    qsizetype len = 0;
    unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c == 0xE0) len = 3, lo = 0xA0;
    else if (c == 0xED) len = 3, hi = 0x9F;  // no UTF-16 surrogates
    else if (c >= 0xE1 && c <= 0xEF) len = 3;
    else if (c == 0xF0) len = 4, lo = 0x90;
    else if (c == 0xF4) len = 4, hi = 0x8F;
    else if (c >= 0xF1 && c <= 0xF3) len = 4;
    else return 0;
    if (n < len || p[1] < lo || p[1] > hi) return 0;
    for (qsizetype k = 2; k < len; ++k)
        if (p[k] < 0x80 || p[k] > 0xBF) return 0;
    return len;
}

}  // namespace

UnreadableItemsListener::~UnreadableItemsListener() {
    if (engine_.listener == this) {
        engine_.stop_and_join_search();
        engine_.listener = nullptr;
    }
}

void UnreadableItemsListener::listen() {
    items_ = UnreadableItems{};
    engine_.listener = this;
}

UnreadableItems UnreadableItemsListener::take() {
    if (engine_.listener == this) engine_.listener = nullptr;
    items_.ended_search = engine_.stopped_at_unreadable_item();
    UnreadableItems out = std::move(items_);
    items_ = UnreadableItems{};
    return out;
}

void UnreadableItemsListener::item_failed(std::string_view path, int err) {
    ++items_.total;
    if (items_.listed.size() < UnreadableItems::kMaxListed)
        items_.listed.append({QByteArray(path.data(), static_cast<qsizetype>(path.size())), err});
}

QString escaped_path(QByteArrayView path) {
    static const char digits[] = "0123456789ABCDEF";
    const auto* p = reinterpret_cast<const unsigned char*>(path.data());
    const qsizetype n = path.size();
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == '\\') {
            out += QStringLiteral("\\\\");
            ++i;
        } else if (c >= 0x20 && c < 0x7F) {
            out += QLatin1Char(static_cast<char>(c));
            ++i;
        } else if (const qsizetype len = c >= 0x80 ? utf8_length(p + i, n - i) : 0; len > 0) {
            out += QString::fromUtf8(reinterpret_cast<const char*>(p + i), len);
            i += len;
        } else {
            out += QStringLiteral("\\x") + QLatin1Char(digits[c >> 4]) + QLatin1Char(digits[c & 15]);
            ++i;
        }
    }
    return out;
}

QString failure_reason(int err, int language) {
    for (const Reason& r : reasons)
        if (r.err == err) return QString::fromUtf8(r.text[language != 0 ? 1 : 0]);
    return QString::fromLocal8Bit(std::strerror(err));
}

QString unreadable_line(const UnreadableItem& item, int language) {
    // French puts a space before the colon.
    return escaped_path(item.path) + (language != 0 ? QStringLiteral(" : ") : QStringLiteral(": ")) +
           failure_reason(item.err, language);
}

QString stopped_at_alert(const UnreadableItem& item, int language) {
    return tr_text(stopped_alert_s, language).arg(unreadable_line(item, language));
}

QString stopped_at_line(const UnreadableItem& item, int language) {
    return tr_text(stopped_line_s, language).arg(unreadable_line(item, language));
}

QString unreadable_count_line(tw::u64 total, int language) {
    if (total == 1) return tr_text(one_unreadable_s, language);
    return tr_text(many_unreadable_s, language).arg(QLocale().toString(static_cast<qulonglong>(total)));
}

QString unreadable_button_title(int language) { return tr_text(button_s, language); }

QDialog* make_unreadable_panel(QWidget* parent, const UnreadableItems& items, int language) {
    auto* panel = new QDialog(parent);
    panel->setObjectName(QStringLiteral("unreadable_panel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowTitle(tr_text(panel_title_s, language));
    auto* box = new QVBoxLayout(panel);

    QString intro = tr_text(panel_intro_s, language);
    if (items.total > static_cast<tw::u64>(items.listed.size()))
        intro += u'\n' + tr_text(panel_cut_s, language)
                             .arg(QLocale().toString(items.listed.size()))
                             .arg(QLocale().toString(static_cast<qulonglong>(items.total)));
    auto* label = new QLabel(intro, panel);
    label->setWordWrap(true);
    box->addWidget(label);

    auto* list = new QPlainTextEdit(panel);
    list->setObjectName(QStringLiteral("unreadable_list_ref"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    list->setAccessibleName(tr_text(panel_title_s, language));
    label->setBuddy(list);
    QStringList lines;
    lines.reserve(items.listed.size());
    for (const UnreadableItem& item : items.listed) lines << unreadable_line(item, language);
    list->setPlainText(lines.join(u'\n'));
    box->addWidget(list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, panel);
    buttons->button(QDialogButtonBox::Close)->setText(tr_text(close_s, language));
    QObject::connect(buttons, &QDialogButtonBox::rejected, panel, &QDialog::close);
    box->addWidget(buttons);
    panel->resize(640, 320);
    return panel;
}

}  // namespace tw::ui
