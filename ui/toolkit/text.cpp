#include "ui/toolkit/text.h"

namespace tw::ui {
namespace {

std::u16string_view view_of(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

}  // namespace

std::optional<QByteArray> text_to_bytes(const QString& text, EncodingId encoding) {
    const auto result = tw::encoding::to_bytes(view_of(text), encoding);
    if (!result) return std::nullopt;
    return QByteArray(result.value->data(), static_cast<qsizetype>(result.value->size()));
}

std::optional<QString> bytes_to_text(const char* bytes, qsizetype length, EncodingId encoding) {
    const auto result =
        tw::encoding::to_text(std::string_view(bytes, static_cast<std::size_t>(length)), encoding);
    if (!result) return std::nullopt;
    return QString::fromStdU16String(*result.value);
}

std::optional<QString> bytes_to_text(const QByteArray& bytes, EncodingId encoding) {
    return bytes_to_text(bytes.constData(), bytes.size(), encoding);
}

bool can_encode(const QString& text, EncodingId encoding) {
    return tw::encoding::can_encode(view_of(text), encoding);
}

std::optional<qsizetype> encoded_length(const QString& text, EncodingId encoding) {
    const auto result = tw::encoding::encoded_length(view_of(text), encoding);
    if (!result) return std::nullopt;
    return static_cast<qsizetype>(*result.value);
}

QString from_utf8(const char* text) { return QString::fromUtf8(text != nullptr ? text : ""); }

}  // namespace tw::ui
