#include "ui/toolkit/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QStandardPaths>

static void init_trawlex_resources() { Q_INIT_RESOURCE(trawlex); }

namespace tw::ui {

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
    for (const char* doc : {kEnglishDoc, kFrenchDoc}) {
        const QString target = dir.filePath(QLatin1String(doc));
        if (QFileInfo::exists(target)) continue;
        const QString installed = QDir(application_folder).filePath(QLatin1String(doc));
        const QString built_in = QStringLiteral(":/") + QLatin1String(doc);
        const QString source = QFileInfo::exists(installed) ? installed : built_in;
        if (QFile::copy(source, target))
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther);
    }
    return true;
}

QStringList preferred_languages() { return QLocale::system().uiLanguages(); }

int language_from_preferred(const QStringList& languages) {
    if (languages.isEmpty()) return 0;
    // At most 1023 bytes of the name are looked at, as a C string would hold.
    const QString first = QString::fromUtf8(languages.first().toUtf8().left(1023));
    return first.contains(QLatin1String("fr"), Qt::CaseInsensitive) ? 1 : 0;
}

}  // namespace tw::ui
