#include "ui/toolkit/help_document.h"

#include <QFileInfo>

#include "ui/toolkit/workspace.h"

// GIO's headers name a struct member "signals", which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace tw::ui {

bool has_default_application(const QString& mime_type) {
    GAppInfo* info = g_app_info_get_default_for_type(mime_type.toUtf8().constData(), FALSE);
    if (info == nullptr) return false;
    g_object_unref(info);
    return true;
}

HelpOpeners desktop_help_openers() {
    return {&open_document, [] { return has_default_application(QStringLiteral("application/pdf")); }};
}

HelpOpened open_help(const QString& pdf, const QString& html, const HelpOpeners& openers) {
    if (!QFileInfo(pdf).isFile()) return HelpOpened::Missing;
    const bool reader = openers.pdf_reader_known();
    if (reader && openers.open(pdf)) return HelpOpened::Pdf;
    const bool has_html = QFileInfo(html).isFile();
    if (has_html && openers.open(html)) return HelpOpened::Html;
    // GIO may not know of a reader that the desktop's opener still finds.
    if (!reader && openers.open(pdf)) return HelpOpened::Pdf;
    // The documents are there: what is missing is an application for them.
    return has_html ? HelpOpened::NoViewer : HelpOpened::NoPdfReader;
}

}  // namespace tw::ui
