// The piece of the found file the viewer shows: the engine's excerpt, or a
// larger one when the excerpt size preference asks for it, one around an
// offset the user went to (Ctrl+G), grown by another excerpt's worth when
// the text area is scrolled to either end.
#include <sys/stat.h>
#include <unistd.h>

#include <QInputDialog>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>

#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "engine/tw_file_util.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/defaults.h"
#include "ui/viewer/ViewerController.h"
#include "ui_ViewerController.h"

namespace tw::ui {
namespace {

const char* const go_to_title_s[2] = {"Go to Offset", "Aller à la position"};
const char* const go_to_label_s[2] = {"File offset (decimal, or hexadecimal after 0x):",
                                      "Position dans le fichier (décimale, ou hexadécimale après 0x) :"};

}  // namespace

Excerpt Excerpt::of(const tw::SummaryRecord& sur) {
    return {sur.excerpt, static_cast<std::size_t>(std::min<tw::u64>(sur.excerpt_len, tw::TW_EXCERPT_SIZE)),
            sur.excerpt_file_offset, sur.excerpt_occ_pos, sur.excerpt_mark_len};
}

tw::u64 ViewerController::excerpt_size() { return excerpt_size_default(); }

void ViewerController::set_excerpt_size(tw::u64 size) { set_excerpt_size_default(size); }

Excerpt ViewerController::current_excerpt() const {
    const tw::SummaryRecord& sur = engine_.sur;
    if (!window_active_) return Excerpt::of(sur);
    Excerpt x{window_bytes_.data(), window_bytes_.size(), window_offset_, 0, sur.excerpt_mark_len};
    // Outside the piece, nothing is marked.
    x.occ_pos = sur.occ_offset >= window_offset_ ? sur.occ_offset - window_offset_ : x.len;
    if (x.occ_pos > x.len) x.occ_pos = x.len;
    return x;
}

bool ViewerController::load_window(tw::u64 start, tw::u64 size) {
    const tw::SummaryRecord& sur = engine_.sur;
    if (sur.file_name.empty()) return false;
    std::string why;
    // As the engine reads it: without blocking, folder by folder, regular only.
    const int fd = tw::open_regular_file(sur.dir_name.c_str(), sur.file_name.c_str(), &why);
    if (fd < 0) return false;
    struct stat st{};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
        file_size_ = static_cast<tw::u64>(st.st_size);
        size = std::min(size, kMaxExcerptSize);
        if (start >= file_size_) start = file_size_ > size ? file_size_ - size : 0;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(size, file_size_ - start)));
        int err = 0;
        bytes.resize(tw::pread_full(fd, bytes.data(), bytes.size(), static_cast<off_t>(start), &err));
        ok = err == 0 && !bytes.empty();
        if (ok) {
            window_bytes_ = std::move(bytes);
            window_offset_ = start;
            window_active_ = true;
        }
    }
    ::close(fd);
    return ok;
}

void ViewerController::reset_window() {
    window_active_ = false;
    cursor_offset_.reset();
    std::vector<std::uint8_t>().swap(window_bytes_);
    const tw::u64 size = excerpt_size();
    if (display_state_ != kViewOccurrence || size <= tw::TW_EXCERPT_SIZE) return;
    // The occurrence in the middle, as the engine's excerpt has it.
    const tw::u64 at = engine_.sur.occ_offset + engine_.sur.excerpt_mark_len / 2;
    load_window(at > size / 2 ? at - size / 2 : 0, size);
}

void ViewerController::Go_to_offset_action() {
    if (display_state_ != kViewOccurrence) return beep();
    const int l = engine_.language != 0 ? 1 : 0;
    auto* dialog = new QInputDialog(window_);
    dialog->setObjectName(QStringLiteral("go_to_offset_dialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QString::fromUtf8(go_to_title_s[l]));
    dialog->setLabelText(QString::fromUtf8(go_to_label_s[l]));
    dialog->setTextValue(QString::number(engine_.sur.occ_offset));
    connect(dialog, &QInputDialog::textValueSelected, this, [this](const QString& text) {
        const QString t = text.trimmed();
        bool ok = false;
        const tw::u64 offset = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                   ? t.mid(2).toULongLong(&ok, 16)
                                   : t.toULongLong(&ok, 10);
        if (!ok || !go_to_offset(offset)) beep();
    });
    dialog->open();
}

bool ViewerController::go_to_offset(tw::u64 offset) {
    if (display_state_ != kViewOccurrence) return false;
    const tw::u64 size = excerpt_size();
    if (!load_window(offset > size / 2 ? offset - size / 2 : 0, size)) return false;
    // Past the end, the file's last piece is shown.
    cursor_offset_.reset();
    if (offset < file_size_) cursor_offset_ = offset;
    show_file_content(display_state_);
    return cursor_offset_.has_value();
}

bool ViewerController::load_more(int direction) {
    if (display_state_ != kViewOccurrence) return false;
    if (!window_active_) {
        // The engine's excerpt becomes the piece that grows.
        const Excerpt x = Excerpt::of(engine_.sur);
        if (!load_window(x.file_offset, x.len)) return false;
    }
    const tw::u64 step = excerpt_size();
    const tw::u64 end = window_offset_ + window_bytes_.size();
    tw::u64 start = window_offset_, stop = end;
    if (direction > 0) {
        if (end >= file_size_) return false;
        stop = std::min(file_size_, end + step);
        // The piece stays under the largest excerpt: its far end goes.
        if (stop - start > kMaxExcerptSize) start = stop - kMaxExcerptSize;
        cursor_offset_ = end;
    } else {
        if (window_offset_ == 0) return false;
        start = window_offset_ > step ? window_offset_ - step : 0;
        if (stop - start > kMaxExcerptSize) stop = start + kMaxExcerptSize;
        cursor_offset_ = window_offset_ > 0 ? window_offset_ - 1 : 0;
    }
    if (!load_window(start, stop - start)) return false;
    show_file_content(display_state_);
    return true;
}

void ViewerController::setup_window_scrolling() {
    QScrollBar* bar = ui_->text_viewer_ref->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        // Only the user's scrolling to an end loads more, once at a time.
        if (loading_more_ || bar->maximum() == 0) return;
        if (value != bar->maximum() && value != bar->minimum()) return;
        loading_more_ = true;
        load_more(value == bar->maximum() ? 1 : -1);
        loading_more_ = false;
    });
}

}  // namespace tw::ui
