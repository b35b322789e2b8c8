// The start-up fill of the launcher list: the engine reads TW_launcher, the
// Special menu's "Remove application" submenu and the viewer's "Open file
// with" pull-down are filled from it, as the application does when it
// starts. Lists of 1,000, 20,000 and 200,000 applications (the last about
// 6 MB, within the 16 MiB a launcher file may hold).
//
// Runs under the offscreen platform; the user defaults go to a temporary
// folder.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/tw.h"
#include "ui/shell/MenuController.h"
#include "ui/toolkit/pulldown.h"
#include "ui/viewer/ViewerController.h"

namespace {

QTemporaryDir* scratch = nullptr;

// A resource folder whose TW_launcher holds `count` application paths.
std::string resource_folder_with(long count) {
    const std::string dir = scratch->path().toStdString() + "/r" + std::to_string(count);
    std::filesystem::create_directories(dir + "/TW_target");
    std::string list;
    char path[96];
    for (long i = 0; i < count; ++i) {
        std::snprintf(path, sizeof path, "/opt/tools/suite-%03ld/bin/editor-%06ld", i % 997, i);
        list.append(path).push_back('\0');
    }
    std::ofstream(dir + "/" + tw::TW_LAUNCHER, std::ios::binary)
        .write(list.data(), static_cast<std::streamsize>(list.size()));
    return dir;
}

void BM_StartUpLauncherFill(benchmark::State& state) {
    tw::Engine engine;
    engine.resource_dir_pathname_ptr = resource_folder_with(state.range(0));
    if (engine.initialize_and_load_tw_parameter() != 0) state.SkipWithError("engine start-up");
    tw::ui::MenuController menu(engine);
    menu.build_special_menu();
    tw::ui::ViewerController viewer(engine);
    for (auto _ : state) {
        engine.load_launcher_file();
        menu.update_launcher_submenu();
        viewer.update_launcher_popup();
        benchmark::DoNotOptimize(viewer.launcher_popup()->count());
    }
    state.counters["menu_items"] = static_cast<double>(viewer.launcher_popup()->count() - 3);
    engine.finalize_tw_buffer();
}

}  // namespace

BENCHMARK(BM_StartUpLauncherFill)->Arg(1000)->Arg(20000)->Arg(200000)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    scratch = &dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("config")));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
