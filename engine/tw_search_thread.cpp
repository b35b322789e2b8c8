// Running a search on a background thread, and the pre-search item check.
#include <sys/stat.h>

#include <system_error>

#include "engine/tw.h"

namespace tw {

bool Engine::start_search_thread() {
    if (searching_now.load(std::memory_order_acquire) != 0) return false;
    join_search_thread();
    need_stop_searching.store(0, std::memory_order_relaxed);
    sur.file_index = 0;
    sur.occ_index = 0;
    // Raised before the thread exists, so a poller that starts now never
    // takes the moment before the search has begun for its end; the search
    // clears it on every path out.
    searching_now.store(1, std::memory_order_release);
    try {
        search_thread_ = std::thread([this] { search_in_target(); });
    } catch (const std::system_error&) {
        fatal_err_index = ERR_MEMORY;
        searching_now.store(0, std::memory_order_release);
        return false;
    }
    return true;
}

void Engine::join_search_thread() {
    if (search_thread_.joinable()) search_thread_.join();
}

void Engine::stop_and_join_search() {
    if (search_thread_.joinable()) {
        need_stop_searching.store(1, std::memory_order_relaxed);
        search_thread_.join();
    }
}

const char* Engine::file_or_dir_exist_in_current_target() {
    for (tr.item_index = 0; tr.item_index < tr.item_nb; ++tr.item_index) {
        const char* path = tr.path_pool + tr.items[tr.item_index].path_offset;
        struct stat st{};
        if (::stat(path, &st) != 0) return path;
    }
    return nullptr;
}

}  // namespace tw
