#include "ui/target_editor/Nodes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/tw.h"
#include "ui/target_editor/target_editor_texts.h"

namespace tw::ui {

using namespace target_editor_texts;

NodesModel::NodesModel(int language, QObject* parent)
    : QAbstractTableModel(parent), language_(language != 0 ? 1 : 0) {}

QString NodesModel::text(const char* const (&pair)[2]) const {
    return QString::fromUtf8(pair[language_]);
}

Nodes NodesModel::node_for_item(const QString& path, std::uint64_t item_type) const {
    const char* const(*type)[2] = &unknow_s;
    if (item_type == tw::TW_ITEM_FILE) type = &file_s;
    else if (item_type == tw::TW_ITEM_FOLDER) type = &dir_s;
    return {text(*type), QFileInfo(path).fileName(), path};
}

Nodes NodesModel::node_for_path(const QString& path) const {
    const tw::u64 kind = tw::get_type(QFile::encodeName(path).constData());
    const std::uint64_t item_type = kind == tw::TW_TYPE_FILE     ? tw::TW_ITEM_FILE
                                    : kind == tw::TW_TYPE_FOLDER ? tw::TW_ITEM_FOLDER
                                                                 : ~std::uint64_t{0} - 1;
    return node_for_item(path, item_type);
}

bool NodesModel::is_folder(const Nodes& node) const { return node.type == text(dir_s); }

void NodesModel::setNodes(const QList<Nodes>& nodes) {
    beginResetModel();
    nodes_ = nodes;
    endResetModel();
}

void NodesModel::append(const QList<Nodes>& nodes) {
    if (nodes.isEmpty()) return;
    const int first = static_cast<int>(nodes_.size());
    beginInsertRows({}, first, first + static_cast<int>(nodes.size()) - 1);
    nodes_.append(nodes);
    endInsertRows();
}

void NodesModel::remove(int row) {
    if (row < 0 || row >= nodes_.size()) return;
    beginRemoveRows({}, row, row);
    nodes_.removeAt(row);
    endRemoveRows();
}

int NodesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(nodes_.size());
}

int NodesModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant NodesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= nodes_.size()) return {};
    const Nodes& node = nodes_.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case TypeColumn: return node.type;
        case NameColumn: return node.name;
        default: return node.path;
        }
    }
    return {};
}

bool NodesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.column() != PathColumn) return false;
    const QString path = value.toString();
    if (path == nodes_.at(index.row()).path) return false;
    // A path is searched as it is stored: a relative one would be taken
    // from wherever the process happens to be, a missing one finds nothing.
    QString refused;
    if (!QDir::isAbsolutePath(path)) refused = text(path_not_absolute_s);
    else if (tw::get_type(QFile::encodeName(path).constData()) == tw::TW_TYPE_OTHER)
        refused = text(path_missing_s);
    if (!refused.isEmpty()) {
        if (path_refused_) path_refused_(refused);
        return false;
    }
    nodes_[index.row()] = node_for_path(path);
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), 2));
    return true;
}

QVariant NodesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case TypeColumn: return text(type_column_s);
    case NameColumn: return text(name_column_s);
    default: return text(path_column_s);
    }
}

Qt::ItemFlags NodesModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == PathColumn) f |= Qt::ItemIsEditable;
    return f;
}

}  // namespace tw::ui
