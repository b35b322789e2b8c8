// A result remembers its search: the viewer describes the search that wrote
// the result, after a restart too, even when the window now holds another
// string; the window's edits are kept with the target when a search runs,
// and each target keeps its last search strings.
#include <QLabel>
#include <QMenu>
#include <QToolButton>

#include "tests/ui/search_window_support.h"
#include "ui/search/search_history.h"

using namespace sw_test;

namespace {

// The application's start again over the same resource folder: the window
// loads the saved current target and the viewer offers the last result.
void restart(Harness& h) {
    h.viewer.reset();
    h.controller.reset();
    h.engine.finalize_tw_buffer();
    QCOMPARE(h.engine.initialize_and_load_tw_parameter(), tw::u64{0});
    h.open_window(0, true);
    h.viewer->offer_last_result();
}

QStringList history_titles(const Harness& h) {
    h.controller->fill_history_menu();
    QStringList out;
    for (QAction* a : h.controller->history_menu()->actions()) out << a->text();
    return out;
}

}  // namespace

class SearchMemoryTest : public QObject {
    Q_OBJECT

private slots:
    void the_viewer_describes_the_search_after_a_restart_data() {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ignore_case");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("text") << kAscii << "needle" << true
                              << QStringList{"Searched for: \"needle\" (6E 65 65 64 6C 65), Plain (ascII) text",
                                             "Options: ignore case (a-z)"};
        QTest::newRow("hexadecimal") << kHexadecimal << "6E 65 65" << false
                                     << QStringList{"Searched for the bytes: 6E 65 65", "Options: none"};
    }
    void the_viewer_describes_the_search_after_a_restart() {
        QFETCH(int, encoding);
        QFETCH(QString, typed);
        QFETCH(bool, ignore_case);
        QFETCH(QStringList, lines);
        Harness h;
        h.write_file("tree/a.txt", "a needle");
        h.save_target(0, {.name = "Hunt", .pattern = "other", .items = {{h.path("tree"), true}}});
        h.save_target(1, {.name = "Kept", .pattern = "kept", .items = {{h.path("tree"), true}}});
        const std::string other_target = h.target_bytes(1);
        h.open_window(0, true);
        h.encodings()->choose_item(encoding);
        h.controller->set_search_view_text(typed);
        h.ui()->case_insensentive_ref->setChecked(ignore_case);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        h.click_action();
        h.wait_idle();
        const qint64 after = QDateTime::currentSecsSinceEpoch();
        // Another string in the window does not change the description.
        h.controller->set_search_view_text("6E");
        restart(h);
        // The window shows the string that produced the result.
        QCOMPARE(h.view_text().trimmed(), typed);
        QLabel* described = h.viewer->search_description();
        QStringList shown = described->text().split(u'\n');
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.mid(0, 2), lines);
        const auto at = [](qint64 t) {
            return "Target: Hunt, searched on " +
                   QLocale(QLocale::English).toString(QDateTime::fromSecsSinceEpoch(t), QLocale::ShortFormat);
        };
        QVERIFY2(shown[2] == at(before) || shown[2] == at(after), qPrintable(shown[2]));
        // The other target's file has its bytes.
        QCOMPARE(h.target_bytes(1), other_target);
    }

    void each_target_keeps_its_last_twenty_strings() {
        Harness h;
        const tw::ui::SearchHistory history(QString::fromStdString(h.resource));
        for (int i = 0; i < 23; ++i) QVERIFY(history.add("T", QString("s%1").arg(i % 22)));
        QVERIFY(history.add("Other", "x"));
        QStringList want;
        for (int i = 0; i < 20; ++i) want << QString("s%1").arg((22 + 22 - i) % 22);
        // s0 searched again comes first, once.
        QCOMPARE(history.entries("T"), want);
        QCOMPARE(history.entries("Other"), QStringList{"x"});
    }

    void the_history_pull_down_offers_the_strings_of_the_target() {
        Harness h;
        h.write_file("tree/a.txt", "alpha beta");
        h.save_target(0, {.name = "T", .pattern = "alpha", .items = {{h.path("tree"), true}}});
        h.open_window(0);
        QCOMPARE(history_titles(h), QStringList{"No search yet"});
        QVERIFY(!h.controller->history_menu()->actions().first()->isEnabled());
        for (const char* s : {"alpha", "be\nta"}) {
            h.controller->set_search_view_text(s);
            h.click_action();
            h.wait_idle();
        }
        QCOMPARE(history_titles(h), (QStringList{"be\u23CEta", "alpha"}));
        h.controller->history_menu()->actions().last()->trigger();
        QCOMPARE(h.view_text(), QString("alpha"));
        // Reached with Tab from the target's row, and named.
        QToolButton* button = h.controller->history_button();
        QCOMPARE(button->accessibleName(), QString("Search history"));
        QCOMPARE(h.targets()->nextInFocusChain(), button);
    }
};

TW_UI_SUITE(SearchMemoryTest)
#include "search_memory_test.moc"
