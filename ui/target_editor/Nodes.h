// The rows of the target editor's item table: one Nodes per file or folder
// of the target (its type text, last path component and full path), and the
// table model over the row list. Columns are keyed by the row's field names.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <functional>

namespace tw::ui {

struct Nodes {
    QString type;  // "Folder"/"File" in the interface language, or "???"
    QString name;  // last component of path, for display only
    QString path;  // the full, absolute path
};

class NodesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The column keys, in column order.
    static constexpr const char* kKeys[3] = {"type", "name", "path"};
    enum Column { TypeColumn = 0, NameColumn = 1, PathColumn = 2 };

    NodesModel(int language, QObject* parent = nullptr);

    // A row for `path`: its type from what the path names now (a folder, a
    // regular file, or "???" for anything else).
    Nodes node_for_path(const QString& path) const;
    // A row with the type of a stored item (0 file, -1 folder, other "???").
    Nodes node_for_item(const QString& path, std::uint64_t item_type) const;
    bool is_folder(const Nodes& node) const;

    const QList<Nodes>& nodes() const { return nodes_; }
    void setNodes(const QList<Nodes>& nodes);
    void append(const QList<Nodes>& nodes);
    void remove(int row);

    // An edited path that is refused, with the reason, is reported here; the
    // row keeps its path.
    void set_path_refused(std::function<void(const QString& reason)> refused) {
        path_refused_ = std::move(refused);
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString text(const char* const (&pair)[2]) const;

    int language_;
    QList<Nodes> nodes_;
    std::function<void(const QString&)> path_refused_;
};

}  // namespace tw::ui
