// The language of trawlex-cli's messages, chosen from the environment as
// the application chooses its own (without Qt), and the pairs of texts
// indexed by it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tw::cli {

// 1 (French) when the first preferred language names French, else 0
// (English). The preferred languages are LANGUAGE's list when it is set,
// else the locale of LC_ALL, LC_MESSAGES or LANG, the first one set.
int language_from_environment();

// The language of the messages of this run (0 until set).
int language();
void set_language(int language);

// The text of `pair` in the run's language, with %1, %2... replaced by
// `args` in order.
std::string text(const char* const (&pair)[2], std::initializer_list<std::string_view> args = {});

// Prints "trawlex-cli: MESSAGE" on standard error; returns 2, the exit
// status of an error.
int error_status(const std::string& message);

}  // namespace tw::cli
