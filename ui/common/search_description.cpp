#include "ui/common/search_description.h"

#include <QDateTime>
#include <QLocale>

#include "encoding/string_encoding.h"

namespace tw::ui {
namespace {

namespace enc = tw::encoding;

const char* const string_line_s[2] = {"Searched for: %1 (%2), %3", "Recherché : %1 (%2), %3"};
const char* const bytes_line_s[2] = {"Searched for the bytes: %1", "Octets recherchés : %1"};
const char* const options_line_s[2] = {"Options: %1", "Options : %1"};
const char* const no_option_s[2] = {"none", "aucune"};
const char* const ignore_case_s[2] = {"ignore case (a-z)", "casse ignorée (a-z)"};
const char* const line_numbers_s[2] = {"line numbers", "numéros de ligne"};
const char* const target_line_s[2] = {"Target: %1, searched on %2", "Canevas : %1, recherche du %2"};
const char* const user_encoding_s[2] = {"encoding %1", "codage %1"};

QString pick(const char* const (&pair)[2], int l) { return QString::fromUtf8(pair[l]); }

QString cut(QString text, int max_chars) {
    if (max_chars > 0 && text.size() > max_chars) text = text.left(max_chars) + QChar(0x2026);
    return text;
}

QString encoding_title(tw::u64 id, int l) {
    if (const auto at = enc::fixed_index(static_cast<enc::EncodingId>(id))) {
        const auto title = enc::fixed_encodings()[*at].title(l != 0 ? enc::Language::French
                                                                    : enc::Language::English);
        return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    }
    return pick(user_encoding_s, l).arg(id);
}

// The string decoded in its encoding, controls shown as their pictures;
// empty when it cannot be decoded.
QString decoded(const tw::ResultInfo& info) {
    const auto text = enc::to_text(info.search_str, static_cast<enc::EncodingId>(info.encoding));
    if (!text) return {};
    QString out = QString::fromStdU16String(*text.value);
    for (QChar& c : out)
        if (c.unicode() < 0x20) c = QChar(0x2400 + c.unicode());
    return out;
}

}  // namespace

QString search_bytes_as_hexa(const std::string& bytes, std::size_t max_bytes) {
    const std::size_t n = max_bytes > 0 && bytes.size() > max_bytes ? max_bytes : bytes.size();
    QString out;
    out.reserve(static_cast<qsizetype>(3 * n + 2));
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) out += u' ';
        out += QStringLiteral("%1").arg(static_cast<unsigned char>(bytes[i]), 2, 16, QChar(u'0')).toUpper();
    }
    if (n < bytes.size()) out += QStringLiteral(" ") + QChar(0x2026);
    return out;
}

QStringList describe_search(const tw::ResultInfo& info, int language, int max_chars,
                            std::size_t max_bytes) {
    if (!info.present) return {};
    const int l = language != 0 ? 1 : 0;
    const QString hexa = search_bytes_as_hexa(info.search_str, max_bytes);
    const QString text = info.is_hexa != 0 ? QString() : decoded(info);
    QStringList lines;
    lines << (text.isEmpty() ? pick(bytes_line_s, l).arg(hexa)
                             : pick(string_line_s, l)
                                   .arg(QStringLiteral("\"") + cut(text, max_chars) + u'"', hexa,
                                        encoding_title(info.encoding, l)));
    QStringList options;
    if (info.case_insensitive != 0) options << pick(ignore_case_s, l);
    if (info.record_len == 16) options << pick(line_numbers_s, l);
    lines << pick(options_line_s, l).arg(options.isEmpty() ? pick(no_option_s, l) : options.join(QStringLiteral(", ")));
    const QDateTime when = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(info.start_time));
    lines << pick(target_line_s, l)
                 .arg(cut(QString::fromUtf8(info.target_name), max_chars),
                      QLocale(l != 0 ? QLocale::French : QLocale::English).toString(when, QLocale::ShortFormat));
    return lines;
}

}  // namespace tw::ui
