// Target files: any bytes stored as TW_target_000 are loaded and listed
// without crashing, hanging or allocating more than the file could hold;
// and read as a target's forms file.
#include <cstdint>

#include "engine/tw.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tw::Engine* engine = &tw_fuzz::engine();
    const std::string dir = tw_fuzz::resource_folder() + "/TW_target/";
    tw_fuzz::put_file(dir + tw::target_file_name(0),
                      std::string_view(reinterpret_cast<const char*>(data), size));
    tw::TargetRecord t{};
    engine->init_target(t);
    if (engine->load_target_file(0, t) == 0) {
        // A target that loads is whole: its items lie inside its pool.
        for (tw::u64 i = 0; i < t.item_nb; ++i)
            if (t.items[i].path_size == 0 || t.path_pool[t.items[i].path_offset + t.items[i].path_size - 1] != 0)
                std::abort();
        // And it saves and loads back as it was.
        if (engine->save_target_file(1, t) != 0) std::abort();
        tw::TargetRecord back{};
        engine->init_target(back);
        if (engine->load_target_file(1, back) != 0 || back.item_nb != t.item_nb ||
            back.search_str_len != t.search_str_len)
            std::abort();
        engine->clear_target_buffer(back);
    }
    engine->clear_target_buffer(t);
    engine->build_target_list();
    // The same bytes as a forms file: what reads writes back the same.
    std::vector<tw::TargetForm> forms;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (tw::decode_target_forms(bytes, forms) && tw::encode_target_forms(forms) != bytes) std::abort();
    return 0;
}
