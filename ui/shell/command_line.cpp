#include "ui/shell/command_line.h"

namespace tw::ui {
namespace {

const char* const usage_s[2] = {
    "Usage: trawlex [OPTION]... [FILE OR FOLDER]...\n"
    "Finds every occurrence of a string of bytes in the contents of files.\n"
    "The files and folders given become the items of a new target, opened in the\n"
    "target editor (by the Trawlex already running, if there is one).\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "  --             every argument after it is a file or folder, even one that\n"
    "                 begins with \"-\"\n"
    "\n"
    "The options of every Qt application (-platform, -style, -reverse...) are\n"
    "also taken. To search from a terminal, use trawlex-cli.\n",
    "Usage : trawlex [OPTION]... [FICHIER OU DOSSIER]...\n"
    "Trouve chaque occurrence d'une suite d'octets dans le contenu des fichiers.\n"
    "Les fichiers et dossiers donn\u00e9s deviennent les \u00e9l\u00e9ments d'un nouveau canevas,\n"
    "ouvert dans l'\u00e9diteur de canevas (par le Trawlex d\u00e9j\u00e0 lanc\u00e9, s'il y en a un).\n"
    "\n"
    "  -h, --help     affiche cette aide et quitte\n"
    "      --version  affiche la version et quitte\n"
    "  --             tout argument qui le suit est un fichier ou un dossier, m\u00eame\n"
    "                 s'il commence par \u00ab\u00a0-\u00a0\u00bb\n"
    "\n"
    "Les options de toute application Qt (-platform, -style, -reverse...) sont\n"
    "aussi accept\u00e9es. Pour chercher depuis un terminal : trawlex-cli.\n"};
const char* const unknown_option_s[2] = {
    "trawlex: unknown option: %1\n"
    "A file or folder whose name begins with \"-\" goes after \"--\".\n"
    "See \"trawlex --help\".\n",
    "trawlex : option inconnue : %1\n"
    "Un fichier ou dossier dont le nom commence par \u00ab\u00a0-\u00a0\u00bb se place apr\u00e8s \u00ab\u00a0--\u00a0\u00bb.\n"
    "Voir \u00ab\u00a0trawlex --help\u00a0\u00bb.\n"};
const char* const missing_value_s[2] = {"trawlex: the option %1 needs a value\n",
                                        "trawlex : l'option %1 demande une valeur\n"};

// Qt's options that take a value (as "-name value" or "-name=value") and
// those that take none.
const char* const qt_valued[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                 "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                 "display", "geometry", "style", "stylesheet", "qmljsdebugger",
                                 "name", "title", "fontengine", "dialogs"};
const char* const qt_flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <std::size_t N>
bool is_one_of(const QString& name, const char* const (&names)[N]) {
    for (const char* n : names)
        if (name == QLatin1String(n)) return true;
    return false;
}

}  // namespace

CommandLine parse_command_line(const QStringList& arguments, int language) {
    const int l = language != 0 ? 1 : 0;
    CommandLine line;
    const auto refuse = [&](const char* const (&message)[2], const QString& argument) {
        line = CommandLine{};
        line.action = CommandLine::Action::Refuse;
        line.error = QString::fromUtf8(message[l]).arg(argument);
        return line;
    };
    bool only_items = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (only_items || !argument.startsWith(u'-')) {
            line.items.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            only_items = true;
            continue;
        }
        const QString word = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = word.indexOf(u'=');
        const QString name = word.left(equals);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (argument == QLatin1String("--version")) {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (is_one_of(name, qt_valued)) {
            line.qt_arguments.append(argument);
            if (equals >= 0) continue;
            if (i + 1 >= arguments.size()) return refuse(missing_value_s, argument);
            line.qt_arguments.append(arguments[++i]);
            continue;
        }
        if (equals < 0 && is_one_of(name, qt_flags)) {
            line.qt_arguments.append(argument);
            continue;
        }
        return refuse(unknown_option_s, argument);
    }
    return line;
}

QString usage_text(int language) { return QString::fromUtf8(usage_s[language != 0 ? 1 : 0]); }

}  // namespace tw::ui
