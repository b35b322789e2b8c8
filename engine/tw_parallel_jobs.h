// Internal: what the parallel search queues (see tw_parallel.h).
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/tw_fd.h"
#include "engine/tw_parallel.h"

namespace tw {

// One searched file, shared by its pieces.
struct ParallelSearch::FileState {
    UniqueFd fd;
    u64 size = 0;
    std::string dir, name;
    // Committer-only: the error of the first failed piece, whether a piece
    // met the end of the file early, and the end-of-line bytes before the
    // next piece.
    u64 failed = 0;
    bool ended = false;
    u64 line_base = 0;
    bool item = false;  // a file item of the target, not a file of a folder
    // Every sink has what it needs of the file: its later records are
    // dropped, and its scanners may stop.
    std::atomic<bool> enough{false};

    std::string path() const { return dir + "/" + name; }
};

// A file of a batch, found and opened by a scanning thread.
struct ParallelSearch::BatchFile {
    std::string name;
    std::size_t folder = 0;  // in Job::folders
    // Opened by the walk (the first file it reached in its folder): the
    // scanner takes the descriptor, or the failure in `err`.
    bool opened = false;
    UniqueFd fd;
    u64 size = 0;
    // Under mu_.
    std::vector<std::uint8_t> records;  // not taken by the committer yet
    bool enough = false;  // every sink has what it needs of the file
    // Written by the scanner before it counts the file in Job::scanned.
    bool open_failed = false;
    u64 result = 0;  // 0, ERR_READ_FILE or ERR_CLOSE_FILE
    int err = 0;     // of the failed open or read
};

struct ParallelSearch::Job {
    enum class Kind { Failure, OpenFailed, Piece, Batch } kind = Kind::Piece;
    // Failure and OpenFailed: the path and errno to report.
    std::string path;
    int err = 0;
    bool item = false;  // OpenFailed: of a file item
    // Piece: chunks text buffers from file offset first_pos.
    std::shared_ptr<FileState> file;
    u64 first_pos = 0;
    u64 chunks = 0;
    bool last = true;
    // Scan output, under mu_.
    std::vector<std::uint8_t> records;
    bool done = false;
    u64 eol = 0;     // end-of-line bytes at the piece's start positions
    u64 result = 0;  // 0 or ERR_READ_FILE
    int read_err = 0;
    bool ended = false;  // the file ended (or shrank) within this piece
    // Scanned and written by the walk while nothing else was queued: its
    // records go straight to the result file (see submit_file).
    bool direct = false;
    u64 direct_code = 0;  // direct: the output's first error
    // Batch: its folders (each with a descriptor of its own) and their files
    // in the walk's order; under mu_, the record bytes not taken yet and
    // the files committed.
    struct Folder {
        UniqueFd fd;
        std::string dir;
    };
    std::vector<Folder> folders;
    std::vector<BatchFile> files;
    std::size_t held = 0;
    std::size_t committed = 0;
    // The files scanned, from the first: published without the lock, so
    // that a file costs the scanner no lock of its own.
    std::atomic<std::size_t> scanned{0};
};

}  // namespace tw
