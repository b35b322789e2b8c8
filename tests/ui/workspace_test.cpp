// The workspace: opening a file with a .desktop entry or a program for
// real, file attributes, and drop destinations.
#include <pwd.h>
#include <unistd.h>

#include <QDropEvent>
#include <QFileSystemModel>
#include <QListView>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <QtTest>
#include <fcntl.h>
#include <climits>

#include "support/temp_dir.h"

#include "ui/toolkit/desktop_entry.h"
#include "ui/toolkit/drop.h"
#include "ui/toolkit/panels.h"
#include "ui/toolkit/workspace.h"

using namespace tw::ui;

class WorkspaceTest : public QObject {
    Q_OBJECT

private slots:
    // A .desktop entry is read and started by GIO: its translated name, its
    // Exec field codes, Path, Terminal and TryExec are honoured.
    void desktop_entries_are_read_and_started_through_gio() {
        QTemporaryDir dir;
        // A recorder: writes its working folder and arguments, one a line.
        const QString script = dir.filePath("record args.sh");
        QFile s(script);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("#!/bin/sh\nout=\"$RECORD_TO\"\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                " > \"$out.tmp\"\nmv \"$out.tmp\" \"$out\"\n");
        s.close();
        QVERIFY(s.setPermissions(s.permissions() | QFileDevice::ExeOwner));
        // The terminal GIO looks for first among those it knows, on PATH.
        QVERIFY(QDir(dir.path()).mkdir("bin"));
        QVERIFY(QFile::link(script, dir.filePath("bin/gnome-terminal")));
        qputenv("PATH", dir.filePath("bin").toUtf8() + ":" + qgetenv("PATH"));
        QVERIFY(QDir(dir.path()).mkdir("work"));

        struct Case {
            const char* name;
            QString entry;           // the lines after [Desktop Entry]
            bool starts;
            QStringList recorded;    // pwd, then the arguments
        };
        const QString file = "/some where/found file.bin";
        const QString exec = QString("Exec=\"%1\" --flag %f\n").arg(script);
        const Case cases[] = {
            {"plain", exec, true, {QDir::currentPath(), "--flag", file}},
            // GIO gives a local file as its path, also to %u.
            {"a URL", QString("Exec=\"%1\" %u\n").arg(script), true,
             {QDir::currentPath(), file}},
            {"Path", exec + "Path=" + dir.filePath("work") + "\n", true,
             {dir.filePath("work"), "--flag", file}},
            {"Terminal", exec + "Terminal=true\n", true,
             {QDir::currentPath(), "--", script, "--flag", file}},
            {"TryExec missing", exec + "TryExec=/no/such/program\n", false, {}},
        };
        for (const Case& c : cases) {
            const QString out = dir.filePath(QString("out-%1.txt").arg(c.name));
            qputenv("RECORD_TO", out.toUtf8());
            const QString desktop = dir.filePath("rec.desktop");
            QFile d(desktop);
            QVERIFY(d.open(QIODevice::WriteOnly | QIODevice::Truncate));
            d.write(("[Desktop Entry]\nType=Application\nName=Rec\nName[fr]=Enregistreur\n" +
                     c.entry).toUtf8());
            d.close();
            QCOMPARE(read_desktop_entry(desktop).has_value(), c.starts);
            QCOMPARE(open_file_with_application(file, desktop), c.starts);
            if (!c.starts) continue;
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
            QFile result(out);
            QVERIFY(result.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(result.readAll()).split('\n', Qt::SkipEmptyParts),
                     c.recorded);
        }
        const QString desktop = dir.filePath("names.desktop");
        QFile d(desktop);
        QVERIFY(d.open(QIODevice::WriteOnly));
        d.write(("[Desktop Entry]\nType=Application\nName=Rec\nName[fr]=Enregistreur\n" + exec)
                    .toUtf8());
        d.close();
        qputenv("LANGUAGE", "fr");
        QCOMPARE(read_desktop_entry(desktop)->name, QString("Enregistreur"));
        qputenv("LANGUAGE", "en");
        QCOMPARE(read_desktop_entry(desktop)->name, QString("Rec"));
        qunsetenv("LANGUAGE");
        QVERIFY(!read_desktop_entry(dir.filePath("missing.desktop")).has_value());
        // Any other path is a program, given the file.
        qputenv("RECORD_TO", dir.filePath("direct.txt").toUtf8());
        QVERIFY(open_file_with_application(file, script));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("direct.txt")), 10000);
    }

    void a_file_beyond_the_path_limit_is_opened_from_its_folder() {
        QTemporaryDir dir;
        // 20 folders of 250 characters: a path no single open accepts.
        const std::string part(250, 'p');
        int fd = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
        QString deep = dir.path();
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(::mkdirat(fd, part.c_str(), 0755), 0);
            const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
            deep += '/' + QString::fromStdString(part);
        }
        const int file = ::openat(fd, "found.txt", O_WRONLY | O_CREAT, 0644);
        QCOMPARE(::write(file, "deep content", 12), ssize_t{12});
        ::close(file);
        ::close(fd);
        QVERIFY(deep.size() > PATH_MAX);
        // The application copies the file it is given, by the name it gets.
        const QString script = dir.filePath("copy.sh");
        const QString out = dir.filePath("out.txt");
        QFile s(script);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write(QString("#!/bin/sh\ncat \"$1\" > \"%1.tmp\" && mv \"%1.tmp\" \"%1\"\n").arg(out).toUtf8());
        s.close();
        QVERIFY(s.setPermissions(s.permissions() | QFileDevice::ExeOwner));
        QVERIFY(open_file_with_application(deep + "/found.txt", script));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
        QFile result(out);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("deep content"));
        // An application that cannot be started is reported as such.
        QVERIFY(!open_file_with_application(deep + "/found.txt", dir.filePath("missing-app")));
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
        const struct passwd* me = getpwuid(getuid());
        QVERIFY(me != nullptr);
        QCOMPARE(a->owner, QString::fromLocal8Bit(me->pw_name));
        const QString link = dir.filePath("link");
        QVERIFY(QFile::link(file, link));
        QCOMPARE(file_attributes(link)->size, std::uint64_t(file.toUtf8().size()));
        QCOMPARE(file_attributes(link, true)->size, std::uint64_t(1234));
        QVERIFY(!file_attributes(dir.filePath("missing")).has_value());
    }

    void open_panel_chooses_files_and_folders_together() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QFile f(dir.filePath("file.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QFile hidden(dir.filePath(".hidden"));
        QVERIFY(hidden.open(QIODevice::WriteOnly));
        hidden.close();
        OpenPanelOptions options;
        options.directory = dir.path();
        options.choose_folders = true;
        options.multiple = true;
        OpenPanel panel(nullptr, options);
        panel.show();
        auto* list = panel.findChild<QListView*>("listView");
        QVERIFY(list != nullptr);
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(list->rootIndex()), 2, 5000);
        panel.set_shows_hidden_files(true);
        QVERIFY(panel.shows_hidden_files());
        QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(list->rootIndex()), 3, 5000);
        panel.set_shows_hidden_files(false);
        QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(list->rootIndex()), 2, 5000);
        list->selectAll();
        panel.accept();
        QCOMPARE(panel.result(), int(QDialog::Accepted));
        QStringList chosen = panel.filenames();
        chosen.sort();
        QCOMPARE(chosen, (QStringList{dir.filePath("file.txt"), dir.filePath("sub")}));
    }

    void drops_deliver_paths_before_text() {
        QWidget w;
        w.resize(200, 100);
        QStringList got_paths;
        QString got_text;
        QPoint where;
        new DropTarget(
            &w, [&](const QStringList& p, QPoint pos) { got_paths = p; where = pos; },
            [&](const QString& t, QPoint pos) { got_text = t; where = pos; });
        QVERIFY(w.acceptDrops());

        QMimeData both;
        both.setUrls({QUrl::fromLocalFile("/tmp/one"), QUrl("https://example.org/x"),
                      QUrl::fromLocalFile("/tmp/two")});
        both.setText("ignored text");
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &both,
                              Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(42, 17), Qt::CopyAction, &both, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
        QCOMPARE(got_paths, (QStringList{"/tmp/one", "/tmp/two"}));
        QVERIFY(got_text.isEmpty());
        QCOMPARE(where, QPoint(42, 17));

        QMimeData text;
        text.setText("needle");
        QDragEnterEvent enter_text(QPoint(5, 6), Qt::CopyAction, &text, Qt::LeftButton,
                                   Qt::NoModifier);
        QApplication::sendEvent(&w, &enter_text);
        QVERIFY(enter_text.isAccepted());
        QDropEvent drop_text(QPointF(5, 6), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop_text);
        QCOMPARE(got_text, QString("needle"));
        QCOMPARE(where, QPoint(5, 6));

        QMimeData nothing;
        nothing.setData("application/x-other", "z");
        QDragEnterEvent refused(QPoint(1, 1), Qt::CopyAction, &nothing, Qt::LeftButton,
                                Qt::NoModifier);
        QApplication::sendEvent(&w, &refused);
        QVERIFY(!refused.isAccepted());
    }
};

QTEST_MAIN(WorkspaceTest)
#include "workspace_test.moc"
