// make_guide MARKDOWN PDF HTML TITLE: builds the user guide's PDF and HTML
// versions from its Markdown source. Run at build time (offscreen).
#include <QGuiApplication>
#include <QTextStream>

#include "tools/make_guide/guide_document.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 5) {
        err << "usage: make_guide MARKDOWN PDF HTML TITLE\n";
        return 2;
    }
    tw::guide::GuideDocument guide(args[1]);
    if (!guide.error().isEmpty()) {
        err << "make_guide: " << guide.error() << '\n';
        return 1;
    }
    if (!guide.write_pdf(args[2], args[4])) {
        err << "make_guide: cannot write " << args[2] << '\n';
        return 1;
    }
    if (!guide.write_html(args[3], args[4])) {
        err << "make_guide: cannot write " << args[3] << '\n';
        return 1;
    }
    return 0;
}
