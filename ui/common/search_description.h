// What produced a result, in words, from the result's own description
// (TW_found_info): the search string as text and as hexadecimal bytes, its
// encoding and options, the target's name and the time of the search. The
// viewer shows it above the list and the report starts with it, so that a
// result read again after a restart still says which search wrote it.
#pragma once

#include <QString>
#include <QStringList>

#include "engine/tw_result_info.h"

namespace tw::ui {

// The search string's bytes as "4E 45 45 44", at most `max_bytes` of them
// (then an ellipsis).
QString search_bytes_as_hexa(const std::string& bytes, std::size_t max_bytes);

// The lines that describe the search of `info` in `language` (0 English,
// 1 French): the string, the options, the target and the time. Texts are cut
// to `max_chars` characters and the bytes to `max_bytes` (0: whole). No
// line when the result has no description (an older result).
QStringList describe_search(const tw::ResultInfo& info, int language, int max_chars = 0,
                            std::size_t max_bytes = 0);

}  // namespace tw::ui
