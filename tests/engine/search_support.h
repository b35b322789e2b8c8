// Building the current target of an engine and reading result files back.
#pragma once

#include <string>
#include <vector>

#include "engine/tw.h"
#include "support/temp_dir.h"

namespace tw_test {

struct Item {
    std::string path;
    bool folder;
};

// Replaces the engine's current target by one searching `pattern` in the
// items, with line numbers off, case-sensitive, wildcard off, dot-names
// skipped and errors skipped unless the caller changes the options.
inline void set_target(tw::Engine& e, const std::string& pattern, const std::vector<Item>& items) {
    e.clear_target_buffer(e.tr);
    e.init_target(e.tr);
    e.tr.add_line_nb = 0;
    e.tr.case_insensitive = 0;
    e.tr.use_wildcard = 0;
    e.set_target_name(e.tr, "test target");
    e.set_target_search_str(e.tr, reinterpret_cast<const std::uint8_t*>(pattern.data()), pattern.size());
    std::vector<tw::TargetItem> list;
    for (const Item& i : items) list.push_back({i.folder ? tw::TW_ITEM_FOLDER : tw::TW_ITEM_FILE, i.path});
    e.set_target_items(e.tr, list);
}

struct ResultRow {
    std::string dir, name;
    std::vector<std::uint64_t> offsets, lines;
    std::vector<unsigned> forms;  // from TW_found_form, when there is one
    std::string path() const { return dir + "/" + name; }
};

inline std::uint64_t le64_at(const Bytes& b, std::size_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

// Decodes the result files independently of the engine.
inline std::vector<ResultRow> read_results(const std::string& found_dir, bool with_lines) {
    const Bytes headers = read_file(found_dir + "/TW_found_header");
    const Bytes paths = read_file(found_dir + "/TW_found_path");
    const Bytes offsets = read_file(found_dir + "/TW_found_offset");
    const Bytes forms = read_file(found_dir + "/TW_found_form");
    std::vector<ResultRow> out;
    const std::size_t record = with_lines ? 16 : 8;
    for (std::size_t h = 0; h + 48 <= headers.size(); h += 48) {
        ResultRow f;
        f.dir = reinterpret_cast<const char*>(paths.data() + le64_at(headers, h));
        f.name = reinterpret_cast<const char*>(paths.data() + le64_at(headers, h + 16));
        const auto nb = le64_at(headers, h + 32), pos = le64_at(headers, h + 40);
        for (std::uint64_t i = 0; i < nb && pos + (i + 1) * record <= offsets.size(); ++i) {
            f.offsets.push_back(le64_at(offsets, pos + i * record));
            if (with_lines) f.lines.push_back(le64_at(offsets, pos + i * record + 8));
            if (pos / record + i < forms.size()) f.forms.push_back(forms[pos / record + i]);
        }
        out.push_back(f);
    }
    return out;
}

}  // namespace tw_test
