#include "ui/common/UnreadableItems.h"

#include <algorithm>

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

#include "engine/tw_plural.h"
#include "ui/toolkit/text.h"

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
Pair one_unreadable_s = {"%1 file or folder could not be read.",
                         "%1 fichier ou dossier n'a pas pu être lu."};
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

}  // namespace

UnreadableItemsListener::~UnreadableItemsListener() {
    if (std::find(engine_.sinks.begin(), engine_.sinks.end(), this) != engine_.sinks.end()) {
        engine_.stop_and_join_search();
        std::erase(engine_.sinks, this);
    }
}

void UnreadableItemsListener::listen() {
    items_ = UnreadableItems{};
    if (std::find(engine_.sinks.begin(), engine_.sinks.end(), this) == engine_.sinks.end())
        engine_.sinks.push_back(this);
}

UnreadableItems UnreadableItemsListener::take() {
    std::erase(engine_.sinks, this);
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

QString failure_reason(int err, int language) {
    for (const Reason& r : reasons)
        if (r.err == err) return QString::fromUtf8(r.text[language != 0 ? 1 : 0]);
    return QString::fromLocal8Bit(std::strerror(err));
}

QString unreadable_line(const UnreadableItem& item, int language) {
    // French puts a space before the colon.
    return display_name(item.path) + (language != 0 ? QStringLiteral(" : ") : QStringLiteral(": ")) +
           failure_reason(item.err, language);
}

QString stopped_at_alert(const UnreadableItem& item, int language) {
    return tr_text(stopped_alert_s, language).arg(unreadable_line(item, language));
}

QString stopped_at_line(const UnreadableItem& item, int language) {
    return tr_text(stopped_line_s, language).arg(unreadable_line(item, language));
}

QString unreadable_count_line(tw::u64 total, int language) {
    return QString::fromUtf8(tw::count_form(total, language, one_unreadable_s, many_unreadable_s))
        .arg(QLocale().toString(static_cast<qulonglong>(total)));
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
