// Small POSIX helpers shared by the engine's file operations.
#pragma once

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

// Replaces a file safely: the content goes to a temporary file in the same
// folder, which is flushed, synced and renamed over `path` only when every
// write succeeded, so a failure never leaves a truncated file behind.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file; ERR_OPEN_FILE on failure.
    u64 open();
    std::FILE* stream() const { return stream_; }
    // Flushes, syncs, closes and renames. Returns 0, ERR_WRITE_FILE (flush,
    // sync or rename failed) or ERR_CLOSE_FILE; on failure the temporary file
    // is removed and the old file stays as it was. With `replace` false an
    // existing file at the path is never replaced: the commit fails instead.
    u64 commit(bool replace = true);

private:
    void discard();

    std::string path_;
    std::string temp_path_;
    std::FILE* stream_ = nullptr;
};

}  // namespace tw
