// Operations whose files are not written yet.
#include "engine/tw.h"

namespace tw {

u64 Engine::save_search_info_in_text_file(const char*) { return ERR_UNDEFINED; }

}  // namespace tw
