// Opening the user guide: the PDF with the desktop's PDF reader, or the same
// guide as an HTML page in the browser when the desktop has no PDF reader.
#pragma once

#include <QString>
#include <functional>

namespace tw::ui {

// Whether the desktop names a default application for `mime_type` (GIO's
// MIME associations, as the file manager uses them).
bool has_default_application(const QString& mime_type);

enum class HelpOpened {
    Pdf,        // the PDF was handed to the desktop
    Html,       // the HTML page was handed to the desktop
    Missing,      // there is no PDF to open
    NoPdfReader,  // the PDF is there, without its HTML page, and nothing opens it
    NoViewer,     // the PDF and the HTML page are there and nothing opens either
};

// The desktop operations that open_help uses; tests replace them.
struct HelpOpeners {
    std::function<bool(const QString&)> open;  // opens a document; false on failure
    std::function<bool()> pdf_reader_known;    // a PDF reader is installed
};

// The desktop's own operations: open_document and GIO's default application
// for "application/pdf".
HelpOpeners desktop_help_openers();

// Opens `pdf` when the desktop has a PDF reader and it accepts the file;
// otherwise opens `html` when it exists; as a last resort hands the PDF to
// the desktop anyway.
HelpOpened open_help(const QString& pdf, const QString& html, const HelpOpeners& openers);

}  // namespace tw::ui
