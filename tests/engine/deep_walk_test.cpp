// The folder walk on a tree far deeper than a recursive walk survives: it
// runs on a thread with a 1 MiB stack in a process allowed 64 descriptors.
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "engine/tw.h"
#include "engine_fixture.h"
#include "search_support.h"

using namespace tw;
using namespace tw_test;

namespace {

constexpr int kLevels = 100'000;
constexpr int kFileEvery = 10'000;

// Builds data/d/d/.../d, kLevels folders, with a file "f" holding the
// needle every kFileEvery levels and at the bottom, and "g" without it.
bool build_deep_tree(const std::string& root) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; fd >= 0 && level <= kLevels; ++level) {
        if (::mkdirat(fd, "d", 0755) != 0) return false;
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        if (fd < 0) return false;
        if (level % kFileEvery == 0 || level == kLevels) {
            const int f = ::openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            const bool ok = f >= 0 && ::write(f, "a needle", 8) == 8;
            if (f >= 0) ::close(f);
            if (!ok) return false;
        }
    }
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

struct WalkArgs {
    Engine* engine;
};

void* run_search(void* arg) {
    static_cast<WalkArgs*>(arg)->engine->search_in_target();
    return nullptr;
}

// The search in a child process (its descriptor limit must not reach the
// other tests): 0 when every file was found in order, else a code saying
// what went wrong.
int deep_search_in_child(const std::string& resource, const std::string& root) {
    const rlimit limit{64, 64};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return 10;
    Engine e;
    e.resource_dir_pathname_ptr = resource;
    if (e.initialize_and_load_tw_parameter() != 0) return 11;
    set_target(e, "needle", {{root, true}});
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, std::size_t{1} << 20);
    WalkArgs args{&e};
    pthread_t thread;
    if (pthread_create(&thread, &attr, &run_search, &args) != 0) return 12;
    pthread_join(thread, nullptr);
    if (e.fatal_err_index != 0) return 13;
    if (e.ir.dir_nb.load() != static_cast<u64>(kLevels)) return 14;
    const u64 errors = e.ir.file_err_nb.load() + e.ir.dir_err_nb.load() + e.ir.other_err_nb.load();
    if (errors != 0) return 15;
    const auto found = read_results(resource + "/TW_found", false);
    if (found.size() != kLevels / kFileEvery) return 16;
    // In the order the file system lists "d" and "f", so compare as a set.
    std::set<std::string> dirs;
    for (const auto& f : found) {
        if (f.name != "f" || f.offsets != std::vector<u64>{2}) return 17;
        dirs.insert(f.dir);
    }
    std::string want = root;
    for (int level = 1; level <= kLevels; ++level) {
        want += "/d";
        if (level % kFileEvery == 0 && dirs.count(want) == 0) return 18;
    }
    // The walk gave dir_name back to the item's path.
    if (std::string(e.br.dir_name) != root) return 19;
    return 0;
}

}  // namespace

TEST_F(EngineTest, AHundredThousandLevelsOnAOneMebibyteStackWithSixtyFourDescriptors) {
    TempDir data("/dev/shm");
    ASSERT_TRUE(build_deep_tree(data.path()));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(deep_search_in_child(dir.path(), data.path()));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the search died with signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
