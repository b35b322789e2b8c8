// The descriptor helpers: the non-blocking open of a regular file, the read
// loop across interrupted calls and the descriptor owner.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include "engine/tw_fd.h"
#include "support/temp_dir.h"

namespace {

using tw::UniqueFd;

std::atomic<int> alarms{0};

// Runs `body` while another thread sends this one SIGALRM, whose handler
// does not restart system calls, whenever `ready` holds and this thread is
// asleep in system call `nr`: a call that blocks there fails with EINTR.
void interrupted_in(long nr, const std::function<bool()>& ready,
                    const std::function<void()>& body) {
    struct sigaction action{}, old{};
    action.sa_handler = [](int) { alarms.fetch_add(1); };
    ::sigaction(SIGALRM, &action, &old);
    const std::string syscall_file = "/proc/self/task/" + std::to_string(::gettid()) + "/syscall";
    const pthread_t self = ::pthread_self();
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        for (long current = -1; !done; current = -1)
            if (ready() && std::ifstream(syscall_file) >> current && current == nr)
                ::pthread_kill(self, SIGALRM);
    });
    body();
    done = true;
    interrupter.join();
    ::sigaction(SIGALRM, &old, nullptr);
}

TEST(OpenRegularTest, OnlyARegularFileOpensAndNothingBlocks) {
    tw_test::TempDir dir;
    tw_test::write_file(dir / "file", std::string("12345"));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    const UniqueFd folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
    const std::pair<const char*, int> cases[] = {
        {"file", 0}, {"fifo", EINVAL}, {".", EINVAL}, {"missing", ENOENT}};
    for (const auto& [name, want] : cases) {
        // By the folder's descriptor and by the whole path.
        for (const std::string& path : {std::string(name), dir / name}) {
            SCOPED_TRACE(path);
            int err = 0;
            struct stat st{};
            interrupted_in(SYS_openat, [] { return true; }, [&] {
                const UniqueFd fd(tw::open_regular_at(folder.get(), path.c_str(), &err, &st));
                EXPECT_EQ(fd ? 0 : err, want);
            });
            EXPECT_TRUE(want != 0 || st.st_size == 5);
        }
    }
}

TEST(ReadFullTest, AReadInterruptedBetweenTwoWritesIsWhole) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const UniqueFd in(ends[0]), out(ends[1]);
    ASSERT_EQ(::write(out.get(), "abcd", 4), 4);
    alarms = 0;
    char got[8] = {};
    int err = -1;
    std::size_t n = 0;
    // The first half is taken at once; the read that waits for the second
    // half is interrupted before the second half is written.
    std::thread writer([&] {
        while (alarms == 0) std::this_thread::yield();
        EXPECT_EQ(::write(out.get(), "efgh", 4), 4);
    });
    auto drained = [&] {
        int queued = -1;
        return ::ioctl(in.get(), FIONREAD, &queued) == 0 && queued == 0;
    };
    interrupted_in(SYS_read, drained, [&] { n = tw::read_full(in.get(), got, sizeof got, &err); });
    writer.join();
    EXPECT_EQ(err, 0);
    EXPECT_EQ(std::string(got, n), "abcdefgh");
}

TEST(UniqueFdTest, AMovedDescriptorIsClosedOnce) {
    const int fd = ::open("/dev/null", O_RDONLY), copy = ::dup(fd);
    UniqueFd other(copy);
    {
        UniqueFd first(fd);
        UniqueFd second(std::move(first));
        other = std::move(second);  // closes the copy
        EXPECT_FALSE(first);
    }
    EXPECT_EQ(::fcntl(copy, F_GETFD), -1);
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(other.close(), 0);
    EXPECT_EQ(UniqueFd(fd).close(), EBADF);
}

}  // namespace
