// The last search strings of each target, newest first, as typed in the
// search window. They are kept in their own file in the resource folder
// (TW_search_history), by target name, so that the target files keep
// their layout and bytes.
#pragma once

#include <QString>
#include <QStringList>

namespace tw::ui {

class SearchHistory {
public:
    static constexpr int kMaxEntries = 20;

    // `resource_dir`: the folder that holds the history file.
    explicit SearchHistory(QString resource_dir) : dir_(std::move(resource_dir)) {}

    // The strings searched with target `target`, newest first.
    QStringList entries(const QString& target) const;
    // `text` was searched with `target`: it comes first, once, and the
    // list keeps its kMaxEntries newest strings. False when the file
    // cannot be written.
    bool add(const QString& target, const QString& text) const;

private:
    QString path() const;
    QString dir_;
};

}  // namespace tw::ui
