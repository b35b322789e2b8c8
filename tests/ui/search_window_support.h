// A search window over an engine on a temporary resource folder, with
// targets written there by the test, and ways to read what the window shows.
#pragma once

#include "modal_answerer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDialog>
#include <QProcess>
#include <QtTest>
#include <cstring>
#include <fstream>

#include "engine/search_support.h"
#include "engine/tw.h"
#include "ui/app/wiring.h"
#include "ui/search/SearchController.h"
#include "ui/toolkit/AlertController.h"
#include "ui/shell/MenuController.h"
#include "ui/target_editor/TargetEditorEntry.h"
#include "ui/toolkit/app_paths.h"
#include "ui/toolkit/pulldown.h"
#include "ui/viewer/ViewerController.h"
#include "ui_SearchController.h"

namespace sw_test {

using tw::ui::SearchController;
using tw_test::ModalAnswerer;

// Records what the search window and the menus ask of the target editor.
struct RecordingEditor : tw::ui::TargetEditorEntry {
    using Index = std::int64_t;
    QStringList calls;
    void show_target_window() override { calls << "new"; }
    void show_target_window_index_of_target(Index i) override { calls << QString("index %1").arg(i); }
    void show_target_window_drop_items(const QStringList& p) override { calls << "new items " + p.join(','); }
    void show_target_window_drop_string(const QString& t) override { calls << "new string " + t; }
    void show_target_window_index_of_target_drop_items(Index i, const QStringList& p) override {
        calls << QString("index %1 items ").arg(i) + p.join(',');
    }
    void show_target_window_index_of_target_drop_string(Index i, const QString& t) override {
        calls << QString("index %1 string ").arg(i) + t;
    }
};

struct TargetFields {
    std::string name = "test target";
    std::string pattern = {};  // bytes
    std::vector<tw_test::Item> items = {};
    tw::u64 encoding = 1;
    tw::u64 is_hexa = 0;
    tw::u64 use_wildcard = 0;
};

class Harness {
public:
    Harness() {
        QVERIFY(dir_.isValid());
        resource = dir_.path().toStdString() + "/resources";
        std::filesystem::create_directories(resource + "/TW_target");
        std::filesystem::create_directories(resource + "/TW_found");
        engine.resource_dir_pathname_ptr = resource;
        engine.bundle_dir_pathname_ptr = dir_.path().toStdString() + "/application";
        QCOMPARE(engine.initialize_and_load_tw_parameter(), tw::u64{0});
    }
    ~Harness() {
        engine.stop_and_join_search();
        controller.reset();
        engine.finalize_tw_buffer();
        // Names that are not UTF-8 are beyond QTemporaryDir's removal.
        for (const std::string& p : raw_paths_) ::unlink(p.c_str());
    }

    std::string path(const std::string& sub) const { return dir_.path().toStdString() + "/" + sub; }

    void write_file(const std::string& sub, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(path(sub)).parent_path());
        std::ofstream(path(sub), std::ios::binary) << content;
    }

    // A file of `size` bytes that takes no room on disk, for searches that
    // last until they are stopped.
    void write_sparse_file(const std::string& sub, off_t size) {
        const int fd = ::open(path(sub).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::ftruncate(fd, size), 0);
        ::close(fd);
    }

    // A socket file that nobody listens on: connecting to it is refused,
    // even to root, so that a search cannot read it.
    void write_dead_socket(const std::string& sub) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(path(sub).size() < sizeof address.sun_path);
        std::strcpy(address.sun_path, path(sub).c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::close(fd);
        raw_paths_.push_back(path(sub));
        QCOMPARE(bound, 0);
    }

    std::string target_bytes(tw::u64 number) const {
        std::ifstream in(resource + "/TW_target/" + tw::target_file_name(number), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    void damage_target(tw::u64 number) {
        std::ofstream(resource + "/TW_target/" + tw::target_file_name(number), std::ios::trunc)
            << "damaged";
    }

    // Writes target file `number` through the engine, leaving tr empty.
    void save_target(tw::u64 number, const TargetFields& wanted) {
        tw_test::set_target(engine, wanted.pattern, wanted.items);
        std::free(engine.tr.target_name);
        engine.tr.target_name = strdup(wanted.name.c_str());
        engine.tr.encoding = wanted.encoding;
        engine.tr.is_hexa = wanted.is_hexa;
        engine.tr.use_wildcard = wanted.use_wildcard;
        QCOMPARE(engine.save_target_file(number, engine.tr), tw::u64{0});
        engine.clear_target_buffer(engine.tr);
        engine.init_target(engine.tr);
    }

    // Opens the window as the application does at start, with `current` as
    // the saved current target, and a found viewer when asked for.
    void open_window(tw::i64 current, bool with_viewer = false) {
        engine.cur_target_index = current;
        if (with_viewer) viewer = std::make_unique<tw::ui::ViewerController>(engine);
        controller = std::make_unique<SearchController>(engine, alerts);
        if (viewer) tw::ui::connect_search_to_viewer(*controller, *viewer);
        tw::ui::connect_to_target_editor(*controller, editor, controller.get());
        tw::ui::connect_menu_and_search(menu, *controller);
        controller->widget()->resize(700, 440);
        controller->widget()->show();
        controller->awake_from_nib();
    }

    // Saves `target` as target 0 and opens the window on it.
    void open_on(const TargetFields& target, bool with_viewer = false) {
        save_target(0, target);
        open_window(0, with_viewer);
    }

    Ui::SearchWindow* ui() const { return controller->ui(); }
    QWidget* window() const { return controller->widget(); }
    QString view_text() const { return controller->search_view_text(); }
    tw::ui::PullDown* encodings() const { return controller->encoding_popup(); }
    tw::ui::PullDown* targets() const { return controller->target_popup(); }

    bool alert_shown() const { return alerts.is_shown(window()); }
    // The message of the alert on `on` (the search window by default).
    QString alert_message(QWidget* on = nullptr) const {
        QDialog* panel = alerts.panel(on != nullptr ? on : window());
        if (panel == nullptr) return QStringLiteral("<no alert>");
        return panel->findChild<QLabel*>("alert_mess_ref")->text();
    }
    void click_action() { QTest::mouseClick(ui()->action_but_ref, Qt::LeftButton); }
    // Runs a search to its end.
    void search() {
        click_action();
        wait_idle();
    }

    bool idle() const {
        return !controller->search_is_running() && ui()->action_but_ref->text() == "Search";
    }
    void wait_idle() const { QTRY_VERIFY_WITH_TIMEOUT(idle(), 10000); }

    tw::Engine engine;
    tw::ui::AlertController alerts;
    RecordingEditor editor;
    tw::ui::MenuController menu{engine};
    std::unique_ptr<tw::ui::ViewerController> viewer;
    std::unique_ptr<SearchController> controller;
    std::string resource;

private:
    QTemporaryDir dir_;
    std::vector<std::string> raw_paths_;
};

// The encoding pull-down's items: the first fixed encodings, "User
// defined" and "Hexadecimal".
constexpr int kAscii = 1, kUtf8 = 2, kUnicode = 3, kLatin1 = 6, kUserDefined = 16,
              kHexadecimal = 18;

// The items whose state is not off, as "index:state".
inline QStringList marks(tw::ui::PullDown* popup) {
    QStringList out;
    for (int i = 1; i < popup->count(); ++i)
        if (popup->state(i) != tw::ui::ItemState::Off)
            out << QString("%1:%2").arg(i).arg(static_cast<int>(popup->state(i)));
    return out;
}

// What trawlex-cli finds with `args`: its "PATH<TAB>OFFSET" lines, sorted.
inline QStringList cli_found(const QStringList& args) {
    QProcess cli;
    cli.start(QStringLiteral(TRAWLEX_CLI_PATH), args);
    if (!cli.waitForFinished(30000)) return {"<no end>"};
    QStringList lines = QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    if (cli.exitCode() > 1) lines << "<error> " + QString::fromUtf8(cli.readAllStandardError());
    lines.sort();
    return lines;
}

// The last search's result files read the same way.
inline QStringList window_found(const Harness& h) {
    QStringList lines;
    for (const tw_test::ResultRow& f : tw_test::read_results(h.resource + "/TW_found", false))
        for (std::uint64_t at : f.offsets) lines << QString::fromStdString(f.path()) + '\t' + QString::number(at);
    lines.sort();
    return lines;
}

// A target record's search string, a byte a character.
inline QString bytes_of(const tw::TargetRecord& t) {
    return QString::fromLatin1(reinterpret_cast<const char*>(t.search_str), static_cast<qsizetype>(t.search_str_len));
}

// The message line under the search string ("" while it is hidden).
inline QString message(const Harness& h) {
    auto* label = h.window()->findChild<QLabel*>("string_message_ref");
    return label != nullptr && label->isVisible() ? label->text() : QString();
}

}  // namespace sw_test
