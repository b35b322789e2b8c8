// The found viewer's list of found files: every file of the result with its
// number of occurrences and size, sortable by each and filtered by a piece
// of the path. Choosing a row shows that file's first occurrence; stepping
// through files moves the current row along.
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSplitter>
#include <QTableView>

#include "engine/tw.h"
#include "engine/tw_plural.h"
#include "ui/common/search_description.h"
#include "ui/toolkit/defaults.h"
#include "ui/viewer/FoundListModel.h"
#include "ui/viewer/ViewerController.h"
#include "ui_ViewerController.h"

namespace tw::ui {
namespace {

// Each count text in the singular and the plural (tw::count_form).
const char* const found_file_s[2] = {"%1 found file", "%1 fichier trouvé"};
const char* const found_files_s[2] = {"%1 found files", "%1 fichiers trouvés"};
// The English word agrees with the number of found files (%2), the French
// one with the number shown (%1).
const char* const shown_file_s[2] = {"%1 of %2 found file shown",
                                     "%1 fichier trouvé affiché sur %2"};
const char* const shown_files_s[2] = {"%1 of %2 found files shown",
                                      "%1 fichiers trouvés affichés sur %2"};
const char* const damaged_record_s[2] = {"%1 damaged record", "%1 enregistrement endommagé"};
const char* const damaged_records_s[2] = {"%1 damaged records", "%1 enregistrements endommagés"};
const char* const partial_record_s[2] = {"TW_found_header ends with an incomplete record",
                                         "TW_found_header se termine par un enregistrement incomplet"};
const char* const reading_sizes_s[2] = {"reading the sizes for the size order…",
                                        "lecture des tailles pour le tri par taille…"};
const char* const list_failed_s[2] = {"The list cannot be read: %1",
                                      "La liste ne peut pas être lue : %1"};

// The user-defaults key of the split between the list and the occurrence.
constexpr const char* kSplitKey = "Found Viewer Split";

}  // namespace

void ViewerController::setup_found_list() {
    // The line naming a stopped or failed search stands out from the fields.
    QFont bold = ui_->result_state_ref->font();
    bold.setBold(true);
    ui_->result_state_ref->setFont(bold);
    // Which search wrote the result: first of all, above the state line.
    search_description_ref_ = new QLabel(window_);
    search_description_ref_->setObjectName(QStringLiteral("search_description_ref"));
    search_description_ref_->setTextFormat(Qt::PlainText);
    search_description_ref_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    search_description_ref_->setWordWrap(true);
    // No accessible name of its own: a screen reader reads its text.
    ui_->window_box->insertWidget(0, search_description_ref_);
    search_description_ref_->setVisible(false);

    found_list_model_ = new FoundListModel(engine_.language != 0 ? 1 : 0, this);
    QTableView* view = ui_->found_list_ref;
    view->setModel(found_list_model_);
    QHeaderView* header = view->horizontalHeader();
    // The found order until a header is clicked; a third click gives it back.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSortIndicatorClearable(true);
    header->setSortIndicatorShown(true);
    header->setSectionResizeMode(FoundListModel::PathColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(FoundListModel::CountColumn, QHeaderView::Interactive);
    header->setSectionResizeMode(FoundListModel::SizeColumn, QHeaderView::Interactive);
    const int digits = view->fontMetrics().horizontalAdvance(QStringLiteral("0,000,000,000")) + 24;
    header->resizeSection(FoundListModel::CountColumn, digits);
    header->resizeSection(FoundListModel::SizeColumn, digits);
    header->setAccessibleName(view->accessibleName());
    view->setSortingEnabled(true);
    // Rows of one height: a million of them scroll without being measured.
    QHeaderView* rows = view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows dragged out give their files to a file manager or a terminal.
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->setDefaultDropAction(Qt::CopyAction);

    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { found_list_row_chosen(current); });
    connect(ui_->found_filter_ref, &QLineEdit::textChanged, this, [this](const QString& text) {
        found_list_model_->set_filter(text);
        follow_current_file();
        show_found_list_status(QString());
        show_file_position();
    });
    connect(found_list_model_, &FoundListModel::sizing_changed, this,
            [this] { show_found_list_status(QString()); });
    // A new order is read from its start; the current file stays selected.
    connect(found_list_model_, &FoundListModel::sorted, this, [this] {
        follow_current_file(false);
        ui_->found_list_ref->scrollToTop();
        show_file_position();
    });
}

void ViewerController::begin_live_result() {
    clear_view();
    // A new search is listed whole: the filter of the last one goes.
    ui_->found_filter_ref->clear();
    mode_pending_ = true;
    live_ = true;
    found_list_model_->start_live(engine_.resource_path(tw::TW_FOUND_DIR));
    show_found_list_status(QString());
}

void ViewerController::add_live_files(const std::vector<tw::LiveFoundFile>& files) {
    if (!live_ || files.empty()) return;
    found_list_model_->append_live(files);
    show_found_list_status(QString());
    if (display_state_ != kViewNothing) {
        // The file shown stays; the steps reach the files listed since.
        tw::SummaryRecord& sur = engine_.sur;
        sur.file_nb = found_list_model_->list().size();
        show_file_position();
        return;
    }
    // The first found file is shown as soon as it is listed; the search
    // window keeps the keyboard (Stop, Escape) while the viewer appears.
    engine_.sur.file_index = 0;
    engine_.sur.occ_index = 0;
    window_->setAttribute(Qt::WA_ShowWithoutActivating, true);
    show_view();
    window_->setAttribute(Qt::WA_ShowWithoutActivating, false);
}

void ViewerController::end_live_result() { live_ = false; }

void ViewerController::update_found_list() {
    // A running search's list grows from what it publishes.
    if (live_) return;
    const std::string found_dir = engine_.resource_path(tw::TW_FOUND_DIR);
    if (!found_list_model_->stale(found_dir)) return;
    std::string why;
    following_file_ = true;
    mode_pending_ = true;  // another result
    const tw::u64 code = found_list_model_->load(found_dir, engine_.result_info.record_len, &why,
                                                 engine_.result_info.form_nb);
    // A size order was given up for the new result: the header says so.
    QHeaderView* header = ui_->found_list_ref->horizontalHeader();
    if (header->sortIndicatorSection() != found_list_model_->sort_column())
        header->setSortIndicator(found_list_model_->sort_column(), found_list_model_->sort_order());
    following_file_ = false;
    show_found_list_status(code != 0 ? QString::fromStdString(why) : QString());
}

void ViewerController::follow_current_file(bool scroll) {
    QTableView* view = ui_->found_list_ref;
    const tw::SummaryRecord& sur = engine_.sur;
    const int row = display_state_ != kViewNothing || sur.file_nb > 0
                        ? found_list_model_->row_of(sur.file_index)
                        : -1;
    following_file_ = true;
    if (row < 0) {
        view->selectionModel()->clear();
    } else {
        const QModelIndex at = found_list_model_->index(row, 0);
        view->selectionModel()->setCurrentIndex(
            at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (scroll) view->scrollTo(at);
    }
    following_file_ = false;
}

void ViewerController::found_list_row_chosen(const QModelIndex& current) {
    if (following_file_ || !current.isValid()) return;
    tw::SummaryRecord& sur = engine_.sur;
    const tw::u64 file = found_list_model_->file_index(current.row());
    if (file == sur.file_index && sur.occ_index == 0 && display_state_ != kViewNothing) return;
    sur.file_index = file;
    sur.occ_index = 0;
    show_view();
}

ViewerController::ListPosition ViewerController::list_position() const {
    const tw::SummaryRecord& sur = engine_.sur;
    if (!found_list_model_->loaded()) return {sur.file_index, sur.file_nb, sur.file_index < sur.file_nb};
    const int row = found_list_model_->row_of(sur.file_index);
    const auto rows = static_cast<tw::u64>(found_list_model_->rowCount());
    return {row < 0 ? 0 : static_cast<tw::u64>(row), rows, row >= 0};
}

std::optional<tw::u64> ViewerController::listed_neighbour(int step) const {
    const tw::SummaryRecord& sur = engine_.sur;
    if (!found_list_model_->loaded()) {
        // No list to follow: the found order.
        if (step > 0 && sur.file_index + 1 < sur.file_nb) return sur.file_index + 1;
        if (step < 0 && sur.file_index > 0) return sur.file_index - 1;
        return std::nullopt;
    }
    const int row = found_list_model_->step_row(sur.file_index, step);
    if (row < 0) return std::nullopt;
    return found_list_model_->file_index(row);
}

tw::u64 ViewerController::listed_file(tw::u64 index) const {
    return found_list_model_->loaded() ? found_list_model_->file_index(static_cast<int>(index)) : index;
}

void ViewerController::show_found_list_status(const QString& failure) {
    const int l = engine_.language != 0 ? 1 : 0;
    QLabel* status = ui_->found_list_status_ref;
    if (!failure.isEmpty()) {
        status->setText(QString::fromUtf8(list_failed_s[l]).arg(failure));
        return;
    }
    const tw::FoundList& list = found_list_model_->list();
    if (!found_list_model_->loaded()) {
        status->clear();
        return;
    }
    const QLocale locale;
    const tw::u64 shown = static_cast<tw::u64>(found_list_model_->rowCount());
    const tw::u64 total = list.size();
    QString text =
        shown == total
            ? QString::fromUtf8(tw::count_form(total, l, found_file_s, found_files_s))
                  .arg(locale.toString(static_cast<qulonglong>(total)))
            : QString::fromUtf8(tw::count_form(l == 1 ? shown : total, l, shown_file_s, shown_files_s))
                  .arg(locale.toString(static_cast<qulonglong>(shown)),
                       locale.toString(static_cast<qulonglong>(total)));
    if (list.damaged() > 0)
        text += QStringLiteral(" — ") +
                QString::fromUtf8(tw::count_form(list.damaged(), l, damaged_record_s, damaged_records_s))
                    .arg(locale.toString(static_cast<qulonglong>(list.damaged())));
    if (list.partial_record()) text += QStringLiteral(" — ") + QString::fromUtf8(partial_record_s[l]);
    if (found_list_model_->sizing()) text += QStringLiteral(" — ") + QString::fromUtf8(reading_sizes_s[l]);
    status->setText(text);
}

void ViewerController::show_search_description(bool shown) {
    // Cut to what a line can show; the report has it whole.
    const QStringList lines =
        shown ? describe_search(engine_.summary_info(), engine_.language, 120, 48) : QStringList();
    search_description_ref_->setText(lines.join(u'\n'));
    search_description_ref_->setVisible(!lines.isEmpty());
}

void ViewerController::save_list_split() const {
    if (window_ == nullptr || !frame_known_) return;
    user_defaults().setValue(QLatin1String(kSplitKey), ui_->viewer_splitter->saveState());
}

void ViewerController::restore_list_split() {
    const QByteArray split = user_defaults().value(QLatin1String(kSplitKey)).toByteArray();
    if (split.isEmpty() || !ui_->viewer_splitter->restoreState(split))
        ui_->viewer_splitter->setSizes({260, 500});
}

}  // namespace tw::ui
