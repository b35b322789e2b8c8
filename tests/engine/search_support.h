// Building the current target of an engine and reading result files back.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
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
    const char* name = "test target";
    e.tr.target_name = static_cast<char*>(std::malloc(std::strlen(name) + 1));
    std::strcpy(e.tr.target_name, name);
    e.tr.search_str_len = pattern.size();
    e.tr.search_str = static_cast<std::uint8_t*>(std::malloc(pattern.size() + 1));
    std::memcpy(e.tr.search_str, pattern.data(), pattern.size());
    e.tr.search_str[pattern.size()] = 0;
    std::string pool;
    e.tr.item_nb = items.size();
    e.tr.items = static_cast<tw::ItemRecord*>(std::malloc(sizeof(tw::ItemRecord) * (items.size() + 1)));
    for (std::size_t i = 0; i < items.size(); ++i) {
        e.tr.items[i] = {items[i].folder ? tw::TW_ITEM_FOLDER : tw::TW_ITEM_FILE,
                         items[i].path.size() + 1, pool.size()};
        pool += items[i].path;
        pool.push_back('\0');
    }
    e.tr.path_pool = static_cast<char*>(std::malloc(pool.size() + 1));
    std::memcpy(e.tr.path_pool, pool.data(), pool.size());
}

struct FoundFile {
    std::string dir, name;
    std::vector<std::uint64_t> offsets, lines;
};

inline std::uint64_t le64_at(const Bytes& b, std::size_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

// Decodes the three result files independently of the engine.
inline std::vector<FoundFile> read_results(const std::string& found_dir, bool with_lines) {
    const Bytes headers = read_file(found_dir + "/TW_found_header");
    const Bytes paths = read_file(found_dir + "/TW_found_path");
    const Bytes offsets = read_file(found_dir + "/TW_found_offset");
    std::vector<FoundFile> out;
    const std::size_t record = with_lines ? 16 : 8;
    for (std::size_t h = 0; h + 48 <= headers.size(); h += 48) {
        FoundFile f;
        const auto dir_pos = le64_at(headers, h), file_pos = le64_at(headers, h + 16);
        f.dir = reinterpret_cast<const char*>(paths.data() + dir_pos);
        f.name = reinterpret_cast<const char*>(paths.data() + file_pos);
        const auto nb = le64_at(headers, h + 32), pos = le64_at(headers, h + 40);
        for (std::uint64_t i = 0; i < nb; ++i) {
            f.offsets.push_back(le64_at(offsets, pos + i * record));
            if (with_lines) f.lines.push_back(le64_at(offsets, pos + i * record + 8));
        }
        out.push_back(f);
    }
    return out;
}

}  // namespace tw_test
