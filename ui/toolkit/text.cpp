#include "ui/toolkit/text.h"

namespace tw::ui {
std::optional<QString> bytes_to_text(const char* bytes, qsizetype length, EncodingId encoding) {
    const auto result =
        tw::encoding::to_text(std::string_view(bytes, static_cast<std::size_t>(length)), encoding);
    if (!result) return std::nullopt;
    return QString::fromStdU16String(*result.value);
}

std::optional<QString> bytes_to_text(const QByteArray& bytes, EncodingId encoding) {
    return bytes_to_text(bytes.constData(), bytes.size(), encoding);
}

QString from_utf8(const char* text) { return QString::fromUtf8(text != nullptr ? text : ""); }

namespace {

// The length of the valid UTF-8 sequence at `p` (of `n` bytes) and its code
// point; 0 when the bytes there are no valid sequence.
int utf8_sequence(const unsigned char* p, qsizetype n, char32_t* code) {
    const unsigned char b = p[0];
    int length = 0;
    char32_t c = 0;
    if (b < 0x80) length = 1, c = b;
    else if (b >= 0xC2 && b <= 0xDF) length = 2, c = b & 0x1Fu;
    else if (b >= 0xE0 && b <= 0xEF) length = 3, c = b & 0x0Fu;
    else if (b >= 0xF0 && b <= 0xF4) length = 4, c = b & 0x07u;
    if (length == 0 || length > n) return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (p[k] & 0x3Fu);
    }
    // No overlong form, no surrogate, nothing beyond U+10FFFF.
    if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *code = c;
    return length;
}

}  // namespace

QString display_name(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    QString text;
    text.reserve(n);
    for (qsizetype i = 0; i < n;) {
        char32_t code = 0;
        const int length = utf8_sequence(p + i, n - i, &code);
        if (code == u'\\') {
            text.append(QStringLiteral("\\\\"));
            ++i;
        } else if (length > 0 && code >= 0x20 && code != 0x7F) {
            text.append(QString::fromUcs4(&code, 1));
            i += length;
        } else {
            text.append(QStringLiteral("\\x") +
                        QStringLiteral("%1").arg(static_cast<uint>(p[i]), 2, 16, QLatin1Char('0')).toUpper());
            ++i;
        }
    }
    return text;
}

QString display_shortened_name(const char* shown) {
    if (shown == nullptr) return {};
    QByteArrayView bytes(shown);
    if (bytes.startsWith("...")) {
        qsizetype skip = 3;
        while (skip < 6 && skip < bytes.size() && (static_cast<unsigned char>(bytes[skip]) & 0xC0) == 0x80)
            ++skip;
        return QStringLiteral("...") + display_name(bytes.sliced(skip));
    }
    return display_name(bytes);
}

}  // namespace tw::ui
