#include "ui/target_editor/TargetEditorEntry.h"

#include <QDebug>

namespace tw::ui {

void LoggingTargetEditor::show_target_window() {
    qInfo().noquote() << "Trawlex: target editor asked for a new target";
}

void LoggingTargetEditor::show_target_window_index_of_target(std::int64_t index) {
    qInfo().noquote() << "Trawlex: target editor asked for target" << index;
}

void LoggingTargetEditor::show_target_window_drop_items(const QStringList& paths) {
    qInfo().noquote() << "Trawlex: target editor asked for a new target holding"
                      << paths.join(QStringLiteral(", "));
}

void LoggingTargetEditor::show_target_window_drop_string(const QString& text) {
    qInfo().noquote() << "Trawlex: target editor asked for a new target searching" << text;
}

void LoggingTargetEditor::show_target_window_index_of_target_drop_items(
    std::int64_t index, const QStringList& paths) {
    qInfo().noquote() << "Trawlex: target editor asked for target" << index << "with"
                      << paths.join(QStringLiteral(", "));
}

void LoggingTargetEditor::show_target_window_index_of_target_drop_string(std::int64_t index,
                                                                         const QString& text) {
    qInfo().noquote() << "Trawlex: target editor asked for target" << index << "searching"
                      << text;
}

}  // namespace tw::ui
