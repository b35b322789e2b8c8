// Building a target record piece by piece (its name and items), as the
// target editor does, and the number a new target file takes.
#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/tw.h"
#include "engine/tw_file_util.h"

namespace tw {

u64 Engine::set_target_name(TargetRecord& t, std::string_view name) {
    auto* fresh = static_cast<char*>(alloc_.allocate(name.size() + 1));
    if (fresh == nullptr) return ERR_MEMORY;
    std::memcpy(fresh, name.data(), name.size());
    fresh[name.size()] = '\0';
    alloc_.release(t.target_name);
    t.target_name = fresh;
    return 0;
}

std::vector<TargetItem> Engine::target_items(const TargetRecord& t) const {
    std::vector<TargetItem> items;
    if (t.items == nullptr || t.path_pool == nullptr) return items;
    items.reserve(static_cast<std::size_t>(t.item_nb));
    for (u64 i = 0; i < t.item_nb; ++i) {
        const ItemRecord& item = t.items[i];
        const u64 length = item.path_size > 0 ? item.path_size - 1 : 0;
        items.push_back({item.item_type, std::string(t.path_pool + item.path_offset, length)});
    }
    return items;
}

u64 Engine::set_target_items(TargetRecord& t, const std::vector<TargetItem>& items) {
    u64 pool_size = 0;
    for (const TargetItem& item : items) pool_size += item.path.size() + 1;
    ItemRecord* records = nullptr;
    char* pool = nullptr;
    if (!items.empty()) {
        records = static_cast<ItemRecord*>(alloc_.allocate(items.size() * sizeof(ItemRecord)));
        pool = static_cast<char*>(alloc_.allocate(pool_size));
        if (records == nullptr || pool == nullptr) {
            alloc_.release(records);
            alloc_.release(pool);
            return ERR_MEMORY;
        }
    }
    u64 offset = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& path = items[i].path;
        records[i] = {items[i].item_type, path.size() + 1, offset};
        std::memcpy(pool + offset, path.c_str(), path.size() + 1);
        offset += path.size() + 1;
    }
    alloc_.release(t.items);
    alloc_.release(t.path_pool);
    t.items = records;
    t.path_pool = pool;
    t.item_nb = items.size();
    return 0;
}

u64 Engine::append_target_items(TargetRecord& t, const std::vector<TargetItem>& items) {
    std::vector<TargetItem> all = target_items(t);
    all.insert(all.end(), items.begin(), items.end());
    return set_target_items(t, all);
}

void Engine::take_target(TargetRecord& to, TargetRecord& from) {
    clear_target_buffer(to);
    to = std::move(from);
    from.search_str = nullptr;
    from.items = nullptr;
    from.target_name = nullptr;
    from.path_pool = nullptr;
    from.search_str_len = 0;
    from.item_nb = 0;
    from.forms.clear();
}

u64 Engine::next_target_number(u64* number) {
    const std::string dir = resource_path(TW_TARGET_DIR);
    if (!is_directory(dir)) {
        record_failure(dir);
        return ERR_ACCESS_DIR;
    }
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) {
        record_failure(dir);
        return ERR_OPEN_DIR;
    }
    // Every name of a target file counts, whatever the file holds: a damaged
    // or unreadable target keeps its number.
    u64 next = 0;
    while (const dirent* entry = ::readdir(listing)) {
        u64 k = 0;
        if (target_posfix_index_from_filename(entry->d_name, &k) == 0) next = std::max(next, k + 1);
    }
    ::closedir(listing);
    *number = next;
    return 0;
}

}  // namespace tw
