// Start-up and shutdown of the application shell: the language, the
// resource folder, the settings saved at quit, the batching of handed-over
// files, the start-up and Help alerts, and the saved window colour.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "engine/tw.h"
#include "modal_answerer.h"
#include "ui/shell/MenuController.h"
#include "ui/toolkit/app_paths.h"
#include "ui/toolkit/defaults.h"

using namespace tw::ui;

namespace {

struct Receiver : DropItemsReceiver {
    QList<QStringList> batches;
    void show_target_window_drop_items(const QStringList& items) override {
        batches.append(items);
    }
};

using AlertAnswerer = tw_test::ModalAnswerer;

void* failing_allocate(std::size_t) { return nullptr; }
void* failing_reallocate(void*, std::size_t) { return nullptr; }
void plain_release(void* block) { std::free(block); }

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath("config")));
        set_application_identity();
        init_resources();
    }

    void language_from_first_preferred_data() {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<int>("language");
        QTest::newRow("fr-CA") << QStringList{"fr-CA", "en-US"} << 1;
        QTest::newRow("FR") << QStringList{"FR"} << 1;
        QTest::newRow("fr_CA") << QStringList{"fr_CA"} << 1;
        QTest::newRow("en-US") << QStringList{"en-US", "fr-FR"} << 0;
        QTest::newRow("de") << QStringList{"de", "fr"} << 0;
        QTest::newRow("none") << QStringList{} << 0;
    }
    void language_from_first_preferred() {
        QFETCH(QStringList, languages);
        QFETCH(int, language);
        QCOMPARE(language_from_preferred(languages), language);
    }

    void language_is_chosen_once() {
        tw::Engine engine;
        MenuController menu(engine);
        menu.set_preferred_languages_source([] { return QStringList{"fr-CA"}; });
        QVERIFY(!menu.language_is_set());
        menu.set_language();
        QVERIFY(menu.language_is_set());
        QCOMPARE(engine.language, 1);
        menu.set_preferred_languages_source([] { return QStringList{"en-US"}; });
        menu.set_language();
        QCOMPARE(engine.language, 1);
    }

    void resource_folder_is_created_with_its_folders() {
        const QString folder = resource_folder();
        QCOMPARE(folder, home_.filePath("data/Trawlex"));
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(prepare_resource_folder(folder, home_.filePath("no-such-app")));
        QVERIFY(QFileInfo(folder + "/TW_target").isDir());
        QVERIFY(QFileInfo(folder + "/TW_found").isDir());
        QVERIFY(QDir(folder + "/TW_target").isEmpty());
        QVERIFY(QDir(folder + "/TW_found").isEmpty());
        // Without installed documents the doc folder stays empty (Help then
        // says that its document is missing).
        QVERIFY(QFileInfo(folder + "/doc").isDir());
        QVERIFY(QDir(folder + "/doc").isEmpty());
    }

    void installed_documents_are_preferred() {
        QTemporaryDir app;
        QVERIFY(QDir(app.path()).mkpath("doc"));
        QFile mine(app.filePath(kEnglishDoc));
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("%PDF-installed");
        mine.close();
        const QString folder = home_.filePath("other-resources");
        QVERIFY(prepare_resource_folder(folder, app.path()));
        QFile copied(folder + "/" + kEnglishDoc);
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), QByteArray("%PDF-installed"));
    }

    void application_folder_is_not_a_shared_bin_folder() {
        QCOMPARE(application_folder("/usr/bin"), QString("/usr/share/trawlex"));
        QCOMPARE(application_folder("/opt/trawlex/bin"), QString("/opt/trawlex/share/trawlex"));
        QCOMPARE(application_folder(home_.path()), QFileInfo(home_.path()).canonicalFilePath());
    }

    void quitting_saves_the_settings_files() {
        const QString folder = home_.filePath("settings-run");
        QVERIFY(prepare_resource_folder(folder, QString()));
        tw::Engine engine;
        engine.resource_dir_pathname_ptr = folder.toStdString();
        MenuController menu(engine);
        menu.set_preferred_languages_source([] { return QStringList{"en"}; });
        QVERIFY(menu.init());
        engine.cur_target_index = -1;
        QVERIFY(!QFileInfo::exists(folder + "/TW_preference"));
        menu.application_should_terminate();
        QCOMPARE(QFileInfo(folder + "/TW_preference").size(), qint64(62));
        QVERIFY(QFileInfo::exists(folder + "/TW_launcher"));
        // A second quit path (the main loop ending after aboutToQuit) does
        // not run the shutdown again.
        QFile::remove(folder + "/TW_preference");
        menu.application_should_terminate();
        QVERIFY(!QFileInfo::exists(folder + "/TW_preference"));
    }

    void engine_failure_at_start_shows_the_memory_alert() {
        const QString folder = home_.filePath("oom-run");
        QVERIFY(prepare_resource_folder(folder, QString()));
        tw::Engine engine(tw::Allocator{failing_allocate, failing_reallocate, plain_release});
        engine.resource_dir_pathname_ptr = folder.toStdString();
        MenuController menu(engine);
        menu.set_preferred_languages_source([] { return QStringList{"fr-FR"}; });
        AlertAnswerer answerer;
        answerer.arm();
        QVERIFY(!menu.init());
        QVERIFY(answerer.seen);
        QCOMPARE(answerer.title, QString("Erreur"));
        QCOMPARE(answerer.message, QString::fromUtf8("Initialisation impossible: pas assez de mémoire"));
    }

    void files_handed_over_together_arrive_in_one_batch() {
        tw::Engine engine;
        MenuController menu(engine);
        Receiver receiver;
        menu.set_drop_items_receiver(&receiver);
        menu.application_open_file("/a");
        menu.application_open_file("/b");
        QCoreApplication::processEvents();  // a moment passes, well under 0.1 s
        menu.application_open_file("/c");
        QCOMPARE(receiver.batches.size(), 0);  // still gathering
        QTRY_COMPARE_WITH_TIMEOUT(receiver.batches.size(), 1, 2000);
        QCOMPARE(receiver.batches.first(), (QStringList{"/a", "/b", "/c"}));
        QVERIFY(menu.dropped_items().isEmpty());
        QTest::qWait(250);
        QCOMPARE(receiver.batches.size(), 1);  // the timer fired once
        menu.application_open_file("/d");
        QTRY_COMPARE_WITH_TIMEOUT(receiver.batches.size(), 2, 2000);
        QCOMPARE(receiver.batches.last(), QStringList{"/d"});
    }

    void help_without_its_document_alerts() {
        const QString folder = home_.filePath("no-doc");
        QVERIFY(QDir().mkpath(folder));
        tw::Engine engine;
        engine.resource_dir_pathname_ptr = folder.toStdString();
        MenuController menu(engine);
        menu.set_preferred_languages_source([] { return QStringList{"en-GB"}; });
        menu.set_language();
        QCOMPARE(menu.help_document_path(), folder + "/doc/english_doc.pdf");
        AlertAnswerer answerer;
        answerer.arm();
        menu.Help_menu_item();
        QVERIFY(answerer.seen);
        QCOMPARE(answerer.title, QString("Trawlex"));
        QCOMPARE(answerer.message, QString("Cannot find the the help doc"));
    }

    void french_help_document_path() {
        tw::Engine engine;
        engine.resource_dir_pathname_ptr = "/res";
        MenuController menu(engine);
        menu.set_preferred_languages_source([] { return QStringList{"fr"}; });
        menu.set_language();
        QCOMPARE(menu.help_document_path(), QString("/res/doc/doc_francais.pdf"));
    }

    void window_colour_is_kept_in_user_defaults() {
        bool use = true;
        QVERIFY(!load_default_color(&use).has_value());
        QVERIFY(!use);
        save_default_color(QColor(12, 34, 56), true);
        std::optional<QColor> c = load_default_color(&use);
        QVERIFY(c.has_value());
        QVERIFY(use);
        QCOMPARE(*c, QColor(12, 34, 56));
        QCOMPARE(user_defaults().value("Use color bool").toBool(), true);
        QVERIFY(QFileInfo::exists(home_.filePath("config/Trawlex/Trawlex.conf")));
        save_default_color(QColor(1, 2, 3), false);
        c = load_default_color(&use);
        QVERIFY(!use);
        QCOMPARE(*c, QColor(1, 2, 3));
    }

private:
    QTemporaryDir home_;
};

QTEST_MAIN(ShellTest)
#include "shell_test.moc"
