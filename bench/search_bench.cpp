// Whole searches with search_in_target against `cat` of the same data:
//  (a) one 1 GiB text file already in the page cache,
//  (b) a tree of more than 50,000 small files.
// The corpora are built once under $TRAWLEX_BENCH_DIR (default
// /tmp/trawlex-search-bench) and reused by later runs.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/tw.h"

namespace fs = std::filesystem;

namespace {

std::string bench_dir() {
    const char* env = std::getenv("TRAWLEX_BENCH_DIR");
    return env != nullptr ? env : "/tmp/trawlex-search-bench";
}

bool is_text_source(const fs::path& p) {
    const std::string ext = p.extension();
    return ext == ".h" || ext == ".hpp" || ext == ".txt" || ext == ".md" || ext == ".html" ||
           p.filename() == "copyright" || p.filename() == "README";
}

// 1 GiB of text: header files and documentation, repeated.
std::string text_file() {
    const std::string path = bench_dir() + "/text-1g.txt";
    constexpr std::uintmax_t kSize = std::uintmax_t{1} << 30;
    std::error_code ec;
    if (fs::file_size(path, ec) == kSize) return path;
    fs::create_directories(bench_dir());
    std::vector<char> corpus;
    for (const char* root : {"/usr/include", "/usr/share/doc"})
        for (const auto& e : fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec))
            if (e.is_regular_file(ec) && is_text_source(e.path())) {
                std::ifstream in(e.path(), std::ios::binary);
                corpus.insert(corpus.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::uintmax_t written = 0;
    while (written < kSize && !corpus.empty()) {
        const std::uintmax_t n = std::min<std::uintmax_t>(corpus.size(), kSize - written);
        out.write(corpus.data(), static_cast<std::streamsize>(n));
        written += n;
    }
    return path;
}

// Six copies of /usr/include: about 58,000 files.
std::string file_tree() {
    const std::string path = bench_dir() + "/tree";
    const std::string done = path + "/.complete";
    if (fs::exists(done)) return path;
    fs::remove_all(path);
    fs::create_directories(path);
    for (int i = 0; i < 6; ++i) {
        const std::string cmd = "cp -r /usr/include " + path + "/copy" + std::to_string(i);
        if (std::system(cmd.c_str()) != 0) std::abort();
    }
    std::ofstream(done).put('\n');
    return path;
}

void cat_to_null(benchmark::State& state, const std::string& command, std::uint64_t bytes) {
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("cat failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}

std::uint64_t tree_bytes(const std::string& root) {
    std::uint64_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) total += e.file_size();
    return total;
}

struct Search {
    const char* pattern;
    bool line_numbers;
};

void run_search(benchmark::State& state, const std::string& item, bool folder, Search s) {
    char pattern_dir[] = "/tmp/trawlex-bench-res-XXXXXX";
    if (::mkdtemp(pattern_dir) == nullptr) {
        state.SkipWithError("mkdtemp");
        return;
    }
    const std::string res = pattern_dir;
    fs::create_directory(res + "/TW_target");
    fs::create_directory(res + "/TW_found");
    {
        tw::Engine e;
        e.resource_dir_pathname_ptr = res;
        if (e.initialize_and_load_tw_parameter() != 0) std::abort();
        e.init_target(e.tr);
        e.tr.add_line_nb = s.line_numbers;
        e.tr.case_insensitive = 0;
        e.tr.use_wildcard = 0;
        const std::size_t n = std::strlen(s.pattern);
        e.tr.search_str = static_cast<std::uint8_t*>(std::malloc(n + 1));
        std::memcpy(e.tr.search_str, s.pattern, n + 1);
        e.tr.search_str_len = n;
        e.tr.item_nb = 1;
        e.tr.items = static_cast<tw::ItemRecord*>(std::malloc(sizeof(tw::ItemRecord)));
        e.tr.items[0] = {folder ? tw::TW_ITEM_FOLDER : tw::TW_ITEM_FILE, item.size() + 1, 0};
        e.tr.path_pool = static_cast<char*>(std::malloc(item.size() + 1));
        std::memcpy(e.tr.path_pool, item.c_str(), item.size() + 1);
        std::uint64_t bytes = 0;
        for (auto _ : state) {
            e.search_in_target();
            if (e.fatal_err_index != 0) state.SkipWithError("search failed");
            bytes += e.ir.total_bytes.load();
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
        state.counters["found"] = static_cast<double>(e.ir.found_nb.load());
        state.counters["files"] = static_cast<double>(e.ir.file_nb.load());
        e.finalize_tw_buffer();
    }
    fs::remove_all(res);
}

void register_all() {
    const std::string file = text_file();
    const std::string tree = file_tree();
    const std::uint64_t file_size = fs::file_size(file);
    const std::uint64_t tree_size = tree_bytes(tree);
    // Both corpora are read once so that every measurement starts from the
    // page cache.
    if (std::system(("cat " + file + " > /dev/null").c_str()) != 0 ||
        std::system(("find " + tree + " -type f -print0 | xargs -0 cat > /dev/null").c_str()) != 0)
        std::abort();

    const Search searches[] = {{"qzxjv", false}, {"the", true}};
    benchmark::RegisterBenchmark("file_1GiB/cat", cat_to_null, "cat " + file + " > /dev/null", file_size)
        ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
    for (const Search& s : searches)
        benchmark::RegisterBenchmark((std::string("file_1GiB/trawlex/") + s.pattern + (s.line_numbers ? "+lines" : "")).c_str(),
                                     run_search, file, false, s)
            ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
    benchmark::RegisterBenchmark("tree_58k/cat", cat_to_null,
                                 "find " + tree + " -type f -print0 | xargs -0 cat > /dev/null", tree_size)
        ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
    for (const Search& s : searches)
        benchmark::RegisterBenchmark((std::string("tree_58k/trawlex/") + s.pattern + (s.line_numbers ? "+lines" : "")).c_str(),
                                     run_search, tree, true, s)
            ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    register_all();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
