// The found viewer's text area in its three display modes, the launcher
// pull-down with and without applications, the Info sheet and drops.
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QFontDatabase>
#include <pwd.h>
#include <unistd.h>

#include "encoding/string_encoding.h"
#include "ui/shell/MenuController.h"
#include "ui/toolkit/panels.h"
#include "viewer_fixture.h"

using namespace tw::ui;
using viewer_test::Viewer;

namespace {

std::string utf16le(const std::u16string& text) {
    return *tw::encoding::to_bytes(text, tw::encoding::kUtf16).value;
}

// An executable that writes the file it is given into `marker`.
QString write_opener(const QString& path, const QString& marker) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\n").arg(marker).toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                     QFile::ExeOther);
    return path;
}

QString read_all(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

}  // namespace

class ViewerContentTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath("config")));
    }

    void text_mode_replaces_what_is_not_printable() {
        Viewer v;
        v.file("t.bin", std::string("ab\0\x7f\xe9\tx\r\nNEEDcd\rNEED", 20));
        v.search("NEED", {"t.bin"});
        v.viewer->show_view();
        QCOMPARE(v.viewer->hexa_or_text_type(), kModeText);
        QCOMPARE(v.viewer->hexa_or_text_popup()->state(kModeText), ItemState::On);
        // A CR LF pair is one line break in the text area, a lone CR one too;
        // the occurrence stays selected on the right characters.
        QCOMPARE(v.shown(), QString("ab???\tx\nNEEDcd\nNEED"));
        QCOMPARE(v.selection_start(), 8);
        QCOMPARE(v.selected(), QString("NEED"));
        v.viewer->Next_occ_but();
        QCOMPARE(v.selection_start(), 15);
        QCOMPARE(v.selected(), QString("NEED"));
        QCOMPARE(v.area()->font().family(),
                 QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        QVERIFY(v.area()->isReadOnly());
    }

    void hexadecimal_dump_of_a_20_byte_excerpt() {
        Viewer v;
        v.file("h.bin", "0123456789abcdefNEED");
        v.search("NEED", {"h.bin"});
        v.viewer->show_view();
        v.viewer->hexa_or_text_popup()->choose_item(kModeHexa);
        QCOMPARE(v.viewer->hexa_or_text_popup()->state(kModeHexa), ItemState::On);
        QCOMPARE(v.viewer->hexa_or_text_popup()->state(kModeText), ItemState::Off);
        const QStringList lines = v.shown().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString("0000000000000000  30 31 32 33 34 35 36 37 38 39 61 62 63 64 "
                                   "65 66  0123456789abcdef"));
        // Past the end of the file: blanks, never invented bytes.
        QCOMPARE(lines[1], QString("0000000000000010  4E 45 45 44") + QString(12 * 3 + 2, ' ') +
                               QString("NEED") + QString(12, ' '));
        QCOMPARE(v.selection_start(), 84 + 18);
        QCOMPARE(v.selection_end(), 84 + 68 + 3);
        QVERIFY(v.selected().startsWith("4E 45 45 44"));
        QVERIFY(v.selected().endsWith("NEED"));
    }

    void hexadecimal_selection_spans_data() {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        // 4 bytes from position 14: column 60 of the line through column 68
        // of the next one.
        QTest::newRow("4 at 14") << 14 << 4 << 60 << 84 + 68 + 1;
        // 16 bytes from a line start: through column 82 of that line.
        QTest::newRow("16 at 0") << 0 << 16 << 18 << 83;
        QTest::newRow("16 at 32") << 32 << 16 << 2 * 84 + 18 << 2 * 84 + 83;
        // 18 bytes from position 14: through column 82 of the next line.
        QTest::newRow("18 at 14") << 14 << 18 << 60 << 84 + 83;
    }
    void hexadecimal_selection_spans() {
        QFETCH(int, at);
        QFETCH(int, length);
        QFETCH(int, start);
        QFETCH(int, end);
        Viewer v;
        std::string content(64, '.');
        std::string pattern;
        for (int i = 0; i < length; ++i) pattern.push_back(static_cast<char>('A' + i));
        content.replace(static_cast<std::size_t>(at), pattern.size(), pattern);
        v.file("s.bin", content);
        v.search(pattern, {"s.bin"});
        v.viewer->hexa_or_text_popup()->choose_item(kModeHexa);
        v.viewer->show_view();
        QCOMPARE(v.selection_start(), start);
        QCOMPARE(v.selection_end(), end);
    }

    void marks_cover_exactly_the_occurrence_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("at");
        QTest::addColumn<QStringList>("marked");
        QTest::newRow("hexadecimal, one line") << kModeHexa << 3 << QStringList{"41 42 43 44", "ABCD"};
        QTest::newRow("hexadecimal, over two lines")
            << kModeHexa << 14 << QStringList{"41 42", "AB", "43 44", "CD"};
        QTest::newRow("hexadecimal, at the end of the file")
            << kModeHexa << 60 << QStringList{"41 42 43 44", "ABCD"};
        QTest::newRow("text") << kModeText << 14 << QStringList{"ABCD"};
        QTest::newRow("original encoding") << kModeOriginal << 14 << QStringList{"ABCD"};
    }
    void marks_cover_exactly_the_occurrence() {
        QFETCH(int, mode);
        QFETCH(int, at);
        QFETCH(QStringList, marked);
        Viewer v;
        std::string content(64, '.');
        content.replace(static_cast<std::size_t>(at), 4, "ABCD");
        v.file("m.bin", content);
        v.search("ABCD", {"m.bin"});
        v.viewer->hexa_or_text_popup()->choose_item(mode);
        v.viewer->show_view();
        QCOMPARE(v.marked(), marked);
        // The mark is not the selection.
        QVERIFY(!v.area()->textCursor().hasSelection());
    }

    void a_short_last_line_shows_blanks_not_bytes() {
        Viewer v;
        v.file("e.bin", "0123456789abcdefNEED");
        v.search("NEED", {"e.bin"});
        v.viewer->hexa_or_text_popup()->choose_item(kModeHexa);
        v.viewer->show_view();
        const QString last = v.shown().split('\n').last();
        QVERIFY(!last.contains("3F"));
        QVERIFY(!last.contains('?'));
        QCOMPARE(last.trimmed(), QString("0000000000000010  4E 45 45 44") + QString(38, ' ') + "NEED");
        QCOMPARE(v.marked(), (QStringList{"4E 45 45 44", "NEED"}));
    }

    void a_click_or_a_selection_leaves_the_mark_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("text") << kModeText;
        QTest::newRow("hexadecimal") << kModeHexa;
    }
    void a_click_or_a_selection_leaves_the_mark() {
        QFETCH(int, mode);
        Viewer v;
        v.file("c.bin", "some text NEED more text");
        v.search("NEED", {"c.bin"});
        v.viewer->hexa_or_text_popup()->choose_item(mode);
        v.viewer->show_view();
        const QStringList before = v.marked();
        QVERIFY(!before.isEmpty());
        QTest::mouseClick(v.area()->viewport(), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(v.marked(), before);
        v.area()->selectAll();
        QCOMPARE(v.marked(), before);
    }

    void original_encoding_shows_the_nul_free_run() {
        Viewer v;
        v.file("n.bin", std::string("xy\0abc\xe9NEEDz\0tail", 17));
        v.search("NEED", {"n.bin"}, tw::encoding::kLatin1);
        v.viewer->show_view();
        v.viewer->hexa_or_text_popup()->choose_item(kModeOriginal);
        QCOMPARE(v.shown(), QString::fromUtf8("abcéNEEDz"));
        QCOMPARE(v.selection_start(), 4);
        QCOMPARE(v.selected(), QString("NEED"));
    }

    void original_encoding_marks_the_right_utf8_characters() {
        Viewer v;
        const std::string text = "h\xc3\xa9llo \xe2\x82\xac w\xc3\xb6rld \xc3\xb1 end";
        v.file("u.txt", std::string("\xff\xfe\x80junk ") + text);
        v.search("w\xc3\xb6rld", {"u.txt"}, tw::encoding::kUtf8);
        v.viewer->show_view();
        v.viewer->hexa_or_text_popup()->choose_item(kModeOriginal);
        // The bytes that are not UTF-8 before the text are left out.
        QCOMPARE(v.shown(), QString::fromUtf8("junk ") + QString::fromUtf8(text));
        QCOMPARE(v.selected(), QString::fromUtf8("w\xc3\xb6rld"));
        QCOMPARE(v.selection_start(), QString::fromUtf8("junk h\xc3\xa9llo \xe2\x82\xac ").size());
    }

    void original_encoding_in_utf16_from_an_odd_offset() {
        Viewer v;
        v.file("w.bin", "\x01" + utf16le(u"Gr\u00fc\u00dfe aus K\u00f6ln!"));
        v.search(utf16le(u"K\u00f6ln"), {"w.bin"}, tw::encoding::kUtf16);
        v.viewer->show_view();
        v.viewer->hexa_or_text_popup()->choose_item(kModeOriginal);
        QCOMPARE(v.shown(), QString::fromUtf16(u"Gr\u00fc\u00dfe aus K\u00f6ln!"));
        QCOMPARE(v.selected(), QString::fromUtf16(u"K\u00f6ln"));
    }

    void original_encoding_reads_japanese_bytes_with_the_search_tables() {
        namespace enc = tw::encoding;
        // EUC-JP A1 C1 and A1 F1 are JIS X 0208's wave dash and cent sign:
        // typed in either spelling, shown in the standard one.
        Viewer euc;
        euc.file("e.txt", "x\xa1\xc1\xa1\xf1y");
        euc.search(*enc::to_bytes(u"\uFF5E", enc::kEucJp).value, {"e.txt"}, enc::kEucJp);
        euc.viewer->show_view();
        euc.viewer->hexa_or_text_popup()->choose_item(kModeOriginal);
        QCOMPARE(euc.shown(), QString::fromUtf16(u"x\u301C\u00A2y"));
        QCOMPARE(euc.selected(), QString::fromUtf16(u"\u301C"));
        // Shift_JIS byte 0x7F is U+007F; 81 60 is code page 932's U+FF5E.
        Viewer sjis;
        sjis.file("s.txt", "a\x7f\x81\x60" "b");
        sjis.search(*enc::to_bytes(u"\u007F\u301C", enc::kShiftJis).value, {"s.txt"},
                    enc::kShiftJis);
        sjis.viewer->show_view();
        sjis.viewer->hexa_or_text_popup()->choose_item(kModeOriginal);
        QCOMPARE(sjis.shown(), QString::fromUtf16(u"a\u007F\uFF5Eb"));
        QCOMPARE(sjis.selection_start(), 1);
        QCOMPARE(sjis.selection_end(), 3);
    }

    void an_occurrence_holding_a_nul_is_clamped_to_the_text() {
        Viewer v;
        v.file("z.bin", std::string("xxA\0Byy", 7));
        v.search(std::string("A\0B", 3), {"z.bin"}, tw::encoding::kLatin1);
        v.viewer->show_view();
        v.viewer->hexa_or_text_popup()->choose_item(kModeOriginal);
        QCOMPARE(v.shown(), QString("xxA"));
        QCOMPARE(v.selection_start(), 2);
        QCOMPARE(v.selection_end(), 3);
    }

    void undecodable_excerpt_is_said_in_the_text_area() {
        Viewer v;
        v.file("c.txt", "caf\xc3\xa9 au lait");
        v.search("\xa9", {"c.txt"}, tw::encoding::kUtf8);
        v.viewer->show_view();
        QVERIFY(v.shown().startsWith("caf??"));
        v.viewer->hexa_or_text_popup()->choose_item(kModeOriginal);
        QVERIFY2(v.shown().contains("cannot be read in the target's encoding"),
                 qPrintable(v.shown()));
        QVERIFY(!v.shown().contains("caf"));
    }

    void a_pattern_longer_than_the_excerpt_is_marked_within_it() {
        Viewer v;
        const std::string pattern(2100, 'P');
        v.file("long.bin", std::string(100, '-') + pattern + std::string(50, '-'));
        v.file("far.bin", std::string(2500, '-') + pattern);
        v.search(pattern, {"long.bin", "far.bin"});
        v.viewer->show_view();
        for (int mode : {kModeText, kModeOriginal, kModeHexa}) {
            v.viewer->hexa_or_text_popup()->choose_item(mode);
            QVERIFY(v.selection_end() <= v.shown().size());
            QVERIFY(v.selection_end() > v.selection_start());
        }
        v.viewer->hexa_or_text_popup()->choose_item(kModeText);
        QCOMPARE(v.selection_start(), 100);
        QCOMPARE(v.selection_end(), 2000);
        // An occurrence beyond the excerpt selects nothing.
        v.viewer->Next_file_but();
        for (int mode : {kModeText, kModeOriginal, kModeHexa}) {
            v.viewer->hexa_or_text_popup()->choose_item(mode);
            QCOMPARE(v.selection_start(), v.selection_end());
        }
    }

    void display_mode_pull_down_refuses_its_title() {
        Viewer v;
        PullDown* modes = v.viewer->hexa_or_text_popup();
        QCOMPARE(modes->count(), 4);
        QCOMPARE(modes->item_title(0), QString("Show as"));
        QCOMPARE(modes->item_title(2), QString("Original encoding"));
        QCOMPARE(modes->item_title(3), QString("Hexadecimal bytes"));
        const auto beeps = beep_count();
        v.viewer->hexa_or_text_popup_action(0);
        QCOMPARE(beep_count(), beeps + 1);
        QCOMPARE(v.viewer->hexa_or_text_type(), kModeText);
    }

    void launcher_pull_down_without_applications() {
        Viewer v;
        PullDown* launcher = v.viewer->launcher_popup();
        QCOMPARE(launcher->count(), 3);
        QCOMPARE(launcher->item_title(0), QString("Open file with"));
        QCOMPARE(launcher->item_title(1), QString("--------------"));
        QCOMPARE(launcher->item_title(2), QString("Add application..."));
        const auto beeps = beep_count();
        v.viewer->launcher_popup_action(0);
        launcher->choose_item(1);
        QCOMPARE(beep_count(), beeps + 2);
    }

    void launcher_pull_down_opens_the_found_file() {
        Viewer v;
        QTemporaryDir apps;
        const QString marker_1 = apps.filePath("marker-1"), marker_2 = apps.filePath("marker-2");
        const QString opener = write_opener(apps.filePath("first-opener.sh"), marker_1);
        write_opener(apps.filePath("second"), marker_2);
        QFile entry(apps.filePath("org.example.second.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Second Viewer\n"
                                   "Exec=%1 %f\n").arg(apps.filePath("second")).toUtf8());
        entry.close();
        QCOMPARE(v.engine->append_to_launcher(QFile::encodeName(opener).constData()), 0u);
        QCOMPARE(v.engine->append_to_launcher(QFile::encodeName(entry.fileName()).constData()), 0u);
        v.viewer->update_launcher_popup();
        PullDown* launcher = v.viewer->launcher_popup();
        QCOMPARE(launcher->count(), 5);
        QCOMPARE(launcher->item_title(1), QString("first-opener"));
        QCOMPARE(launcher->item_title(2), QString("Second Viewer"));
        QCOMPARE(launcher->item_title(3), QString("--------------"));
        QCOMPARE(launcher->item_title(4), QString("Add application..."));

        // No file found yet: choosing an application only beeps.
        auto beeps = beep_count();
        launcher->choose_item(1);
        QCOMPARE(beep_count(), beeps + 1);

        const std::string found = v.file("sub/found file.txt", "..NEED..");
        v.search("NEED", {"sub/found file.txt"});
        v.viewer->show_view();
        launcher->choose_item(2);
        QTRY_COMPARE(read_all(marker_2), QString::fromStdString(found));
        launcher->choose_item(1);
        QTRY_COMPARE(read_all(marker_1), QString::fromStdString(found));

        // The separator between the applications and the last item beeps.
        beeps = beep_count();
        launcher->choose_item(3);
        QCOMPARE(beep_count(), beeps + 1);
    }

    void an_application_that_cannot_start_is_reported() {
        Viewer v;
        v.file("f.txt", "NEED");
        v.search("NEED", {"f.txt"});
        QCOMPARE(v.engine->append_to_launcher("/nonexistent/program"), 0u);
        v.viewer->update_launcher_popup();
        v.viewer->show_view();
        v.viewer->launcher_popup()->choose_item(1);
        QMessageBox* box = v.viewer->window()->findChild<QMessageBox*>();
        QVERIFY(box != nullptr);
        QVERIFY(box->informativeText().contains("/nonexistent/program"));
        box->accept();
    }

    void add_application_goes_through_the_menu_controller() {
        Viewer v;
        MenuController menu(*v.engine);
        v.viewer->set_menu_controller(&menu);
        menu.set_viewer_controller(v.viewer.get());
        QTemporaryDir apps;
        const QString opener = write_opener(apps.filePath("picked.sh"), apps.filePath("m"));
        QString directory;
        // The panel is answered once it is on screen, again while it stays
        // there (its folder may still be loading).
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* panel = qobject_cast<OpenPanel*>(w);
                if (panel == nullptr || !panel->isVisible()) continue;
                if (directory.isEmpty()) directory = panel->directory().absolutePath();
                // The name typed into the panel's name field, as a user does.
                auto* name = panel->findChild<QLineEdit*>("fileNameEdit");
                if (name == nullptr) return;
                name->setText(opener);
                panel->accept();
                return;
            }
        });
        poll.start();
        // "Add application..." works even when nothing was found.
        PullDown* launcher = v.viewer->launcher_popup();
        launcher->choose_item(launcher->count() - 1);
        if (QDir("/usr/share/applications").exists())
            QCOMPARE(directory, QString("/usr/share/applications"));
        QCOMPARE(launcher->count(), 4);
        QCOMPARE(launcher->item_title(1), QString("picked"));
        QCOMPARE(QString::fromUtf8(v.engine->br.launcher_list), opener);
    }

    void info_sheet_of_a_missing_and_of_an_existing_file() {
        Viewer v;
        v.file("gone.txt", "NEED");
        v.file("here.txt", "0123456789abcdefNEED");
        v.search("NEED", {"gone.txt", "here.txt"});
        ::unlink((v.tree / "gone.txt").c_str());
        v.viewer->show_view();
        v.viewer->Info_but();
        QDialog* sheet = v.viewer->info_sheet_panel();
        QVERIFY(sheet != nullptr && sheet->isVisible());
        QCOMPARE(v.viewer->info_panel_pathname()->text(),
                 QString::fromStdString(v.tree / "gone.txt"));
        QCOMPARE(v.viewer->info_panel_other()->text(), QString("Cannot access file!"));
        v.viewer->Info_panel_ok_but();
        QVERIFY(!sheet->isVisible());

        v.viewer->Next_file_but();
        v.viewer->Info_but();
        const QString info = v.viewer->info_panel_other()->text();
        QVERIFY2(info.startsWith("File size: 20\nModification Date: "), qPrintable(info));
        const QString owner = QString::fromLocal8Bit(getpwuid(getuid())->pw_name);
        QVERIFY2(info.endsWith("Owner account name: " + owner + "\n"), qPrintable(info));
        v.viewer->Info_panel_ok_but();
    }

    void drops_go_to_the_target_editor_with_the_current_target() {
        Viewer v;
        v.engine->cur_target_index = 4;
        QStringList paths;
        QString text;
        tw::i64 index_seen = -1;
        v.viewer->set_drop_handlers(
            [&](const QStringList& p, tw::i64 i) { paths = p; index_seen = i; },
            [&](const QString& t, tw::i64 i) { text = t; index_seen = i; });
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile("/tmp/a"), QUrl::fromLocalFile("/tmp/b c")});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(v.viewer->window(), &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop_files(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(v.viewer->window(), &drop_files);
        QCOMPARE(paths, QStringList({"/tmp/a", "/tmp/b c"}));
        QCOMPARE(index_seen, tw::i64{4});
        QMimeData words;
        words.setText("needle");
        QDragEnterEvent enter_text(QPoint(5, 5), Qt::CopyAction, &words, Qt::LeftButton,
                                   Qt::NoModifier);
        QApplication::sendEvent(v.viewer->window(), &enter_text);
        QVERIFY(enter_text.isAccepted());
        QDropEvent drop_text(QPointF(5, 5), Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(v.viewer->window(), &drop_text);
        QCOMPARE(text, QString("needle"));
    }

private:
    QTemporaryDir home_;
};

QTEST_MAIN(ViewerContentTest)
#include "viewer_content_test.moc"
