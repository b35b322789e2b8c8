// The workspace: the command line that opens a file with a .desktop entry
// (Exec field codes and quoting), launching it for real, file attributes,
// and drop destinations.
#include <pwd.h>
#include <unistd.h>

#include <QDropEvent>
#include <QFileSystemModel>
#include <QListView>
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
    void exec_line_expansion_data() {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        const QStringList one{"/tmp/a b.txt"};
        const QStringList two{"/tmp/a b.txt", "/tmp/c"};
        QTest::newRow("%f") << "gedit %f" << one << QStringList{"gedit", "/tmp/a b.txt"};
        QTest::newRow("%u is a file URL") << "app --open=%u" << one
                                          << QStringList{"app", "--open=file:///tmp/a%20b.txt"};
        QTest::newRow("%F one argument per file")
            << "app -x %F -y" << two << QStringList{"app", "-x", "/tmp/a b.txt", "/tmp/c", "-y"};
        QTest::newRow("%U") << "app %U" << two
                            << QStringList{"app", "file:///tmp/a%20b.txt", "file:///tmp/c"};
        QTest::newRow("dropped codes") << "app %i %c %k --name=%c %f" << one
                                       << QStringList{"app", "--name=", "/tmp/a b.txt"};
        QTest::newRow("deprecated codes") << "app %d %D %n %N %v %m %f" << one
                                          << QStringList{"app", "/tmp/a b.txt"};
        QTest::newRow("percent") << "app 100%% %f" << one
                                 << QStringList{"app", "100%", "/tmp/a b.txt"};
        QTest::newRow("no file code: appended") << "app --new-window" << one
                                                << QStringList{"app", "--new-window", "/tmp/a b.txt"};
        QTest::newRow("quoted program") << "\"/opt/My App/run\" %f" << one
                                        << QStringList{"/opt/My App/run", "/tmp/a b.txt"};
        QTest::newRow("quote escapes")
            << QString("sh -c \"echo \\\"\\$1\\\" \\\\ \\`x\\`\" %f") << one
            << QStringList{"sh", "-c", "echo \"$1\" \\ `x`", "/tmp/a b.txt"};
        QTest::newRow("empty quoted argument") << "app \"\" %f" << one
                                               << QStringList{"app", "", "/tmp/a b.txt"};
        QTest::newRow("runs of blanks") << "  app   %f  " << one
                                        << QStringList{"app", "/tmp/a b.txt"};
    }
    void exec_line_expansion() {
        QFETCH(QString, exec);
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        const std::optional<QStringList> got = expand_exec(exec, files);
        QVERIFY(got.has_value());
        QCOMPARE(*got, expected);
    }

    void unbalanced_quote_is_refused() {
        QVERIFY(!expand_exec("app \"open %f", {"/x"}).has_value());
        QVERIFY(!expand_exec("   ", {"/x"}).has_value());
    }

    void desktop_entry_is_read_with_string_escapes() {
        QTemporaryDir dir;
        const QString path = dir.filePath("viewer.desktop");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# comment\n[Desktop Entry]\nType=Application\nName=My Viewer\n"
                "Exec=\"/opt/my\\sviewer/bin\" --title \"a\\\\\\\\b\" %U\n"
                "Icon=viewer\n\n[Desktop Action New]\nExec=other %f\n");
        f.close();
        const std::optional<DesktopEntry> entry = read_desktop_entry(path);
        QVERIFY(entry.has_value());
        QCOMPARE(entry->name, QString("My Viewer"));
        QCOMPARE(entry->icon, QString("viewer"));
        // \s is a space; \\\\ in the file is \\ in the value, a \ after quoting.
        const std::optional<QStringList> line = launch_command_line(path, "/tmp/x y");
        QVERIFY(line.has_value());
        QCOMPARE(*line, (QStringList{"/opt/my viewer/bin", "--title", "a\\b", "file:///tmp/x%20y"}));
    }

    void plain_program_gets_the_file() {
        QCOMPARE(*launch_command_line("/usr/bin/hexedit", "/tmp/f"),
                 (QStringList{"/usr/bin/hexedit", "/tmp/f"}));
        QVERIFY(!launch_command_line("/no/such.desktop", "/tmp/f").has_value());
    }

    void desktop_entry_really_launches_with_the_file() {
        QTemporaryDir dir;
        const QString script = dir.filePath("record args.sh");
        const QString out = dir.filePath("out.txt");
        QFile s(script);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write(QString("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"%1.tmp\"\n"
                        "mv \"%1.tmp\" \"%1\"\n").arg(out).toUtf8());
        s.close();
        QVERIFY(s.setPermissions(s.permissions() | QFileDevice::ExeOwner));
        const QString desktop = dir.filePath("rec.desktop");
        QFile d(desktop);
        QVERIFY(d.open(QIODevice::WriteOnly));
        d.write(QString("[Desktop Entry]\nType=Application\nName=Rec\nExec=\"%1\" --flag %f\n")
                    .arg(script).toUtf8());
        d.close();
        QVERIFY(open_file_with_application("/some where/found file.bin", desktop));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
        QFile result(out);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("--flag\n/some where/found file.bin\n"));
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
