// Trawlex: start-up and shutdown of the desktop application.
#include <QApplication>

#include <cstdio>
#include <vector>

#include "ui/app/Application.h"
#include "ui/shell/command_line.h"
#include "ui/shell/quit_signals.h"
#include "ui/toolkit/app_paths.h"

int main(int argc, char** argv) {
    // The command line is read before the application object exists, so that
    // --help, --version and a refused argument need no display and reach no
    // running instance.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    const int language = tw::ui::language_from_preferred(tw::ui::preferred_languages());
    const tw::ui::CommandLine command = tw::ui::parse_command_line(arguments, language);
    switch (command.action) {
    case tw::ui::CommandLine::Action::Help:
        std::fputs(tw::ui::usage_text(language).toLocal8Bit().constData(), stdout);
        return 0;
    case tw::ui::CommandLine::Action::Version:
        std::fputs("trawlex (Trawlex) " TRAWLEX_VERSION "\n", stdout);
        return 0;
    case tw::ui::CommandLine::Action::Refuse:
        std::fputs(command.error.toLocal8Bit().constData(), stderr);
        return 2;
    case tw::ui::CommandLine::Action::Run: break;
    }
    // The application object sees the program's name and Qt's own options
    // only: no file name can pass for one of them.
    std::vector<QByteArray> qt_arguments{QByteArray(argv[0])};
    for (const QString& a : command.qt_arguments) qt_arguments.push_back(a.toLocal8Bit());
    std::vector<char*> qt_argv;
    for (QByteArray& a : qt_arguments) qt_argv.push_back(a.data());
    qt_argv.push_back(nullptr);
    int qt_argc = static_cast<int>(qt_arguments.size());
    // From here on a signal that ends the application is answered by the
    // main loop, also one sent while the application starts.
    tw::ui::install_quit_signal_handlers();
    QApplication app(qt_argc, qt_argv.data());
    tw::ui::Application application(app, command);
    return application.run();
}
