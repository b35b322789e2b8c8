// Small POSIX helpers shared by the engine's file operations.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "engine/tw_records.h"

namespace tw {

// True when path names a folder (following links).
bool is_directory(const std::string& path);

// Writes exactly n bytes to a stream; false on a short write or an error.
bool write_all(std::FILE* stream, const void* data, std::size_t n);

// Reads exactly n bytes from a stream; false when fewer arrive.
bool read_all(std::FILE* stream, void* data, std::size_t n);

// "PATH: reason" for the system error `err`, the form of every message
// that names a file and the cause of a failed system call.
std::string describe_failure(const std::string& path, int err);

// Creates `path` as a folder; true when it exists as a folder afterwards,
// also when another process created it at the same moment.
bool make_folder(const std::string& path, int* err);

// Opens the folder `dir` component by component with openat (O_PATH), so a
// path of any length is reached; -1 with errno on failure.
int open_folder_by_parts(const char* dir);

// Opens `path` for reading without blocking (a FIFO does not hang the
// caller) and only when it is a regular file; nullptr with *err set (EINVAL
// for a file that is not regular) on failure.
std::FILE* open_regular_stream(const std::string& path, int* err);

// Opens the file `name` inside the folder `dir` by walking the folder's
// components one by one with openat, so paths of any length are reached.
// The open never blocks (a FIFO or a device does not hang the caller) and
// succeeds only for a regular file; on failure returns -1 and sets `why` to
// "PATH: reason". The descriptor is blocking again when returned.
int open_regular_file(const char* dir, const char* name, std::string* why);

// The status of `name` inside `dir`, reached folder by folder as above;
// links are followed when `follow` is set. False with `why` on failure.
bool stat_file_in(const char* dir, const char* name, bool follow, struct stat* st,
                  std::string* why);

// Writes a file through a temporary file where replacing is allowed:
// - a missing name or a regular file: the content goes to a temporary file
//   in the same folder, which is flushed, synced and renamed over the file
//   only when every write succeeded; a replaced file keeps its permissions
//   (and its owner when the process may keep it);
// - a symbolic link: the file it leads to is written as above (the
//   temporary file lies in that file's folder), and the link stays;
// - a device, FIFO or other special file: written in place, never replaced;
//   a FIFO without a reader is refused at once rather than waited for;
// - a folder: refused.
// Every failure sets failure() to "PATH: reason".
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Prepares the destination; ERR_OPEN_FILE on failure.
    u64 open();
    std::FILE* stream() const { return stream_; }
    // Records the cause of a failed write through stream() (errno at the
    // time of the call) and returns ERR_WRITE_FILE.
    u64 write_failed();
    // Flushes, syncs, closes and renames. Returns 0, ERR_WRITE_FILE (flush,
    // sync or rename failed) or ERR_CLOSE_FILE; on failure the temporary file
    // is removed and the old file stays as it was. With `replace` false an
    // existing file at the path is never replaced: the commit fails instead.
    u64 commit(bool replace = true);
    // "PATH: reason" of the last failure, empty when none.
    const std::string& failure() const { return failure_; }

private:
    void discard();
    u64 fail(int err);

    std::string path_;       // the name given
    std::string final_path_; // the file actually written (links followed)
    std::string temp_path_;  // empty when writing in place
    std::FILE* stream_ = nullptr;
    bool in_place_ = false;
    std::string failure_;
};

}  // namespace tw
