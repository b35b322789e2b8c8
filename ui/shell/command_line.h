// The desktop program's command line: its own options, the options that Qt
// takes for every application, and the files and folders handed over.
#pragma once

#include <QString>
#include <QStringList>

namespace tw::ui {

struct CommandLine {
    enum class Action {
        Run,      // start (or hand the items to the running instance)
        Help,     // print the usage and end with status 0
        Version,  // print the version and end with status 0
        Refuse,   // print `error` on the error output and end with status 2
    };
    Action action = Action::Run;
    // The files and folders, in the order given.
    QStringList items;
    // Qt's own options with their values, for the application object.
    QStringList qt_arguments;
    // Why the command line is refused, ending with a line feed.
    QString error;
};

// Reads `arguments` (the program's name first). "-h" and "--help" ask for
// the usage, "--version" for the version; Qt's options (-platform, -style...,
// with one dash or two) pass through; any other argument that begins with
// "-" is refused, unless it follows "--", after which every argument is a
// file or folder.
CommandLine parse_command_line(const QStringList& arguments, int language);

// The usage that --help prints, in the language (0 English, 1 French).
QString usage_text(int language);

}  // namespace tw::ui
