// The viewer's list of found files over a result of 1,000,000 found files:
// opening it (the result read and the model ready to show its first rows),
// sorting it by count and by path, and filtering it by a piece of path.
// Baseline in the same run: reading the two result files into memory.
// Sorting by size reads every file's size on a thread of the model's own:
// BM_SortBySize times how long the window's thread is held by the sort
// call (the window stays responsive) and, apart, the whole reading.
//
// The result files are written once into a temporary folder: 1,000 folders
// of 1,000 files each, with 1 to 64 occurrences per file, in the layout the
// search writes (48-byte little-endian headers, NUL-terminated names).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/tw.h"
#include "engine/tw_le.h"
#include "ui/viewer/FoundListModel.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 1000;

std::string found_dir;

void write_result(const std::string& dir) {
    fs::create_directories(dir);
    std::string paths;
    std::vector<std::uint8_t> headers;
    headers.reserve(std::size_t{48} * kFolders * kFilesPerFolder);
    std::uint64_t occ_pos = 0;
    std::uint32_t seed = 12345;
    char name[256];
    for (int d = 0; d < kFolders; ++d) {
        std::snprintf(name, sizeof name, "/srv/evidence/image-%02d/partition/folder-%04d", d % 7, d);
        const std::string folder = name;
        for (int f = 0; f < kFilesPerFolder; ++f) {
            seed = seed * 1103515245u + 12345u;
            std::snprintf(name, sizeof name, "document-%04d-%06u.bin", f, seed % 1000000u);
            const std::uint64_t occ_nb = 1 + (seed >> 16) % 64;
            std::uint8_t record[48];
            const std::uint64_t words[6] = {paths.size(), folder.size() + 1,
                                            paths.size() + folder.size() + 1, std::strlen(name) + 1,
                                            occ_nb, occ_pos};
            for (int i = 0; i < 6; ++i) tw::store_le64(record + 8 * i, words[i]);
            headers.insert(headers.end(), record, record + 48);
            paths.append(folder).push_back('\0');
            paths.append(name).push_back('\0');
            occ_pos += occ_nb * 8;
        }
    }
    std::ofstream(dir + "/" + tw::TW_FOUND_HEADER, std::ios::binary)
        .write(reinterpret_cast<const char*>(headers.data()), static_cast<std::streamsize>(headers.size()));
    std::ofstream(dir + "/" + tw::TW_FOUND_PATH, std::ios::binary)
        .write(paths.data(), static_cast<std::streamsize>(paths.size()));
    // Only the offset file's size is read by the list: a sparse file.
    const int fd = ::open((dir + "/" + tw::TW_FOUND_OFFSET).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(occ_pos)) != 0) std::abort();
    ::close(fd);
}

// Touches what a view shows first: the row count and 40 rows of 3 columns.
void show_first_rows(const tw::ui::FoundListModel& model) {
    benchmark::DoNotOptimize(model.rowCount());
    for (int r = 0; r < 40 && r < model.rowCount(); ++r)
        for (int c = 0; c < tw::ui::FoundListModel::ColumnCount; ++c)
            benchmark::DoNotOptimize(model.data(model.index(r, c)));
}

void BM_ReadResultFiles(benchmark::State& state) {
    for (auto _ : state) {
        for (const char* name : {tw::TW_FOUND_HEADER, tw::TW_FOUND_PATH}) {
            const std::string path = found_dir + "/" + name;
            std::string bytes(fs::file_size(path), '\0');
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            std::size_t done = 0;
            while (fd >= 0 && done < bytes.size()) {
                const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            if (fd >= 0) ::close(fd);
            benchmark::DoNotOptimize(bytes.data());
        }
    }
}

void BM_OpenList(benchmark::State& state) {
    for (auto _ : state) {
        tw::ui::FoundListModel model(0);
        std::string why;
        if (model.load(found_dir, 8, &why) != 0) state.SkipWithError(why.c_str());
        show_first_rows(model);
        state.counters["rows"] = model.rowCount();
    }
}

void BM_Sort(benchmark::State& state) {
    tw::ui::FoundListModel model(0);
    std::string why;
    if (model.load(found_dir, 8, &why) != 0) state.SkipWithError(why.c_str());
    const int column = static_cast<int>(state.range(0));
    bool descending = false;
    for (auto _ : state) {
        model.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        descending = !descending;
        show_first_rows(model);
    }
}

// The found files do not exist: each size is a failed stat, which is what
// a result of files since moved costs; real files cost a little more.
void BM_SortBySize(benchmark::State& state) {
    std::string why;
    double held = 0, total = 0;
    for (auto _ : state) {
        // A new model each time: sizes once read are kept.
        tw::ui::FoundListModel model(0);
        if (model.load(found_dir, 8, &why) != 0) state.SkipWithError(why.c_str());
        const auto start = std::chrono::steady_clock::now();
        model.sort(tw::ui::FoundListModel::SizeColumn, Qt::DescendingOrder);
        held += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        while (model.sizing()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        show_first_rows(model);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["window_thread_ms"] = 1000 * held / runs;
    state.counters["sizes_read_ms"] = 1000 * total / runs;
}

void BM_Filter(benchmark::State& state) {
    tw::ui::FoundListModel model(0);
    std::string why;
    if (model.load(found_dir, 8, &why) != 0) state.SkipWithError(why.c_str());
    // Two needles in turn, so that every pass filters anew; both keep about
    // one file in 1,000 (a folder's files).
    const QString needles[2] = {QStringLiteral("FOLDER-0123/"), QStringLiteral("folder-0777/doc")};
    int i = 0;
    for (auto _ : state) {
        model.set_filter(needles[i]);
        i ^= 1;
        show_first_rows(model);
        state.counters["rows"] = model.rowCount();
    }
}

}  // namespace

BENCHMARK(BM_ReadResultFiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenList)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sort)->Name("BM_SortByCount")->Arg(tw::ui::FoundListModel::CountColumn)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sort)->Name("BM_SortByPath")->Arg(tw::ui::FoundListModel::PathColumn)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SortBySize)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Filter)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    char pattern[] = "/tmp/trawlex-list-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    found_dir = std::string(pattern) + "/TW_found";
    write_result(found_dir);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(pattern);
    return 0;
}
