// Pull-down buttons built in code: the title item, separators that cannot
// be chosen, the chosen index, the three item states (mixed drawn unlike
// on), and the width a layout gives from the size hint.
#include <QAction>
#include <QHBoxLayout>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QWidget>
#include <QtTest>

#include "ui/toolkit/pulldown.h"

using namespace tw::ui;

namespace {

QImage mark(ItemState state) {
    return PullDown::state_icon(state).pixmap(16, 16).toImage().convertToFormat(
        QImage::Format_ARGB32);
}

int dark_pixels_in_row(const QImage& image, int y) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        if (qAlpha(image.pixel(x, y)) > 128) ++n;
    return n;
}

}  // namespace

class PullDownTest : public QObject {
    Q_OBJECT

private slots:
    void title_items_and_separators() {
        QWidget window;
        QWidget placeholder(&window);
        placeholder.setGeometry(20, 30, 100, 16);
        PullDown& pd = *PullDown::over_placeholder(&placeholder, QPoint(-2, -5), 300, 16);
        QCOMPARE(pd.parentWidget(), &window);
        pd.add_items({"Targets", "alpha", "beta"});
        pd.add_separator();
        pd.add_item("Add application...");
        QCOMPARE(pd.count(), 5);
        QCOMPARE(pd.text(), QString("Targets"));
        QCOMPARE(pd.item_title(0), QString("Targets"));
        QVERIFY(pd.is_separator(3));
        QCOMPARE(pd.geometry().topLeft(), QPoint(18, 25));
        QCOMPARE(pd.width(), 300);
        QVERIFY(placeholder.isHidden());
        // The menu holds the items after the title, in order.
        const QList<QAction*> actions = pd.menu()->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions[0]->text(), QString("alpha"));
        QVERIFY(actions[2]->isSeparator());
        QCOMPARE(actions[3]->text(), QString("Add application..."));
    }

    void choosing_an_item_reports_its_index() {
        QWidget window;
        PullDown pd(&window);
        pd.add_items({"Title", "one", "two"});
        pd.add_separator();
        pd.add_item("last");
        QList<int> chosen;
        pd.set_action([&](int i) { chosen.append(i); });
        QSignalSpy spy(&pd, &PullDown::item_chosen);
        pd.menu()->actions()[3]->trigger();  // "last", after the separator
        pd.menu()->actions()[0]->trigger();  // "one"
        QCOMPARE(chosen, (QList<int>{4, 1}));
        QCOMPARE(spy.size(), 2);
        QCOMPARE(pd.index_of_selected_item(), 1);
    }

    void items_are_removed_and_inserted_by_index() {
        QWidget window;
        PullDown pd(&window);
        pd.add_items({"Launcher", "gedit", "vim"});
        pd.add_separator();
        pd.add_item("Add application...");
        pd.remove_item(1);
        QCOMPARE(pd.item_title(1), QString("vim"));
        pd.insert_item(2, "emacs");
        QCOMPARE(pd.item_title(2), QString("emacs"));
        QVERIFY(pd.is_separator(3));
        QList<int> chosen;
        pd.set_action([&](int i) { chosen.append(i); });
        pd.item_action(4)->trigger();
        QCOMPARE(chosen, QList<int>{4});
        pd.remove_all_items();
        QCOMPARE(pd.count(), 1);
        QCOMPARE(pd.text(), QString("Launcher"));
    }

    void states_are_kept_per_item() {
        QWidget window;
        PullDown pd(&window);
        pd.add_items({"Encodings", "UTF8", "Latin1", "Hexadecimal"});
        pd.set_state(1, ItemState::On);
        pd.set_state(3, ItemState::Mixed);
        QCOMPARE(pd.state(1), ItemState::On);
        QCOMPARE(pd.state(2), ItemState::Off);
        QCOMPARE(pd.state(3), ItemState::Mixed);
        QVERIFY(!pd.item_action(1)->icon().isNull());
        QVERIFY(pd.item_action(2)->icon().isNull());
        QVERIFY(!pd.item_action(3)->icon().isNull());
        pd.set_state(1, ItemState::Off);
        QVERIFY(pd.item_action(1)->icon().isNull());
    }

    void mixed_is_drawn_unlike_on() {
        const QImage on = mark(ItemState::On);
        const QImage mixed = mark(ItemState::Mixed);
        QVERIFY(!on.isNull());
        QVERIFY(!mixed.isNull());
        QVERIFY(on != mixed);
        // Mixed is a horizontal dash: one band of rows across the middle,
        // nothing above or below it.
        QVERIFY(dark_pixels_in_row(mixed, 8) >= 6);
        QCOMPARE(dark_pixels_in_row(mixed, 3), 0);
        QCOMPARE(dark_pixels_in_row(mixed, 12), 0);
        // On is a check mark: it reaches the upper and lower parts.
        QVERIFY(dark_pixels_in_row(on, 5) > 0);
        QVERIFY(dark_pixels_in_row(on, 11) > 0);
    }

    // In a layout the pull-down asks for its width and the layout gives it;
    // growing never makes it cover its neighbour.
    void in_a_layout_the_size_hint_decides() {
        QWidget window;
        auto* row = new QHBoxLayout(&window);
        auto* pd = new PullDown(&window);
        auto* neighbour = new QPushButton("Show as", &window);
        row->addWidget(pd);
        row->addWidget(neighbour);
        row->addStretch(1);
        pd->add_items({"Open file with", "--------------", "Add application..."});
        pd->size_to_fit();
        window.resize(900, 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const char* app : {"An application with a rather long name",
                                   "Another application whose name is longer still", "third"}) {
            pd->insert_item(1, QString::fromUtf8(app));
            const QSize before = pd->size();
            pd->size_to_fit();
            QCOMPARE(pd->size(), before);  // it did not resize itself
            QTRY_COMPARE(pd->width(), pd->sizeHint().width());
            QVERIFY(pd->geometry().right() < neighbour->geometry().left());
        }
        QVERIFY(pd->sizeHint().width() > QFontMetrics(pd->font()).horizontalAdvance(
                                              "Another application whose name is longer still"));
        // Removing the applications lets it narrow again.
        const int wide = pd->sizeHint().width();
        for (int i = 0; i < 3; ++i) pd->remove_item(1);
        pd->size_to_fit();
        QVERIFY(pd->sizeHint().width() < wide);
    }

    // A separator, added as such or as a line of dashes, is a menu separator:
    // the menu's keys pass over it and it cannot be triggered.
    void separators_cannot_be_chosen() {
        QWidget window;
        PullDown pd(&window);
        pd.add_items({"Open file with", "gedit", "--------------", "Add application..."});
        QVERIFY(pd.is_separator(2));
        QCOMPARE(pd.item_title(2), QString("--------------"));
        QVERIFY(pd.item_action(2)->isSeparator());
        QList<int> chosen;
        pd.set_action([&](int i) { chosen.append(i); });
        pd.item_action(2)->trigger();
        QVERIFY(chosen.isEmpty());
        pd.menu()->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(pd.menu()));
        QList<QAction*> seen;
        for (int k = 0; k < 6; ++k) {
            QTest::keyClick(pd.menu(), Qt::Key_Down);
            if (pd.menu()->activeAction() != nullptr) seen.append(pd.menu()->activeAction());
        }
        QVERIFY(!seen.isEmpty());
        for (QAction* a : seen) QVERIFY(!a->isSeparator());
        QVERIFY(seen.contains(pd.item_action(3)));
        pd.menu()->hide();
    }

    void a_shown_title_leaves_the_title_item() {
        QWidget window;
        PullDown pd(&window);
        pd.add_items({"Encoding", "Latin 1"});
        pd.set_shown_title("Encoding: Latin 1");
        QCOMPARE(pd.text(), QString("Encoding: Latin 1"));
        QCOMPARE(pd.item_title(0), QString("Encoding"));
        pd.set_shown_title(QString());
        QCOMPARE(pd.text(), QString("Encoding"));
    }
};

QTEST_MAIN(PullDownTest)
#include "pulldown_test.moc"
