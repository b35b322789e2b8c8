// Operations whose files are not written yet.
#include "engine/tw.h"

namespace tw {

void Engine::search_in_target() {}
u64 Engine::search_in_dir(const char*, bool, bool, u64) { return 0; }
u64 Engine::search_in_file(const char*) { return 0; }
u64 Engine::tw_search() { return 0; }
const char* Engine::file_or_dir_exist_in_current_target() { return nullptr; }
bool Engine::start_search_thread() { return false; }
void Engine::stop_and_join_search() {}
void Engine::join_search_thread() {}
u64 Engine::open_found_file(const char*) { return 0; }
u64 Engine::close_found_file() { return 0; }
u64 Engine::write_path_and_ffh() { return 0; }
u64 Engine::get_search_info_for_file() { return 0; }
u64 Engine::build_summary() { return 0; }
u64 Engine::build_summary_from_occ_file() { return 0; }
void Engine::set_summary_filename() {}
void Engine::set_summary_dirname() {}
u64 Engine::save_search_info_in_text_file(const char*) { return 0; }

}  // namespace tw
