// The Help menu's documents: the user's copies refreshed from the installed
// guide, and the PDF or, without a PDF reader, the HTML page opened.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/tw.h"
#include "modal_answerer.h"
#include "ui/shell/MenuController.h"
#include "ui/toolkit/app_paths.h"
#include "ui/toolkit/help_document.h"

using namespace tw::ui;

namespace {

bool write_file(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() ||
        !f.flush())
        return false;
    return f.setFileTime(modified, QFileDevice::FileModificationTime);
}

QByteArray read_file(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
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

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void open_help_chooses_the_document_data() {
        QTest::addColumn<bool>("pdf");
        QTest::addColumn<bool>("html");
        QTest::addColumn<bool>("reader");
        QTest::addColumn<QStringList>("accepted");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("opened");
        const QStringList both{"pdf", "html"};
        QTest::newRow("reader opens the PDF") << true << true << true << both
            << int(HelpOpened::Pdf) << QStringList{"guide.pdf"};
        QTest::newRow("no reader: the HTML page") << true << true << false << both
            << int(HelpOpened::Html) << QStringList{"guide.html"};
        QTest::newRow("the reader refuses: the HTML page") << true << true << true
            << QStringList{"html"} << int(HelpOpened::Html)
            << QStringList{"guide.pdf", "guide.html"};
        QTest::newRow("no reader, no HTML: the PDF anyway") << true << false << false << both
            << int(HelpOpened::Pdf) << QStringList{"guide.pdf"};
        QTest::newRow("nothing opens them") << true << true << false << QStringList{}
            << int(HelpOpened::NotOpened) << QStringList{"guide.html", "guide.pdf"};
        QTest::newRow("no PDF: missing") << false << true << true << both
            << int(HelpOpened::Missing) << QStringList{};
    }
    void open_help_chooses_the_document() {
        QFETCH(bool, pdf);
        QFETCH(bool, html);
        QFETCH(bool, reader);
        QFETCH(QStringList, accepted);
        QFETCH(int, outcome);
        QFETCH(QStringList, opened);
        QTemporaryDir folder;
        const QString pdf_path = folder.filePath("guide.pdf");
        const QString html_path = folder.filePath("guide.html");
        const QDateTime now = QDateTime::currentDateTime();
        if (pdf) QVERIFY(write_file(pdf_path, "%PDF-1.4", now));
        if (html) QVERIFY(write_file(html_path, "<html>", now));
        RecordingOpeners rec;
        rec.reader = reader;
        rec.accepted = accepted;
        QCOMPARE(int(open_help(pdf_path, html_path, rec.openers())), outcome);
        QCOMPARE(rec.opened, opened);
    }

    void unknown_mime_type_has_no_default_application() {
        QVERIFY(!has_default_application("application/x-trawlex-no-such-type"));
    }

    void copies_follow_the_installed_guide() {
        const QString app = dir_.filePath("app");
        const QString res = dir_.filePath("res");
        const QDateTime first = QDateTime::currentDateTime().addDays(-30);
        for (const char* doc : {kEnglishDoc, kFrenchDoc, kEnglishHtmlDoc, kFrenchHtmlDoc})
            QVERIFY(write_file(QDir(app).filePath(doc), QByteArray("v1 ") + doc, first));
        QVERIFY(prepare_resource_folder(res, app));
        for (const char* doc : {kEnglishDoc, kFrenchDoc, kEnglishHtmlDoc, kFrenchHtmlDoc}) {
            QCOMPARE(read_file(QDir(res).filePath(doc)), QByteArray("v1 ") + doc);
            // The copy carries the installed file's time, not the time of copying.
            QCOMPARE(QFileInfo(QDir(res).filePath(doc)).lastModified().toSecsSinceEpoch(),
                     first.toSecsSinceEpoch());
        }

        // An upgrade installs a newer guide, even one built before the copy
        // was made: the copies follow.
        QVERIFY(write_file(QDir(app).filePath(kEnglishDoc), "v2", first.addDays(1)));
        QVERIFY(prepare_resource_folder(res, app));
        QCOMPARE(read_file(QDir(res).filePath(kEnglishDoc)), QByteArray("v2"));
        QCOMPARE(read_file(QDir(res).filePath(kFrenchDoc)), QByteArray("v1 ") + kFrenchDoc);
        QVERIFY(!QFileInfo::exists(QDir(res).filePath(kEnglishDoc) + ".part"));

        // A copy newer than the installed file is left alone.
        QVERIFY(write_file(QDir(res).filePath(kFrenchDoc), "mine", first.addDays(5)));
        QVERIFY(prepare_resource_folder(res, app));
        QCOMPARE(read_file(QDir(res).filePath(kFrenchDoc)), QByteArray("mine"));
    }

    void help_opens_the_html_page_without_a_pdf_reader() {
        const QString res = dir_.filePath("menu-res");
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(write_file(QDir(res).filePath(kFrenchDoc), "%PDF-", now));
        QVERIFY(write_file(QDir(res).filePath(kFrenchHtmlDoc), "<html>", now));
        tw::Engine engine;
        engine.resource_dir_pathname_ptr = res.toStdString();
        MenuController menu(engine);
        menu.set_preferred_languages_source([] { return QStringList{"fr-FR"}; });
        menu.set_language();
        QCOMPARE(menu.help_html_path(), QDir(res).filePath(kFrenchHtmlDoc));
        RecordingOpeners rec;
        rec.reader = false;
        rec.accepted = {"html"};
        menu.set_help_openers(rec.openers());
        tw_test::ModalAnswerer answerer;
        answerer.arm();
        menu.Help_menu_item();
        QTest::qWait(100);
        QVERIFY(!answerer.seen);
        QCOMPARE(rec.opened, QStringList{"guide_fr.html"});
    }

    void help_that_nothing_opens_alerts_in_french() {
        const QString res = dir_.filePath("menu-res");
        tw::Engine engine;
        engine.resource_dir_pathname_ptr = res.toStdString();
        MenuController menu(engine);
        menu.set_preferred_languages_source([] { return QStringList{"fr-FR"}; });
        menu.set_language();
        RecordingOpeners rec;
        rec.accepted = {};
        menu.set_help_openers(rec.openers());
        tw_test::ModalAnswerer answerer;
        answerer.arm();
        menu.Help_menu_item();
        QVERIFY(answerer.seen);
        QCOMPARE(answerer.message, QString("Impossible de trouver le fichier aide"));
    }

    // Qt's own buttons and panels read in French for a French user: its
    // translations (qt6-translations-l10n) are installed and loaded.
    void french_user_gets_qt_dialogs_in_french() {
        auto* app = QCoreApplication::instance();
        QCOMPARE(install_translations(*app, 0), 0);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
        QVERIFY(install_translations(*app, 1) >= 1);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Annuler"));
        QMessageBox box(QMessageBox::Question, "t", "m", QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Annuler"));
        for (QTranslator* t : app->findChildren<QTranslator*>()) QCoreApplication::removeTranslator(t);
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
