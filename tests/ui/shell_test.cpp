// The application shell: the language, the resource folder and its copies
// of the guide, the settings saved at quit, the batching of handed-over
// files, the start-up alert, the Help menu's choice of document, alert
// sheets and panels, and the single running instance, in process and as the
// real program.
#include <QtTest>
#include <QtWidgets>
#include <thread>

#include "modal_answerer.h"

#include "ui/toolkit/AlertController.h"
#include "ui/shell/MenuController.h"
#include "ui/shell/command_line.h"
#include "ui/shell/single_instance.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/app_paths.h"

using namespace tw::ui;

namespace {

bool write_file(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush())
        return false;
    return f.setFileTime(modified, QFileDevice::FileModificationTime);
}

// Openers that record what they were asked to open and accept the files
// whose suffix is in `accepted`.
struct RecordingOpeners {
    QStringList opened;
    QStringList accepted;
    bool reader = true;
    HelpOpeners openers() {
        return {[this](const QString& path) {
                    opened.append(QFileInfo(path).fileName());
                    return accepted.contains(QFileInfo(path).suffix());
                },
                [this] { return reader; }};
    }
};

// The real program's environment: its home, data, settings and runtime
// folders inside `home`, offscreen, in English.
QProcessEnvironment program_environment(const QTemporaryDir& home) {
    const QString runtime = home.filePath("run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [key, value] : {std::pair<QString, QString>{"HOME", home.path()},
                                     {"XDG_DATA_HOME", home.filePath("data")},
                                     {"XDG_CONFIG_HOME", home.filePath("config")},
                                     {"XDG_RUNTIME_DIR", runtime},
                                     {"QT_QPA_PLATFORM", "offscreen"},
                                     {"LANGUAGE", "en_US"},
                                     {"LC_ALL", "C.UTF-8"}})
        env.insert(key, value);
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    return env;
}

// Reads the program's standard error until it holds `line` (at most 20 s
// or until the program ends).
bool wait_for_log(QProcess& program, QString& log, const QString& line) {
    for (int i = 0; i < 200 && !log.contains(line) && program.state() == QProcess::Running; ++i) {
        program.waitForReadyRead(100);
        log += QString::fromUtf8(program.readAllStandardError());
    }
    return log.contains(line);
}

// Starts the real program in `home` as program_environment() sets it up.
bool start_program(QProcess& program, const QTemporaryDir& home, const QStringList& arguments) {
    program.setProcessEnvironment(program_environment(home));
    program.setWorkingDirectory(home.path());
    program.start(TRAWLEX_BINARY, arguments);
    return program.waitForStarted();
}

// Sends SIGTERM: the program ends normally with status 0.
bool ends_at_sigterm(QProcess& program) {
    program.terminate();
    return program.waitForFinished(20000) && program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
}

struct Receiver : DropItemsReceiver {
    QList<QStringList> batches;
    void show_target_window_drop_items(const QStringList& items) override { batches.append(items); }
};

void* failing_allocate(std::size_t) { return nullptr; }
void* failing_reallocate(void*, std::size_t) { return nullptr; }
void plain_release(void* block) { std::free(block); }

QString sheet_text(const AlertController& alerts, QWidget* window, const char* label) {
    QDialog* panel = alerts.panel(window);
    return panel != nullptr ? panel->findChild<QLabel*>(label)->text() : QString("<no sheet>");
}

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { set_application_identity(); }

    void language_from_first_preferred() {
        const std::pair<QStringList, int> cases[] = {
            {{"fr-CA", "en-US"}, 1}, {{"FR"}, 1}, {{"en-US", "fr-FR"}, 0}, {{"de", "fr"}, 0}, {{}, 0}};
        for (const auto& [languages, language] : cases) QCOMPARE(language_from_preferred(languages), language);
    }

    // French installs Qt's own catalogue beside the application's (which
    // only the program holds), so that Qt's buttons read as the rest of the
    // window; English installs none.
    void french_gets_qt_buttons_in_french() {
        auto* app = QCoreApplication::instance();
        QCOMPARE(install_translations(*app, 0), 0);
        QVERIFY(install_translations(*app, 1) >= 1);
        QMessageBox box(QMessageBox::Question, "t", "m", QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Annuler"));
        for (QTranslator* t : app->findChildren<QTranslator*>()) QCoreApplication::removeTranslator(t);
    }

    void resource_folder_holds_copies_that_follow_the_installed_guide() {
        QCOMPARE(application_folder("/opt/trawlex/bin"), QString("/opt/trawlex/share/trawlex"));
        const QString folder = resource_folder();
        QCOMPARE(folder, tw_test::ui_home().filePath("data/Trawlex"));
        QVERIFY(prepare_resource_folder(folder, tw_test::ui_home().filePath("no-such-app")));
        for (const char* sub : {"TW_target", "TW_found", "doc"})
            QVERIFY(QFileInfo(folder + "/" + sub).isDir() && QDir(folder + "/" + sub).isEmpty());
        const QString app = tw_test::ui_home().filePath("app");
        const QDateTime first = QDateTime::currentDateTime().addDays(-30);
        const char* const docs[] = {kEnglishDoc, kFrenchDoc, kEnglishHtmlDoc, kFrenchHtmlDoc};
        for (const char* doc : docs) QVERIFY(write_file(QDir(app).filePath(doc), doc, first));
        QVERIFY(prepare_resource_folder(folder, app));
        for (const char* doc : docs) {
            QCOMPARE(tw_test::file_bytes(QDir(folder).filePath(doc)), QByteArray(doc));
            // The copy carries the installed file's time, not the time of copying.
            QCOMPARE(QFileInfo(QDir(folder).filePath(doc)).lastModified().toSecsSinceEpoch(), first.toSecsSinceEpoch());
        }
        // An upgrade installs a newer guide, even one built before the copy
        // was made: the copies follow; a copy newer than the installed file
        // is left alone.
        QVERIFY(write_file(QDir(app).filePath(kEnglishDoc), "v2", first.addDays(1)));
        QVERIFY(write_file(QDir(folder).filePath(kFrenchDoc), "mine", first.addDays(5)));
        QVERIFY(prepare_resource_folder(folder, app));
        QCOMPARE(tw_test::file_bytes(QDir(folder).filePath(kEnglishDoc)), QByteArray("v2"));
        QCOMPARE(tw_test::file_bytes(QDir(folder).filePath(kFrenchDoc)), QByteArray("mine"));
    }

    void engine_failure_at_start_shows_the_memory_alert() {
        tw::Engine engine(tw::Allocator{failing_allocate, failing_reallocate, plain_release});
        QVERIFY(prepare_resource_folder(tw_test::ui_home().filePath("oom-run"), QString()));
        engine.resource_dir_pathname_ptr = tw_test::ui_home().filePath("oom-run").toStdString();
        MenuController menu(engine);
        menu.set_preferred_languages_source([] { return QStringList{"fr-FR"}; });
        tw_test::ModalAnswerer alerts;
        QVERIFY(!menu.init());
        QCOMPARE(alerts.title, QString("Erreur"));
        QCOMPARE(alerts.message, QString("Initialisation impossible: pas assez de mémoire"));
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
        menu.application_open_file("/d");
        QTRY_COMPARE_WITH_TIMEOUT(receiver.batches.size(), 2, 2000);
        QCOMPARE(receiver.batches.last(), QStringList{"/d"});
    }

    // The PDF guide of the user's language when a PDF reader opens it, else
    // the HTML page, else the PDF through the desktop's opener; an alert
    // when none of them opens.
    void help_menu_opens_the_users_guide_or_alerts() {
        const QStringList french{kFrenchDoc, kFrenchHtmlDoc}, both{"pdf", "html"};
        const struct { QString language; QStringList files; bool reader; QStringList accepted, opened; QString alert; } cases[] = {
            // The reader opens the PDF; without one, the HTML page; so when the reader refuses.
            {"fr-FR", french, true, both, {"doc_francais.pdf"}, ""},
            {"fr", french, false, both, {"guide_fr.html"}, ""},
            {"fr", french, true, {"html"}, {"doc_francais.pdf", "guide_fr.html"}, ""},
            // No reader, no HTML: the PDF anyway.
            {"en-GB", {kEnglishDoc}, false, both, {"english_doc.pdf"}, ""},
            // The documents are there: the alert blames the missing application.
            {"fr", french, false, {}, {"guide_fr.html", "doc_francais.pdf"},
             "Le fichier aide est présent (%1), mais ni un lecteur PDF ni un navigateur web ne l'ouvre."},
            {"en", {kEnglishDoc}, true, {}, {"english_doc.pdf"}, "The help doc is here (%1), but no PDF reader opens it."},
            {"en-US", {kEnglishHtmlDoc}, true, both, {}, "Cannot find the the help doc"},  // no PDF
        };
        for (const auto& c : cases) {
            QTemporaryDir res;
            for (const QString& file : c.files) QVERIFY(write_file(res.filePath(file), "guide", QDateTime::currentDateTime()));
            tw::Engine engine;
            engine.resource_dir_pathname_ptr = res.path().toStdString();
            MenuController menu(engine);
            menu.set_preferred_languages_source([&c] { return QStringList{c.language}; });
            menu.set_language();
            QCOMPARE(menu.help_document_path(), res.filePath(c.language.startsWith("fr") ? kFrenchDoc : kEnglishDoc));
            RecordingOpeners rec{{}, c.accepted, c.reader};
            menu.set_help_openers(rec.openers());
            tw_test::ModalAnswerer alerts;
            menu.Help_menu_item();
            QCOMPARE(alerts.message, c.alert.contains("%1") ? c.alert.arg(menu.help_document_path()) : c.alert);
            QCOMPARE(alerts.title, c.alert.isEmpty() ? QString() : QString("Trawlex"));
            QCOMPARE(rec.opened, c.opened);
        }
    }

    // A sheet returns at once and blocks only its window; further alerts on
    // that window wait for it, those on another window do not.
    void alert_sheets_are_window_modal_and_queued_per_window() {
        QWidget one, two;
        one.show();
        two.show();
        QVERIFY(QTest::qWaitForWindowExposed(&one));
        AlertController alerts;
        alerts.show_alert(&one, "Error", "Cannot encode\nthe search string");
        alerts.show_alert(&one, "Warning", "second");
        QWidget child(&one);  // stands for its window
        alerts.show_alert(&child, "Error", "third");
        alerts.show_alert(&two, "B", "on two");
        QCOMPARE(alerts.pending_count(&one), 2);
        QCOMPARE(alerts.pending_count(&two), 0);
        QDialog* panel = alerts.panel(&one);
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(panel->windowModality(), Qt::WindowModal);
        QCOMPARE(panel->parentWidget(), &one);
        for (const char* message : {"Cannot encode\nthe search string", "second", "third"}) {
            QCOMPARE(sheet_text(alerts, &one, "alert_mess_ref"), QString(message));
            auto* ok = alerts.panel(&one)->findChild<QPushButton*>("alert_ok_but_ref");
            QCOMPARE(ok->text(), QString("OK"));
            QTest::mouseClick(ok, Qt::LeftButton);
        }
        QVERIFY(!alerts.is_shown(&one));
        QTRY_VERIFY(!panel->isVisible());
    }

    void alerts_answer_the_pressed_button() {
        const std::pair<QString, int> cases[] = {{"Yes", kAlertDefault}, {"No", kAlertAlternate}, {"Maybe", kAlertOther}};
        for (const auto& [button, answer] : cases) {
            tw_test::ModalAnswerer watch(button);
            QCOMPARE(run_alert(nullptr, "DELETE TARGET", "Do you realy want to delete?", "Yes", "No", "Maybe"), answer);
            QCOMPARE(watch.message, QString("Do you realy want to delete?"));
        }
    }

    void single_instance_server_takes_absolute_paths_from_a_client() {
        QTemporaryDir dir;
        const QString name = dir.filePath("test.socket");
        // Nobody listening yet: the client says so.
        QVERIFY(!SingleInstance(name).forward_to_running_instance({"/x"}, 500));
        // A leftover file where the socket goes is replaced.
        QVERIFY(write_file(name, "stale", QDateTime::currentDateTime()));
        SingleInstance server(name);
        QVERIFY(server.listen());
        QSignalSpy spy(&server, &SingleInstance::paths_received);
        bool forwarded = false;
        // The client blocks until the server answers, so it runs on its own
        // thread while this one runs the server's events.
        std::thread client([&] {
            forwarded = SingleInstance(name).forward_to_running_instance({"/x/one", "relative"});
        });
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 10000);
        client.join();
        QVERIFY(forwarded);
        QCOMPARE(spy.first().first().toStringList(),
                 (QStringList{"/x/one", QDir::current().absoluteFilePath("relative")}));
    }

    // The usage, a refused argument and the version need no display (the
    // platform named here does not exist); an argument after "--" is a
    // file or folder whatever it begins with, and Qt's options go to Qt.
    void command_line_options_and_items() {
        const struct { QStringList arguments; int status; const char *out, *err; } runs[] = {
            {{"--help"}, 0, "Usage: trawlex [OPTION]... [FILE OR FOLDER]...\n", ""},
            {{"a.txt", "-h", "--bogus"}, 0, "Usage: trawlex", ""},
            {{"--version"}, 0, "trawlex (Trawlex) ", ""},
            {{"a.txt", "--bogus"}, 2, "", "trawlex: unknown option: --bogus\n"},
            {{"-"}, 2, "", "trawlex: unknown option: -\n"},
            {{"a.txt", "-style"}, 2, "", "trawlex: the option -style needs a value\n"},
        };
        for (const auto& run : runs) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "none-such");
            env.insert("LANGUAGE", "en_US");
            p.setProcessEnvironment(env);
            p.start(TRAWLEX_BINARY, run.arguments);
            QVERIFY(p.waitForFinished(20000));
            const QString name = run.arguments.join(' ');
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == run.status, qPrintable(name));
            // The start of each output (empty ones included).
            QCOMPARE(p.readAllStandardOutput().left(qstrlen(run.out)), QByteArray(run.out));
            QCOMPARE(p.readAllStandardError().left(qstrlen(run.err)), QByteArray(run.err));
        }
        const CommandLine line = parse_command_line(
            {"trawlex", "-platform", "offscreen", "a", "--style=fusion", "-reverse", "--", "-x", "--help", "--"}, 0);
        QVERIFY(line.action == CommandLine::Action::Run);
        QCOMPARE(line.items, (QStringList{"a", "-x", "--help", "--"}));
        QCOMPARE(line.qt_arguments, (QStringList{"-platform", "offscreen", "--style=fusion", "-reverse"}));
        QVERIFY(parse_command_line({"trawlex", "--bogus"}, 1).error.startsWith("trawlex : option inconnue : --bogus\n"));
        QVERIFY(usage_text(1).startsWith("Usage : trawlex [OPTION]... [FICHIER OU DOSSIER]...\n"));
    }

    // The real program: started with files, a second launch forwarding its
    // files to the running instance, and the settings saved at SIGTERM.
    void program_gathers_forwards_and_saves_at_signal() {
        QTemporaryDir home;
        QProcess first, second;
        QVERIFY(start_program(first, home, {"a.txt", home.filePath("folder")}));
        QString log;
        const auto wait_for_log = [&](const QString& line) { return ::wait_for_log(first, log, line); };
        // The files given at launch arrive as one batch, once the instance
        // is up; a second launch hands its files over and ends at once.
        const QString launched = QString("2 item(s) handed over: %1, %2").arg(home.filePath("a.txt"), home.filePath("folder"));
        QVERIFY2(wait_for_log(launched), qPrintable(log));
        QVERIFY(start_program(second, home, {"b.bin", "/abs/c"}));
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(wait_for_log(QString("2 item(s) handed over: %1, /abs/c").arg(home.filePath("b.bin"))), qPrintable(log));
        QCOMPARE(log.count("handed over"), 2);

        const QString resources = home.filePath("data/Trawlex");
        QVERIFY(QFileInfo::exists(resources + "/doc/english_doc.pdf"));
        QVERIFY(!QFileInfo::exists(resources + "/TW_preference"));
        QVERIFY(ends_at_sigterm(first));
        QCOMPARE(QFileInfo(resources + "/TW_preference").size(), qint64(62));
        QVERIFY(!QFileInfo::exists(home.filePath("run/trawlex.socket")));
    }

    // The real program over damaged or large settings files: the main loop
    // runs at once, SIGTERM ends the program, and what each file held is
    // still on disk: a launcher list of 200,000 applications, maybe with a
    // last entry without its end, stays as it is; user defaults with a
    // line Qt cannot read are kept as they were before Qt writes them back.
    void program_starts_at_once_and_keeps_its_settings_files() {
        QByteArray many;
        for (int i = 0; i < 200000; ++i) many += "/opt/tools/editor-" + QByteArray::number(i) + '\0';
        const QString launcher = "data/Trawlex/TW_launcher", conf = "config/Trawlex/Trawlex.conf";
        const struct { QString file; QByteArray bytes; QString kept; } cases[] = {  // kept: where the bytes are after quit
            {launcher, many, launcher},
            {launcher, many + "/opt/x", launcher},
            {conf, "[General]\nUse%20color%20bool=false\nno value\n", conf + ".damaged"},
        };
        for (const auto& c : cases) {
            QTemporaryDir home;
            QVERIFY(write_file(home.filePath(c.file), c.bytes, QDateTime::currentDateTime()));
            QProcess program;
            QVERIFY(start_program(program, home, {"a.txt"}));
            QString log;
            QVERIFY2(wait_for_log(program, log, "1 item(s) handed over"), qPrintable(log));
            QVERIFY(ends_at_sigterm(program));
            QCOMPARE(tw_test::file_bytes(home.filePath(c.kept)), c.bytes);
        }
    }
};

TW_UI_SUITE(ShellTest)
#include "shell_test.moc"
