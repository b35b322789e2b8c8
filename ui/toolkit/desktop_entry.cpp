#include "ui/toolkit/desktop_entry.h"

#include <QFile>
#include <QTextStream>
#include <QUrl>

namespace tw::ui {

QString unescape_desktop_string(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        switch (n.unicode()) {
        case u's': out += u' '; break;
        case u'n': out += u'\n'; break;
        case u't': out += u'\t'; break;
        case u'r': out += u'\r'; break;
        case u'\\': out += u'\\'; break;
        default:  // not a string escape: kept for the Exec quoting rules
            out += c;
            out += n;
        }
    }
    return out;
}

std::optional<DesktopEntry> read_desktop_entry(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    DesktopEntry entry;
    bool in_main_group = false;
    bool has_exec = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            in_main_group = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!in_main_group) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Exec")) {
            entry.exec = unescape_desktop_string(value);
            has_exec = true;
        } else if (key == QLatin1String("Name")) {
            entry.name = unescape_desktop_string(value);
        } else if (key == QLatin1String("Icon")) {
            entry.icon = unescape_desktop_string(value);
        } else if (key == QLatin1String("Terminal")) {
            entry.terminal = value == QLatin1String("true");
        }
    }
    if (!has_exec) return std::nullopt;
    return entry;
}

std::optional<QStringList> split_exec(const QString& exec) {
    QStringList args;
    QString current;
    bool in_arg = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < exec.size() &&
                       QStringView(u"\"`$\\").contains(exec[i + 1])) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (in_arg) args.append(current);
            current.clear();
            in_arg = false;
        } else if (c == u'"') {
            quoted = true;
            in_arg = true;
        } else {
            current += c;
            in_arg = true;
        }
    }
    if (quoted) return std::nullopt;
    if (in_arg) args.append(current);
    return args;
}

namespace {

QString file_url(const QString& path) {
    return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
}

}  // namespace

std::optional<QStringList> expand_exec(const QString& exec, const QStringList& files) {
    const std::optional<QStringList> args = split_exec(exec);
    if (!args || args->isEmpty()) return std::nullopt;
    QStringList out;
    bool used_files = false;
    for (const QString& arg : *args) {
        if (arg == QLatin1String("%F") || arg == QLatin1String("%U")) {
            for (const QString& f : files) out.append(arg == QLatin1String("%F") ? f : file_url(f));
            used_files = true;
            continue;
        }
        if (arg == QLatin1String("%i") || arg == QLatin1String("%c") ||
            arg == QLatin1String("%k")) {
            continue;  // dropped codes stand alone: nothing remains of the argument
        }
        QString expanded;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg[i] != u'%' || i + 1 == arg.size()) {
                expanded += arg[i];
                continue;
            }
            const QChar code = arg[++i];
            switch (code.unicode()) {
            case u'%': expanded += u'%'; break;
            case u'f':
                if (!files.isEmpty()) expanded += files.first();
                used_files = true;
                break;
            case u'u':
                if (!files.isEmpty()) expanded += file_url(files.first());
                used_files = true;
                break;
            case u'F':
                expanded += files.join(u' ');
                used_files = true;
                break;
            case u'U': {
                QStringList urls;
                for (const QString& f : files) urls.append(file_url(f));
                expanded += urls.join(u' ');
                used_files = true;
                break;
            }
            default:  // %i %c %k and the deprecated %d %D %n %N %v %m
                break;
            }
        }
        // A %f or %u with no file leaves an empty argument out.
        if (!expanded.isEmpty() || !arg.contains(u'%')) out.append(expanded);
    }
    if (!used_files) out.append(files);
    if (out.isEmpty()) return std::nullopt;
    return out;
}

std::optional<QStringList> launch_command_line(const QString& application, const QString& file) {
    if (application.endsWith(QLatin1String(".desktop"))) {
        const std::optional<DesktopEntry> entry = read_desktop_entry(application);
        if (!entry) return std::nullopt;
        return expand_exec(entry->exec, QStringList{file});
    }
    return QStringList{application, file};
}

}  // namespace tw::ui
