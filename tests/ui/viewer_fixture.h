// A found viewer over an engine started on a temporary resource folder, and
// real searches over a temporary tree that write the result files it reads.
#pragma once

#include <sys/stat.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "engine/search_support.h"
#include "engine/tw.h"
#include "support/temp_dir.h"
#include "ui/viewer/ViewerController.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/pulldown.h"

namespace viewer_test {

class Viewer {
public:
    Viewer() {
        ::mkdir((resources / "TW_target").c_str(), 0755);
        ::mkdir((resources / "TW_found").c_str(), 0755);
        engine = std::make_unique<tw::Engine>();
        engine->resource_dir_pathname_ptr = resources.path();
        engine->bundle_dir_pathname_ptr = resources / "bundle";
        if (engine->initialize_and_load_tw_parameter() != 0) qFatal("engine start-up failed");
        viewer = std::make_unique<tw::ui::ViewerController>(*engine);
    }
    ~Viewer() {
        viewer.reset();
        engine->finalize_tw_buffer();
    }

    // A file of the searched tree, folders made as needed.
    std::string file(const std::string& relative, const std::string& content) {
        const std::string path = tree / relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        tw_test::write_file(path, content);
        return path;
    }

    // Searches the given files of the tree (file items, in this order) the
    // way the search window does, from the first found file's first
    // occurrence.
    void search(const std::string& pattern, const std::vector<std::string>& relatives,
                std::uint64_t encoding = 1, bool lines = false) {
        std::vector<tw_test::Item> items;
        for (const auto& r : relatives) items.push_back({tree / r, false});
        tw_test::set_target(*engine, pattern, items);
        engine->tr.add_line_nb = lines ? 1 : 0;
        engine->tr.encoding = encoding;
        engine->sur.file_index = 0;
        engine->sur.occ_index = 0;
        engine->search_in_target();
        if (engine->fatal_err_index != 0) qFatal("search failed: %s", engine->build_fatal_str_err());
    }

    template <typename T>
    T* w(const char* name) const {
        T* widget = viewer->window()->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    QString text(const char* label) const { return w<QLabel>(label)->text(); }
    bool enabled(const char* name) const { return w<QWidget>(name)->isEnabled(); }
    QPlainTextEdit* area() const { return w<QPlainTextEdit>("text_viewer_ref"); }
    QString shown() const { return area()->toPlainText(); }
    // The occurrence's mark: its highlights, from the first start to the
    // last end (the cursor's position when nothing is marked).
    QList<QTextEdit::ExtraSelection> marks() const { return area()->extraSelections(); }
    int selection_start() const {
        int at = area()->textCursor().position();
        for (int i = 0; i < marks().size(); ++i)
            at = i == 0 ? marks()[i].cursor.selectionStart() : std::min(at, marks()[i].cursor.selectionStart());
        return at;
    }
    int selection_end() const {
        int at = area()->textCursor().position();
        for (int i = 0; i < marks().size(); ++i)
            at = i == 0 ? marks()[i].cursor.selectionEnd() : std::max(at, marks()[i].cursor.selectionEnd());
        return at;
    }
    QString selected() const {
        QTextCursor c(area()->document());
        c.setPosition(selection_start());
        c.setPosition(selection_end(), QTextCursor::KeepAnchor);
        return c.selectedText();
    }
    // Each highlight's text, in order.
    QStringList marked() const {
        QStringList texts;
        for (const auto& m : marks()) texts << m.cursor.selectedText();
        return texts;
    }

    tw_test::TempDir resources;
    tw_test::TempDir tree;
    std::unique_ptr<tw::Engine> engine;
    std::unique_ptr<tw::ui::ViewerController> viewer;
};

}  // namespace viewer_test
