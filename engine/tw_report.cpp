// The text report of the last search: the target's name, the number of found
// files, and for each found file its path, its number of occurrences and
// where the first one lies (and, for several forms, how many of each).
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/tw.h"
#include "engine/tw_file_util.h"

namespace tw {

namespace {

struct ReportTexts {
    const char* title;
    const char* count_line;
    const char* occurrence_with_line;
    const char* occurrence;
    const char* forms;  // the count of each form, for a search of several
};

// English (language 0) and French (language 1), UTF-8.
const ReportTexts report_texts[2] = {
    {
        "**** Search result for target '%s' *****\n\n",
        "Number of files with at least one occurence: %llu\n\n",
        "\nNumber of found: %llu, First at file offset: %llu, Line: %llu\n\n",
        "\nNumber of found: %llu, First at file offset: %llu\n\n",
        "Found per form: %s\n\n",
    },
    {
        "**** R\xC3\xA9sultat de la recherche pour le canevas '%s' *****\n\n",
        "Nombre de fichiers avec au moins un: %llu\n\n",
        "\nNombre de trouv\xC3\xA9: %llu, Premier dans le fichier \xC3\xA0 l'index: %llu, "
        "Ligne: %llu\n\n",
        "\nNombre de trouv\xC3\xA9: %llu,  Premier dans le fichier \xC3\xA0 l'index: %llu\n\n",
        "Trouv\xC3\xA9s par forme : %s\n\n",
    },
};

// A line under the title of a report whose search did not finish.
const char* const unfinished_s[2][2] = {
    {"(The search was stopped before its end.)\n\n", "(The search ended on an error.)\n\n"},
    {"(La recherche a \xC3\xA9t\xC3\xA9 arr\xC3\xAAt\xC3\xA9""e avant sa fin.)\n\n",
     "(La recherche s'est termin\xC3\xA9""e sur une erreur.)\n\n"},
};

unsigned long long ull(u64 v) { return static_cast<unsigned long long>(v); }

// "2 / 0 / 1": how many occurrences of found file `index` are of each form,
// each after its form's name when every form has one ("UTF-8: 2 / ...");
// empty when the forms file cannot be read.
std::string form_counts(const ResultReader& reader, u64 index, const ResultInfo& info) {
    const u64 form_nb = info.form_nb, record_len = info.record_len;
    FoundFileHeader h{};
    std::string dir, name;
    if (reader.found_file(index, h, dir, name) != 0) return {};
    std::vector<u64> counts(static_cast<std::size_t>(form_nb), 0);
    for (u64 k = 0; k < h.occ_nb; ++k) {
        std::uint8_t form = 0;
        if (reader.occurrence_form(h, k, record_len, &form) != 0 || form >= form_nb) return {};
        ++counts[form];
    }
    const bool named = info.forms.size() == counts.size() &&
                       std::none_of(info.forms.begin(), info.forms.end(),
                                    [](const FoundForm& f) { return f.name.empty(); });
    std::string text;
    for (std::size_t i = 0; i < counts.size(); ++i)
        text += (i == 0 ? "" : " / ") + (named ? info.forms[i].name + ": " : std::string()) +
                std::to_string(counts[i]);
    return text;
}

}  // namespace

// The report goes through the one replacing writer (a temporary file that
// replaces a regular file only once complete; a device or FIFO is written
// in place). The target's name and the record layout come from the result's
// own description, so the report describes the search that wrote it.
u64 Engine::save_search_info_in_text_file(const char* path, const SearchDescriber& describe) {
    if (const u64 code = open_found_file("r"); code != 0) return code;

    summary_info_ = result_info;
    const u64 found_nb = reader_.file_count();

    AtomicFileWriter report(path);
    if (const u64 code = report.open(); code != 0) {
        close_found_file();
        record_failure(report.failure());
        return code;
    }
    std::FILE* out = report.stream();
    const int lang = language == 1 ? 1 : 0;
    const ReportTexts& texts = report_texts[lang];
    const std::string name = result_info.target_name;
    const bool with_lines = result_info.record_len == 16;

    // The report walks the result with the viewer's cursor: the occurrence
    // on show is taken back afterwards, so that saving does not move it.
    const u64 shown_file = sur.file_index;
    const u64 shown_occ = sur.occ_index;
    auto restore_cursor = [&] {
        if (found_nb == 0 || shown_file >= found_nb) return;
        sur.file_index = shown_file;
        sur.occ_index = shown_occ;
        if (get_search_info_for_file() == 0) return;
        sur.occ_index = 0;
        get_search_info_for_file();
    };
    auto fail = [&](u64 code) {
        // The writer removes its temporary file when it goes out of scope.
        if (code == ERR_WRITE_FILE) record_failure(report.failure());
        restore_cursor();
        close_found_file();
        return code;
    };

    if (std::fprintf(out, texts.title, name.c_str()) < 0) return fail(report.write_failed());
    if (result_info.status != RESULT_FINISHED &&
        std::fputs(unfinished_s[lang][result_info.status == RESULT_STOPPED ? 0 : 1], out) < 0)
        return fail(report.write_failed());
    if (describe) {
        std::string lines;
        for (const std::string& line : describe(result_info)) lines += line + '\n';
        if (!lines.empty()) lines += '\n';
        if (std::fputs(lines.c_str(), out) < 0) return fail(report.write_failed());
    }
    if (std::fprintf(out, texts.count_line, ull(found_nb)) < 0) return fail(report.write_failed());
    // A search of several forms: each file's occurrences per form (none
    // when its forms file cannot be read).
    const bool with_forms = result_info.form_nb > 1;

    for (u64 i = 0; i < found_nb; ++i) {
        sur.occ_index = 0;
        sur.file_index = i;
        if (const u64 code = get_search_info_for_file(); code != 0) return fail(code);
        if (std::fprintf(out, "%s/%s", sur.dir_name.c_str(), sur.file_name.c_str()) < 0)
            return fail(report.write_failed());
        const int written =
            with_lines ? std::fprintf(out, texts.occurrence_with_line, ull(sur.occ_nb),
                                      ull(sur.occ_offset), ull(sur.occ_line + 1))
                       : std::fprintf(out, texts.occurrence, ull(sur.occ_nb), ull(sur.occ_offset));
        if (written < 0) return fail(report.write_failed());
        const std::string forms =
            with_forms ? form_counts(reader_, i, result_info) : std::string();
        if (!forms.empty() && std::fprintf(out, texts.forms, forms.c_str()) < 0)
            return fail(report.write_failed());
    }

    const u64 committed = report.commit();
    if (committed != 0) record_failure(report.failure());
    restore_cursor();
    const u64 closed = close_found_file();
    if (committed != 0) return committed;
    return closed != 0 ? ERR_CLOSE_FILE : 0;
}

}  // namespace tw
