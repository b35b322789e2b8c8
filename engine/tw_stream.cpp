// Searching an item that is not a regular file: a pipe, a socket, a
// character device or a block device named as a file item of the target.
// Such an item cannot be read at chosen offsets, so it is read from start to
// end with read(); the last pattern-length-minus-one bytes of each piece are
// carried to the front of the buffer, so that an occurrence across two
// pieces is found once, at its true offset, and the line count stays right.
#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "engine/tw_scan.h"

namespace tw {

namespace {

// How long a read waits for data before looking at the stop flag again.
constexpr int kPollMs = 200;

// A connected stream socket to the socket file `path`; -1 with errno set.
int connect_socket(const char* path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::strcpy(address.sun_path, path);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return -1;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        const int err = errno;
        fd.reset();
        errno = err;
        return -1;
    }
    // Nothing is sent: the peer sees the end of our side at once.
    ::shutdown(fd.get(), SHUT_WR);
    return fd.release();
}

// Opens the item for sequential reading without blocking: opening a pipe
// that has no writer yet returns at once, and the reads below wait for data
// in steps of kPollMs, so that a stop request is always heard.
int open_stream(const char* path) {
    // Standard input is read through the process's own descriptor: opened
    // again, a pipe whose writer has already left would never show its end,
    // and a socket cannot be opened by name at all.
    if (std::strcmp(path, "/dev/stdin") == 0) return ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    struct stat st{};
    if (::stat(path, &st) != 0) return -1;
    if (S_ISSOCK(st.st_mode)) return connect_socket(path);
    return open_nonblocking_at(AT_FDCWD, path, O_RDONLY);
}

}  // namespace

bool stream_item_type(unsigned mode) {
    return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

u64 Engine::search_in_stream(const char* path) {
    const WorkFile& w = wf[WF_SEARCHED];
    UniqueFd fd(open_stream(path));
    struct stat st{};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        const int err = errno;
        fd.reset();
        item_failed(path, err);
        return ERR_OPEN_FILE;
    }
    // A disk or a partition tells its size; the other streams have none.
    u64 size = 0;
    if (S_ISBLK(st.st_mode) && ::ioctl(fd.get(), BLKGETSIZE64, &size) != 0) size = 0;
    output_.file_size(size);

    const u64 m = scan_span(sr);
    const u64 keep = m - 1;
    auto* buffer = reinterpret_cast<std::uint8_t*>(sr.TEXT_START);
    sr.LINE_COUNT = 0;
    FileOut out(output_, record_len(), w.dir_path, w.name);

    u64 have = 0;  // bytes in the buffer, the carried ones included
    u64 base = 0;  // stream offset of the buffer's first byte
    u64 result = 0;
    for (;;) {
        if (need_stop_searching.load(std::memory_order_relaxed) != 0) break;
        // Reading is attempted only once poll says there is something to
        // read or an end: a pipe that no writer has opened yet reads as an
        // end of file, while poll waits for its first writer.
        pollfd ready{fd.get(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, kPollMs);
        if (polled == 0 || (polled < 0 && errno == EINTR)) {
            // Found files wait for no stream: they are published meanwhile.
            if (out.code == 0) out.code = output_.batch_end_if_due();
            if (out.code != 0) break;
            continue;
        }
        const ssize_t n = ::read(fd.get(), buffer + have, sr.TEXT_BUF_SIZE - have);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            item_failed(path, errno);
            result = ERR_READ_FILE;
            break;
        }
        if (n == 0) {
            // The bytes not examined yet, where a form shorter than the
            // longest may still begin.
            if (sr.MULTI != 0 && have >= scan_least(sr))
                scan_text(sr, buffer, 0, have, base, out, need_stop_searching, nullptr, true);
            break;
        }
        const u64 got = static_cast<u64>(n);
        have += got;
        ir.total_bytes.fetch_add(got, std::memory_order_relaxed);
        if (have < m) continue;
        if (!scan_text(sr, buffer, 0, have, base, out, need_stop_searching)) break;
        out.buffer_scanned();
        // The positions from have - keep on could not hold a whole
        // occurrence yet: their bytes start the next piece.
        std::memmove(buffer, buffer + have - keep, keep);
        base += have - keep;
        have = keep;
    }
    if (result == 0) result = out.code;
    const bool stopped = need_stop_searching.load(std::memory_order_relaxed) != 0;
    if (fd.close() != 0 && result == 0 && !stopped) result = ERR_CLOSE_FILE;
    // As for a file: what was found before a stop is kept with its name.
    return output_.end_file(w.dir_path, w.name, result);
}

}  // namespace tw
