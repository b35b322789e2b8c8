// The texts that every window shows, English and French, and how a window
// reads a pair of texts in the interface's language.
#pragma once

#include <QString>

namespace tw::ui {

namespace shared_texts {
inline constexpr const char* const error_title_s[2] = {"Error", "Erreur"};
inline constexpr const char* const ok_s[2] = {"OK", "OK"};
}  // namespace shared_texts

// The text of `pair` in `language` (0 English, any other French).
inline QString text_in(const char* const (&pair)[2], int language) {
    return QString::fromUtf8(pair[language != 0 ? 1 : 0]);
}

}  // namespace tw::ui
