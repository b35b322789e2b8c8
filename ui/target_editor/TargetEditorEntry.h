// The target editor's entry points as the other windows call them: the
// search window's triangle button opens it on a new target, and drops onto
// the search window or the viewer open it on a new target or on the current
// one with the dropped material.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace tw::ui {

class TargetEditorEntry {
public:
    virtual ~TargetEditorEntry() = default;
    // A new target with the defaults.
    virtual void show_target_window() = 0;
    // The stored target of that number.
    virtual void show_target_window_index_of_target(std::int64_t index) = 0;
    // A new target holding these files and folders.
    virtual void show_target_window_drop_items(const QStringList& paths) = 0;
    // A new target searching this text.
    virtual void show_target_window_drop_string(const QString& text) = 0;
    // The stored target of that number with these items added.
    virtual void show_target_window_index_of_target_drop_items(std::int64_t index,
                                                               const QStringList& paths) = 0;
    // The stored target of that number with this search string.
    virtual void show_target_window_index_of_target_drop_string(std::int64_t index,
                                                                const QString& text) = 0;
};

}  // namespace tw::ui
