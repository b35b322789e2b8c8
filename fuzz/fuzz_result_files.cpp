// Result files: any TW_found_header, TW_found_path, TW_found_offset,
// TW_found_info, TW_found_form and TW_found_forms (the input's six parts)
// are read by the viewer's summary, the viewer's list of found files and the report without crashing or
// absurd allocations; a damaged file gives an error. (The command line
// prints what the search hands on and reads no result files.)
#include <cstdint>

#include "engine/tw.h"
#include "engine/tw_found_forms.h"
#include "engine/tw_found_list.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tw::Engine* engine = &tw_fuzz::engine();
    const std::string found = tw_fuzz::resource_folder() + "/TW_found/";
    tw_fuzz::Parts parts(data, size);
    const char* names[] = {tw::TW_FOUND_HEADER, tw::TW_FOUND_PATH, tw::TW_FOUND_OFFSET,
                           tw::TW_FOUND_INFO,   tw::TW_FOUND_FORM, tw::TW_FOUND_FORMS};
    for (const char* name : names) tw_fuzz::put_file(found + name, parts.next());

    tw::ResultInfo info;
    tw::decode_result_info(data, size, info);
    std::vector<tw::FoundForm> forms;
    tw::decode_found_forms(std::string_view(reinterpret_cast<const char*>(data), size),
                           size > 0 ? data[0] : 0, forms, nullptr);

    if (engine->build_summary() == 0 && engine->open_found_file("r") == 0) {
        // Walk a few files and occurrences as the viewer's buttons do.
        for (tw::u64 f = 0; f < 4 && f < engine->sur.file_nb; ++f) {
            for (tw::u64 o = 0; o < 4; ++o) {
                engine->sur.file_index = f;
                engine->sur.occ_index = o;
                if (engine->get_search_info_for_file() != 0) break;
            }
        }
        engine->close_found_file();
    }
    // The list, in each order and through a filter.
    tw::FoundList list;
    std::string why;
    if (list.load(found.substr(0, found.size() - 1), info.record_len, &why) == 0) {
        for (auto key : {tw::FoundList::Key::Found, tw::FoundList::Key::Path, tw::FoundList::Key::Count})
            for (bool descending : {false, true}) {
                const auto rows = list.filter(list.order(key, descending), "/a");
                for (auto r : rows) (void)list.path(r);
            }
    }
    engine->save_search_info_in_text_file("/dev/null");
    return 0;
}
