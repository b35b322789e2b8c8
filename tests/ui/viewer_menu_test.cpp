// The found viewer's context menu and its shortcuts over a real result: what
// each copy puts on the clipboard, the command each opening starts with its
// arguments, and the files a drag of rows carries.
#include <QClipboard>
#include <QMimeData>

#include "viewer_fixture.h"

using namespace tw::ui;
using viewer_test::Viewer;

namespace {

QString read_text(const QString& path) { return QString::fromUtf8(tw_test::file_bytes(path)); }

}  // namespace

class ViewerMenuTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The default application of plain text: a recorder, for GIO to start.
        const QTemporaryDir& home = tw_test::ui_home();
        QVERIFY(QDir().mkpath(home.filePath("data/applications")) && QDir().mkpath(home.filePath("config")));
        viewer_test::write_recorder(home.filePath("default.sh").toStdString(), home.filePath("default.out").toStdString());
        tw_test::write_file(home.filePath("data/applications/trawlex-test-default.desktop").toStdString(),
                            "[Desktop Entry]\nType=Application\nName=Rec\nExec=" +
                                home.filePath("default.sh").toStdString() + " %f\nMimeType=text/plain;\n");
        tw_test::write_file(home.filePath("config/mimeapps.list").toStdString(),
                            "[Default Applications]\ntext/plain=trawlex-test-default.desktop\n");
    }

    void copies_put_their_text_on_the_clipboard_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("key");  // its shortcut, pressed in the list
        QTest::addColumn<QString>("copied");
        QTest::newRow("path") << "copy_path_action" << "Ctrl+C" << "@/a.txt";
        QTest::newRow("offset") << "copy_offset_action" << "Ctrl+Shift+D" << "14";
        QTest::newRow("offset, hexadecimal")
            << "copy_offset_hexa_action" << "Ctrl+Shift+H" << "0xE";
        QTest::newRow("occurrence's bytes")
            << "copy_bytes_action" << "Ctrl+Shift+B" << "4E 65 45 64";
    }
    void copies_put_their_text_on_the_clipboard() {
        QFETCH(QString, action);
        QFETCH(QString, key);
        QFETCH(QString, copied);
        Viewer v;
        v.file("a.txt", "xxNEEDxx\nline NeEd two\n");
        v.file("b.txt", "NEED");
        tw_test::set_target(*v.engine, "need", {{v.tree / "a.txt", false}, {v.tree / "b.txt", false}});
        v.engine->tr.case_insensitive = 1;
        v.engine->search_in_target();
        v.viewer->show_view();
        v.viewer->Next_occ_but();
        copied.replace("@", QString::fromStdString(v.tree.path()));
        // From the menu of the row.
        QApplication::clipboard()->clear();
        QMenu* menu = v.viewer->make_context_menu(false, v.viewer->window());
        QVERIFY(menu->actions().contains(v.viewer->viewer_action(action.toLatin1())));
        v.viewer->viewer_action(action.toLatin1())->trigger();
        QCOMPARE(QApplication::clipboard()->text(), copied);
        delete menu;
        // By its shortcut, the list having the keyboard.
        QApplication::clipboard()->clear();
        QApplication::setActiveWindow(v.viewer->window());
        list_view(v)->setFocus();
        QTest::keySequence(list_view(v), QKeySequence(key));
        QCOMPARE(QApplication::clipboard()->text(), copied);
    }

    void the_excerpt_copies_its_selection() {
        Viewer v;
        v.three_files();
        v.viewer->show_view();
        QMenu* menu = v.viewer->make_context_menu(true, v.area());
        QVERIFY(!v.viewer->viewer_action("copy_selection_action")->isEnabled());
        delete menu;
        QTextCursor cursor = v.area()->textCursor();
        cursor.setPosition(2);
        cursor.setPosition(6, QTextCursor::KeepAnchor);
        v.area()->setTextCursor(cursor);
        menu = v.viewer->make_context_menu(true, v.area());
        QVERIFY(v.viewer->viewer_action("copy_selection_action")->isEnabled());
        v.viewer->viewer_action("copy_selection_action")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("NEED"));
        delete menu;
    }

    void openings_start_their_application_with_the_file() {
        Viewer v;
        v.three_files();
        v.viewer->show_view();
        list_view(v)->setCurrentIndex(v.viewer->found_list_model()->index(1, 0));
        const QString file = QString::fromStdString(v.tree / "sub/b.txt");
        // The default application, through GIO; Open too while the launcher
        // list is empty.
        const QString by_default = tw_test::ui_home().filePath("default.out");
        for (const char* action : {"open_default_action", "open_action"}) {
            QFile::remove(by_default);
            v.viewer->viewer_action(action)->trigger();
            QTRY_COMPARE_WITH_TIMEOUT(read_text(by_default), file + "\n", 10000);
        }
        // Open takes the launcher list's first application; Open With any.
        QTemporaryDir apps;
        for (const char* app : {"first", "second"}) {
            viewer_test::write_recorder(apps.filePath(app).toStdString(), apps.filePath(QString(app) + ".out").toStdString());
            QCOMPARE(v.engine->append_to_launcher(apps.filePath(app).toLocal8Bit().constData()), tw::u64{0});
        }
        v.viewer->viewer_action("open_action")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(read_text(apps.filePath("first.out")), file + "\n", 10000);
        QMenu* menu = v.viewer->make_context_menu(false, v.viewer->window());
        auto* with = menu->findChild<QMenu*>("open_with_menu");
        QCOMPARE(with->actions().size(), 4);  // two applications, a line, "Add application..."
        with->actions()[1]->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(read_text(apps.filePath("second.out")), file + "\n", 10000);
        QSignalSpy add(v.viewer.get(), &ViewerController::add_application_asked);
        with->actions()[3]->trigger();
        QCOMPARE(add.count(), 1);
        delete menu;
    }

    void dragged_rows_carry_their_files() {
        Viewer v;
        v.three_files();
        v.viewer->show_view();
        FoundListModel* model = v.viewer->found_list_model();
        list_view(v)->sortByColumn(FoundListModel::PathColumn, Qt::DescendingOrder);
        QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsDragEnabled);
        std::unique_ptr<QMimeData> data(
            model->mimeData({model->index(2, 1), model->index(0, 0), model->index(0, 2)}));
        QVERIFY(data->hasFormat("text/uri-list"));
        const QString root = QUrl::fromLocalFile(QString::fromStdString(v.tree.path())).toString();
        QCOMPARE(QString::fromLatin1(data->data("text/uri-list")).split("\r\n", Qt::SkipEmptyParts),
                 (QStringList{root + "/sub/deeper/c.txt", root + "/a.txt"}));
    }
};

TW_UI_SUITE(ViewerMenuTest)
#include "viewer_menu_test.moc"
