// A found viewer over an engine started on a temporary resource folder, and
// real searches over a temporary tree that write the result files it reads.
#pragma once

#include <sys/stat.h>

#include <QtTest>
#include <QtWidgets>
#include <climits>
#include <fstream>

#include "modal_answerer.h"

#include "engine/search_support.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/pulldown.h"
#include "ui/viewer/FoundListModel.h"
#include "ui/viewer/ViewerController.h"

namespace viewer_test {

class Viewer {
public:
    // `language`: 0 English, 1 French.
    explicit Viewer(int language = 0) {
        ::mkdir((resources / "TW_target").c_str(), 0755);
        ::mkdir((resources / "TW_found").c_str(), 0755);
        engine = std::make_unique<tw::Engine>();
        engine->resource_dir_pathname_ptr = resources.path();
        engine->bundle_dir_pathname_ptr = resources / "bundle";
        if (engine->initialize_and_load_tw_parameter() != 0) qFatal("engine start-up failed");
        engine->language = language;
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

    // Searches the given files of the tree (file items, in this order), or
    // the whole tree as a folder item when none is given, the way the search
    // window does, from the first found file's first occurrence.
    void search(const std::string& pattern, const std::vector<std::string>& relatives,
                std::uint64_t encoding = 1, std::vector<tw::TargetForm> forms = {}) {
        std::vector<tw_test::Item> items;
        for (const auto& r : relatives) items.push_back({tree / r, false});
        if (relatives.empty()) items.push_back({tree.path(), true});
        tw_test::set_target(*engine, pattern, items);
        engine->tr.encoding = encoding;
        engine->tr.forms = std::move(forms);
        engine->sur.file_index = 0;
        engine->sur.occ_index = 0;
        engine->search_in_target();
        if (engine->fatal_err_index != 0) qFatal("search failed: %s", engine->build_fatal_str_err());
    }

    // Three found files: a.txt with 3 occurrences, sub/b.txt with 1 (and
    // the largest size) and sub/deeper/c.txt with 2.
    void three_files() {
        file("a.txt", "xxNEEDxx\nline NEED two\n\nNEED");
        file("sub/b.txt", "NEED" + std::string(100, '.'));
        file("sub/deeper/c.txt", "..NEED..NEED..");
        search("NEED", {"a.txt", "sub/b.txt", "sub/deeper/c.txt"});
    }
    void show_three_files() {
        three_files();
        viewer->show_view();
    }

    // Rewrites the result's description as a search ending this way would.
    void set_status(tw::u64 status, tw::u64 error_code = 0) {
        tw::ResultInfo info = engine->result_info;
        info.status = status;
        info.error_code = error_code;
        const auto bytes = tw::encode_result_info(info);
        std::ofstream((resources / "TW_found") + "/" + tw::TW_FOUND_INFO, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    template <typename T>
    T* w(const char* name) const {
        T* widget = viewer->window()->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    QString text(const char* label) const { return w<QLabel>(label)->text(); }
    bool enabled(const char* name) const { return w<QWidget>(name)->isEnabled(); }
    void mode(int m) const { viewer->hexa_or_text_popup()->choose_item(m); }
    QPlainTextEdit* area() const { return w<QPlainTextEdit>("text_viewer_ref"); }
    QString shown() const { return area()->toPlainText(); }

    // The occurrence's mark: from its highlights' first start to their last
    // end (the cursor's position when nothing is marked).
    std::pair<int, int> span() const {
        int start = area()->textCursor().position(), end = start;
        const auto marks = area()->extraSelections();
        if (!marks.isEmpty()) {
            start = INT_MAX;
            end = 0;
        }
        for (const auto& m : marks) {
            start = std::min(start, m.cursor.selectionStart());
            end = std::max(end, m.cursor.selectionEnd());
        }
        return {start, end};
    }
    QString selected() const { return shown().mid(span().first, span().second - span().first); }
    // Each highlight's text, in order.
    QStringList marked() const {
        QStringList texts;
        for (const auto& m : area()->extraSelections()) texts << m.cursor.selectedText();
        return texts;
    }

    tw_test::TempDir resources;
    tw_test::TempDir tree;
    std::unique_ptr<tw::Engine> engine;
    std::unique_ptr<tw::ui::ViewerController> viewer;
};

inline QTableView* list_view(const Viewer& v) { return v.w<QTableView>("found_list_ref"); }
inline tw::ui::FoundListModel* model(const Viewer& v) { return v.viewer->found_list_model(); }

// An executable that writes its arguments, one a line, into `marker`.
inline std::string write_recorder(const std::string& path, const std::string& marker) {
    tw_test::write_file(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + marker +
                                  ".tmp'\nmv '" + marker + ".tmp' '" + marker + "'\n");
    ::chmod(path.c_str(), 0700);
    return path;
}

}  // namespace viewer_test
