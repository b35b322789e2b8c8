// How a file in the page cache is best brought to the scanning routine, by
// file size: pread into a buffer small enough to stay in the L2 cache
// (256 KiB, the command-line program's text buffer, and 1.25 MB, the
// application's default), or mmap with MADV_SEQUENTIAL and a scan of the
// mapping. Each iteration opens, reads or maps, scans (a rare pattern) and
// closes one file, as the search does; the files are read once beforehand.
// The files live under $TRAWLEX_BENCH_DIR (default /tmp/trawlex-read-bench).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "matcher/search_param.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPattern = "qzxjv";

std::string bench_dir() {
    const char* env = std::getenv("TRAWLEX_BENCH_DIR");
    return env != nullptr ? env : "/tmp/trawlex-read-bench";
}

// Random lower-case text with line ends, `size` bytes, made once.
std::string make_file(std::uint64_t size) {
    const std::string path = bench_dir() + "/text-" + std::to_string(size);
    std::error_code ec;
    if (fs::file_size(path, ec) == size) return path;
    fs::create_directories(bench_dir());
    std::mt19937 rng(7);
    std::string block(1 << 20, 'a');
    for (char& c : block) {
        const unsigned r = rng() % 27;
        c = r == 26 ? '\n' : static_cast<char>('a' + r % 20);  // never q, z, x
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::uint64_t done = 0; done < size;) {
        const std::uint64_t n = std::min<std::uint64_t>(block.size(), size - done);
        out.write(block.data(), static_cast<std::streamsize>(n));
        done += n;
    }
    out.close();
    std::ifstream warm(path, std::ios::binary);
    std::string sink(1 << 20, '\0');
    while (warm.read(sink.data(), static_cast<std::streamsize>(sink.size()))) {
    }
    return path;
}

struct Scanner {
    tw::SearchParam sr{};
    alignas(64) std::uint8_t pattern[64] = {};
    alignas(64) std::uint8_t occ[16384] = {};
    explicit Scanner() {
        std::memcpy(pattern, kPattern, std::strlen(kPattern));
        sr.STR_START = reinterpret_cast<std::uint64_t>(pattern);
        sr.STR_END = sr.STR_START + std::strlen(kPattern);
        sr.STR_BUF_SIZE = sizeof pattern;
        sr.EOL_CHAR = 10;
        sr.OCC_START = reinterpret_cast<std::uint64_t>(occ);
        sr.OCC_BUF_SIZE = sizeof occ;
        sr.OCC_END = sr.OCC_START + sizeof occ;
        tw::init_tw_search(sr);
    }
    // Scans text[0 .. n) which starts at file offset `offset`.
    std::uint64_t scan(const std::uint8_t* text, std::uint64_t n, std::uint64_t offset) {
        sr.TEXT_START = reinterpret_cast<std::uint64_t>(text);
        sr.TEXT_PTR = sr.TEXT_START;
        sr.TEXT_END = sr.TEXT_START + n;
        sr.TEXT_OFFSET = offset;
        std::uint64_t found = 0;
        do {
            sr.OCC_PTR = sr.OCC_START;
            tw::search_asm(&sr);
            found += (sr.OCC_PTR - sr.OCC_START) / 8;
        } while (sr.SEARCH_RESULT == tw::TW_END_OCC);
        return found;
    }
};

void by_pread(benchmark::State& state, std::uint64_t size, std::uint64_t buffer) {
    const std::string path = make_file(size);
    auto raw = std::make_unique<std::uint8_t[]>(buffer + 64);
    auto* text = reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(raw.get()) + 63) &
                                                 ~std::uintptr_t{63});
    Scanner s;
    const std::uint64_t m = std::strlen(kPattern);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        struct stat st{};
        if (fd < 0 || ::fstat(fd, &st) != 0) state.SkipWithError("open");
        const auto file_size = static_cast<std::uint64_t>(st.st_size);
        if (file_size > buffer) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        std::uint64_t pos = 0, found = 0;
        while (file_size - pos >= m) {
            const std::uint64_t want = std::min(buffer, file_size - pos);
            const ssize_t n = ::pread(fd, text, want, static_cast<off_t>(pos));
            if (n < static_cast<ssize_t>(m)) break;
            found += s.scan(text, static_cast<std::uint64_t>(n), pos);
            pos += static_cast<std::uint64_t>(n) - m + 1;
        }
        ::close(fd);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(size * state.iterations()));
}

void by_mmap(benchmark::State& state, std::uint64_t size) {
    const std::string path = make_file(size);
    Scanner s;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        struct stat st{};
        if (fd < 0 || ::fstat(fd, &st) != 0) state.SkipWithError("open");
        const auto file_size = static_cast<std::size_t>(st.st_size);
        void* map = ::mmap(nullptr, file_size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) state.SkipWithError("mmap");
        ::madvise(map, file_size, MADV_SEQUENTIAL);
        benchmark::DoNotOptimize(s.scan(static_cast<const std::uint8_t*>(map), file_size, 0));
        ::munmap(map, file_size);
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(size * state.iterations()));
}

void register_all() {
    for (std::uint64_t size : {std::uint64_t{4} << 10, std::uint64_t{64} << 10, std::uint64_t{1} << 20,
                               std::uint64_t{16} << 20, std::uint64_t{256} << 20}) {
        const std::string kib = std::to_string(size >> 10) + "KiB";
        benchmark::RegisterBenchmark(("pread_256KiB/" + kib).c_str(), by_pread, size, std::uint64_t{256} << 10)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("pread_1250KB/" + kib).c_str(), by_pread, size, std::uint64_t{1280000})
            ->UseRealTime();
        benchmark::RegisterBenchmark(("mmap_sequential/" + kib).c_str(), by_mmap, size)->UseRealTime();
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    register_all();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
