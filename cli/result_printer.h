// Streams the result files of a search (TW_found_header, TW_found_path and
// TW_found_offset) to an output descriptor as text lines, without holding
// more than a window of each file in memory.
#pragma once

#include <cstdint>
#include <string>

namespace tw::cli {

enum class PrintMode {
    Offsets,      // PATH<TAB>OFFSET per occurrence
    OffsetLines,  // PATH<TAB>OFFSET<TAB>LINE per occurrence, LINE from 1
    Counts,       // PATH<TAB>COUNT per found file
};

struct PrintResult {
    enum class Status { Ok, Corrupt, ReadFailed, WriteFailed, BrokenPipe } status = Status::Ok;
    std::string message;  // why, when status is not Ok
    std::uint64_t files = 0;
    std::uint64_t occurrences = 0;
};

// found_dir holds the three result files; with_lines tells whether the
// occurrence records are 16 bytes (offset, line count) or 8 (offset).
// Every position and length read from the files is checked against their
// sizes before use.
PrintResult print_results(const std::string& found_dir, bool with_lines, PrintMode mode, int out_fd);

}  // namespace tw::cli
