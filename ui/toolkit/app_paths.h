// The application's folders and the user's preferred languages.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace tw::ui {

// The help documents, relative to the resource folder: the PDF the Help
// menu opens and the same guide as an HTML page, for a desktop without a
// PDF reader.
inline constexpr const char* kEnglishDoc = "doc/english_doc.pdf";
inline constexpr const char* kFrenchDoc = "doc/doc_francais.pdf";
inline constexpr const char* kEnglishHtmlDoc = "doc/guide_en.html";
inline constexpr const char* kFrenchHtmlDoc = "doc/guide_fr.html";

// Sets the application's names so that the standard folders and the user
// defaults are Trawlex's own. Call once, right after the application object
// is created.
void set_application_identity();

// The resource folder: the user's data folder for the application,
// ~/.local/share/Trawlex (XDG_DATA_HOME/Trawlex when that is set).
QString resource_folder();

// The application's own folder, which a search never enters. For a program
// installed in <prefix>/bin it is <prefix>/share/trawlex (its installed
// data), never the shared bin folder itself, so that a search still looks
// through the other programs of <prefix>/bin; for a program run from
// elsewhere (a build folder) it is the program's folder.
QString application_folder(const QString& executable_folder);

// Creates the resource folder with its empty "TW_target" and "TW_found"
// folders and its "doc" folder, and copies into "doc" the help documents of
// `application_folder`/doc that are missing there or older than the
// installed ones (an upgrade brings a newer guide). A copy keeps the
// modification time of its source. False when the folders cannot be made.
bool prepare_resource_folder(const QString& folder, const QString& application_folder);

// The user's preferred languages, most preferred first (e.g. "fr-CA").
QStringList preferred_languages();

// 1 (French) when the first preferred language contains "fr" in any letter
// case, else 0 (English).
int language_from_preferred(const QStringList& languages);

// Installs the French translations of the fixed labels (built into the
// program) and of Qt's own dialogs and buttons (qtbase_fr from Qt's
// translations folder) when `language` is 1; returns how many were
// installed.
int install_translations(QCoreApplication& app, int language);

// The program's built-in resources (icon, images, help documents, the
// translations); call before using them from a program that links the
// user-interface library.
void init_resources();

}  // namespace tw::ui
