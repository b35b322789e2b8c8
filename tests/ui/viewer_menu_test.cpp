// The found viewer's context menu and its shortcuts over a real result: what
// each copy puts on the clipboard, the command each opening starts with its
// arguments, and the files a drag of rows carries; the Info sheet, and the
// texts of every control in French.

#include <QClipboard>
#include <QMimeData>
#include <QTranslator>

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

    void copies_put_their_text_on_the_clipboard() {
        Viewer v;
        v.file("a.txt", "xxNEEDxx\nline NeEd two\n");
        v.file("b.txt", "NEED");
        tw_test::set_target(*v.engine, "need", {{v.tree / "a.txt", false}, {v.tree / "b.txt", false}});
        v.engine->tr.case_insensitive = 1;
        v.engine->search_in_target();
        v.viewer->show_view();
        v.viewer->Next_occ_but();
        const struct { const char *action, *key, *copied; } cases[] = {  // key: its shortcut, pressed in the list
            {"copy_path_action", "Ctrl+C", "@/a.txt"},
            {"copy_offset_action", "Ctrl+Shift+D", "14"},
            {"copy_offset_hexa_action", "Ctrl+Shift+H", "0xE"},
            {"copy_bytes_action", "Ctrl+Shift+B", "4E 65 45 64"},  // the occurrence's bytes
        };
        for (const auto& c : cases) {
            const QString copied = QString(c.copied).replace("@", QString::fromStdString(v.tree.path()));
            // From the menu of the row.
            QApplication::clipboard()->clear();
            QMenu* menu = v.viewer->make_context_menu(false, v.viewer->window());
            QVERIFY(menu->actions().contains(v.viewer->viewer_action(c.action)));
            v.viewer->viewer_action(c.action)->trigger();
            QCOMPARE(QApplication::clipboard()->text(), copied);
            delete menu;
            // By its shortcut, the list having the keyboard.
            QApplication::clipboard()->clear();
            QApplication::setActiveWindow(v.viewer->window());
            list_view(v)->setFocus();
            QTest::keySequence(list_view(v), QKeySequence(c.key));
            QCOMPARE(QApplication::clipboard()->text(), copied);
        }
    }

    // The excerpt's Ctrl+C copies its selection, and no entry of either
    // menu shows a key that another one of it shows.
    void the_excerpt_copies_its_selection() {
        Viewer v;
        v.show_three_files();
        for (const bool in_excerpt : {false, true}) {
            QMenu* menu = v.viewer->make_context_menu(in_excerpt, v.area());
            QStringList keys;
            for (const QAction* a : menu->actions())
                if (!a->shortcut().isEmpty()) keys << a->shortcut().toString();
            QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
            if (in_excerpt) {
                QApplication::clipboard()->clear();
                menu->findChild<QAction*>("copy_path_excerpt_action")->trigger();
                QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(v.tree / "a.txt"));
            }
            delete menu;
        }
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
        v.show_three_files();
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
        v.show_three_files();
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

    // A found file beyond the path limit: the list reads its size and its
    // Info sheet names it whole, with its size.
    void info_on_a_file_beyond_the_path_limit() {
        Viewer v;
        const std::string deep = tw_test::make_deep_file(v.tree.path(), "deep.txt", "xx NEED");
        QVERIFY(deep.size() > PATH_MAX);
        v.search("NEED", {});
        v.viewer->show_view();
        QCOMPARE(model(v)->data(model(v)->index(0, FoundListModel::SizeColumn)).toString(), QString("7"));
        v.viewer->Info_but();
        QDialog* sheet = v.viewer->info_sheet_panel();
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->findChild<QLabel*>("info_panel_pathname")->text(), QString::fromStdString(deep));
        QVERIFY(sheet->findChild<QLabel*>("info_panel_other")->text().startsWith("File size: 7\n"));
        v.viewer->Info_panel_ok_but();
        QVERIFY(!sheet->isVisible());
    }

    // In French every control of the viewer reads in French: the form's
    // texts through the application's catalogue, the others from their
    // English and French pairs.
    void every_control_reads_in_french() {
        QTranslator french;
        QVERIFY(french.load(":/i18n/trawlex_fr.qm"));
        QCoreApplication::installTranslator(&french);
        Viewer v(1);
        QCoreApplication::removeTranslator(&french);
        v.show_three_files();
        // Each control's text, tooltip, accessible name and items, those it has.
        const auto texts = [&v](const char* name) {
            QWidget* w = v.w<QWidget>(name);
            QStringList out{w->property("text").toString(), w->toolTip(), w->accessibleName()};
            if (auto* popup = qobject_cast<PullDown*>(w))
                for (int i = 1; i < popup->count(); ++i) out << popup->item_title(i);
            out.removeAll(QString());
            return out.join(" | ");
        };
        const struct { const char *name, *text; } controls[] = {
            {"unreadable_but_ref", "Éléments illisibles…"},
            {"filename_label", "Fichier :"},
            {"foldername_label", "Dossier :"},
            {"offset_label", "Position :"},
            {"line_label", "Ligne :"},
            {"file_nav_label", "Fichiers :"},
            {"previous_file_but_ref", "◀ | Fichier précédent (Ctrl+Gauche) | Fichier précédent"},
            {"next_file_but_ref", "▶ | Fichier suivant (Ctrl+Droite) | Fichier suivant"},
            {"file_index_tf_ref", "1 | Numéro du fichier"},
            {"go_file_but_ref", "Aller | Aller au fichier"},
            {"file_slider_ref", "Position dans les fichiers"},
            {"occ_nav_label", "Occurrences :"},
            {"previous_occ_but_ref", "◀ | Occurrence précédente (Maj+F3) | Occurrence précédente"},
            {"next_occ_but_ref", "▶ | Occurrence suivante (F3) | Occurrence suivante"},
            {"occ_index_tf_ref", "1 | Numéro de l'occurrence"},
            {"go_occ_but_ref", "Aller | Aller à l'occurrence"},
            {"occ_slider_ref", "Position dans les occurrences"},
            {"show_in_finder_but_ref", "Montrer dans le gestionnaire de fichiers"},
            {"info_but_ref", "Info..."},
            {"text_viewer_ref", "Extrait autour de l'occurrence"},
            {"launcher_popup", "Ouvrir avec | -------------- | Ajouter une application..."},
            {"hexa_or_text_popup", "Afficher en | Texte | Codage original | Octet hexadécimal"},
            {"found_filter_label", "Filtrer les chemins :"},
            {"found_filter_ref", "N'affiche que les fichiers trouvés dont le chemin contient ce texte | Filtrer les chemins"},
            {"found_list_status_ref", "3 fichiers trouvés"},
            {"found_list_ref", "Fichiers trouvés"},
        };
        for (const auto& c : controls) QCOMPARE(texts(c.name), QString::fromUtf8(c.text));
        QStringList headers;
        for (int column = 0; column < FoundListModel::ColumnCount; ++column)
            headers << model(v)->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"Chemin", "Occurrences", "Taille"}));
        QCOMPARE(v.viewer->window()->windowTitle(), QString("Visualiseur des occurrences"));
    }
};

TW_UI_SUITE(ViewerMenuTest)
#include "viewer_menu_test.moc"
