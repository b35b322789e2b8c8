// Settings files: any TW_preference and TW_launcher (the input's two parts)
// start an engine whose buffers lie within the preference limits, and whose
// launcher list is NUL-terminated; no allocation ever exceeds those limits.
#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "engine/tw.h"
#include "engine/tw_limits.h"
#include "fuzz_support.h"

namespace {

// The largest block the engine may ask for: the largest buffer, plus the
// launcher list's own cap.
constexpr std::size_t kLargest = std::size_t{1} << 30;
// Blocks from this size on are mapped, untouched until used: the buffers a
// preference file asks for would otherwise cost their size in the
// sanitizer's bookkeeping at every input.
constexpr std::size_t kMapped = std::size_t{1} << 20;

std::unordered_map<void*, std::size_t>& mapped() {
    static auto* blocks = new std::unordered_map<void*, std::size_t>();
    return *blocks;
}

void* checked_allocate(std::size_t n) {
    if (n > kLargest) std::abort();
    if (n < kMapped) return std::malloc(n);
    void* p = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    mapped()[p] = n;
    return p;
}
void checked_release(void* p) {
    const auto at = mapped().find(p);
    if (at == mapped().end()) return std::free(p);
    ::munmap(p, at->second);
    mapped().erase(at);
}
void* checked_reallocate(void* p, std::size_t n) {
    if (n > kLargest) std::abort();
    const auto at = mapped().find(p);
    if (at == mapped().end() && n < kMapped) return std::realloc(p, n);
    const std::size_t old = at != mapped().end() ? at->second : (p != nullptr ? ::malloc_usable_size(p) : 0);
    void* grown = checked_allocate(n);
    if (grown == nullptr) return nullptr;
    if (p != nullptr) std::memcpy(grown, p, std::min(old, n));
    checked_release(p);
    return grown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = tw_fuzz::resource_folder();
    tw_fuzz::Parts parts(data, size);
    tw_fuzz::put_file(dir + "/TW_preference", parts.next());
    tw_fuzz::put_file(dir + "/TW_launcher", parts.next());
    tw::Engine e(tw::Allocator{&checked_allocate, &checked_reallocate, &checked_release});
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
