// The found viewer's text area: the excerpt around the current occurrence
// as text, as text decoded in the target's encoding, or as a hexadecimal
// dump, with the occurrence marked; and the display-mode pull-down.
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTextCursor>
#include <algorithm>
#include <string_view>

#include "encoding/string_encoding.h"
#include "engine/tw.h"
#include "ui/viewer/ViewerController.h"
#include "ui/toolkit/alerts.h"
#include "ui/toolkit/pulldown.h"
#include "ui_ViewerController.h"

namespace tw::ui {
namespace {

const char* const show_as_s[2] = {"Show as", "Afficher en"};
const char* const mode_text_s[2] = {"Text", "Texte"};
const char* const mode_original_s[2] = {"Original encoding", "Codage original"};
const char* const mode_hexa_s[2] = {"Hexadecimal bytes", "Octet hexadécimal"};
const char* const cannot_decode_s[2] = {
    "The bytes around this occurrence cannot be read in the target's encoding.\n"
    "Choose \"Text\" or \"Hexadecimal bytes\" to see them.",
    "Les octets autour de cette occurrence ne peuvent pas être lus dans le codage du canevas.\n"
    "Choisissez \"Texte\" ou \"Octet hexadécimal\" pour les voir."};

constexpr int kDumpLine = 84;  // 83 characters and a line feed
constexpr int kDumpBytes = 16;
constexpr std::size_t kDumpHexColumn = 18;   // first hexadecimal digit of a line
constexpr std::size_t kDumpCharColumn = 67;  // first character of the right column

// The excerpt's bytes in use and the occurrence's byte range in it, clamped
// to the excerpt (a pattern longer than the excerpt can reach beyond it).
struct Range {
    std::size_t len, begin, end;
};

Range occurrence_range(const Excerpt& sur) {
    const std::size_t len = sur.len;
    const std::size_t begin = std::min<tw::u64>(sur.occ_pos, len);
    const std::size_t end = begin + std::min<tw::u64>(sur.mark_len, static_cast<tw::u64>(len - begin));
    return {len, begin, end};
}

std::string_view slice(const Excerpt& sur, std::size_t from, std::size_t to) {
    return {reinterpret_cast<const char*>(sur.bytes) + from, to - from};
}

using tw::encoding::ErrorKind;

bool is_fatal(ErrorKind kind) {
    return kind == ErrorKind::UnsupportedEncoding || kind == ErrorKind::OutOfMemory;
}

// Decodes bytes [from, to), dropping leading bytes (in whole code units)
// up to the last sequence that cannot be read: the readable bytes nearest
// the occurrence, which follows them.
std::optional<std::u16string> decode_tail(const Excerpt& sur, std::size_t& from,
                                          std::size_t to, std::size_t unit, std::uint32_t id) {
    while (true) {
        auto r = tw::encoding::to_text(slice(sur, from, to), id);
        if (r) return std::move(*r.value);
        if (is_fatal(r.error) || from >= to) return std::nullopt;
        from = std::min(to, from + (r.error_offset / unit + 1) * unit);
    }
}

// Decodes bytes [from, to), dropping trailing bytes (in whole code units)
// from the first sequence that cannot be read.
std::optional<std::u16string> decode_head(const Excerpt& sur, std::size_t from,
                                          std::size_t& to, std::size_t unit, std::uint32_t id) {
    while (true) {
        auto r = tw::encoding::to_text(slice(sur, from, to), id);
        if (r) return std::move(*r.value);
        if (is_fatal(r.error) || from >= to) return std::nullopt;
        std::size_t shorter = from + (r.error_offset / unit) * unit;
        if (shorter >= to) shorter = to - std::min(unit, to - from);
        to = shorter;
    }
}

}  // namespace

ViewerText ViewerController::text_content(const Excerpt& sur) {
    const Range r = occurrence_range(sur);
    QString text(static_cast<qsizetype>(r.len), QChar(u'?'));
    for (std::size_t i = 0; i < r.len; ++i) {
        const std::uint8_t b = sur.bytes[i];
        if ((b >= 0x20 && b <= 0x7E) || b == 0x09 || b == 0x0A || b == 0x0D)
            text[static_cast<qsizetype>(i)] = QChar(b);
    }
    return {text, static_cast<qsizetype>(r.begin), static_cast<qsizetype>(r.end - r.begin), {}};
}

std::optional<ViewerText> ViewerController::original_content(const Excerpt& sur,
                                                             std::uint32_t encoding) {
    const Range r = occurrence_range(sur);
    // An encoding whose "A" holds a zero byte (UTF-16 and the like) is read
    // in whole code units aligned on the occurrence; any other one is read
    // over the run of bytes without NUL that holds the occurrence's first
    // byte, since a NUL ends a string in those encodings.
    const auto a = tw::encoding::to_bytes(u"A", encoding);
    if (!a) return std::nullopt;
    const bool wide = a.value->find('\0') != std::string::npos;
    const std::size_t unit = wide ? a.value->size() : 1;

    std::size_t run_begin = 0, run_end = r.len;
    if (wide) {
        run_begin = r.begin % unit;
        run_end = run_begin + (r.len - run_begin) / unit * unit;
    } else {
        std::size_t i = r.begin;
        auto nul_at = [&](std::size_t k) { return k >= r.len || sur.bytes[k] == 0; };
        while (i > 0 && !nul_at(i)) --i;
        if (nul_at(i)) ++i;
        run_begin = std::min(i, r.len);
        run_end = run_begin;
        while (run_end < r.len && sur.bytes[run_end] != 0) ++run_end;
    }
    // The occurrence's part of the run; in code units for a wide encoding.
    const std::size_t mark_begin = std::clamp(r.begin, run_begin, run_end);
    std::size_t mark_end = std::clamp(r.end, mark_begin, run_end);
    if (wide) mark_end = std::min(run_end, mark_begin + (mark_end - mark_begin + unit - 1) / unit * unit);

    std::size_t decoded_begin = run_begin, decoded_end = run_end;
    const auto before = decode_tail(sur, decoded_begin, mark_begin, unit, encoding);
    const auto marked = tw::encoding::to_text(slice(sur, mark_begin, mark_end), encoding);
    const auto after = decode_head(sur, mark_end, decoded_end, unit, encoding);
    if (!before || !marked || !after) return std::nullopt;

    ViewerText content;
    // Where decoding stopped, and why, when it is not the excerpt's edge.
    content.decoded_from = sur.file_offset + decoded_begin;
    content.decoded_to = sur.file_offset + decoded_end;
    // A NUL ends the run of a narrow encoding; a wide one reads up to the
    // excerpt's edges.
    content.stop_before = decoded_begin > run_begin ? kStopUndecodable
                          : !wide && run_begin > 0  ? kStopNul
                                                    : kStopEdge;
    content.stop_after = decoded_end < run_end ? kStopUndecodable
                         : !wide && run_end < r.len ? kStopNul
                                                    : kStopEdge;
    content.text = QString::fromStdU16String(*before + *marked.value + *after);
    content.selection_start = static_cast<qsizetype>(before->size());
    content.selection_length = static_cast<qsizetype>(marked.value->size());
    return content;
}

ViewerText ViewerController::hexa_content(const Excerpt& sur) {
    const Range r = occurrence_range(sur);
    // Rows start at file offsets that are multiples of 16: the excerpt's
    // first byte takes its column in the first row, blanks before it.
    const std::size_t lead = static_cast<std::size_t>(sur.file_offset % kDumpBytes);
    const tw::u64 first_row_offset = sur.file_offset - lead;
    const std::size_t cells = r.len == 0 ? 0 : lead + r.len;
    const std::size_t lines = (cells + kDumpBytes - 1) / kDumpBytes;
    std::string dump(kDumpLine * lines, '\n');
    const auto in_excerpt = [&](std::size_t cell) { return cell >= lead && cell < lead + r.len; };
    for (std::size_t k = 0; k < lines; ++k) {
        std::uint8_t bytes[kDumpBytes];
        for (std::size_t j = 0; j < kDumpBytes; ++j) {
            const std::size_t cell = k * kDumpBytes + j;
            bytes[j] = in_excerpt(cell) ? sur.bytes[cell - lead] : std::uint8_t{0x20};
        }
        char* line = dump.data() + k * kDumpLine;
        tw::build_dump_line(line, kDumpBytes, bytes, first_row_offset + k * kDumpBytes);
        // Cells outside the excerpt are blanks, not bytes.
        for (std::size_t j = 0; j < kDumpBytes; ++j) {
            if (in_excerpt(k * kDumpBytes + j)) continue;
            line[kDumpHexColumn + 3 * j] = line[kDumpHexColumn + 3 * j + 1] = ' ';
            line[kDumpCharColumn + j] = ' ';
        }
    }
    if (!dump.empty()) dump.pop_back();  // no line feed after the last line

    ViewerText content;
    content.text = QString::fromLatin1(dump.data(), static_cast<qsizetype>(dump.size()));
    if (r.end > r.begin) {
        // From the first hexadecimal digit of the first byte to just after
        // the character column of the last byte (cells, counted from the
        // first row's start).
        const std::size_t b = lead + r.begin, e = lead + r.end - 1;
        const std::size_t start = kDumpLine * (b / kDumpBytes) + 18 + 3 * (b % kDumpBytes);
        const std::size_t end = kDumpLine * (e / kDumpBytes) + 68 + (e % kDumpBytes);
        content.selection_start = static_cast<qsizetype>(start);
        content.selection_length = static_cast<qsizetype>(end - start);
        // Marked separately on each line: the hexadecimal digits of exactly
        // the occurrence's bytes, and exactly its characters.
        for (std::size_t k = b / kDumpBytes; k <= e / kDumpBytes; ++k) {
            const std::size_t first = std::max(b, k * kDumpBytes) % kDumpBytes;
            const std::size_t last = std::min(e, k * kDumpBytes + kDumpBytes - 1) % kDumpBytes;
            const std::size_t line = kDumpLine * k;
            content.marks.emplace_back(static_cast<qsizetype>(line + kDumpHexColumn + 3 * first),
                                       static_cast<qsizetype>(3 * (last - first) + 2));
            content.marks.emplace_back(static_cast<qsizetype>(line + kDumpCharColumn + first),
                                       static_cast<qsizetype>(last - first + 1));
        }
    } else {
        content.selection_start = content.text.size();
    }
    return content;
}

namespace {

const char* const stopped_before_s[3][2] = {
    {"", ""},
    {"Decoded from offset %1: the byte before is a NUL.",
     "Décodé à partir de la position %1 : l'octet précédent est un NUL."},
    {"Decoded from offset %1: the bytes before cannot be read in this encoding.",
     "Décodé à partir de la position %1 : les octets précédents ne peuvent pas être lus dans ce codage."}};
const char* const stopped_after_s[3][2] = {
    {"", ""},
    {"Decoding stops at offset %1: a NUL byte.", "Le décodage s'arrête à la position %1 : un octet NUL."},
    {"Decoding stops at offset %1: the bytes from there cannot be read in this encoding.",
     "Le décodage s'arrête à la position %1 : les octets suivants ne peuvent pas être lus dans ce codage."}};

QString offset_text(tw::u64 offset) {
    return QStringLiteral("%1 (0x%2)").arg(offset).arg(QString::number(offset, 16).toUpper());
}

}  // namespace

ViewerText ViewerController::with_decoding_note(ViewerText content, int language) {
    // A line above the text says where decoding stopped and why, instead of
    // leaving the text cut short without a word.
    const int l = language != 0 ? 1 : 0;
    QStringList notes;
    if (content.stop_before != kStopEdge)
        notes << QString::fromUtf8(stopped_before_s[content.stop_before][l]).arg(offset_text(content.decoded_from));
    if (content.stop_after != kStopEdge)
        notes << QString::fromUtf8(stopped_after_s[content.stop_after][l]).arg(offset_text(content.decoded_to));
    if (notes.isEmpty()) return content;
    const QString head = QStringLiteral("[") + notes.join(u' ') + QStringLiteral("]\n\n");
    content.text.prepend(head);
    content.selection_start += head.size();
    for (auto& mark : content.marks) mark.first += head.size();
    return content;
}

const tw::FoundForm* ViewerController::current_form() const {
    const std::vector<tw::FoundForm>& forms = engine_.summary_info().forms;
    const tw::u64 form = engine_.sur.occ_form;
    return form != 0 && form <= forms.size() ? &forms[static_cast<std::size_t>(form - 1)] : nullptr;
}

void ViewerController::choose_mode_for_result() {
    const tw::ResultInfo& info = engine_.summary_info();
    const auto is_wide = [](tw::u64 encoding) {
        const auto a = tw::encoding::to_bytes(u"A", static_cast<std::uint32_t>(encoding));
        return a && a.value->find('\0') != std::string::npos;
    };
    // Read in its own encoding when it or any text form of it is wide.
    bool wide = info.is_hexa == 0 && is_wide(info.encoding);
    for (const tw::FoundForm& f : info.forms) wide = wide || (!f.hexadecimal && is_wide(f.encoding));
    if (wide && hexa_or_text_type_ == kModeText) {
        hexa_or_text_type_ = kModeOriginal;
        mode_chosen_for_result_ = true;
    } else if (!wide && mode_chosen_for_result_ && hexa_or_text_type_ == kModeOriginal) {
        hexa_or_text_type_ = kModeText;
        mode_chosen_for_result_ = false;
    }
    set_view_as_default();
}

void ViewerController::show_file_content(int state) {
    const tw::SummaryRecord& sur = engine_.sur;
    const int l = engine_.language != 0 ? 1 : 0;
    if (state == kViewNothing) {
        show_text({}, true);
        return;
    }
    if (state == kViewFileOnly) {
        // The reason the file cannot be shown, with the path and its cause.
        show_plain_message(QString::fromUtf8(engine_.error_text(sur.summary_status)));
        return;
    }
    const Excerpt x = current_excerpt();
    // The cursor on the offset gone to, in the modes whose text follows the
    // bytes one for one.
    const auto place_cursor = [&](ViewerText content, bool hexa) {
        if (!cursor_offset_ || *cursor_offset_ < x.file_offset || *cursor_offset_ >= x.file_offset + x.len)
            return content;
        const tw::u64 at = *cursor_offset_ - x.file_offset;
        if (hexa) {
            const tw::u64 cell = x.file_offset % kDumpBytes + at;
            content.cursor_at = static_cast<qsizetype>(kDumpLine * (cell / kDumpBytes) + kDumpHexColumn +
                                                       3 * (cell % kDumpBytes));
        } else {
            content.cursor_at = static_cast<qsizetype>(at);
        }
        return content;
    };
    switch (hexa_or_text_type_) {
    case kModeOriginal:
        // Each occurrence of a result of several forms in its own form's.
        if (auto content = original_content(x, current_form() != nullptr
                                                   ? current_form()->encoding
                                                   : static_cast<std::uint32_t>(engine_.summary_info().encoding)))
            show_text(with_decoding_note(*content, l), true);
        else
            show_plain_message(QString::fromUtf8(cannot_decode_s[l]));
        break;
    case kModeHexa:
        show_text(place_cursor(hexa_content(x), true), false);
        break;
    default:
        show_text(place_cursor(text_content(x), false), true);
        break;
    }
}

void ViewerController::show_text(const ViewerText& content, bool wrap) {
    QPlainTextEdit* view = ui_->text_viewer_ref;
    // Scrolling done here is not the user's: it loads nothing more.
    const bool was_loading = loading_more_;
    loading_more_ = true;
    view->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    const qsizetype size = content.text.size();
    std::vector<std::pair<qsizetype, qsizetype>> spans = content.marks;
    if (spans.empty() && content.selection_length > 0)
        spans.emplace_back(content.selection_start, content.selection_length);
    const qsizetype start =
        std::clamp<qsizetype>(content.cursor_at >= 0 ? content.cursor_at : content.selection_start, 0, size);
    // The text area makes one line break of a CR LF pair: show each pair
    // (and each lone CR) as one LF, and move the marks by the CRs dropped
    // before their ends, so that they stay on the same characters.
    QString text;
    text.reserve(size);
    std::vector<qsizetype> shown_at(static_cast<std::size_t>(size) + 1);
    for (qsizetype i = 0; i < size; ++i) {
        shown_at[static_cast<std::size_t>(i)] = text.size();
        const QChar c = content.text[i];
        if (c == u'\r' && i + 1 < size && content.text[i + 1] == u'\n') continue;
        text.append(c == u'\r' ? QChar(u'\n') : c);
    }
    shown_at[static_cast<std::size_t>(size)] = text.size();
    const auto shown = [&](qsizetype at) {
        return static_cast<int>(shown_at[static_cast<std::size_t>(std::clamp<qsizetype>(at, 0, size))]);
    };
    view->setPlainText(text);
    // The mark is a highlight, not the selection: clicks and selections
    // leave it in place.
    QList<QTextEdit::ExtraSelection> marks;
    for (const auto& [at, length] : spans) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(view->document());
        mark.cursor.setPosition(shown(at));
        mark.cursor.setPosition(shown(at + length), QTextCursor::KeepAnchor);
        mark.format.setBackground(view->palette().highlight());
        mark.format.setForeground(view->palette().highlightedText());
        marks.append(mark);
    }
    view->setExtraSelections(marks);
    // The cursor at the occurrence's start, so that scrolling it into view
    // shows where the occurrence begins.
    QTextCursor cursor(view->document());
    cursor.setPosition(shown(start));
    view->setTextCursor(cursor);
    view->centerCursor();
    view->ensureCursorVisible();
    loading_more_ = was_loading;
}

void ViewerController::show_plain_message(const QString& message) {
    ViewerText content;
    content.text = message;
    show_text(content, true);
}

// ---- Display-mode pull-down ---------------------------------------------------------

void ViewerController::set_hexa_or_text_popup() {
    const int l = engine_.language != 0 ? 1 : 0;
    QWidget* placeholder = ui_->name_for_popup_2_ref;
    hexa_or_text_popup_ = new PullDown(placeholder->parentWidget());
    hexa_or_text_popup_->setObjectName(QStringLiteral("hexa_or_text_popup"));
    placeholder->parentWidget()->layout()->replaceWidget(placeholder, hexa_or_text_popup_);
    placeholder->hide();
    hexa_or_text_popup_->add_items({QString::fromUtf8(show_as_s[l]),
                                    QString::fromUtf8(mode_text_s[l]),
                                    QString::fromUtf8(mode_original_s[l]),
                                    QString::fromUtf8(mode_hexa_s[l])});
    hexa_or_text_popup_->set_action([this](int index) { hexa_or_text_popup_action(index); });
    hexa_or_text_popup_->size_to_fit();
    set_view_as_default();
}

void ViewerController::hexa_or_text_popup_action(int index) {
    if (index < kModeText || index > kModeHexa) return beep();
    hexa_or_text_type_ = index;
    mode_chosen_for_result_ = false;  // the user's choice stays
    set_view_as_default();
    // Redisplay what is shown now: an occurrence in the new mode, or the
    // error text of a file whose excerpt could not be read.
    show_file_content(display_state_);
}

void ViewerController::set_view_as_default() {
    for (int i = kModeText; i <= kModeHexa; ++i)
        hexa_or_text_popup_->set_state(i, i == hexa_or_text_type_ ? ItemState::On : ItemState::Off);
}

}  // namespace tw::ui
