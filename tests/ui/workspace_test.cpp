// The workspace: opening a file with a .desktop entry or a program for real,
// also beyond the path limit; file attributes; drops.
#include <pwd.h>
#include <unistd.h>

#include <QtWidgets>
#include <climits>

#include "modal_answerer.h"
#include "support/temp_dir.h"
#include "ui/toolkit/desktop_entry.h"
#include "ui/toolkit/drop.h"
#include "ui/toolkit/workspace.h"

using namespace tw::ui;

namespace {

void write_executable(const QString& path, const QString& script) {
    QFile s(path);
    QVERIFY(s.open(QIODevice::WriteOnly | QIODevice::Truncate));
    s.write(script.toUtf8());
    s.close();
    QVERIFY(s.setPermissions(s.permissions() | QFileDevice::ExeOwner));
}

QStringList lines_of(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                       : QStringList{"<missing>"};
}

}  // namespace

class WorkspaceTest : public QObject {
    Q_OBJECT

private slots:
    // A .desktop entry is read and started by GIO: its translated name, its
    // Exec field codes, Path, Terminal and TryExec are honoured.
    void desktop_entries_are_read_and_started_through_gio() {
        QTemporaryDir dir;
        // A recorder: writes its working folder and arguments, one a line.
        const QString script = dir.filePath("record args.sh");
        write_executable(script, "#!/bin/sh\nout=\"$RECORD_TO\"\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                                 " > \"$out.tmp\"\nmv \"$out.tmp\" \"$out\"\n");
        // The terminal GIO looks for first among those it knows, on PATH.
        QVERIFY(QDir(dir.path()).mkpath("bin") && QDir(dir.path()).mkpath("work"));
        QVERIFY(QFile::link(script, dir.filePath("bin/gnome-terminal")));
        qputenv("PATH", dir.filePath("bin").toUtf8() + ":" + qgetenv("PATH"));
        const QString file = "/some where/found file.bin";
        const QString exec = QString("Exec=\"%1\" --flag %f\n").arg(script);
        const struct {
            const char* name;
            QString entry;         // the lines after [Desktop Entry]
            QStringList recorded;  // pwd, then the arguments; empty: it does not start
        } cases[] = {
            {"TryExec missing", exec + "TryExec=/no/such/program\n", {}},
            {"plain", exec, {QDir::currentPath(), "--flag", file}},
            // GIO gives a local file as its path, also to %u.
            {"a URL", QString("Exec=\"%1\" %u\n").arg(script), {QDir::currentPath(), file}},
            {"Path", exec + "Path=" + dir.filePath("work") + "\n", {dir.filePath("work"), "--flag", file}},
            {"Terminal", exec + "Terminal=true\n", {QDir::currentPath(), "--", script, "--flag", file}},
        };
        for (const auto& c : cases) {
            const QString out = dir.filePath(QString("out-%1.txt").arg(c.name));
            qputenv("RECORD_TO", out.toUtf8());
            const QString desktop = dir.filePath("rec.desktop");
            write_executable(desktop, "[Desktop Entry]\nType=Application\nName=Rec\nName[fr]=Enregistreur\n" + c.entry);
            QVERIFY2(read_desktop_entry(desktop).has_value() == !c.recorded.isEmpty(), c.name);
            QVERIFY2(open_file_with_application(QFile::encodeName(file), desktop) == !c.recorded.isEmpty(), c.name);
            if (c.recorded.isEmpty()) continue;
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
            QCOMPARE(lines_of(out), c.recorded);
        }
        qputenv("LANGUAGE", "fr");
        QCOMPARE(read_desktop_entry(dir.filePath("rec.desktop"))->name, QString("Enregistreur"));
        qunsetenv("LANGUAGE");
        QVERIFY(!read_desktop_entry(dir.filePath("missing.desktop")).has_value());
        // The file manager is given the path's own bytes, percent-encoded.
        QCOMPARE(file_uri("/tmp/caf\xE9 #1~.txt"), QByteArray("file:///tmp/caf%E9%20%231~.txt"));
    }

    void a_file_beyond_the_path_limit_is_opened_from_its_folder() {
        QTemporaryDir dir;
        const QString deep = QString::fromStdString(tw_test::make_deep_file(dir.path().toStdString(), "found.txt", "deep content"));
        QVERIFY(deep.size() > PATH_MAX);
        // The application copies the file it is given, by the name it gets.
        const QString out = dir.filePath("out.txt");
        write_executable(dir.filePath("copy.sh"), QString("#!/bin/sh\ncat \"$1\" > \"%1.tmp\" && mv \"%1.tmp\" \"%1\"\n").arg(out));
        QVERIFY(open_file_with_application(QFile::encodeName(deep), dir.filePath("copy.sh")));
        QTRY_COMPARE_WITH_TIMEOUT(lines_of(out), QStringList{"deep content"}, 10000);
        // An application that cannot be started is reported as such.
        QVERIFY(!open_file_with_application(QFile::encodeName(deep), dir.filePath("missing-app")));
        tw_test::remove_tree(QFile::encodeName(dir.path()).toStdString());
    }

    void file_attributes_are_read_without_following_links() {
        QTemporaryDir dir;
        const QString file = dir.filePath("data.bin");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1234, 'x'));
        f.close();
        const std::optional<FileAttributes> a = file_attributes(file);
        QVERIFY(a.has_value());
        QCOMPARE(a->size, std::uint64_t(1234));
        QVERIFY(qAbs(a->modified.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(a->owner, QString::fromLocal8Bit(getpwuid(getuid())->pw_name));
        const QString link = dir.filePath("link");
        QVERIFY(QFile::link(file, link));
        QCOMPARE(file_attributes(link)->size, std::uint64_t(file.toUtf8().size()));
        QCOMPARE(file_attributes(link, true)->size, std::uint64_t(1234));
        QVERIFY(!file_attributes(dir.filePath("missing")).has_value());
    }

    void drops_deliver_local_paths_before_text() {
        QWidget w;
        QStringList paths;
        QString text;
        new DropTarget(
            &w, [&](const QStringList& p, QPoint) { paths = p; }, [&](const QString& t, QPoint) { text = t; });
        // Drops a copy of `data` and says whether it was accepted.
        const auto drop = [&w](const QMimeData& data) {
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&w, &enter);
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&w, &dropped);
            return enter.isAccepted() && enter.dropAction() == Qt::CopyAction;
        };
        QMimeData both, words, other;
        both.setUrls({QUrl::fromLocalFile("/tmp/one"), QUrl("https://example.org/x"), QUrl::fromLocalFile("/tmp/two")});
        both.setText("ignored text");
        QVERIFY(drop(both));
        QCOMPARE(paths, (QStringList{"/tmp/one", "/tmp/two"}));
        QVERIFY(text.isEmpty());
        words.setText("needle");
        QVERIFY(drop(words));
        QCOMPARE(text, QString("needle"));
        other.setData("application/x-other", "z");
        paths.clear();
        QVERIFY(!drop(other));
        QVERIFY(paths.isEmpty());
    }
};

TW_UI_SUITE(WorkspaceTest)
#include "workspace_test.moc"
