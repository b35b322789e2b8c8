#include "ui/viewer/FoundListModel.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <QFile>
#include <QLocale>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <string>

#include "engine/tw_file_util.h"
#include "ui/toolkit/text.h"
#include "ui/toolkit/workspace.h"

namespace tw::ui {
namespace {

const char* const path_header_s[2] = {"Path", "Chemin"};
const char* const count_header_s[2] = {"Occurrences", "Occurrences"};
const char* const size_header_s[2] = {"Size", "Taille"};
const char* const forms_header_s[2] = {"Forms", "Formes"};
const char* const damaged_s[2] = {"Damaged record %1: %2", "Enregistrement %1 endommagé : %2"};
const char* const name_outside_s[2] = {"a name lies outside TW_found_path",
                                       "un nom est hors de TW_found_path"};
const char* const name_unterminated_s[2] = {"a name does not end", "un nom n'a pas de fin"};
const char* const name_too_long_s[2] = {"a name is too long", "un nom est trop long"};
const char* const count_outside_s[2] = {"its occurrence count does not match TW_found_offset",
                                        "son nombre d'occurrences ne correspond pas à TW_found_offset"};

constexpr std::int64_t kNotRead = -2;
constexpr std::int64_t kGone = -1;

}  // namespace

FoundListModel::FoundListModel(int language, QObject* parent)
    : QAbstractTableModel(parent), language_(language != 0 ? 1 : 0) {}

FoundListModel::~FoundListModel() { stop_sizing(false); }

void FoundListModel::stop_sizing(bool announce) {
    if (!sizing_) return;
    sizing_->cancelled = true;
    if (sizing_->thread.joinable()) sizing_->thread.join();
    sizing_.reset();
    if (announce) emit sizing_changed(false);
}

void FoundListModel::start_sizing() {
    stop_sizing();
    // The thread reads the names from the list itself: every change of the
    // list (a new result, a running search's files, clearing it) first ends
    // the thread through stop_sizing. It gets the rows to read as a copy.
    std::vector<std::uint32_t> files;
    for (tw::u64 i = 0; i < list_.size(); ++i) {
        if (sizes_[i] != kNotRead) continue;
        if (list_.damage(i) != tw::FoundList::Damage::None) {
            sizes_[i] = kGone;
            continue;
        }
        files.push_back(static_cast<std::uint32_t>(i));
    }
    if (files.empty()) {
        beginResetModel();
        build_order();
        rebuild_shown();
        endResetModel();
        emit sorted();
        return;
    }
    sizing_ = std::make_unique<Sizing>();
    Sizing* job = sizing_.get();
    job->thread = std::thread([this, job, files = std::move(files)] {
        std::vector<std::int64_t> sizes;
        sizes.reserve(files.size());
        for (const std::uint32_t file : files) {
            if (job->cancelled) return;
            sizes.push_back(size_of(list_.dir(file), list_.file(file)));
        }
        // Back on the model's thread; stop_sizing joins this thread before
        // the model goes, and a cancelled job's result is dropped there.
        QMetaObject::invokeMethod(
            this,
            [this, job, files, sizes = std::move(sizes)] {
                if (sizing_.get() != job || job->cancelled) return;
                sizes_read(files, sizes);
            },
            Qt::QueuedConnection);
    });
    emit sizing_changed(true);
}

void FoundListModel::sizes_read(const std::vector<std::uint32_t>& files,
                                const std::vector<std::int64_t>& sizes) {
    if (sizing_ && sizing_->thread.joinable()) sizing_->thread.join();
    sizing_.reset();
    for (std::size_t i = 0; i < files.size() && i < sizes.size(); ++i)
        if (files[i] < sizes_.size()) sizes_[files[i]] = sizes[i];
    if (sort_column_ == SizeColumn) {
        beginResetModel();
        build_order();
        rebuild_shown();
        endResetModel();
        emit sorted();
    }
    emit sizing_changed(false);
}

tw::u64 FoundListModel::load(const std::string& found_dir, tw::u64 record_len, std::string* why,
                             tw::u64 form_nb) {
    stop_sizing();
    beginResetModel();
    found_dir_ = found_dir;
    const tw::u64 code = list_.load(found_dir, record_len, why, form_nb);
    // A list that could not be read is tried again at the next look.
    loaded_ = code == 0;
    sizes_.assign(list_.size(), kNotRead);
    // The size order needs every size: a new result is shown in the found
    // order rather than have them all read at once.
    if (sort_column_ == SizeColumn) sort_column_ = -1;
    row_of_.assign(list_.size(), -1);
    build_order();
    rebuild_shown();
    endResetModel();
    return code;
}

void FoundListModel::clear() {
    stop_sizing();
    beginResetModel();
    list_.clear();
    loaded_ = false;
    std::vector<std::uint32_t>().swap(order_);
    std::vector<std::uint32_t>().swap(shown_);
    std::vector<std::int32_t>().swap(row_of_);
    std::vector<std::int64_t>().swap(sizes_);
    endResetModel();
}

void FoundListModel::start_live(const std::string& found_dir) {
    clear();
    found_dir_ = found_dir;
    loaded_ = true;
}

void FoundListModel::append_live(const std::vector<tw::LiveFoundFile>& files) {
    if (files.empty()) return;
    // The list changes: a reading of sizes ends first.
    stop_sizing();
    const std::size_t first = list_.size();
    if (first + files.size() > tw::TW_FOUND_LIST_MAX_ROWS) return;
    for (const tw::LiveFoundFile& f : files) list_.append(f.dir, f.name, f.occ_nb);
    sizes_.resize(list_.size(), kNotRead);
    row_of_.resize(list_.size(), -1);
    if (sort_column_ >= 0) {
        // A sorted list takes the new files in their places; the size
        // order would need every size at once, so it gives way to the found
        // order, as for a new result.
        stop_sizing();
        beginResetModel();
        if (sort_column_ == SizeColumn) sort_column_ = -1;
        build_order();
        rebuild_shown();
        endResetModel();
        return;
    }
    std::vector<std::uint32_t> added(files.size());
    for (std::size_t i = 0; i < added.size(); ++i) added[i] = static_cast<std::uint32_t>(first + i);
    order_.insert(order_.end(), added.begin(), added.end());
    const std::vector<std::uint32_t> kept = list_.filter(added, filter_.toUtf8().toStdString());
    if (kept.empty()) return;
    const int row = static_cast<int>(shown_.size());
    beginInsertRows({}, row, row + static_cast<int>(kept.size()) - 1);
    for (std::uint32_t file : kept) {
        row_of_[file] = static_cast<std::int32_t>(shown_.size());
        shown_.push_back(file);
    }
    endInsertRows();
}

bool FoundListModel::stale(const std::string& found_dir) const {
    return !loaded_ || found_dir != found_dir_ || tw::FoundList::stamp_of(found_dir) != list_.stamp();
}

int FoundListModel::row_of(tw::u64 file_index) const {
    return file_index < row_of_.size() ? row_of_[file_index] : -1;
}

int FoundListModel::step_row(tw::u64 file_index, int step) const {
    const int rows = static_cast<int>(shown_.size());
    if (const int row = row_of(file_index); row >= 0) {
        const int next = row + (step < 0 ? -1 : 1);
        return next >= 0 && next < rows ? next : -1;
    }
    // A file the filter hides: the listed files on either side of its place.
    const auto at = std::find(order_.begin(), order_.end(), static_cast<std::uint32_t>(file_index));
    if (at == order_.end()) return step > 0 && rows > 0 ? 0 : -1;
    if (step > 0) {
        for (auto p = at + 1; p != order_.end(); ++p)
            if (row_of_[*p] >= 0) return row_of_[*p];
    } else {
        for (auto p = at; p != order_.begin();)
            if (--p; row_of_[*p] >= 0) return row_of_[*p];
    }
    return -1;
}

void FoundListModel::rebuild_shown() {
    shown_ = list_.filter(order_, filter_.toUtf8().toStdString());
    std::fill(row_of_.begin(), row_of_.end(), -1);
    for (std::size_t r = 0; r < shown_.size(); ++r) row_of_[shown_[r]] = static_cast<std::int32_t>(r);
}

void FoundListModel::set_filter(const QString& text) {
    if (text == filter_) return;
    beginResetModel();
    filter_ = text;
    rebuild_shown();
    endResetModel();
}

void FoundListModel::sort(int column, Qt::SortOrder order) {
    stop_sizing();
    sort_column_ = column >= 0 && column < ColumnCount ? column : -1;
    sort_order_ = order;
    if (sort_column_ == SizeColumn) return start_sizing();
    beginResetModel();
    build_order();
    rebuild_shown();
    endResetModel();
    emit sorted();
}

void FoundListModel::build_order() {
    const bool descending = sort_order_ == Qt::DescendingOrder;
    if (sort_column_ == PathColumn) {
        order_ = list_.order(tw::FoundList::Key::Path, descending);
    } else if (sort_column_ == CountColumn) {
        order_ = list_.order(tw::FoundList::Key::Count, descending);
    } else if (sort_column_ == SizeColumn) {
        // Every size has been read (start_sizing).
        order_ = tw::FoundList::order_by(sizes_, descending);
    } else {
        order_ = list_.order(tw::FoundList::Key::Found, false);
    }
}

std::int64_t FoundListModel::file_size(tw::u64 file_index) const {
    if (file_index >= sizes_.size()) return kGone;
    std::int64_t& size = sizes_[file_index];
    if (size != kNotRead) return size;
    size = kGone;
    if (list_.damage(file_index) != tw::FoundList::Damage::None) return size;
    size = size_of(list_.dir(file_index), list_.file(file_index));
    return size;
}

std::int64_t FoundListModel::size_of(std::string_view dir, std::string_view file) {
    struct stat st{};
    std::string path;
    path.reserve(dir.size() + file.size() + 1);
    path.append(dir).append(1, '/').append(file);
    bool ok;
    if (path.size() < PATH_MAX) {
        ok = ::fstatat(AT_FDCWD, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    } else {
        // Too long for one call: reached folder by folder.
        std::string why;
        const std::string d(dir), f(file);
        ok = tw::stat_file_in(d.c_str(), f.c_str(), false, &st, &why);
    }
    return ok ? static_cast<std::int64_t>(st.st_size) : kGone;
}

QString FoundListModel::damage_text(tw::u64 file_index) const {
    const char* const* why = name_outside_s;
    switch (list_.damage(file_index)) {
    case tw::FoundList::Damage::NameUnterminated: why = name_unterminated_s; break;
    case tw::FoundList::Damage::NameTooLong: why = name_too_long_s; break;
    case tw::FoundList::Damage::CountOutside: why = count_outside_s; break;
    default: break;
    }
    return QString::fromUtf8(damaged_s[language_])
        .arg(file_index + 1)
        .arg(QString::fromUtf8(why[language_]));
}

int FoundListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int FoundListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return list_.form_counts(0) != nullptr ? ColumnCount + 1 : ColumnCount;
}

QVariant FoundListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= shown_.size())
        return {};
    const tw::u64 file = shown_[static_cast<std::size_t>(index.row())];
    const bool damaged = list_.damage(file) != tw::FoundList::Damage::None;
    if (role == Qt::TextAlignmentRole)
        return index.column() == PathColumn ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                            : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case PathColumn: {
        if (damaged) return damage_text(file);
        const std::string_view d = list_.dir(file), f = list_.file(file);
        return display_name(QByteArray(d.data(), static_cast<qsizetype>(d.size())) + '/' +
                            QByteArray(f.data(), static_cast<qsizetype>(f.size())));
    }
    case CountColumn:
        return damaged ? QString() : QLocale().toString(static_cast<qulonglong>(list_.occ_nb(file)));
    case SizeColumn: {
        // Read when the row is first shown; blank when the file is gone.
        const std::int64_t size = file_size(file);
        return size < 0 ? QString() : QLocale().toString(static_cast<qlonglong>(size));
    }
    case FormsColumn: {
        // The count of each form in the forms' order: "2 / 0 / 1".
        const std::uint32_t* counts = list_.form_counts(file);
        if (damaged || counts == nullptr) return QString();
        QStringList parts;
        for (tw::u64 k = 0; k < list_.form_nb(); ++k) parts << QLocale().toString(counts[k]);
        return parts.join(QStringLiteral(" / "));
    }
    default: return {};
    }
}

Qt::ItemFlags FoundListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && static_cast<std::size_t>(index.row()) < shown_.size() &&
        list_.damage(shown_[static_cast<std::size_t>(index.row())]) == tw::FoundList::Damage::None)
        f |= Qt::ItemIsDragEnabled;
    return f;
}

QStringList FoundListModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* FoundListModel::mimeData(const QModelIndexList& indexes) const {
    // One URI per row, however many of its cells are selected, in row order.
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && static_cast<std::size_t>(index.row()) < shown_.size()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<QUrl> urls;
    for (const int row : rows) {
        const tw::u64 file = shown_[static_cast<std::size_t>(row)];
        if (list_.damage(file) != tw::FoundList::Damage::None) continue;
        // The bytes of the name, percent-encoded: any name reaches the drop.
        urls << QUrl::fromEncoded(file_uri(QByteArray::fromStdString(list_.path(file))));
    }
    if (urls.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

QVariant FoundListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case PathColumn: return QString::fromUtf8(path_header_s[language_]);
    case CountColumn: return QString::fromUtf8(count_header_s[language_]);
    case SizeColumn: return QString::fromUtf8(size_header_s[language_]);
    case FormsColumn: return QString::fromUtf8(forms_header_s[language_]);
    default: return {};
    }
}

}  // namespace tw::ui
