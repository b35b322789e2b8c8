// The found files of the result as a table for the viewer's list: path,
// number of occurrences and size (and per form, for several forms), in any of these orders and filtered by a
// piece of the path. The rows come from a tw::FoundList; the sizes are read
// from the files only when a row is shown (or when the list is sorted by
// size).
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/tw_found_list.h"
#include "engine/tw_live_found.h"

namespace tw::ui {

class FoundListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // FormsColumn, the count of occurrences of each form, is there only for
    // a result of several forms.
    enum Column { PathColumn = 0, CountColumn = 1, SizeColumn = 2, ColumnCount = 3, FormsColumn = 3 };

    // `language`: 0 English, 1 French, for the headers and damaged rows.
    explicit FoundListModel(int language, QObject* parent = nullptr);
    ~FoundListModel() override;

    // Reads the result of `found_dir` (see tw::FoundList::load); the order
    // and the filter in force are applied again.
    tw::u64 load(const std::string& found_dir, tw::u64 record_len, std::string* why,
                 tw::u64 form_nb = 1);
    void clear();
    // Empties the list for the result that a search is writing in
    // `found_dir`; its found files come through append_live.
    void start_live(const std::string& found_dir);
    // Adds found files of the running search: at the end in the found
    // order, in their places otherwise.
    void append_live(const std::vector<tw::LiveFoundFile>& files);
    bool loaded() const { return loaded_; }
    // The result files were replaced since they were read, or could not be
    // read then.
    bool stale(const std::string& found_dir) const;
    const tw::FoundList& list() const { return list_; }

    // The found file (its index in the result) shown at `row`, and back:
    // -1 when that file is filtered out or out of range.
    tw::u64 file_index(int row) const { return shown_[static_cast<std::size_t>(row)]; }
    int row_of(tw::u64 file_index) const;
    // The row of the listed file that comes `step` (+1 or -1) after found
    // file `file_index` in the list's order: its neighbour when it is
    // listed, else the nearest listed file from its place in the order.
    // -1 when there is none.
    int step_row(tw::u64 file_index, int step) const;
    // The filter's text (empty: every file).
    void set_filter(const QString& text);
    QString filter() const { return filter_; }
    int sort_column() const { return sort_column_; }
    Qt::SortOrder sort_order() const { return sort_order_; }
    // The size of found file `file_index`: -1 when it can no longer be reached.
    std::int64_t file_size(tw::u64 file_index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Rows are dragged out as their files (text/uri-list).
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    // A column below 0 gives the found order back. The size order needs
    // every size: those not read yet are read on a thread of their own, the
    // rows keep their order meanwhile (sizing() is true) and take the new
    // one when the sizes are in.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool sizing() const { return sizing_ != nullptr; }

signals:
    // The rows were put in a new order (after the model's reset).
    void sorted();
    // The sizes for the size order are being read (true), or are in or
    // no longer wanted (false).
    void sizing_changed(bool sizing);

private:
    // order_ from the sort column and order in force.
    void build_order();
    // shown_ and row_of_ from order_ and the filter.
    void rebuild_shown();
    QString damage_text(tw::u64 file_index) const;
    // The size of `dir`/`file` without following a final link, -1 when
    // it cannot be reached.
    static std::int64_t size_of(std::string_view dir, std::string_view file);
    // Reads the sizes not read yet on a thread, then sorts by size.
    void start_sizing();
    void sizes_read(const std::vector<std::uint32_t>& files, const std::vector<std::int64_t>& sizes);
    // Ends the reading of sizes, its result unused.
    void stop_sizing(bool announce = true);

    struct Sizing {
        std::atomic<bool> cancelled{false};
        std::thread thread;
    };
    std::unique_ptr<Sizing> sizing_;

    int language_;
    tw::FoundList list_;
    bool loaded_ = false;
    std::string found_dir_;
    std::vector<std::uint32_t> order_;  // every file, in the chosen order
    std::vector<std::uint32_t> shown_;  // the files the filter keeps, in that order
    std::vector<std::int32_t> row_of_;  // file index -> row, -1 when not shown
    // Sizes read so far: -2 not read yet, -1 the file cannot be reached.
    mutable std::vector<std::int64_t> sizes_;
    int sort_column_ = -1;
    Qt::SortOrder sort_order_ = Qt::AscendingOrder;
    QString filter_;
};

}  // namespace tw::ui
