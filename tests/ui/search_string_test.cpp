// The search string of the search window: the encoding pull-down and its
// marks, conversions between encodings and hexadecimal, the check of each
// key press, and the alerts of a search refused before it starts.
#include "tests/ui/search_window_support.h"

#include "ui/toolkit/alerts.h"

using namespace sw_test;
using tw::ui::ItemState;

namespace {


// A key press that types `text` (a key the test keyboard does not have).
void type_text(QWidget* widget, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

}  // namespace

class SearchStringTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tw::ui::init_resources(); }

    void the_encoding_pull_down_lists_and_marks_the_encodings() {
        Harness h;
        h.save_target(0, {.pattern = "abc", .items = {}, .encoding = 5});
        h.save_target(1, {.pattern = "abc", .items = {}, .encoding = 0x80000601u});
        h.open_window(0);
        tw::ui::PullDown* popup = h.controller->encoding_popup();
        QCOMPARE(popup->count(), 19);
        QCOMPARE(popup->item_title(0), QString("Encoding"));
        QCOMPARE(popup->item_title(kAscii), QString("Plain (ascII) text"));
        QCOMPARE(popup->item_title(kLatin1), QString("Latin 1"));
        QCOMPARE(popup->item_title(15), QString("MS Latin 2"));
        QCOMPARE(popup->item_title(kUserDefined), QString("User defined"));
        QVERIFY(popup->is_separator(17));
        QCOMPARE(popup->item_title(kHexadecimal), QString("Hexadecimal"));
        QCOMPARE(marks(popup), QStringList{"6:1"});
        // A target in none of the fixed encodings shows "User defined"; its
        // bytes, which no known encoding shows, appear as hexadecimal rather
        // than leaving the previous target's text on screen.
        Harness::choose(h.controller->target_popup(), 2);
        QCOMPARE(marks(popup), (QStringList{"16:1", "18:1"}));
        QCOMPARE(h.view_text(), QString("61 62 63 "));
    }

    void abc_goes_to_hexadecimal_and_back() {
        Harness h;
        h.save_target(0, {.pattern = "abc", .items = {}, .encoding = 1});
        h.open_window(0);
        tw::ui::PullDown* popup = h.controller->encoding_popup();
        Harness::choose(popup, kHexadecimal);
        QCOMPARE(h.view_text(), QString("61 62 63 "));
        QCOMPARE(h.engine.tr.is_hexa, tw::u64{1});
        QCOMPARE(marks(popup), (QStringList{"1:-1", "18:1"}));
        Harness::choose(popup, kHexadecimal);
        QCOMPARE(h.view_text(), QString("abc"));
        QCOMPARE(h.engine.tr.is_hexa, tw::u64{0});
        QCOMPARE(marks(popup), QStringList{"1:1"});
        QVERIFY(!h.alert_shown());
    }

    void latin1_e_acute_is_refused_as_utf8() {
        Harness h;
        h.save_target(0, {.pattern = "\xE9", .items = {}, .encoding = 5});
        h.open_window(0);
        QCOMPARE(h.view_text(), QString::fromUtf8("é"));
        tw::ui::PullDown* popup = h.controller->encoding_popup();
        Harness::choose(popup, kUtf8);
        QVERIFY(h.alert_shown());
        QCOMPARE(h.alert_message(),
                 QString("Cannot encode\n(try to erase completly the input string)"));
        QCOMPARE(h.view_text(), QString::fromUtf8("é"));
        // The record keeps the encoding that the view and the marks show.
        QCOMPARE(marks(popup), QStringList{"6:1"});
        QCOMPARE(h.engine.tr.encoding, tw::u64{5});
    }

    void another_encoding_reads_the_same_bytes() {
        Harness h;
        h.save_target(0, {.pattern = "\xE9", .items = {}, .encoding = 5});
        h.open_window(0);
        Harness::choose(h.controller->encoding_popup(), 12);  // Cyrillic, Windows-1251
        QCOMPARE(h.view_text(), QString::fromUtf8("й"));
        QCOMPARE(h.engine.tr.encoding, tw::u64{11});
        QCOMPARE(marks(h.controller->encoding_popup()), QStringList{"12:1"});
    }

    void bytes_with_a_zero_are_not_shown_cut() {
        Harness h;
        h.save_target(0, {.pattern = std::string("ab\0cd", 5), .items = {}, .encoding = 1,
                          .is_hexa = 1});
        h.open_window(0);
        QCOMPARE(h.view_text(), QString("61 62 00 63 64 "));
        Harness::choose(h.controller->encoding_popup(), kHexadecimal);
        QVERIFY(h.alert_shown());
        QCOMPARE(h.view_text(), QString("61 62 00 63 64 "));
        QCOMPARE(h.engine.tr.search_str_len, tw::u64{5});
    }

    void wildcards_stay_in_hexadecimal_text() {
        Harness h;
        h.save_target(0, {.pattern = "AB", .items = {}, .is_hexa = 1, .use_wildcard = 1});
        h.open_window(0);
        QVERIFY(h.ui()->use_wildcard_ref->isChecked());
        QCOMPARE(h.ui()->wildcard_symbol_ref->text(), QString("?"));
        h.controller->set_search_view_text("41 ? 42");
        QCOMPARE(h.controller->search_string_is_valid(1, 1), tw::u64{0});
        QCOMPARE(h.controller->update_current_target_from_widget(), tw::u64{0});
        QCOMPARE(std::string(reinterpret_cast<char*>(h.engine.tr.search_str),
                             h.engine.tr.search_str_len),
                 std::string("A?B"));
        QCOMPARE(h.controller->set_search_str(), tw::u64{0});
        QCOMPARE(h.view_text(), QString("41 ? 42 "));
        // Without the wildcard, ? is no hexadecimal digit.
        QTest::mouseClick(h.ui()->use_wildcard_ref, Qt::LeftButton);
        QCOMPARE(h.engine.tr.use_wildcard, tw::u64{0});
        QVERIFY(!h.ui()->wildcard_symbol_ref->isEnabled());
        QCOMPARE(h.controller->search_string_is_valid(1, 1), tw::u64{13});
    }

    void a_refused_string_starts_nothing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("hexa");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "" << 0 << "Search parameter error";
        QTest::newRow("empty hexadecimal") << "" << 1 << "Search parameter error";
        QTest::newRow("wildcard first") << "?ab" << 0
                                        << "The search string must not begin/end by the wildcard char.";
        QTest::newRow("wildcard last") << "ab?" << 0
                                       << "The search string must not begin/end by the wildcard char.";
        QTest::newRow("invalid hexadecimal") << "41 4G" << 1 << "Invalid hexadecimal character";
        QTest::newRow("non-ASCII in hexadecimal") << QString::fromUtf8("41 é") << 1
                                                  << "Invalid hexadecimal character";
        QTest::newRow("not ASCII") << QString::fromUtf8("é") << 0 << "Search parameter error";
    }
    void a_refused_string_starts_nothing() {
        QFETCH(QString, text);
        QFETCH(int, hexa);
        QFETCH(QString, message);
        Harness h;
        h.write_file("tree/a.txt", "ab");
        h.save_target(0, {.pattern = "ab", .items = {{h.path("tree"), true}}, .encoding = 1,
                          .is_hexa = static_cast<tw::u64>(hexa), .use_wildcard = 1});
        h.open_window(0);
        h.controller->set_search_view_text(text);
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        QVERIFY(h.alert_shown());
        QCOMPARE(h.alert_message(), message);
        QVERIFY(!h.controller->search_is_running());
        QCOMPARE(h.engine.searching_now.load(), std::uint8_t{0});
        QCOMPARE(h.ui()->action_but_ref->text(), QString("Search"));
        QVERIFY(!h.ui()->string_to_search_ref->isReadOnly());
    }

    void the_same_wildcard_string_is_searched_without_the_option() {
        Harness h;
        h.write_file("tree/a.txt", "x?ab");
        h.save_target(0, {.pattern = "?ab", .items = {{h.path("tree"), true}}});
        h.open_window(0);
        QTest::mouseClick(h.ui()->action_but_ref, Qt::LeftButton);
        QVERIFY(!h.alert_shown());
        QTRY_VERIFY_WITH_TIMEOUT(h.idle(), 10000);
        QCOMPARE(h.ui()->found_nb_ref->text(), QString("1"));
    }

    // The key that would make the text invalid is refused, with its reason
    // beside the view; the keys after it are not.
    void a_key_is_checked_on_the_text_it_would_make() {
        Harness h;
        h.save_target(0, {.pattern = "A", .items = {}, .is_hexa = 1});
        h.open_window(0);
        QPlainTextEdit* view = h.ui()->string_to_search_ref;
        view->setFocus();
        view->moveCursor(QTextCursor::End);
        QCOMPARE(h.view_text(), QString("41 "));
        const auto beeps = tw::ui::beep_count();
        QTest::keyClick(view, 'G');
        QCOMPARE(h.view_text(), QString("41 "));
        QCOMPARE(tw::ui::beep_count(), beeps + 1);
        QCOMPARE(message(h), QString::fromUtf8("\u201CG\u201D cannot be typed in Hexadecimal: only the "
                                              "digits 0-9 and A-F, blanks and the wildcard"));
        QTest::keyClick(view, Qt::Key_4);
        QCOMPARE(h.view_text(), QString("41 4"));
        QCOMPARE(message(h), QString());
        // A text set by the program that is already invalid does not lock
        // the view: a valid key still goes in, a bad one does not.
        h.controller->set_search_view_text("41 zz");
        view->moveCursor(QTextCursor::End);
        QTest::keyClick(view, Qt::Key_1);
        QCOMPARE(h.view_text(), QString("41 zz1"));
        QTest::keyClick(view, 'q');
        QCOMPARE(h.view_text(), QString("41 zz1"));
    }

    void text_that_the_encoding_cannot_hold_is_refused_with_its_reason() {
        Harness h;
        h.save_target(0, {.pattern = "ab", .items = {}, .encoding = 1});
        h.open_window(0);
        QPlainTextEdit* view = h.ui()->string_to_search_ref;
        view->moveCursor(QTextCursor::End);
        type_text(view, QString::fromUtf8("\u00E9"));
        QCOMPARE(h.view_text(), QString("ab"));
        QCOMPARE(message(h),
                 QString::fromUtf8("\u201C\u00E9\u201D cannot be encoded in Plain (ascII) text"));
        QLabel* label = h.window()->findChild<QLabel*>("string_message_ref");
        QVERIFY(label != nullptr && label->isVisible());
        QCOMPARE(label->accessibleName(), label->text());
        QTest::keyClick(view, 'c');
        QCOMPARE(h.view_text(), QString("abc"));
        QVERIFY(!label->isVisible());
    }
};

QTEST_MAIN(SearchStringTest)
#include "search_string_test.moc"
