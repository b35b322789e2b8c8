#include "ui/toolkit/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

static void init_trawlex_resources() { Q_INIT_RESOURCE(trawlex); }

namespace tw::ui {
namespace {

// Copies `source` over `target` when the target is missing or older; the
// copy is readable by all and written by its owner only, and carries the
// source's modification time so that the next upgrade is recognised.
void refresh_copy(const QString& source, const QString& target) {
    const QFileInfo installed(source);
    if (!installed.isFile()) return;
    const QFileInfo copy(target);
    if (copy.exists() && copy.lastModified() >= installed.lastModified()) return;
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(source, partial)) return;
    QFile::setPermissions(partial, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ReadGroup | QFileDevice::ReadOther);
    {
        QFile file(partial);
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(installed.lastModified(), QFileDevice::FileModificationTime);
    }
    // The old copy stays until the new one is complete.
    QFile::remove(target);
    if (!QFile::rename(partial, target)) QFile::remove(partial);
}

}  // namespace

void init_resources() { init_trawlex_resources(); }

void set_application_identity() {
    // No organisation name: the data folder is then ~/.local/share/Trawlex.
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QStringLiteral("Trawlex"));
    QCoreApplication::setApplicationVersion(QStringLiteral("3.0.0"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Trawlex"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.trawlex.Trawlex"));
}

QString resource_folder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString application_folder(const QString& executable_folder) {
    const QDir dir(executable_folder);
    if (dir.dirName() == QLatin1String("bin")) {
        const QString data = QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("../share/trawlex")));
        return QFileInfo(data).canonicalFilePath().isEmpty() ? data
                                                             : QFileInfo(data).canonicalFilePath();
    }
    const QString canonical = QFileInfo(executable_folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(dir.absolutePath()) : canonical;
}

bool prepare_resource_folder(const QString& folder, const QString& application_folder) {
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral(".")) || !dir.mkpath(QStringLiteral("TW_target")) ||
        !dir.mkpath(QStringLiteral("TW_found")) || !dir.mkpath(QStringLiteral("doc")))
        return false;
    for (const char* doc : {kEnglishDoc, kFrenchDoc, kEnglishHtmlDoc, kFrenchHtmlDoc})
        refresh_copy(QDir(application_folder).filePath(QLatin1String(doc)),
                     dir.filePath(QLatin1String(doc)));
    return true;
}

int install_translations(QCoreApplication& app, int language) {
    if (language != 1) return 0;
    int installed = 0;
    auto* own = new QTranslator(&app);
    if (own->load(QStringLiteral(":/i18n/trawlex_fr.qm")) && QCoreApplication::installTranslator(own))
        ++installed;
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(qt))
        ++installed;
    return installed;
}

QStringList preferred_languages() { return QLocale::system().uiLanguages(); }

int language_from_preferred(const QStringList& languages) {
    if (languages.isEmpty()) return 0;
    // At most 1023 bytes of the name are looked at, as a C string would hold.
    const QString first = QString::fromUtf8(languages.first().toUtf8().left(1023));
    return first.contains(QLatin1String("fr"), Qt::CaseInsensitive) ? 1 : 0;
}

}  // namespace tw::ui
