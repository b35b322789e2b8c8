// What the search window shows of its search string and counters, with no
// state hidden from the user: a failed encoding switch that changes nothing,
// refused keys and pastes that say why, the encoding named on its button,
// marked line breaks, the Return key's default, the wildcard of a
// hexadecimal string, legible counters and the tab order.
#include "tests/ui/search_window_support.h"

#include <QClipboard>
#include <QLocale>
#include <QTextDocument>
#include <QTextOption>

#include "ui/toolkit/alerts.h"
#include "ui/toolkit/search_string_field.h"

using namespace sw_test;
using tw::ui::ItemState;

namespace {


QString bytes_of(const tw::TargetRecord& t) {
    return QString::fromLatin1(reinterpret_cast<const char*>(t.search_str),
                               static_cast<qsizetype>(t.search_str_len));
}

// The widget that Tab goes to from `w`: the next one of the focus chain
// that takes the focus by Tab.
QWidget* next_tab_stop(QWidget* w) {
    for (QWidget* n = w->nextInFocusChain(); n != w; n = n->nextInFocusChain())
        if ((n->focusPolicy() & Qt::TabFocus) && n->isVisible() && n->isEnabled()) return n;
    return nullptr;
}

// A key press that types `text` (a key the test keyboard does not have).
void type_text(QWidget* widget, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
}

}  // namespace

class SearchFieldTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tw::ui::init_resources(); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // ---- A failed encoding switch --------------------------------------------------

    void a_failed_switch_keeps_encoding_string_and_marks_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<int>("hexa");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("marks");
        QTest::newRow("hello, ASCII to Unicode")
            << QByteArray("hello") << 1 << 0 << kUnicode << "hello"
            << "Encoding: Plain (ascII) text" << QStringList{"1:1"};
        QTest::newRow("e acute, Latin 1 to UTF8")
            << QByteArray("\xE9") << 5 << 0 << kUtf8 << QString::fromUtf8("\u00E9")
            << "Encoding: Latin 1" << QStringList{"6:1"};
        QTest::newRow("a zero byte, hexadecimal to text")
            << QByteArray("ab\0cd", 5) << 1 << 1 << kHexadecimal << "61 62 00 63 64 "
            << "Hexadecimal" << QStringList{"1:-1", "18:1"};
    }
    void a_failed_switch_keeps_encoding_string_and_marks() {
        QFETCH(QByteArray, pattern);
        QFETCH(int, encoding);
        QFETCH(int, hexa);
        QFETCH(int, item);
        QFETCH(QString, shown);
        QFETCH(QString, button);
        QFETCH(QStringList, marks);
        Harness h;
        h.write_file("tree/a.txt", "say hello\n");
        h.save_target(0, {.pattern = pattern.toStdString(), .items = {{h.path("tree"), true}},
                          .encoding = static_cast<tw::u64>(encoding),
                          .is_hexa = static_cast<tw::u64>(hexa)});
        h.open_window(0);
        tw::ui::PullDown* popup = h.controller->encoding_popup();
        Harness::choose(popup, item);
        QVERIFY(h.alert_shown());
        h.answer_alert();
        QCOMPARE(h.view_text(), shown);
        QCOMPARE(h.engine.tr.encoding, tw::u64(encoding));
        QCOMPARE(h.engine.tr.is_hexa, tw::u64(hexa));
        QCOMPARE(::marks(popup), marks);
        QCOMPARE(popup->text(), button);
        // What Search now looks for is what the window shows.
        QCOMPARE(h.controller->update_current_target_from_widget(), tw::u64{0});
        QCOMPARE(bytes_of(h.engine.tr), QString::fromLatin1(pattern));
    }

    // ---- Keys and pastes -------------------------------------------------------------

    void a_refused_key_says_why_data() {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<int>("hexa");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("why");
        QTest::newRow("e acute in ASCII")
            << 1 << 0 << "ab" << QString::fromUtf8("\u00E9")
            << QString::fromUtf8("\u201C\u00E9\u201D cannot be encoded in Plain (ascII) text");
        QTest::newRow("a Greek letter in Latin 1")
            << 5 << 0 << "ab" << QString::fromUtf8("\u03B1")
            << QString::fromUtf8("\u201C\u03B1\u201D cannot be encoded in Latin 1");
        QTest::newRow("G in hexadecimal")
            << 1 << 1 << "41 " << "G"
            << QString::fromUtf8("\u201CG\u201D cannot be typed in Hexadecimal: only the digits "
                                 "0-9 and A-F, blanks and the wildcard");
    }
    void a_refused_key_says_why() {
        QFETCH(int, encoding);
        QFETCH(int, hexa);
        QFETCH(QString, start);
        QFETCH(QString, typed);
        QFETCH(QString, why);
        Harness h;
        h.save_target(0, {.pattern = "x", .items = {}, .encoding = static_cast<tw::u64>(encoding),
                          .is_hexa = static_cast<tw::u64>(hexa)});
        h.open_window(0);
        QPlainTextEdit* view = h.ui()->string_to_search_ref;
        h.controller->set_search_view_text(start);
        view->moveCursor(QTextCursor::End);
        const auto beeps = tw::ui::beep_count();
        type_text(view, typed);
        QCOMPARE(h.view_text(), start);
        QCOMPARE(tw::ui::beep_count(), beeps + 1);
        QCOMPARE(message(h), why);
        // The next key is judged by itself; a valid one goes in and clears
        // the message.
        type_text(view, hexa != 0 ? "4" : "c");
        QCOMPARE(h.view_text(), start + (hexa != 0 ? "4" : "c"));
        QCOMPARE(message(h), QString());
    }

    void editing_keys_are_never_refused_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << "ab" << "";
        QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << "abc" << "";
        QTest::newRow("Left") << int(Qt::Key_Left) << 0 << "abc" << "";
        QTest::newRow("Right") << int(Qt::Key_Right) << 0 << "abc" << "";
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << int(Qt::ControlModifier) << "abc" << "";
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << "abc" << "c";
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier) << "ab" << "c";
        QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier) << "abczz" << "zz";
        QTest::newRow("Ctrl+Z") << int(Qt::Key_Z) << int(Qt::ControlModifier) << "ab" << "";
    }
    void editing_keys_are_never_refused() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, after);
        QFETCH(QString, clipboard);
        Harness h;
        h.save_target(0, {.pattern = "ab", .items = {}, .encoding = 1});
        h.open_window(0);
        QPlainTextEdit* view = h.ui()->string_to_search_ref;
        view->setFocus();
        view->moveCursor(QTextCursor::End);
        QTest::keyClick(view, 'c');
        // Right after a refused key: nothing is locked.
        type_text(view, QString::fromUtf8("\u00E9"));
        QVERIFY(!message(h).isEmpty());
        const auto beeps = tw::ui::beep_count();
        if (key == Qt::Key_C || key == Qt::Key_X) {
            view->moveCursor(QTextCursor::End);
            view->moveCursor(QTextCursor::Left, QTextCursor::KeepAnchor);
        }
        if (key == Qt::Key_Delete) view->moveCursor(QTextCursor::Left);
        if (key == Qt::Key_V) QGuiApplication::clipboard()->setText("zz");
        QTest::keyClick(view, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(tw::ui::beep_count(), beeps);
        if (key == Qt::Key_Delete) QCOMPARE(h.view_text(), QString("ab"));
        else QCOMPARE(h.view_text(), after);
        if (key == Qt::Key_A) QCOMPARE(view->textCursor().selectedText(), QString("abc"));
        if (key == Qt::Key_Left) QCOMPARE(view->textCursor().position(), 2);
        if (!clipboard.isEmpty()) QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    }

    void a_paste_that_cannot_be_encoded_says_why() {
        Harness h;
        h.save_target(0, {.pattern = "ab", .items = {}, .encoding = 1});
        h.open_window(0);
        QPlainTextEdit* view = h.ui()->string_to_search_ref;
        view->moveCursor(QTextCursor::End);
        QGuiApplication::clipboard()->setText(QString::fromUtf8("x\u00E9y"));
        view->paste();  // as from the context menu: no key press
        QCOMPARE(h.view_text(), QString("ab"));
        QCOMPARE(message(h), QString::fromUtf8("Cannot paste: \u201C\u00E9\u201D cannot be encoded in "
                                               "Plain (ascII) text"));
        QGuiApplication::clipboard()->setText(QString("x") + QChar(0x2028));
        view->paste();
        QCOMPARE(h.view_text(), QString("ab"));
        QVERIFY(message(h).contains("U+2028"));
        // Line breaks are pasted exactly: a carriage return stays one.
        QGuiApplication::clipboard()->setText("\r\nc\rd\n");
        QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h.view_text(), QString("ab\r\nc\rd\n"));
        QCOMPARE(message(h), QString());
        QCOMPARE(h.controller->update_current_target_from_widget(), tw::u64{0});
        QCOMPARE(bytes_of(h.engine.tr), QString("ab\r\nc\rd\n"));
    }

    // ---- What the view and the button show ----------------------------------------------

    void line_breaks_are_marked_and_kept() {
        Harness h;
        h.save_target(0, {.pattern = "a\rb\r\nc\n", .items = {}, .encoding = 1});
        h.open_window(0);
        QCOMPARE(h.view_text(), QString("a\rb\r\nc\n"));
        const QTextOption option = h.ui()->string_to_search_ref->document()->defaultTextOption();
        QVERIFY(option.flags() & QTextOption::ShowLineAndParagraphSeparators);
        // Shift+Return types a line feed, not a carriage return.
        h.controller->set_search_view_text("a");
        h.engine.pr.return_key_is_search = 0;
        h.ui()->string_to_search_ref->moveCursor(QTextCursor::End);
        QTest::keyClick(h.ui()->string_to_search_ref, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(h.view_text(), QString("a\n"));
    }

    void the_encoding_button_names_the_encoding_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<int>("hexa");
        QTest::addColumn<QString>("button");
        QTest::newRow("Latin 1") << 0 << 5 << 0 << "Encoding: Latin 1";
        QTest::newRow("UTF8") << 0 << 4 << 0 << "Encoding: UTF8";
        QTest::newRow("hexadecimal") << 0 << 5 << 1 << "Hexadecimal";
        QTest::newRow("user defined") << 0 << int(0x80000A02u) << 0 << "Encoding: User defined (";
        QTest::newRow("French") << 1 << 5 << 0 << QString::fromUtf8("Encodage\u00A0: Latin 1");
        QTest::newRow("French hexadecimal") << 1 << 5 << 1 << QString::fromUtf8("Hexad\u00E9cimale");
    }
    void the_encoding_button_names_the_encoding() {
        QFETCH(int, language);
        QFETCH(int, encoding);
        QFETCH(int, hexa);
        QFETCH(QString, button);
        Harness h;
        h.engine.language = static_cast<std::uint8_t>(language);
        h.save_target(0, {.pattern = "abc", .items = {},
                          .encoding = static_cast<tw::u64>(static_cast<std::uint32_t>(encoding)),
                          .is_hexa = static_cast<tw::u64>(hexa)});
        h.open_window(0);
        tw::ui::PullDown* popup = h.controller->encoding_popup();
        QVERIFY2(popup->text().startsWith(button), qPrintable(popup->text()));
        QCOMPARE(popup->item_title(0), QString(language != 0 ? "Encodage" : "Encoding"));
        // The button keeps its width whatever it shows.
        const int width = popup->sizeHint().width();
        Harness::choose(popup, kHexadecimal);
        Harness::choose(popup, kAscii);
        QCOMPARE(popup->sizeHint().width(), width);
        QVERIFY(popup->text().endsWith(language != 0 ? "Texte (ascII)" : "Plain (ascII) text"));
    }

    // ---- Return --------------------------------------------------------------------

    void return_searches_unless_a_preference_file_says_otherwise_data() {
        QTest::addColumn<int>("saved");  // -1: no preference file
        QTest::addColumn<bool>("searches");
        QTest::newRow("no preference file") << -1 << true;
        QTest::newRow("saved off") << 0 << false;
        QTest::newRow("saved on") << 1 << true;
    }
    void return_searches_unless_a_preference_file_says_otherwise() {
        QFETCH(int, saved);
        QFETCH(bool, searches);
        Harness h;
        h.write_sparse_file("big", off_t{64} << 30);
        h.save_target(0, {.pattern = "needle", .items = {{h.path("big"), false}}});
        if (saved >= 0) {
            h.engine.pr.return_key_is_search = static_cast<std::uint8_t>(saved);
            QCOMPARE(h.engine.save_pref_file(), tw::u64{0});
        }
        h.open_window(0);
        QCOMPARE(h.engine.pr.return_key_is_search != 0, searches);
        QPlainTextEdit* view = h.ui()->string_to_search_ref;
        view->moveCursor(QTextCursor::End);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(h.controller->search_is_running(), searches);
        QCOMPARE(h.view_text(), QString(searches ? "needle" : "needle\n"));
        if (searches) h.controller->do_action_but();  // Stop
        QTRY_VERIFY_WITH_TIMEOUT(h.idle(), 10000);
    }

    // ---- The wildcard of a hexadecimal string --------------------------------------------

    void a_wildcard_hidden_by_hexadecimal_is_refused() {
        const QString why = "A hexadecimal digit or a blank cannot be the wildcard while the string "
                            "is in Hexadecimal";
        Harness h;
        h.save_target(0, {.pattern = "AB", .items = {}, .is_hexa = 1, .use_wildcard = 1});
        h.open_window(0);
        QLineEdit* field = h.ui()->wildcard_symbol_ref;
        QCOMPARE(field->text(), QString("?"));
        // Typing a digit as the wildcard: refused, the field keeps "?".
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, "0");
        QCOMPARE(field->text(), QString());
        QCOMPARE(message(h), why);
        QTest::keyClicks(field, "x");
        QCOMPARE(field->text(), QString("x"));
        // With the wildcard off, the field may hold a digit; turning the
        // wildcard on is then refused.
        QTest::mouseClick(h.ui()->use_wildcard_ref, Qt::LeftButton);
        QVERIFY(!h.ui()->use_wildcard_ref->isChecked());
        field->setText("A");
        QTest::mouseClick(h.ui()->use_wildcard_ref, Qt::LeftButton);
        QVERIFY(!h.ui()->use_wildcard_ref->isChecked());
        QCOMPARE(h.engine.tr.use_wildcard, tw::u64{0});
        QCOMPARE(message(h), why);
        // Back to text, the digit wildcard is allowed; switching to
        // hexadecimal with it is refused and changes nothing.
        Harness::choose(h.controller->encoding_popup(), kHexadecimal);
        QCOMPARE(h.view_text(), QString("AB"));
        QTest::mouseClick(h.ui()->use_wildcard_ref, Qt::LeftButton);
        QVERIFY(h.ui()->use_wildcard_ref->isChecked());
        Harness::choose(h.controller->encoding_popup(), kHexadecimal);
        QCOMPARE(h.engine.tr.is_hexa, tw::u64{0});
        QCOMPARE(h.view_text(), QString("AB"));
        QCOMPARE(message(h), why);
        QVERIFY(!h.alert_shown());
    }

    // ---- Counters and tab order ---------------------------------------------------------

    void counts_are_grouped_by_the_locale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("shown");
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QLocale de(QLocale::German, QLocale::Germany);
        QTest::newRow("count") << us << "1234567" << "1,234,567";
        QTest::newRow("small") << us << "999" << "999";
        QTest::newRow("kilobytes") << us << "20480K" << "20,480K";
        QTest::newRow("German") << de << "1234567" << "1.234.567";
        QTest::newRow("empty") << us << "" << "";
        QTest::newRow("a summary keeps its words") << us << "1234 files" << "1234 files";
    }
    void counts_are_grouped_by_the_locale() {
        QFETCH(QLocale, locale);
        QFETCH(QString, engine);
        QFETCH(QString, shown);
        QLocale::setDefault(locale);
        QCOMPARE(SearchController::grouped_count(engine.toUtf8().constData()), shown);
    }

    void the_found_field_is_legible_after_a_search() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Harness h;
        h.write_file("tree/a.txt", std::string(1234, 'x'));
        h.save_target(0, {.pattern = "x", .items = {{h.path("tree"), true}}});
        h.open_window(0);
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        QVERIFY(h.ui()->found_nb_ref->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(h.idle(), 10000);
        QCOMPARE(h.ui()->found_nb_ref->text(), QString("1,234"));
        QVERIFY(h.ui()->found_nb_ref->isEnabled());
        QCOMPARE(h.ui()->total_byte_ref->text(), QString("1,234"));
        // The summary keeps the engine's wording.
        QVERIFY2(h.ui()->file_name_ref->text().startsWith("1 files scanned,   0 errors,  search time: "),
                 qPrintable(h.ui()->file_name_ref->text()));
    }

    void tab_follows_reading_order() {
        Harness h;
        h.save_target(0, {.pattern = "abc", .items = {}, .use_wildcard = 1});
        h.open_window(0);
        QCoreApplication::processEvents();  // the pull-downs are shown
        Ui::SearchWindow* ui = h.ui();
        const QList<QWidget*> expected{
            ui->triangle_but_ref, h.controller->target_popup(), h.controller->encoding_popup(),
            ui->string_to_search_ref, ui->use_wildcard_ref, ui->wildcard_symbol_ref,
            ui->add_line_no_ref, ui->case_insensentive_ref, ui->skip_read_access_error_ref,
            ui->not_inside_ref, ui->action_but_ref};
        for (qsizetype i = 0; i + 1 < expected.size(); ++i)
            QCOMPARE(next_tab_stop(expected[i]), expected[i + 1]);
        // Rebuilding the target pull-down keeps its place.
        h.controller->set_target_popup();
        QCoreApplication::processEvents();
        QCOMPARE(next_tab_stop(ui->triangle_but_ref), h.controller->target_popup());
        QCOMPARE(next_tab_stop(h.controller->target_popup()), h.controller->encoding_popup());
    }
};

QTEST_MAIN(SearchFieldTest)
#include "search_field_test.moc"
