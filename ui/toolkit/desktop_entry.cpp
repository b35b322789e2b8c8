#include "ui/toolkit/desktop_entry.h"

#include <QFile>
#include <memory>

// GIO's headers name a struct member "signals", which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace tw::ui {
namespace {

struct AppInfoDeleter {
    void operator()(GDesktopAppInfo* info) const { g_object_unref(info); }
};
using AppInfo = std::unique_ptr<GDesktopAppInfo, AppInfoDeleter>;

AppInfo app_info(const QString& path) {
    return AppInfo(g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
}

QString from_utf8(const char* text) { return QString::fromUtf8(text != nullptr ? text : ""); }

}  // namespace

std::optional<DesktopEntry> read_desktop_entry(const QString& path) {
    const AppInfo info = app_info(path);
    if (!info) return std::nullopt;
    GAppInfo* app = G_APP_INFO(info.get());
    DesktopEntry entry;
    entry.name = from_utf8(g_app_info_get_name(app));
    entry.executable = from_utf8(g_app_info_get_executable(app));
    if (char* icon = g_desktop_app_info_get_string(info.get(), G_KEY_FILE_DESKTOP_KEY_ICON)) {
        entry.icon = from_utf8(icon);
        g_free(icon);
    }
    return entry;
}

std::optional<QString> launch_desktop_entry(const QString& path, const QByteArray& file) {
    const AppInfo info = app_info(path);
    if (!info) return QStringLiteral("%1 is not an application entry that can be started").arg(path);
    GFile* target = g_file_new_for_path(file.constData());
    GList* files = g_list_append(nullptr, target);
    GError* error = nullptr;
    const gboolean launched = g_app_info_launch(G_APP_INFO(info.get()), files, nullptr, &error);
    g_list_free(files);
    g_object_unref(target);
    if (launched) return std::nullopt;
    const QString why = error != nullptr ? from_utf8(error->message) : QString();
    if (error != nullptr) g_error_free(error);
    return why;
}

std::optional<QString> launch_default_application(const QByteArray& file) {
    GFile* target = g_file_new_for_path(file.constData());
    GError* error = nullptr;
    // The content type read from the file's name and bytes chooses it.
    GFileInfo* info = g_file_query_info(target, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                        G_FILE_QUERY_INFO_NONE, nullptr, &error);
    GAppInfo* app = nullptr;
    if (info != nullptr) {
        const char* type = g_file_info_get_content_type(info);
        if (type != nullptr) app = g_app_info_get_default_for_type(type, FALSE);
        g_object_unref(info);
    }
    std::optional<QString> why;
    if (app == nullptr) {
        why = error != nullptr ? from_utf8(error->message)
                               : QStringLiteral("no default application for this file");
    } else {
        GList* files = g_list_append(nullptr, target);
        if (!g_app_info_launch(app, files, nullptr, &error))
            why = error != nullptr ? from_utf8(error->message) : QString();
        g_list_free(files);
        g_object_unref(app);
    }
    if (error != nullptr) g_error_free(error);
    g_object_unref(target);
    return why;
}

}  // namespace tw::ui
