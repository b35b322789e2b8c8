// Settings files: any TW_preference and TW_launcher (the input's two parts)
// start an engine whose buffers lie within the preference limits, and whose
// launcher list is NUL-terminated; no allocation ever exceeds those limits.
#include <cstdint>
#include <cstdlib>

#include "engine/tw.h"
#include "engine/tw_limits.h"
#include "fuzz_support.h"

namespace {

// The largest block the engine may ask for: the largest buffer, plus the
// launcher list's own cap.
constexpr std::size_t kLargest = std::size_t{1} << 30;

void* checked_allocate(std::size_t n) {
    if (n > kLargest) std::abort();
    return std::malloc(n);
}
void* checked_reallocate(void* p, std::size_t n) {
    if (n > kLargest) std::abort();
    return std::realloc(p, n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = tw_fuzz::resource_folder();
    tw_fuzz::Parts parts(data, size);
    tw_fuzz::put_file(dir + "/TW_preference", parts.next());
    tw_fuzz::put_file(dir + "/TW_launcher", parts.next());
    tw::Engine e(tw::Allocator{&checked_allocate, &checked_reallocate, &std::free});
    e.resource_dir_pathname_ptr = dir;
    if (e.initialize_and_load_tw_parameter() != 0) return 0;
    if (!tw::within(tw::TW_TEXT_MEM_LIMITS, e.pr.text_mem_size) ||
        !tw::within(tw::TW_STR_MEM_LIMITS, e.pr.str_mem_size) ||
        !tw::within(tw::TW_OCC_MEM_LIMITS, e.pr.occ_mem_size) ||
        e.pr.show_info_every < tw::TW_MIN_SHOW_INFO_EVERY)
        std::abort();
    if (e.br.launcher_list_len > 0 && e.br.launcher_list[e.br.launcher_list_len - 1] != 0)
        std::abort();
    e.delete_from_launcher(0);
    return 0;
}
